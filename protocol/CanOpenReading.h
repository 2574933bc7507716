#pragma once

// The CANopen reading of an 11-bit identifier (COB-ID) by the predefined connection set.

#include "capture/CapturedFrame.h"

#include <cstdint>

enum class CanOpenDescription : std::uint8_t {
    kNmt,
    kReserved,
    kSync,
    kEmergency,
    kTimeStamp,
    kPdo1Tx,
    kPdo1Rx,
    kPdo2Tx,
    kPdo2Rx,
    kPdo3Tx,
    kPdo3Rx,
    kPdo4Tx,
    kPdo4Rx,
    kSdoTx,
    kSdoRx,
    kNmtErrorControl,
    kUnassigned,  // "--------"
};
inline constexpr int kCanOpenDescriptionCount = 17;

struct CanOpenReading {
    bool readable = false;  // false for an extended frame
    std::uint8_t functionCode = 0;
    std::uint8_t nodeId = 0;
    CanOpenDescription description = CanOpenDescription::kUnassigned;
};

[[nodiscard]] CanOpenReading readCanOpen(std::uint32_t identifier, std::uint8_t format);
[[nodiscard]] inline CanOpenReading readCanOpen(const CapturedFrame& frame) {
    return readCanOpen(frame.identifier, frame.format);
}

[[nodiscard]] const char* dataListText(CanOpenDescription description);
