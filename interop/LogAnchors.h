#pragma once

// Time anchors in and out of logs.
//
// Import: a log that tells the time of day (a candump log on a wall clock, an ASC log with a date)
// anchors its first frame to it, and anchors again where its time jumps back by more than
// kJumpBackUs (a clock set back, logs of two sessions joined): the frames go on in order on the
// capture's clock, and their anchors keep the times of day the log gave them.
//
// Export: with anchors, candump times are times of day, and ASC times count from the first
// anchor's moment, which the header's date carries; without (older documents), both keep the
// capture's clock as they always did.
//
// Thread: any one thread.

#include "capture/TimeAnchors.h"
#include "interop/LogFrame.h"
#include "interop/LogTime.h"

#include <cstdint>
#include <ctime>
#include <optional>
#include <utility>
#include <vector>

class AnchoredTimeline {
public:
    static constexpr std::uint64_t kJumpBackUs = 1'000'000;

    // `zeroUs`: the log's clock zero; `dayAtZeroUs`: the time of day there, when the log tells it.
    AnchoredTimeline(std::uint64_t zeroUs, std::optional<std::int64_t> dayAtZeroUs);

    // The frame placed on the capture clock, stored at `position` of the new document.
    [[nodiscard]] CapturedFrame place(const LogFrame& frame, std::uint32_t position);
    // The frames whose time went back by less than kJumpBackUs (or had no time of day to keep),
    // and so were moved on to the time of the one before.
    [[nodiscard]] std::uint64_t movedOn() const { return m_timeline.movedOn(); }
    [[nodiscard]] std::vector<TimeAnchor> takeAnchors() { return std::move(m_anchors); }

private:
    LogTimeline m_timeline;
    std::uint64_t m_zeroUs;
    std::optional<std::int64_t> m_dayAtZeroUs;
    // The log's times are moved on by this much after each jump back, so that the capture clock
    // goes on from the frame before.
    std::uint64_t m_shiftUs = 0;
    std::uint64_t m_lastLogUs = 0;     // the previous frame's time in the log
    std::uint64_t m_lastPlacedUs = 0;  // and what it became, shifted
    bool m_any = false;
    std::vector<TimeAnchor> m_anchors;
};

class ExportClock {
public:
    ExportClock(std::vector<TimeAnchor> anchors, LogFormat format);

    // The time a log writes for the frame at store position `position`; cheapest when the
    // positions come in order.
    [[nodiscard]] std::uint64_t timeUs(std::uint32_t position, const CapturedFrame& frame);
    // The moment ASC times count from, to the millisecond; none without anchors.
    [[nodiscard]] std::optional<std::int64_t> startUs() const;
    // The ASC header's date, seconds and milliseconds: that moment, or `otherwise` (the export's
    // own time) without anchors.
    [[nodiscard]] std::pair<std::time_t, int> headerDate(std::time_t otherwise) const;

private:
    std::vector<TimeAnchor> m_anchors;
    LogFormat m_format;
    std::int64_t m_startUs = 0;
    std::size_t m_current = 0;  // the anchor of the last position asked for
};
