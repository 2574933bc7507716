#pragma once

// The program-wide filter: the condition list, Show/Hide, the active word, and the list of store
// positions the data list shows. The passes fill that list from the frame store.
//
// Thread: the user-interface thread only.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "filters/FilterCondition.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
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
    DisplayIndexList(const DisplayIndexList& other) : m_generation(other.m_generation) {
        copyRows(other);
    }
    DisplayIndexList& operator=(const DisplayIndexList& other) {
        if (this != &other) {
            copyRows(other);
            m_generation = other.m_generation;
        }
        return *this;
    }
    DisplayIndexList(DisplayIndexList&& other) noexcept
        : m_blocks(std::move(other.m_blocks)),
          m_identity(std::exchange(other.m_identity, 0)),
          m_size(std::exchange(other.m_size, 0)),
          m_generation(other.m_generation) {}
    DisplayIndexList& operator=(DisplayIndexList&& other) noexcept {
        m_blocks = std::move(other.m_blocks);
        m_identity = std::exchange(other.m_identity, 0);
        m_size = std::exchange(other.m_size, 0);
        m_generation = other.m_generation;
        return *this;
    }
    // A new value whenever the list is emptied or made anew (a filter rebuilt over the same
    // store); between those rows are only appended, so a view that took its rows at this value
    // may keep them.
    [[nodiscard]] std::uint64_t generation() const { return m_generation; }

    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    // Readers check the row first: a row may be gone (Clear All) before the view hears of it.
    [[nodiscard]] bool contains(std::size_t row) const { return row < m_size; }
    [[nodiscard]] std::uint32_t at(std::size_t row) const {
        if (row < m_identity) return static_cast<std::uint32_t>(row);
        const std::size_t k = row - m_identity;
        return m_blocks[k >> kBlockBits][k & (kBlockSize - 1)];
    }
    void append(std::uint32_t position) {
        if (m_size == m_identity && position == m_identity) {
            ++m_identity;
            ++m_size;
            return;
        }
        const std::size_t k = m_size - m_identity;
        if ((k & (kBlockSize - 1)) == 0 && (k >> kBlockBits) == m_blocks.size()) {
            m_blocks.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kBlockSize));
        }
        m_blocks[k >> kBlockBits][k & (kBlockSize - 1)] = position;
        ++m_size;
    }
    // append() of every position in [first, end).
    void appendRange(std::uint32_t first, std::uint32_t end) {
        if (m_size == m_identity && first == m_identity && end > first) {
            m_identity = m_size = end;
            return;
        }
        for (std::uint32_t p = first; p < end; ++p) append(p);
    }
    // Rows held in memory, beside those that show every frame from the first.
    [[nodiscard]] std::size_t storedRows() const { return m_size - m_identity; }
    void clear() {
        std::vector<std::unique_ptr<std::uint32_t[]>>().swap(m_blocks);
        m_identity = 0;
        m_size = 0;
        m_generation = nextGeneration();
    }

private:
    // Rows that show frames 0, 1, 2, ... in turn (every frame, while no filter is on) need no
    // memory; the rest live in fixed blocks, so a growing list of a large store is never copied,
    // nor held twice while it moves.
    static constexpr std::size_t kBlockBits = 16;
    static constexpr std::size_t kBlockSize = std::size_t{1} << kBlockBits;

    void copyRows(const DisplayIndexList& other) {
        m_blocks.clear();
        m_identity = 0;
        m_size = 0;
        for (std::size_t r = 0; r < other.m_size; ++r) append(other.at(r));
    }

    static std::uint64_t nextGeneration() {
        static std::atomic<std::uint64_t> next{1};
        return next++;
    }

    std::vector<std::unique_ptr<std::uint32_t[]>> m_blocks;
    std::size_t m_identity = 0;  // rows [0, m_identity) show the frame at their own position
    std::size_t m_size = 0;
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

// Takes the conditions and mode as FilterRebuild does and empties the list, but leaves the pass
// to FilterStepWithin: the old list is let go first, so two lists are never held at once.
void FilterRestart(FilterState& state, const FrameStore& store,
                   std::vector<FilterCondition> conditions, FilterMode mode);

// The window's thread spends about this long on a filter pass before it looks at its events.
inline constexpr std::chrono::milliseconds kFilterSlice{15};
// FilterStep a chunk at a time until the list has caught up with the store or `budget` is spent
// (a zero budget: one chunk). A zero `chunkFrames` means filterChunkFrames. True while frames are left for a later call.
bool FilterStepWithin(FilterState& state, const FrameStore& store, const ApplicationFlags& flags,
                      std::chrono::nanoseconds budget, std::uint32_t chunkFrames = 0);
// Frames per step for `conditions` conditions: a step tests a bounded number of conditions.
[[nodiscard]] std::uint32_t filterStepFrames(std::size_t conditions);
// Frames FilterStepWithin filters between two looks at the clock, for `conditions` conditions.
[[nodiscard]] std::uint32_t filterChunkFrames(std::size_t conditions);
