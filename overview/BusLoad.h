#pragma once

// The bus load over time, in bins of 100 ms: the bus time of the frames in each bin at the set bit
// rate, counted as the adapter counts its loading column (interop/BusTiming.h), and the frames the
// adapter lost.
//
// A frame holds the bus for its bus time up to its time stamp (the adapter stamps a frame when it
// has ended); a frame that straddles a bin edge counts in both bins. Bins are kept only where the
// bus carried something, in time order, so a long or sparse capture costs memory by its traffic,
// not by its length. A frame stamped earlier than one before it (frames sent by hand carry no
// time) counts at the latest time seen, as it was appended then.
//
// Lost frames are known only as the capture's running total (CaptureState::framesLost), which the
// poll raises when a read reports them, before it appends the frames of that read. Each rise seen
// by an update is marked at the newest frame taken (the adapter lost them after the frames it still
// held), so the marks stay in place when another bit rate has the load counted again. Documents do
// not keep lost frames, so a loaded one shows none.
//
// Incremental like BusOverview: an update takes only the frames appended since the previous one;
// a store emptied or replaced starts afresh.
//
// Thread: the user-interface thread, fed by a timer, while the capture thread appends.

#include "capture/FrameStore.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class BusLoad {
public:
    static constexpr std::uint64_t kDefaultBinUs = 100'000;

    struct Bin {
        std::uint64_t index = 0;   // the bin's start is index × bin width
        std::uint64_t busyUs = 0;  // bus time within the bin
        std::uint32_t frames = 0;  // frames that ended within the bin
        std::uint32_t lost = 0;    // frames the adapter lost, marked here
    };

    explicit BusLoad(unsigned baudKbps, std::uint64_t binUs = kDefaultBinUs);

    // Another bit rate: the load is counted again from the first frame at the next updates.
    void setBaudRate(unsigned baudKbps);
    [[nodiscard]] unsigned baudRate() const { return m_baudKbps; }
    [[nodiscard]] std::uint64_t binUs() const { return m_binUs; }

    // Takes the frames appended since the last update (at most `maxFrames`) and the capture's
    // running total of lost frames. True when every frame has been taken.
    bool update(const FrameStore& store, std::uint64_t lostTotal = 0,
                std::size_t maxFrames = SIZE_MAX);
    void reset();

    // The bins that saw traffic, earliest first.
    [[nodiscard]] const std::vector<Bin>& bins() const { return m_bins; }
    // The load of a bin in percent (0 to 100), rounded as the loading column is.
    [[nodiscard]] std::uint32_t percent(const Bin& bin) const;
    // The load of the bin `index` (0 where the bus carried nothing).
    [[nodiscard]] std::uint32_t percentAt(std::uint64_t index) const;
    // The first bin at or after `index`, for a chart that draws from there: bins().size() if none.
    [[nodiscard]] std::size_t lowerBound(std::uint64_t index) const;

    [[nodiscard]] std::uint64_t framesLost() const { return m_lostMarked; }
    [[nodiscard]] std::uint64_t version() const { return m_version; }

private:
    struct LostMark {
        std::size_t position;  // marked with the frame at this store position
        std::uint64_t frames;
    };

    void follow(const FrameStore& store);
    // Counts the bins again from the first frame; what is known of lost frames stays.
    void recount();
    void add(const CapturedFrame& frame, std::size_t position);
    void mark(std::uint64_t frames);
    // The bin `index`, appended if it is beyond the last; earlier bins go to the last one.
    Bin& binAt(std::uint64_t index);

    unsigned m_baudKbps;
    const std::uint64_t m_binUs;
    std::vector<Bin> m_bins;
    const FrameStore* m_store = nullptr;
    std::uint64_t m_generation = 0;
    std::size_t m_consumed = 0;
    std::uint64_t m_latestUs = 0;
    std::vector<LostMark> m_lostMarks;
    std::size_t m_nextMark = 0;       // the first mark not yet in the bins
    std::uint64_t m_lostSeen = 0;     // the running total at the last update
    std::uint64_t m_lostPending = 0;  // seen before any frame was taken
    std::uint64_t m_lostMarked = 0;   // marked in the bins
    std::uint64_t m_version = 0;
};
