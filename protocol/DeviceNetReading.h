#pragma once

// The DeviceNet reading of an 11-bit identifier: message group, message ID, the MAC IDs the
// identifier or the first data byte carries, and a description.

#include "capture/CapturedFrame.h"

#include <cstdint>
#include <optional>

enum class DeviceNetDescription : std::uint8_t {
    // Group 1
    kGroup1Unassigned,  // message IDs 0..12
    kSlaveIoCosCc,
    kSlaveIoBitStrobeRes,
    kSlaveIoPollResOrCosCcAck,
    // Group 2
    kMasterIoBitStrobeCmd,
    kReservedForMaster,
    kMasterCosCcAck,
    kSlaveExpRes,
    kMasterExpReq,
    kMasterIoPollCosCc,
    kGroup2OnlyUnconnExpReq,
    kDuplicateMacIdCheck,
    // Group 3
    kGroup3Unassigned,  // message IDs 0..4
    kUnconnExpRes,
    kUnconnExpReq,
    // Group 4
    kReservedGroup4,
    kCommFaultedRes,
    kCommFaultedReq,
    kOfflineOwnershipRes,
    kOfflineOwnershipReq,
    kInvalidCanIdentifiers,
};
inline constexpr int kDeviceNetDescriptionCount = 21;

struct DeviceNetReading {
    bool readable = false;  // false for an extended frame; nothing else is then set
    std::uint8_t group = 0;
    std::uint8_t messageId = 0;
    std::optional<std::uint8_t> source;
    std::optional<std::uint8_t> destination;
    DeviceNetDescription description = DeviceNetDescription::kGroup1Unassigned;
};

// `firstDataByte` is the frame's data byte 0; its low six bits name the other party of explicit
// messages.
[[nodiscard]] DeviceNetReading readDeviceNet(std::uint32_t identifier, std::uint8_t format,
                                             std::uint8_t firstDataByte);
[[nodiscard]] inline DeviceNetReading readDeviceNet(const CapturedFrame& frame) {
    return readDeviceNet(frame.identifier, frame.format, frame.data[0]);
}

// The data list's text of a description.
[[nodiscard]] const char* dataListText(DeviceNetDescription description);
