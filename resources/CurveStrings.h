#pragma once

// String ids of the chart windows, their dialogs and the curve information list.

#include <cstdint>

namespace strings {

inline constexpr std::uint32_t kTimeCaption = 5115;    // "[m-s-ms]"
inline constexpr std::uint32_t kYtColumnFirst = 5116;  // 5116..5121: the y(t) curve list
inline constexpr std::uint32_t kYxColumnFirst = 5124;  // 5124..5131: the y(x) curve list
inline constexpr std::uint32_t kMaxFourCurves = 5340;
inline constexpr std::uint32_t kNameInvalid = 5341;
inline constexpr std::uint32_t kSameCurveName = 5342;
inline constexpr std::uint32_t kXIdentifierInvalid = 5343;
inline constexpr std::uint32_t kYIdentifierInvalid = 5344;
inline constexpr std::uint32_t kYMinimumInvalid = 5345;
inline constexpr std::uint32_t kYOrgInvalid = 5346;
inline constexpr std::uint32_t kXMinimumInvalid = 5347;
inline constexpr std::uint32_t kXOrgInvalid = 5348;
inline constexpr std::uint32_t kResolutionBlank = 5349;
inline constexpr std::uint32_t kTimescopeInvalid = 5350;
inline constexpr std::uint32_t kNoMoreThanFourBytes = 5351;
inline constexpr std::uint32_t kSyncInvalid = 5352;
inline constexpr std::uint32_t kMustInputName = 5353;
inline constexpr std::uint32_t kDeleteViewQuestion = 5354;
inline constexpr std::uint32_t kInputAnotherName = 5355;
inline constexpr std::uint32_t kNoChartWindow = 5356;
inline constexpr std::uint32_t kInfoColumnFirst = 10001;  // 10001..10010: the information list
inline constexpr std::uint32_t kEnable = 10011;
inline constexpr std::uint32_t kDisable = 10012;

}  // namespace strings
