#pragma once

// A log's time on the capture's clock: the adapter's time fields (minutes, seconds, millis,
// micros) and the wrap count of its 22-bit millisecond counter.

#include "capture/AdapterClock.h"
#include "capture/CapturedFrame.h"
#include "interop/LogFrame.h"

#include <cstdint>

inline constexpr std::uint64_t kAdapterWrapMs = kAdapterClockRoundMs;  // the clock's round

// Microseconds since the capture started. Micros beyond 999 (the adapter counts to 1023) stay
// within their millisecond so that times keep their order.
[[nodiscard]] std::uint64_t captureTimeUs(const CapturedFrame& frame);
void setCaptureTime(CapturedFrame& frame, std::uint64_t us);

[[nodiscard]] LogFrame toLogFrame(const CapturedFrame& frame);

// Places a log's frames on the capture clock in file order: the clock's zero at `zeroUs`, and a
// frame that is earlier than the one before it (logs merged from several buses) at that one's
// time, so the time column stays ordered. Frames placed later than their own time are counted.
class LogTimeline {
public:
    explicit LogTimeline(std::uint64_t zeroUs) : m_zeroUs(zeroUs) {}
    [[nodiscard]] CapturedFrame place(const LogFrame& frame);
    // The frames whose time went back, and so were moved on.
    [[nodiscard]] std::uint64_t movedOn() const { return m_movedOn; }

private:
    std::uint64_t m_zeroUs;
    std::uint64_t m_lastUs = 0;
    std::uint64_t m_movedOn = 0;
};
