#include "filters/ConditionTable.h"

#include "protocol/DeviceNetReading.h"
#include "resources/TextFormat.h"

#include <optional>

namespace {

struct Radix {
    bool hex;
    [[nodiscard]] std::string num(std::uint32_t v) const {
        return hex ? strprintf("%X", v) : strprintf("%u", v);
    }
    // A format with one number whose Decimal twin differs only in the conversion.
    [[nodiscard]] std::string with(const char* hexFormat, const char* decFormat,
                                   std::uint32_t v) const {
        return hex ? strprintf(hexFormat, v) : strprintf(decFormat, v);
    }
    [[nodiscard]] const char* freeData() const { return hex ? "** ** ** **" : "*** *** *** ***"; }
};

const char* protocolText(const FilterCondition& c) {
    switch (protocolOf(c)) {
        case ConditionProtocol::kCan:
            return "CAN";
        case ConditionProtocol::kDeviceNet:
            return "DeviceNet";
        case ConditionProtocol::kCanOpen:
            return "CANopen";
    }
    return "";
}

int deviceNetGroup(const FilterCondition& c) {
    if (c.has(FCF_DN_GROUP1)) return 1;
    if (c.has(FCF_DN_GROUP2)) return 2;
    if (c.has(FCF_DN_GROUP3)) return 3;
    return 4;  // matched as group 4 when no group is given
}

std::optional<std::uint32_t> given(const FilterCondition& c, std::uint32_t flag,
                                   std::uint32_t value) {
    return c.has(flag) ? std::optional<std::uint32_t>(value) : std::nullopt;
}

// A DeviceNet condition seen through the identifier X of a frame.
struct IdentifierPattern {
    std::string identifier;
    std::string length;
    std::string data;
};

IdentifierPattern deviceNetPattern(const FilterCondition& c, const Radix& r) {
    const auto m = given(c, FCF_DN_MSGID, c.dnMessageId);
    const auto src = given(c, FCF_DN_SRC, c.dnSourceMac);
    const auto dst = given(c, FCF_DN_DST, c.dnDestMac);
    const auto lengthFor = [](bool macInData) { return macInData ? ">0" : "ALL"; };
    const auto dataFor = [&r](const std::optional<std::uint32_t>& mac) {
        return mac ? r.with("X ** ** ** (right7(X) = %X)", "X ** ** ** (right7(X) = %u)", *mac)
                   : std::string(r.freeData());
    };
    IdentifierPattern p;
    switch (deviceNetGroup(c)) {
        case 1:
            if (m && !src) {
                p.identifier = r.hex ? strprintf("%X<X<%X", *m * 64, *m * 64 + 63)
                                     : strprintf("%u<X<%u", *m * 64, *m * 64 + 63);
            } else if (m) {
                p.identifier = r.num(*m * 64 + *src);
            } else if (src) {
                p.identifier = r.with("right7(X) = %X", "right7(X) = %u", *src);
            } else {
                p.identifier = "left1(X) = 0";
            }
            p.length = lengthFor(dst.has_value());
            p.data =
                dst ? r.with("X  ** ** ** (right7(X) = %X)", "X  *** *** ***(right7(X) = %u)", *dst)
                    : r.freeData();
            break;
        case 2:
            if (!m) {
                // These rows keep their hexadecimal texts in both radices.
                if (src && dst) {
                    p.identifier = strprintf("left2(X) = 2,form3to8(X) = %X,%X", *src, *dst);
                    p.length = ">0";
                    p.data = strprintf("X ** ** ** right7(X) = %X,%X", *dst, *src);
                } else if (src || dst) {
                    const std::uint32_t mac = src ? *src : *dst;
                    p.identifier = strprintf("left2(X) = 2,form3to8(X) = %X", mac);
                    p.length = " >= 0";
                    p.data = strprintf("X ** ** ** right7(X) = %X", mac);
                } else {
                    p.identifier = "left2(X) = 2";
                    p.length = "ALL";
                    p.data = "** ** ** **";
                }
            } else if (*m == 0 || *m == 1 || *m == 3) {
                // The identifier carries the source; a destination travels in data byte 0.
                p.identifier =
                    src ? r.num(1024 + *src * 8 + *m)
                        : r.with("left2(X) = 2,right3(X) = %X", "left2(X) = 2,right3(X) = %u", *m);
                p.length = lengthFor(dst.has_value());
                p.data = dataFor(dst);
            } else {
                p.identifier =
                    dst ? r.num(1024 + *dst * 8 + *m)
                        : r.with("left2(X) = 2,right3(X) = %X", "left2(X) = 2,right3(X) = %u", *m);
                p.length = lengthFor(src.has_value());
                p.data = dataFor(src);
            }
            break;
        case 3:
            if (!m) {
                p.identifier =
                    src ? r.with("left2(X) = 3,right(6) = %X", "left2(X) = 3,right(6) = %u", *src)
                        : "left2(X) = 3";
            } else if (!src) {
                const std::uint32_t low = (*m + 24) * 64;
                p.identifier = r.hex ? strprintf("%X<X<%X", low, low + 63)
                                     : strprintf("%u<X<%u", low, low + 63);
            } else {
                p.identifier = r.num((*m + 24) * 64 + *src);
            }
            p.length = lengthFor(dst.has_value());
            p.data = dataFor(dst);
            break;
        default:
            break;  // group 4: nothing to show
    }
    return p;
}

std::string canIdentifierPattern(const FilterCondition& c, const Radix& r) {
    if (c.has(FCF_ADVANCED_ID)) {
        const int bits = c.format() == 1 ? 29 : 11;
        std::string picture;
        for (int i = bits - 1; i >= 0; --i) {
            const bool constrained = (c.advancedMask >> i & 1) != 0;
            picture += !constrained ? 'X' : (c.advancedBits >> i & 1) != 0 ? '1' : '0';
        }
        return picture;
    }
    return c.has(FCF_ID) ? r.num(c.identifier) : "****";
}

std::string canOpenIdentifierPattern(const FilterCondition& c, const Radix& r) {
    if (c.has(FCF_METHOD1)) {
        return c.has(FCF_CO_COBID) ? r.num(c.coCobId) : "****";
    }
    const bool fcode = c.has(FCF_CO_FCODE);
    const bool node = c.has(FCF_CO_NODEID);
    if (fcode && node) return r.num((c.coFunctionCode << 7) + c.coNodeId);
    if (fcode) return r.with("left4(X) = %X", "left4(X) = %u", c.coFunctionCode);
    if (node) return r.with("right7(X) = %X", "right7(X) = %u", c.coNodeId);
    return "**";
}

std::string lengthCell(const FilterCondition& c) {
    return c.has(FCF_LENGTH) ? strprintf("%d", c.length()) : "ALL";
}

std::string dataCell(const FilterCondition& c, const Radix& r) {
    if (c.remote == 1) {
        return "Remote Frame";
    }
    const int bytes = c.has(FCF_LENGTH) ? std::min<int>(c.length(), 8) : 8;
    std::string text;
    for (int i = 0; i < bytes; ++i) {
        text += !c.has(fcfData(i)) ? std::string(" **")
                : r.hex            ? strprintf(" %02X", c.data[i])
                                   : strprintf(" %03d", c.data[i]);
    }
    return text;
}

// "Identifier" (or "COB-ID"), "Type", "Length", "Data" of any condition.
void appendIdentifierColumns(std::vector<std::string>& cells, const FilterCondition& c,
                             const Radix& r, bool withFunctionAndNode) {
    std::string type = "Standard";
    std::string identifier, length, data;
    std::string fcode = "**", node = "**";
    switch (protocolOf(c)) {
        case ConditionProtocol::kCan:
            identifier = canIdentifierPattern(c, r);
            if (c.format() == 1) type = "Extended";
            length = lengthCell(c);
            data = dataCell(c, r);
            break;
        case ConditionProtocol::kCanOpen:
            identifier = canOpenIdentifierPattern(c, r);
            if (c.has(FCF_METHOD1) && c.has(FCF_CO_COBID)) {
                fcode = r.num(c.coCobId >> 7);
                node = r.num(c.coCobId & 127);
            } else if (!c.has(FCF_METHOD1)) {
                if (c.has(FCF_CO_FCODE)) fcode = r.num(c.coFunctionCode);
                if (c.has(FCF_CO_NODEID)) node = r.num(c.coNodeId);
            }
            length = lengthCell(c);
            data = dataCell(c, r);
            break;
        case ConditionProtocol::kDeviceNet: {
            IdentifierPattern p = deviceNetPattern(c, r);
            identifier = std::move(p.identifier);
            length = std::move(p.length);
            data = std::move(p.data);
            break;
        }
    }
    cells.push_back(std::move(identifier));
    if (withFunctionAndNode) {
        cells.push_back(std::move(fcode));
        cells.push_back(std::move(node));
    }
    cells.push_back(std::move(type));
    cells.push_back(std::move(length));
    cells.push_back(std::move(data));
}

// The long descriptions of the DeviceNet dialog, by group and message ID.
const char* deviceNetTableDescription(int group, std::uint32_t m, bool fromIdentifier) {
    switch (group) {
        case 1:
            if (m == 13) return "Slave's I/O Change of State or Cyclic Message";
            if (m == 14) return "Slave's I/O Bit-Strobe Response Message";
            if (m == 15)
                return "Slave's I/O Poll Response or Change of State/Cyclic Acknowledge Message";
            break;
        case 2: {
            static constexpr const char* kGroup2[8] = {
                "Master's I/O Bit-Strobe Command Message",
                "Reserved for Master's Use-Use is TBD",
                "Master's Change of State or Cyclic Acknowledge Message",
                "Slave's Explicit / Unconnected Response Message",
                "Master's Explicit Request Message",
                "Master's I/O Poll Command/Change of State/Cyclic Message",
                "Group 2 Only Unconnected Explicit Request Messages (Reserved)",
                "Duplicate MAC ID Check Messages",
            };
            if (m < 8) return kGroup2[m];
            break;
        }
        case 3:
            if (m == 5) return "Unconnected Explicit Response Messages";
            if (m == 6) return "Unconnected Explicit Request Messages";
            break;
        case 4:
            if (m == 44) return "Communication Faulted Response Message";
            if (m == 45) return "Communication Faulted Request Message";
            // A row read from an identifier spells this one right; a DeviceNet row does not.
            if (m == 46)
                return fromIdentifier ? "Offline Ownership Response Message"
                                      : "Offline Owership Response Message";
            if (m == 47) return "Offline Ownership Request Message";
            if (m >= 48 && fromIdentifier) return "Invalid CAN Identifiers";
            break;
        default:
            break;
    }
    return "------";
}

// Group, message ID, source, destination, description of a condition that names one exact
// standard identifier, read as a frame with that identifier would be.
void appendIdentifierReading(std::vector<std::string>& cells, const FilterCondition& c,
                             std::uint32_t id, const char* invalidText, const Radix& r) {
    if (id > 0x7FF) {
        cells.insert(cells.end(), {"Invalid", "Invalid", "Invalid", "Invalid", invalidText});
        return;
    }
    const bool dataByte0 = c.has(FCF_DATA0) && !(c.has(FCF_LENGTH) && c.length() == 0);
    // A MAC ID that changes with data byte 0 is taken from it, and is unknown unless the
    // condition constrains that byte.
    const DeviceNetReading a = readDeviceNet(id, 0, c.data[0]);
    const DeviceNetReading b = readDeviceNet(id, 0, static_cast<std::uint8_t>(c.data[0] ^ 0x3F));
    const auto mac = [&](const std::optional<std::uint8_t>& x,
                         const std::optional<std::uint8_t>& y) {
        if (!x || (x != y && !dataByte0)) return std::string("**");
        return r.num(*x);
    };
    cells.push_back(strprintf("%d", a.group));
    cells.push_back(r.num(a.messageId));
    cells.push_back(mac(a.source, b.source));
    cells.push_back(mac(a.destination, b.destination));
    cells.push_back(a.group == 4 && a.messageId >= 48
                        ? invalidText
                        : deviceNetTableDescription(a.group, a.messageId, true));
}

void appendDeviceNetColumns(std::vector<std::string>& cells, const FilterCondition& c,
                            const Radix& r) {
    const auto value = [&](std::uint32_t flag, std::uint32_t v) {
        return c.has(flag) ? r.num(v) : std::string("**");
    };
    switch (protocolOf(c)) {
        case ConditionProtocol::kDeviceNet: {
            const int group = deviceNetGroup(c);
            cells.push_back(strprintf("%d", group));
            cells.push_back(value(FCF_DN_MSGID, c.dnMessageId));
            cells.push_back(value(FCF_DN_SRC, c.dnSourceMac));
            cells.push_back(value(FCF_DN_DST, c.dnDestMac));
            cells.push_back(c.has(FCF_DN_MSGID)
                                ? deviceNetTableDescription(group, c.dnMessageId, false)
                                : "------");
            return;
        }
        case ConditionProtocol::kCan:
            if (c.has(FCF_ID) && !c.has(FCF_ADVANCED_ID) && c.format() == 0) {
                appendIdentifierReading(cells, c, c.identifier, "Invalid CAN Identifiers", r);
                return;
            }
            break;
        case ConditionProtocol::kCanOpen:
            if (c.has(FCF_METHOD1)) {
                if (c.has(FCF_CO_COBID)) {
                    appendIdentifierReading(cells, c, c.coCobId, "Invalid CANopen Identifiers", r);
                } else {
                    cells.insert(cells.end(), {"**", "**", "**", "**", "------"});
                }
                return;
            }
            if (c.has(FCF_CO_FCODE) && c.has(FCF_CO_NODEID)) {
                appendIdentifierReading(cells, c, (c.coFunctionCode << 7) + c.coNodeId,
                                        "Invalid CANopen Identifiers", r);
                return;
            }
            break;
    }
    cells.insert(cells.end(), {"N/A", "N/A", "N/A", "N/A", "N/A"});
}

}  // namespace

std::vector<std::string> conditionTableHeaders(ConditionTableKind kind) {
    switch (kind) {
        case ConditionTableKind::kCan:
            return {"Index", "Protocol", "Identifier", "Type", "Length", "Data"};
        case ConditionTableKind::kDeviceNet:
            return {"Index",     "Protocol",       "Group",      "Message ID",
                    "Source ID", "Destination ID", "Description"};
        case ConditionTableKind::kCanOpen:
            return {"Index", "Protocol", "COB-ID", "FCode", "Node-ID", "Type", "Length", "Data"};
    }
    return {};
}

std::vector<int> conditionTablePercents(ConditionTableKind kind) {
    switch (kind) {
        case ConditionTableKind::kCan:
            return {10, 15, 20, 10, 13, 32};
        case ConditionTableKind::kDeviceNet:
            return {9, 13, 11, 17, 15, 19, 16};
        case ConditionTableKind::kCanOpen:
            return {9, 13, 12, 13, 15, 10, 12, 17};
    }
    return {};
}

std::vector<int> conditionTableWidths(ConditionTableKind kind, int clientWidth) {
    const int width = std::max(clientWidth - 15, 0);
    std::vector<int> widths;
    for (int p : conditionTablePercents(kind)) {
        widths.push_back(width * p / 100);
    }
    return widths;
}

std::vector<ConditionTableRow> fillConditionTable(ConditionTableKind kind,
                                                  const std::vector<FilterCondition>& conditions,
                                                  bool hex) {
    const Radix r{hex};
    std::vector<ConditionTableRow> rows;
    rows.reserve(conditions.size());
    for (std::size_t i = 0; i < conditions.size(); ++i) {
        const FilterCondition& c = conditions[i];
        ConditionTableRow row;
        row.checked = c.has(FCF_ENABLED);
        row.cells.push_back(strprintf("%d", static_cast<int>(i)));
        row.cells.push_back(protocolText(c));
        switch (kind) {
            case ConditionTableKind::kCan:
                appendIdentifierColumns(row.cells, c, r, false);
                break;
            case ConditionTableKind::kCanOpen:
                appendIdentifierColumns(row.cells, c, r, true);
                break;
            case ConditionTableKind::kDeviceNet:
                appendDeviceNetColumns(row.cells, c, r);
                break;
        }
        rows.push_back(std::move(row));
    }
    return rows;
}
