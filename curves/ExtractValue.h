#pragma once

// Values out of frame data, and the time of a frame. Pure functions of one record.

#include "capture/AdapterClock.h"
#include "capture/CapturedFrame.h"
#include "curves/CurveFlags.h"

#include <cstdint>

// The number of data bytes the axis selects (set bits among D0..D7).
[[nodiscard]] int selectedByteCount(std::uint32_t flags, Axis axis);

// The axis's selected bytes assembled into one number; the two readings of it.
[[nodiscard]] std::int32_t ExtractValueSigned(const CapturedFrame& frame, std::uint32_t flags,
                                              Axis axis);
[[nodiscard]] std::uint32_t ExtractValueUnsigned(const CapturedFrame& frame, std::uint32_t flags,
                                                 Axis axis);

[[nodiscard]] bool isSigned(std::uint32_t flags, Axis axis);
// A four-byte unsigned value does not fit the drawing's 32-bit signed space: it is drawn halved.
[[nodiscard]] bool drawsHalved(std::uint32_t flags, Axis axis);
// The value as the chart draws it: the axis's reading, halved when `drawsHalved`.
[[nodiscard]] std::int32_t drawingValue(const CapturedFrame& frame, std::uint32_t flags, Axis axis);
// The value as the chart reads it, widened so both readings compare and print alike.
[[nodiscard]] std::int64_t readingValue(const CapturedFrame& frame, std::uint32_t flags, Axis axis);

// The value drawn for a reading of a database signal (CurveSignal.h): clamped to the range of the
// axis's reading, and halved where a four-byte unsigned value is.
[[nodiscard]] std::int32_t drawingOfReading(std::uint32_t flags, Axis axis, std::int64_t reading);

// drawingOfReading() prepared once for many readings: a clamp and a shift.
class ReadingDrawer {
public:
    ReadingDrawer() = default;
    ReadingDrawer(std::uint32_t flags, Axis axis);
    [[nodiscard]] std::int32_t drawing(std::int64_t reading) const {
        const std::int64_t v = reading < m_low ? m_low : reading > m_high ? m_high : reading;
        return static_cast<std::int32_t>(v >> m_shift);
    }

private:
    std::int64_t m_low = 0;
    std::int64_t m_high = 0;
    int m_shift = 0;
};

// The extraction of one axis prepared once for many frames: the byte positions in the order they
// fill the value, and how the value reads.
class ValueReader {
public:
    ValueReader() = default;
    ValueReader(std::uint32_t flags, Axis axis);
    [[nodiscard]] std::uint32_t raw(const CapturedFrame& frame) const {
        std::uint32_t v = 0;
        for (int k = 0; k < m_count; ++k) v |= std::uint32_t{frame.data[m_position[k]]} << (8 * k);
        return v;
    }
    [[nodiscard]] std::int64_t reading(const CapturedFrame& frame) const {
        const std::uint32_t v = raw(frame);
        if (m_sixteen) {
            return m_signed ? std::int64_t{static_cast<std::int16_t>(v)} : std::int64_t{v & 0xFFFF};
        }
        return m_signed ? std::int64_t{static_cast<std::int32_t>(v)} : std::int64_t{v};
    }
    [[nodiscard]] std::int32_t drawing(const CapturedFrame& frame) const {
        const std::int64_t v = reading(frame);
        return static_cast<std::int32_t>(m_halved ? v >> 1 : v);
    }

private:
    std::uint8_t m_position[4] = {};
    int m_count = 0;
    bool m_sixteen = false;
    bool m_signed = false;
    bool m_halved = false;
};

// Milliseconds since the start of the capture, each counted wrap kAdapterClockRoundMs. 64 bits:
// 32 would run out after 49.7 days.
[[nodiscard]] std::uint64_t FrameTimeMs(const CapturedFrame& frame);
