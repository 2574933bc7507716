#pragma once

// How long a classic CAN frame holds the bus: its bits with stuffing at a bit rate, and the
// loading those times make within a window. The emulated adapter's loading measurement and the
// program's bus-load chart count with these same functions, so the two always agree.

#include <cstdint>

// The bits a frame occupies on the bus: the frame with its stuff bits, then the interframe space.
// Reads the first `length` bytes of `data` (at most 8), none for a remote frame.
[[nodiscard]] unsigned canFrameBits(std::uint32_t identifier, bool extended, bool remote,
                                    std::uint8_t length, const std::uint8_t* data);

// Microseconds that `bits` take at `baudKbps` kbit/s, to the nearest; 0 without a bit rate.
[[nodiscard]] std::uint64_t busTimeUs(unsigned bits, unsigned baudKbps);

// The loading in percent of `busyUs` of bus time within `windowUs`, to the nearest, at most 100.
[[nodiscard]] std::uint32_t loadingPercent(std::uint64_t busyUs, std::uint64_t windowUs);
