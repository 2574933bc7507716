#pragma once

// One filter condition: fifteen 32-bit words in a fixed order (the order the document file keeps).

#include <cstddef>
#include <cstdint>

// Flags (word 1).
inline constexpr std::uint32_t FCF_CAN = 0x2;
inline constexpr std::uint32_t FCF_DEVICENET = 0x4;
inline constexpr std::uint32_t FCF_CANOPEN = 0x8;
inline constexpr std::uint32_t FCF_ENABLED = 0x10;
inline constexpr std::uint32_t FCF_FORMAT = 0x20;
inline constexpr std::uint32_t FCF_ADVANCED_ID = 0x80;
inline constexpr std::uint32_t FCF_ID = 0x100;
inline constexpr std::uint32_t FCF_LENGTH = 0x200;
inline constexpr std::uint32_t FCF_DATA0 = 0x400;
inline constexpr std::uint32_t FCF_DATA1 = 0x800;
inline constexpr std::uint32_t FCF_DATA2 = 0x1000;
inline constexpr std::uint32_t FCF_DATA3 = 0x2000;
inline constexpr std::uint32_t FCF_DATA4 = 0x4000;
inline constexpr std::uint32_t FCF_DATA5 = 0x8000;
inline constexpr std::uint32_t FCF_DATA6 = 0x10000;
inline constexpr std::uint32_t FCF_DATA7 = 0x20000;
inline constexpr std::uint32_t FCF_DN_GROUP1 = 0x40000;
inline constexpr std::uint32_t FCF_DN_GROUP2 = 0x80000;
inline constexpr std::uint32_t FCF_DN_GROUP3 = 0x100000;
inline constexpr std::uint32_t FCF_DN_GROUP4 = 0x200000;
inline constexpr std::uint32_t FCF_DN_MSGID = 0x400000;
inline constexpr std::uint32_t FCF_DN_SRC = 0x800000;
inline constexpr std::uint32_t FCF_DN_DST = 0x1000000;
inline constexpr std::uint32_t FCF_METHOD2 = 0x2000000;
inline constexpr std::uint32_t FCF_METHOD1 = 0x4000000;
inline constexpr std::uint32_t FCF_CO_COBID = 0x8000000;
inline constexpr std::uint32_t FCF_CO_FCODE = 0x10000000;
inline constexpr std::uint32_t FCF_CO_NODEID = 0x20000000;

[[nodiscard]] constexpr std::uint32_t fcfData(int byte) {
    return FCF_DATA0 << byte;
}

struct FilterCondition {
    std::uint32_t reserved = 0;  // always 0; never read
    std::uint32_t flags = 0;
    std::uint32_t advancedMask = 0;     // bits 0..28: identifier bit constrained
    std::uint32_t advancedBits = 0;     // required value of each constrained bit
    std::uint32_t remote = 0;           // compared with the frame's status word
    std::uint32_t formatAndLength = 0;  // byte 0: format, byte 1: length
    std::uint32_t identifier = 0;
    std::uint8_t data[8] = {};
    std::uint32_t dnMessageId = 0;
    std::uint32_t dnSourceMac = 0;
    std::uint32_t dnDestMac = 0;
    std::uint32_t coCobId = 0;
    std::uint32_t coFunctionCode = 0;
    std::uint32_t coNodeId = 0;

    [[nodiscard]] std::uint8_t format() const { return static_cast<std::uint8_t>(formatAndLength); }
    [[nodiscard]] std::uint8_t length() const {
        return static_cast<std::uint8_t>(formatAndLength >> 8);
    }
    [[nodiscard]] bool has(std::uint32_t flag) const { return (flags & flag) != 0; }
};

static_assert(sizeof(FilterCondition) == std::size_t{15} * 4, "fifteen 32-bit words");

enum class ConditionProtocol { kCan, kDeviceNet, kCanOpen };

// A condition with neither the CAN nor the DeviceNet flag is a CANopen condition.
[[nodiscard]] inline ConditionProtocol protocolOf(const FilterCondition& c) {
    if (c.has(FCF_CAN)) return ConditionProtocol::kCan;
    if (c.has(FCF_DEVICENET)) return ConditionProtocol::kDeviceNet;
    return ConditionProtocol::kCanOpen;
}
