#pragma once

// Ids of the texts the transmission dialogs and commands show (kept in the string table).

#include <cstdint>

namespace strings {

inline constexpr std::uint32_t kColumnIndex = 2020;
inline constexpr std::uint32_t kAutoStopFailed = 5002;
inline constexpr std::uint32_t kNoDataToTransmit = 5003;
inline constexpr std::uint32_t kAutoStartFailed = 5004;
inline constexpr std::uint32_t kAutoTooManyItems = 5009;
inline constexpr std::uint32_t kDownloadFailed = 5010;
inline constexpr std::uint32_t kNothingToDownload = 5011;
inline constexpr std::uint32_t kManualSendFailed1 = 5078;
inline constexpr std::uint32_t kManualSendFailed2 = 5079;
inline constexpr std::uint32_t kIntervalCycleTooSmall = 5122;
// Ours: the captions of the two send failures.
inline constexpr std::uint32_t kSendFailedCaption1 = 5230;
inline constexpr std::uint32_t kSendFailedCaption2 = 5231;

}  // namespace strings
