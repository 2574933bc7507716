#pragma once

// The bits of a curve definition's flags word and of a window record's flags word.

#include <cstdint>

namespace curve_flags {

inline constexpr std::uint32_t kYBytes = 0xFF;  // D0..D7 of the value (y(t)) or Y value
inline constexpr std::uint32_t kYSigned = 0x100;
inline constexpr std::uint32_t kYReverse = 0x200;
inline constexpr std::uint32_t kXYMarkLow = 0x400;  // set on every accepted y(x) curve
inline constexpr std::uint32_t kXBytes = 0xFF000;   // D0..D7 of the X value
inline constexpr std::uint32_t kXSigned = 0x100000;
inline constexpr std::uint32_t kXReverse = 0x200000;
inline constexpr std::uint32_t kXYMarkHigh = 0x400000;  // set on every accepted y(x) curve
inline constexpr std::uint32_t kShow = 0x10000000;
inline constexpr std::uint32_t kDefined = 0x20000000;
inline constexpr std::uint32_t kAccepted = 0x40000000;

}  // namespace curve_flags

namespace window_flags {

inline constexpr std::uint32_t kDataList = 0x1;
inline constexpr std::uint32_t kYt = 0x2;
inline constexpr std::uint32_t kYx = 0x4;
inline constexpr std::uint32_t kChart = 0x8;
inline constexpr std::uint32_t kYMulti = 0x20;
inline constexpr std::uint32_t kXMulti = 0x40;
inline constexpr std::uint32_t kAutoMove = 0x80;

}  // namespace window_flags

// Which value of a definition: Y (also the one value of a y(t) curve) or X.
enum class Axis { kY, kX };
