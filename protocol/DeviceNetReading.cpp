#include "protocol/DeviceNetReading.h"

DeviceNetReading readDeviceNet(std::uint32_t identifier, std::uint8_t format,
                               std::uint8_t firstDataByte) {
    using D = DeviceNetDescription;
    DeviceNetReading r;
    if (format == 1) {
        return r;
    }
    r.readable = true;
    const std::uint32_t id = identifier & 0x7FF;
    const auto mac = static_cast<std::uint8_t>((id >> 3) & 0x3F);
    const auto b0 = static_cast<std::uint8_t>(firstDataByte & 0x3F);
    const auto low6 = static_cast<std::uint8_t>(id & 0x3F);

    if ((id & 0x400) == 0) {
        r.group = 1;
        r.messageId = static_cast<std::uint8_t>((id >> 6) & 0x0F);
        r.source = low6;
        r.description = r.messageId == 0xD   ? D::kSlaveIoCosCc
                        : r.messageId == 0xE ? D::kSlaveIoBitStrobeRes
                        : r.messageId == 0xF ? D::kSlaveIoPollResOrCosCcAck
                                             : D::kGroup1Unassigned;
        return r;
    }
    if ((id & 0x600) == 0x400) {
        r.group = 2;
        r.messageId = static_cast<std::uint8_t>(id & 0x07);
        switch (r.messageId) {
            case 0:
                r.source = mac;
                r.description = D::kMasterIoBitStrobeCmd;
                break;
            case 1:
                r.source = mac;
                r.description = D::kReservedForMaster;
                break;
            case 2:
                r.destination = mac;
                r.description = D::kMasterCosCcAck;
                break;
            case 3:
                r.source = mac;
                r.destination = b0;
                r.description = D::kSlaveExpRes;
                break;
            case 4:
                r.source = b0;
                r.destination = mac;
                r.description = D::kMasterExpReq;
                break;
            case 5:
                r.destination = mac;
                r.description = D::kMasterIoPollCosCc;
                break;
            case 6:
                r.source = b0;
                r.destination = mac;
                r.description = D::kGroup2OnlyUnconnExpReq;
                break;
            default:
                r.source = mac;
                r.destination = mac;
                r.description = D::kDuplicateMacIdCheck;
                break;
        }
        return r;
    }
    if ((id & 0x7C0) != 0x7C0) {
        r.group = 3;
        r.messageId = static_cast<std::uint8_t>((id >> 6) & 0x07);
        r.source = low6;
        if (r.messageId == 5 || r.messageId == 6) {
            r.destination = b0;
        }
        r.description = r.messageId == 5   ? D::kUnconnExpRes
                        : r.messageId == 6 ? D::kUnconnExpReq
                                           : D::kGroup3Unassigned;
        return r;
    }
    r.group = 4;
    r.messageId = low6;
    r.description = r.messageId < 0x2C    ? D::kReservedGroup4
                    : r.messageId == 0x2C ? D::kCommFaultedRes
                    : r.messageId == 0x2D ? D::kCommFaultedReq
                    : r.messageId == 0x2E ? D::kOfflineOwnershipRes
                    : r.messageId == 0x2F ? D::kOfflineOwnershipReq
                                          : D::kInvalidCanIdentifiers;
    return r;
}

const char* dataListText(DeviceNetDescription description) {
    static constexpr const char* kTexts[kDeviceNetDescriptionCount] = {
        "--------",
        "Slave's IO COS/CC Msg",
        "Slave's IO Bit-Strobe Res Msg",
        "Slave's IO Poll Res or COS/CC Ack",
        "Master's I/O Bit-Strobe Cmd Msg",
        "Reserved for Master's TBD",
        "Master's COS/CC Ack Msg",
        "Slave's Exp Res Msg",
        "Master's Exp Req Msg",
        "Master's IO Poll/COS/CC Msg",
        "Group 2 Only Unconn Exp Req Msg (reserved)",
        "Duplicate MAC ID Check Msg",
        "------",
        "Unconn Exp Res Msg",
        "Unconn Exp Req Msg",
        "Reserved Group 4 Msg",
        "Comm Faulted Res Msg",
        "Comm Faulted Req Msg",
        "Offline Owership Res Msg",
        "Offline Ownership Req Msg",
        "Invalid CAN Identifiers",
    };
    return kTexts[static_cast<int>(description)];
}
