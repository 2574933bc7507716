#pragma once

// The incremental sampling of the chart windows: each view owns one scan, which looks at every
// frame of the store once, keeps one sample per matching frame and the running extremes.
//
// Thread: the user-interface thread (the owning view's timer). The store is read by index up to
// the count read at the start of a scan; appends on the capture thread never move records.
//
// A scan may stop after any number of frames and go on later from there: the samples, extremes
// and pairings come out the same however the frames are split, so a large store is read in
// short steps that never hold the window up.
//
// Memory: a y(t) sample is the three u32 of `CurveSample`, held in fixed chunks so that growing
// never copies nor doubles; a small summary per block of samples (the drawn minimum and maximum)
// lets a zoomed-out redraw skip whole blocks.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "curves/CurveRecords.h"
#include "curves/CurveSignal.h"
#include "curves/ExtractValue.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// The 64-bit time is kept as two halves so that a sample stays 12 bytes, not a padded 16.
struct CurveSample {
    std::uint32_t frame;
    std::uint32_t timeLow;
    std::uint32_t timeHigh;

    CurveSample() = default;
    CurveSample(std::uint32_t frameIndex, std::uint64_t time)
        : frame(frameIndex),
          timeLow(static_cast<std::uint32_t>(time)),
          timeHigh(static_cast<std::uint32_t>(time >> 32)) {}
    [[nodiscard]] std::uint64_t timeMs() const { return std::uint64_t{timeHigh} << 32 | timeLow; }
};
static_assert(sizeof(CurveSample) == 12);

struct XYSample {
    std::uint32_t valid;
    std::uint32_t yFrame;
    std::uint32_t xFrame;
};

// A point in the chart's logical units (time or X value, drawing value).
struct CurvePoint {
    std::int32_t x;
    std::int32_t y;
};

// Running extremes of a value; the reading (signed or unsigned) is widened so one pair serves both.
struct CurveStatistics {
    bool hasFirst = false;
    std::int64_t maximum = 0;
    std::int64_t minimum = 0;
    std::uint32_t maximumIndex = 0;
    std::uint32_t minimumIndex = 0;

    // Ties keep the earlier frame. Returns whether anything changed.
    bool add(std::int64_t value, std::uint32_t frame);
};

struct SyncState {
    bool armed = false;
    std::uint32_t xCount = 0;
    std::uint32_t yCount = 0;
    std::uint32_t lastX = 0;
    std::uint32_t lastY = 0;
    bool xReceived = false;
};

// An append-only sequence in fixed chunks: elements never move, growth costs no copy.
template <typename T, std::size_t ChunkBits = 16>
class ChunkedSequence {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << ChunkBits;
    void push_back(const T& value) {
        if ((m_size & (kChunk - 1)) == 0 && (m_size >> ChunkBits) == m_chunks.size()) {
            m_chunks.push_back(std::make_unique<T[]>(kChunk));
        }
        m_chunks[m_size >> ChunkBits][m_size & (kChunk - 1)] = value;
        ++m_size;
    }
    [[nodiscard]] const T& operator[](std::size_t i) const {
        return m_chunks[i >> ChunkBits][i & (kChunk - 1)];
    }
    [[nodiscard]] std::size_t size() const { return m_size; }
    [[nodiscard]] bool empty() const { return m_size == 0; }
    [[nodiscard]] const T& back() const { return (*this)[m_size - 1]; }
    [[nodiscard]] T& back() {
        return m_chunks[(m_size - 1) >> ChunkBits][(m_size - 1) & (kChunk - 1)];
    }
    void clear() {
        m_chunks.clear();
        m_size = 0;
    }
    [[nodiscard]] std::size_t memoryInUse() const {
        return m_chunks.size() * (kChunk * sizeof(T) + sizeof(std::unique_ptr<T[]>));
    }

    // Reading in order, for range-for.
    class const_iterator {
    public:
        const_iterator(const ChunkedSequence* sequence, std::size_t i)
            : m_sequence(sequence), m_i(i) {}
        const T& operator*() const { return (*m_sequence)[m_i]; }
        const_iterator& operator++() {
            ++m_i;
            return *this;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        const ChunkedSequence* m_sequence;
        std::size_t m_i;
    };
    [[nodiscard]] const_iterator begin() const { return {this, 0}; }
    [[nodiscard]] const_iterator end() const { return {this, m_size}; }

private:
    std::vector<std::unique_ptr<T[]>> m_chunks;
    std::size_t m_size = 0;
};

// One y(t) curve slot's samples with their block summaries.
class YtSlot {
public:
    // Summaries of 64 samples, and of 64 of those; a redraw reads frames only at column edges.
    static constexpr std::size_t kBlockBits = 6;
    static constexpr std::size_t kSuperBlockBits = 12;

    struct Block {
        std::int32_t minimum;
        std::int32_t maximum;
    };

    CurveDefinition definition;
    std::shared_ptr<const CurveSignal> signal;  // null: the definition's byte positions
    ChunkedSequence<CurveSample> samples;
    CurveStatistics statistics;

    [[nodiscard]] bool defined() const { return (definition.flags & curve_flags::kDefined) != 0; }
    [[nodiscard]] bool shown() const { return (definition.flags & curve_flags::kShow) != 0; }
    [[nodiscard]] const ChunkedSequence<Block, 12>& blocks() const { return m_blocks; }
    [[nodiscard]] const ChunkedSequence<Block, 8>& superBlocks() const { return m_superBlocks; }
    void append(std::uint32_t frame, std::uint64_t timeMs, std::int32_t drawn);
    void clear();
    [[nodiscard]] std::size_t memoryInUse() const;

private:
    ChunkedSequence<Block, 12> m_blocks;
    ChunkedSequence<Block, 8> m_superBlocks;
};

// What both scans share: four slots, and how far into which store they have read.
template <class Slot, class Definition>
class CurveScanSlots {
public:
    // Copies the definitions in and starts over.
    void setDefinitions(const std::array<Definition, 4>& definitions) {
        for (std::size_t i = 0; i < 4; ++i) m_slots[i].definition = definitions[i];
        reset();
    }
    // Empties every slot and starts again at frame 0.
    void reset() {
        for (Slot& s : m_slots) s.clear();
        m_position = 0;
        m_generationKnown = false;
    }

    [[nodiscard]] const Slot& slot(int i) const { return m_slots[static_cast<std::size_t>(i)]; }
    [[nodiscard]] Slot& slot(int i) { return m_slots[static_cast<std::size_t>(i)]; }
    [[nodiscard]] std::uint32_t scanPosition() const { return m_position; }
    // Whether every frame of the store as it is now has been looked at (a store emptied or
    // replaced since counts as not looked at).
    [[nodiscard]] bool complete(const FrameStore& store) const {
        return m_generationKnown && store.generation() == m_generation &&
               m_position >= store.count();
    }

    // Every frame at once; no limit.
    static constexpr std::uint32_t kAll = UINT32_MAX;

protected:
    // The end of the frames to look at now; false while the store is being emptied. Samples hold
    // store indices, so a store emptied or replaced since the last scan starts the scan over.
    // At most `limit` frames are taken from the scan position on.
    bool prepare(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit,
                 std::uint32_t& size) {
        if (flags.test(ApplicationFlags::kClearing)) return false;
        const std::uint64_t generation = store.generation();
        size = store.count();
        if ((m_generationKnown && generation != m_generation) || size < m_position) reset();
        size = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(size, std::uint64_t{m_position} + limit));
        m_generation = generation;
        m_generationKnown = true;
        return true;
    }

    std::array<Slot, 4> m_slots;
    std::uint32_t m_position = 0;

private:
    std::uint64_t m_generation = 0;
    bool m_generationKnown = false;
};

class YtScan final : public CurveScanSlots<YtSlot, CurveDefinition> {
public:
    // Looks at the frames appended since the last scan. Does nothing while the store is being
    // emptied; starts over by itself when the store was emptied or replaced since the last scan.
    // Returns whether a sample was appended. `limit` bounds the frames looked at in this call.
    bool scan(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit = kAll);
    // The slots' database signals (null for byte positions); starts over.
    void setSignals(const CurveSignals& slotSignals);

    // Largest time of the newest sample over the slots with samples (0 with none).
    [[nodiscard]] std::uint64_t newestTime() const;
    [[nodiscard]] std::size_t memoryInUse() const;
};

struct YxSlot {
    XYCurveDefinition definition;
    // The axes' database signals; null: the definition's byte positions.
    std::shared_ptr<const CurveSignal> xSignal;
    std::shared_ptr<const CurveSignal> ySignal;
    // In chunks: a growing curve never copies itself, which would hold a step of the scan up for
    // as long as the copy takes. Smaller chunks than y(t): many windows hold a few pairings each.
    ChunkedSequence<XYSample, 12> samples;
    ChunkedSequence<CurvePoint, 12> points;  // one per sample, in drawing values
    CurveStatistics xStatistics;
    CurveStatistics yStatistics;
    SyncState sync;

    [[nodiscard]] bool defined() const { return (definition.flags & curve_flags::kDefined) != 0; }
    [[nodiscard]] bool shown() const { return (definition.flags & curve_flags::kShow) != 0; }
    void clear();
};

class YxScan final : public CurveScanSlots<YxSlot, XYCurveDefinition> {
public:
    // Returns whether a statistic changed (a pairing was made). `limit` bounds the frames looked
    // at in this call.
    bool scan(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit = kAll);
    // The slots' database signals of Y and X (null for byte positions); starts over.
    void setSignals(const CurveSignals& y, const CurveSignals& x);
};
