#pragma once

// The bus at a glance: one row per identifier (standard and extended apart) with its count, its
// last frame, the bytes that changed and when, and its periods.
//
// Incremental: an update looks only at what was appended since the previous one, at the cost of
// one hash lookup and a few updates per frame, so a timer keeps it current at full bus load. It
// reads either every frame of the store or the rows of a filter's result (store positions, as the
// data list shows them). A store that was emptied or replaced since the last update (another
// store, or its generation moved on), a row list that shrank, or a switch between the two kinds
// of input starts the overview afresh; a filter rebuilt with other conditions needs reset().
//
// Times are the frames' adapter times with the clock's wraps counted (adapterTimeUs, as the log
// export counts them), in microseconds, or in whole milliseconds as curve times are. Periods are
// differences of consecutive times of one identifier and are negative where a time went back
// (frames sent by hand carry no time).
//
// Thread: the user-interface thread, fed by a timer, while the capture thread appends to the
// store; records never move and the count is read once per update (see FrameStore.h).

#include "capture/FrameStore.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

enum class OverviewClock { kMicroseconds, kMilliseconds };

struct OverviewRow {
    static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

    std::uint32_t identifier = 0;
    bool extended = false;
    bool lastRemote = false;  // the last frame was a remote frame: it has no data to show
    std::uint8_t lastLength = 0;
    // Bit i: byte i differs from the previous data frame of this identifier (or is new to it).
    std::uint8_t changedMask = 0;
    // The last data frame's bytes; those beyond its length are 0.
    std::uint8_t lastData[8] = {};
    std::uint8_t lastDataLength = 0;
    bool hasData = false;            // a data frame has been seen
    std::uint32_t lastPosition = 0;  // store position of the last frame
    std::uint64_t count = 0;
    std::uint64_t firstTime = 0;
    std::uint64_t lastTime = 0;
    std::int64_t minPeriod = 0;  // both valid when hasPeriods()
    std::int64_t maxPeriod = 0;
    // When byte i last took a new value; kNever while it has not changed.
    std::uint64_t changedAt[8] = {kNever, kNever, kNever, kNever, kNever, kNever, kNever, kNever};
    // The overview's version() after the update that last took a frame of this identifier: a
    // view redraws only the rows that moved on since it last looked.
    std::uint64_t version = 0;

    [[nodiscard]] bool hasPeriods() const { return count > 1; }
    // (last - first) / (count - 1); 0 without periods.
    [[nodiscard]] double meanPeriod() const;
    // Not seen for more than three mean periods at `now` (same clock as the times). A row without
    // a positive mean period is never quiet.
    [[nodiscard]] bool quiet(std::uint64_t now) const;
    // Byte `i` took a new value less than `within` before `now`: a view highlights it until then.
    [[nodiscard]] bool changedWithin(int i, std::uint64_t now, std::uint64_t within) const {
        return changedAt[i] != kNever && now >= changedAt[i] && now - changedAt[i] < within;
    }
};

class BusOverview {
public:
    // Beyond this many identifiers (a damaged or hostile file), the frames of further identifiers
    // are only counted, so memory stays bounded.
    static constexpr std::size_t kDefaultMaxRows = std::size_t{1} << 20;

    explicit BusOverview(OverviewClock clock = OverviewClock::kMicroseconds,
                         std::size_t maxRows = kDefaultMaxRows);
    ~BusOverview();
    BusOverview(const BusOverview&) = delete;
    BusOverview& operator=(const BusOverview&) = delete;

    // Takes the frames appended to `store` since the last update, at most `maxFrames` of them
    // (so a large document can be taken in steps). True when every frame has been taken.
    bool update(const FrameStore& store, std::size_t maxFrames = SIZE_MAX);

    // The same over a filter's result: `rows.at(r)` is the store position of row r, and rows are
    // only ever appended. Only the frames of those rows count.
    template <typename Rows>
    bool updateRows(const FrameStore& store, const Rows& rows, std::size_t maxRows = SIZE_MAX);

    // Forgets everything; the next update starts from the first frame or row.
    void reset();

    [[nodiscard]] const std::vector<OverviewRow>& rows() const {
        return m_rows;
    }  // first seen first
    [[nodiscard]] std::size_t size() const { return m_rows.size(); }
    // The row of an identifier, or -1.
    [[nodiscard]] std::ptrdiff_t find(std::uint32_t identifier, bool extended) const;

    [[nodiscard]] std::uint64_t framesTaken() const { return m_framesTaken; }
    // Frames of identifiers beyond the row limit, counted nowhere else.
    [[nodiscard]] std::uint64_t framesOverLimit() const { return m_framesOverLimit; }
    // The latest frame time taken: "now" for quiet() when nothing newer is known.
    [[nodiscard]] std::uint64_t latestTime() const { return m_latestTime; }
    // Moves on whenever the rows change, so a view repaints only then.
    [[nodiscard]] std::uint64_t version() const { return m_version; }
    // Store frames or rows taken so far.
    [[nodiscard]] std::size_t consumed() const { return m_consumed; }

private:
    enum class Input { kNone, kStore, kRows };

    // Resets when the input kind, the store or its generation changed.
    void follow(const FrameStore& store, Input input);
    void add(const CapturedFrame& frame, std::uint32_t position);
    [[nodiscard]] std::uint64_t timeOf(const CapturedFrame& frame) const;
    // The row index for `key`, inserting a new row; -1 beyond the row limit.
    std::int64_t rowFor(std::uint64_t key);
    void grow();

    struct Slot {
        std::uint64_t key;
        std::uint32_t row;
    };
    static constexpr std::uint64_t kEmpty = std::numeric_limits<std::uint64_t>::max();

    const OverviewClock m_clock;
    const std::size_t m_maxRows;
    std::vector<OverviewRow> m_rows;
    std::unique_ptr<Slot[]> m_slots;  // open addressing, linear probing, at most half full
    std::size_t m_slotMask = 0;
    int m_shift = 64;
    Input m_input = Input::kNone;
    const FrameStore* m_store = nullptr;
    std::uint64_t m_generation = 0;
    std::size_t m_consumed = 0;
    std::uint64_t m_framesTaken = 0;
    std::uint64_t m_framesOverLimit = 0;
    std::uint64_t m_latestTime = 0;
    std::uint64_t m_version = 0;
};

template <typename Rows>
bool BusOverview::updateRows(const FrameStore& store, const Rows& rows, std::size_t maxRows) {
    follow(store, Input::kRows);
    const std::size_t total = rows.size();
    if (total < m_consumed) {
        reset();  // the list was emptied (Clear All, a rebuilt filter)
        follow(store, Input::kRows);
    }
    const std::size_t before = m_consumed;
    const std::size_t end = total - m_consumed > maxRows ? m_consumed + maxRows : total;
    const std::uint32_t count = store.count();
    for (; m_consumed < end; ++m_consumed) {
        const std::uint32_t position = rows.at(m_consumed);
        if (position >= count) break;  // a row ahead of the store read at the start: next time
        add(store.at(position), position);
    }
    if (m_consumed != before) ++m_version;
    return m_consumed == total;
}
