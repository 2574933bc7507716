#pragma once

// The program-wide filter: the condition list, Show/Hide, the active word, and the list of store
// positions the data list shows. The passes fill that list from the frame store.
//
// Thread: the user-interface thread only.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "filters/FilterCondition.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

enum class FilterMode : std::uint32_t { kShow = 0, kHide = 1 };

// Conditions the filter takes beside its list, made by another subsystem (a CAN database's
// signals). A frame that matches them counts as matching a condition of the list.
class FrameConditions {
public:
    virtual ~FrameConditions() = default;
    [[nodiscard]] virtual bool matches(const CapturedFrame& frame) const = 0;
};

// Row r of the data list shows the frame at store position at(r).
class DisplayIndexList {
public:
    DisplayIndexList() : m_generation(nextGeneration()) {}
    // A new value whenever the list is emptied or made anew (a filter rebuilt over the same
    // store); between those rows are only appended, so a view that took its rows at this value
    // may keep them.
    [[nodiscard]] std::uint64_t generation() const { return m_generation; }

    [[nodiscard]] std::size_t size() const { return m_positions.size(); }
    [[nodiscard]] bool empty() const { return m_positions.empty(); }
    // Readers check the row first: a row may be gone (Clear All) before the view hears of it.
    [[nodiscard]] bool contains(std::size_t row) const { return row < m_positions.size(); }
    [[nodiscard]] std::uint32_t at(std::size_t row) const { return m_positions[row]; }
    void append(std::uint32_t position) { m_positions.push_back(position); }
    void reserve(std::size_t n) { m_positions.reserve(n); }
    void clear() {
        m_positions = {};
        m_generation = nextGeneration();
    }

private:
    static std::uint64_t nextGeneration() {
        static std::atomic<std::uint64_t> next{1};
        return next++;
    }

    std::vector<std::uint32_t> m_positions;
    std::uint64_t m_generation;
};

struct FilterState {
    std::vector<FilterCondition> conditions;
    FilterMode mode = FilterMode::kShow;
    std::uint16_t activeWord = 0;  // bit 0: the filter is active
    DisplayIndexList displayIndexList;
    std::uint32_t processedCount = 0;   // store frames the filter has looked at
    std::uint64_t storeGeneration = 0;  // the store's generation those frames belong to
    std::shared_ptr<const FrameConditions> moreConditions;  // null: the list alone

    [[nodiscard]] bool active() const { return (activeWord & 1) != 0; }
    // Active when some condition of the list is ticked.
    void recomputeActive();
};

// Tests the frames appended since the last pass and appends the positions of those to be shown.
// A store emptied since the last pass (Clear All, New, Open) starts the list afresh. `upTo` stops
// the pass before that store position (the rest is left to the next pass).
void FilterStep(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                std::uint32_t upTo = UINT32_MAX);

// Takes the dialog's condition list (its check boxes already in FCF_ENABLED) and mode, then
// filters the whole store again.
void FilterRebuild(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                   std::vector<FilterCondition> conditions, FilterMode mode);

// FilterRebuild over a large store in steps of about the same cost, calling `betweenSteps` (done,
// total) after each so that the window can repaint. The program's state changes only at the end,
// in one go: until then the list shows the old filter's rows and the timer's passes keep using it.
using FilterProgress = std::function<void(std::uint32_t done, std::uint32_t total)>;
void FilterRebuildInSteps(FilterState& state, const FrameStore& store,
                          const ApplicationFlags& flags, std::vector<FilterCondition> conditions,
                          FilterMode mode, const FilterProgress& betweenSteps);
// Frames per step for `conditions` conditions: a step tests a bounded number of conditions.
[[nodiscard]] std::uint32_t filterStepFrames(std::size_t conditions);
