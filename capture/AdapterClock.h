#pragma once

// The adapter's clock as the program counts it, in one place for the curves, the logs and the
// time anchors.
//
// The time stamp carries 22 bits of milliseconds, but a record whose high byte is 0xFF is an empty
// record, so the adapter never sends a count from 0x3FC000 on: its clock starts again at 0 after
// 0x3FC000 ms (69-37-920). Counting a wrap as the full 2^22 ms would put 16.384 s that never
// passed into every wrap of a long capture.

#include "capture/CapturedFrame.h"

#include <cstdint>

inline constexpr std::uint64_t kAdapterClockRoundMs = 0x3FC000;  // 4,177,920 ms
inline constexpr std::uint64_t kAdapterClockRoundUs = kAdapterClockRoundMs * 1000;

// Milliseconds since the capture's clock started: the counted wraps and the time fields, micros
// not used. 64 bits: 32 would run out after 49.7 days.
[[nodiscard]] inline std::uint64_t adapterTimeMs(const CapturedFrame& f) {
    return std::uint64_t{f.wraps} * kAdapterClockRoundMs + std::uint64_t{f.minutes} * 60'000 +
           std::uint64_t{f.seconds} * 1000 + f.millis;
}

// The time fields alone in microseconds, within the frame's round. Micros beyond 999 (the adapter
// counts to 1023) stay within their millisecond so that times keep their order.
[[nodiscard]] inline std::uint64_t adapterTimeInRoundUs(const CapturedFrame& f) {
    const std::uint64_t ms =
        std::uint64_t{f.minutes} * 60'000 + std::uint64_t{f.seconds} * 1000 + f.millis;
    return ms * 1000 + (f.micros > 999 ? 999 : f.micros);
}

// Microseconds since the capture's clock started, wraps included.
[[nodiscard]] inline std::uint64_t adapterTimeUs(const CapturedFrame& f) {
    return std::uint64_t{f.wraps} * kAdapterClockRoundUs + adapterTimeInRoundUs(f);
}

// Sets the wraps and time fields to `us` since the capture's clock started, as the adapter and the
// poll would have counted them.
inline void setAdapterTimeUs(CapturedFrame& f, std::uint64_t us) {
    const std::uint64_t ms = us / 1000;
    const std::uint64_t inRound = ms % kAdapterClockRoundMs;
    f.wraps = static_cast<std::uint32_t>(ms / kAdapterClockRoundMs);
    f.minutes = static_cast<std::uint32_t>(inRound / 60'000);
    f.seconds = static_cast<std::uint32_t>(inRound / 1000 % 60);
    f.millis = static_cast<std::uint32_t>(inRound % 1000);
    f.micros = static_cast<std::uint32_t>(us % 1000);
}
