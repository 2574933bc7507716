#include "capture/TimeAnchors.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <limits>

TimeAnchor anchorOf(std::uint32_t position, const CapturedFrame& frame, std::int64_t timeOfDayUs) {
    return {position, timeOfDayUs, adapterTimeInRoundUs(frame), frame.wraps};
}

const TimeAnchor* anchorFor(std::span<const TimeAnchor> anchors, std::uint32_t position) {
    if (anchors.empty()) return nullptr;
    const auto after =
        std::upper_bound(anchors.begin(), anchors.end(), position,
                         [](std::uint32_t p, const TimeAnchor& a) { return p < a.firstFrame; });
    return after == anchors.begin() ? &anchors.front() : &*(after - 1);
}

std::int64_t timeOfDayUs(const TimeAnchor& anchor, const CapturedFrame& frame) {
    // Both sums fit 64 bits unsigned even at 2^32 wraps. The difference may go either way (a frame
    // sent by hand carries no adapter time), and saturates rather than wraps.
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
    const std::uint64_t frameUs = adapterTimeUs(frame);
    const std::uint64_t anchorUs =
        std::uint64_t{anchor.wraps} * kAdapterClockRoundUs + anchor.adapterUs;
    const bool later = frameUs >= anchorUs;
    const std::uint64_t apart = later ? frameUs - anchorUs : anchorUs - frameUs;
    const auto step = static_cast<std::int64_t>(std::min<std::uint64_t>(apart, kMax));
    std::int64_t result = 0;
    if (later) {
        if (__builtin_add_overflow(anchor.timeOfDayUs, step, &result)) return kMax;
    } else if (__builtin_sub_overflow(anchor.timeOfDayUs, step, &result)) {
        return kMin;
    }
    return result;
}

std::string formatTimeOfDay(std::int64_t us, bool withMicros) {
    std::int64_t seconds = us / 1'000'000;
    std::int64_t micros = us % 1'000'000;
    if (micros < 0) {
        micros += 1'000'000;
        --seconds;
    }
    const auto when = static_cast<std::time_t>(seconds);
    std::tm t{};
    if (localtime_r(&when, &t) == nullptr) return {};
    char text[64];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &t);
    std::string out(text, n);
    if (withMicros) {
        char fraction[16];
        std::snprintf(fraction, sizeof fraction, ".%06lld", static_cast<long long>(micros));
        out += fraction;
    }
    return out;
}

std::int64_t hostTimeOfDayUs() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void TimeAnchorList::frameTaken(std::uint32_t position, const CapturedFrame& frame,
                                std::int64_t nowUs) {
    if (!m_runPending.exchange(false)) return;
    std::lock_guard lock(m_mutex);
    // Positions only grow while the store does; an anchor at or beyond this one belongs to
    // frames that are no longer there.
    while (!m_anchors.empty() && m_anchors.back().firstFrame >= position) m_anchors.pop_back();
    m_anchors.push_back(anchorOf(position, frame, nowUs));
}

std::vector<TimeAnchor> TimeAnchorList::snapshot(std::uint32_t frameCount) const {
    std::lock_guard lock(m_mutex);
    std::vector<TimeAnchor> out;
    for (const TimeAnchor& a : m_anchors) {
        if (a.firstFrame < frameCount) out.push_back(a);
    }
    return out;
}

std::optional<TimeAnchor> TimeAnchorList::last() const {
    std::lock_guard lock(m_mutex);
    if (m_anchors.empty()) return std::nullopt;
    return m_anchors.back();
}

std::optional<std::int64_t> TimeAnchorList::timeOfDayUs(std::uint32_t position,
                                                        const CapturedFrame& frame) const {
    std::lock_guard lock(m_mutex);
    const TimeAnchor* anchor = anchorFor(m_anchors, position);
    if (anchor == nullptr) return std::nullopt;
    return ::timeOfDayUs(*anchor, frame);
}

void TimeAnchorList::replace(std::vector<TimeAnchor> anchors) {
    {
        std::lock_guard lock(m_mutex);
        m_anchors = std::move(anchors);
    }
    m_runPending.store(true);
}
