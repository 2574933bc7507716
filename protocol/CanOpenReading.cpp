#include "protocol/CanOpenReading.h"

namespace {

CanOpenDescription describe(std::uint32_t id) {
    using D = CanOpenDescription;
    struct Range {
        std::uint32_t first, last;
        D description;
    };
    // The predefined connection set; the ranges do not overlap and everything else is unassigned.
    static constexpr Range kRanges[] = {
        {0x000, 0x000, D::kNmt},       {0x001, 0x001, D::kReserved},
        {0x080, 0x080, D::kSync},      {0x081, 0x0FF, D::kEmergency},
        {0x100, 0x100, D::kTimeStamp}, {0x101, 0x180, D::kReserved},
        {0x181, 0x1FF, D::kPdo1Tx},    {0x201, 0x27F, D::kPdo1Rx},
        {0x281, 0x2FF, D::kPdo2Tx},    {0x301, 0x37F, D::kPdo2Rx},
        {0x381, 0x3FF, D::kPdo3Tx},    {0x401, 0x47F, D::kPdo3Rx},
        {0x481, 0x4FF, D::kPdo4Tx},    {0x501, 0x57F, D::kPdo4Rx},
        {0x581, 0x5FF, D::kSdoTx},     {0x601, 0x67F, D::kSdoRx},
        {0x6E0, 0x6E0, D::kReserved},  {0x701, 0x77F, D::kNmtErrorControl},
        {0x780, 0x7FF, D::kReserved},
    };
    for (const Range& r : kRanges) {
        if (id >= r.first && id <= r.last) {
            return r.description;
        }
    }
    return D::kUnassigned;
}

}  // namespace

CanOpenReading readCanOpen(std::uint32_t identifier, std::uint8_t format) {
    CanOpenReading r;
    if (format == 1) {
        return r;
    }
    r.readable = true;
    r.functionCode = static_cast<std::uint8_t>((identifier >> 7) & 0x0F);
    r.nodeId = static_cast<std::uint8_t>(identifier & 0x7F);
    r.description = describe(identifier);
    return r;
}

const char* dataListText(CanOpenDescription description) {
    static constexpr const char* kTexts[kCanOpenDescriptionCount] = {
        "NMT",       "reserved",  "SYNC",      "Emergency",         "Time Stamp", "PDO1 (tx)",
        "PDO1 (rx)", "PDO2 (tx)", "PDO2 (rx)", "PDO3 (tx)",         "PDO3 (rx)",  "PDO4 (tx)",
        "PDO4 (rx)", "SDO (tx)",  "SDO (rx)",  "NMT Error Control", "--------",
    };
    return kTexts[static_cast<int>(description)];
}
