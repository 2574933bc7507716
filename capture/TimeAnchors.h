#pragma once

// Time anchors: where the adapter's clock meets the time of day. The adapter stamps frames with
// its own clock, which starts when it is powered and knows no date; an anchor ties the first frame
// of a capture run (or of a stretch of an imported log) to the host's clock. Frames keep their
// adapter times; a frame's time of day is its anchor's plus the adapter time gone by since the
// anchor's frame. A re-powered adapter starts its clock again, and its run has an anchor of its
// own, so the restart never reads as time that passed.

#include "capture/AdapterClock.h"
#include "capture/CapturedFrame.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct TimeAnchor {
    std::uint32_t firstFrame = 0;  // store position of the run's first frame
    std::int64_t timeOfDayUs = 0;  // microseconds since 1970-01-01 00:00 UTC
    std::uint64_t adapterUs = 0;   // the frame's adapter time within its round, in microseconds
    std::uint32_t wraps = 0;       // the frame's wrap count
    bool operator==(const TimeAnchor&) const = default;
};

// The anchor of the frame at `position` taken at `timeOfDayUs`.
[[nodiscard]] TimeAnchor anchorOf(std::uint32_t position, const CapturedFrame& frame,
                                  std::int64_t timeOfDayUs);

// The anchor a frame counts from: the last one at or before its position; a frame before every
// anchor (sent by hand before the first run) counts from the first. Null without anchors. The
// anchors are in the order of their frames.
[[nodiscard]] const TimeAnchor* anchorFor(std::span<const TimeAnchor> anchors,
                                          std::uint32_t position);

// The time of day of `frame` counted from `anchor`, in microseconds since 1970.
[[nodiscard]] std::int64_t timeOfDayUs(const TimeAnchor& anchor, const CapturedFrame& frame);

// The time of day in the local time zone, "2023-11-14 22:13:20.123456" (or without the
// microseconds).
[[nodiscard]] std::string formatTimeOfDay(std::int64_t us, bool withMicros = true);

// The host's clock, in microseconds since 1970.
[[nodiscard]] std::int64_t hostTimeOfDayUs();

// The anchors of the frames in the process-wide store.
//
// Thread: the capture poll adds on its timer thread, under the store's write lock; everything
// else runs on the user-interface thread. A lock guards the list: it is read only for a tool tip,
// an export or a save, never per painted cell.
class TimeAnchorList {
public:
    // Any thread: the next frame the poll takes in begins a run (Capture, a new set-up).
    void startRun() { m_runPending.store(true); }
    [[nodiscard]] bool runPending() const { return m_runPending.load(); }

    // The poll, before it stores `frame` at `position`: when a run has begun, anchors the frame
    // to `nowUs`, the host's clock as the frame is read.
    void frameTaken(std::uint32_t position, const CapturedFrame& frame, std::int64_t nowUs);

    // The anchors of the frames below `frameCount`.
    [[nodiscard]] std::vector<TimeAnchor> snapshot(std::uint32_t frameCount = UINT32_MAX) const;
    [[nodiscard]] std::optional<TimeAnchor> last() const;
    [[nodiscard]] std::optional<std::int64_t> timeOfDayUs(std::uint32_t position,
                                                          const CapturedFrame& frame) const;

    // The store was emptied or replaced: these anchors go with it, and the next frame taken in
    // begins a run.
    void replace(std::vector<TimeAnchor> anchors);
    void clear() { replace({}); }

private:
    mutable std::mutex m_mutex;
    std::vector<TimeAnchor> m_anchors;
    std::atomic<bool> m_runPending{true};
};
