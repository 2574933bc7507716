#include "interop/LogAnchors.h"

#include <algorithm>

namespace {

// Beyond this the shifted times could overflow: the log is then placed as if it had no jump.
constexpr std::uint64_t kMaxShiftUs = std::uint64_t{1} << 62;

std::int64_t floorToMillisecond(std::int64_t us) {
    const std::int64_t rest = us % 1000;
    return rest < 0 ? us - rest - 1000 : us - rest;
}

}  // namespace

AnchoredTimeline::AnchoredTimeline(std::uint64_t zeroUs, std::optional<std::int64_t> dayAtZeroUs)
    : m_timeline(zeroUs), m_zeroUs(zeroUs), m_dayAtZeroUs(dayAtZeroUs) {}

CapturedFrame AnchoredTimeline::place(const LogFrame& frame, std::uint32_t position) {
    bool anchor = m_dayAtZeroUs.has_value() && !m_any;
    if (m_dayAtZeroUs && m_any && frame.timeUs + kJumpBackUs < m_lastLogUs) {
        // The capture clock goes on from the frame before: this frame lands right on its time.
        const std::uint64_t shift = m_lastPlacedUs + m_zeroUs - frame.timeUs;
        if (shift <= kMaxShiftUs) {
            m_shiftUs = shift;
            anchor = true;
        }
    }
    LogFrame shifted = frame;
    shifted.timeUs += m_shiftUs;
    const CapturedFrame placed = m_timeline.place(shifted);
    if (anchor) {
        const std::int64_t sinceZero =
            static_cast<std::int64_t>(frame.timeUs) - static_cast<std::int64_t>(m_zeroUs);
        m_anchors.push_back(anchorOf(position, placed, *m_dayAtZeroUs + sinceZero));
    }
    m_any = true;
    m_lastLogUs = frame.timeUs;
    m_lastPlacedUs = captureTimeUs(placed);
    return placed;
}

ExportClock::ExportClock(std::vector<TimeAnchor> anchors, LogFormat format)
    : m_anchors(std::move(anchors)), m_format(format) {
    if (!m_anchors.empty()) m_startUs = floorToMillisecond(m_anchors.front().timeOfDayUs);
}

std::optional<std::int64_t> ExportClock::startUs() const {
    if (m_anchors.empty()) return std::nullopt;
    return m_startUs;
}

std::pair<std::time_t, int> ExportClock::headerDate(std::time_t otherwise) const {
    if (m_anchors.empty()) return {otherwise, 0};
    std::int64_t seconds = m_startUs / 1'000'000;
    std::int64_t micros = m_startUs % 1'000'000;
    if (micros < 0) {
        micros += 1'000'000;
        --seconds;
    }
    return {static_cast<std::time_t>(seconds), static_cast<int>(micros / 1000)};
}

std::uint64_t ExportClock::timeUs(std::uint32_t position, const CapturedFrame& frame) {
    if (m_anchors.empty()) return captureTimeUs(frame);
    if (position < m_anchors[m_current].firstFrame && m_current > 0) {
        m_current = static_cast<std::size_t>(anchorFor(m_anchors, position) - m_anchors.data());
    }
    while (m_current + 1 < m_anchors.size() && m_anchors[m_current + 1].firstFrame <= position) {
        ++m_current;
    }
    std::int64_t us = timeOfDayUs(m_anchors[m_current], frame);
    if (m_format == LogFormat::kAsc && __builtin_sub_overflow(us, m_startUs, &us)) {
        us = m_startUs < 0 ? INT64_MAX : 0;
    }
    // A time before 1970 (or before the first anchor in ASC) has no form in the log.
    return us < 0 ? 0 : static_cast<std::uint64_t>(us);
}
