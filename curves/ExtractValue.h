#pragma once

// Values out of frame data, and the time of a frame. Pure functions of one record.

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

// Milliseconds since the start of the capture: each counted wrap of the adapter's clock is an hour.
[[nodiscard]] std::uint32_t FrameTimeMs(const CapturedFrame& frame);
