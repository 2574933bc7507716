#pragma once

// The program's string table: every user-visible text by its id.

#include <cstdint>

namespace strings {

inline constexpr std::uint32_t kDeviceError = 5000;
inline constexpr std::uint32_t kCannotRunDevice = 5001;
inline constexpr std::uint32_t kStopDeviceFirst = 5133;
// Ours: the capture stopped because the frame store could not grow.
inline constexpr std::uint32_t kOutOfMemoryCaptureStopped = 5200;

// The text of `id` in the program's own language; "" for an unknown id.
[[nodiscard]] const char* loadString(std::uint32_t id);

}  // namespace strings
