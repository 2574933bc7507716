#include "filters/FilterMatch.h"

namespace {

bool matchesCan(const CapturedFrame& f, const FilterCondition& c) {
    if (c.has(FCF_FORMAT) && f.format != c.format()) {
        return false;
    }
    if (f.status != c.remote) {
        return false;
    }
    if (c.has(FCF_ADVANCED_ID)) {
        const std::uint32_t mask = c.advancedMask & 0x1FFFFFFF;
        return ((f.identifier ^ c.advancedBits) & mask) == 0;
    }
    return !c.has(FCF_ID) || f.identifier == c.identifier;
}

// Group 2's source and destination depend on the message ID of the frame.
bool matchesGroup2MacIds(const FilterCondition& c, std::uint32_t m, std::uint32_t mac,
                         std::uint32_t d0) {
    const bool s = c.has(FCF_DN_SRC);
    const bool d = c.has(FCF_DN_DST);
    const std::uint32_t src = c.dnSourceMac;
    const std::uint32_t dst = c.dnDestMac;
    if (!s && !d) {
        return true;
    }
    switch (m) {
        case 0:
        case 1:
            return !d && mac == src;
        case 2:
        case 5:
            return !s && mac == dst;
        case 3:
            if (s && d) return mac == src && d0 == dst;
            return d ? d0 == dst : mac == src;
        case 4:
        case 6:
            if (s && d) return mac == dst && d0 == src;
            return d ? mac == dst : d0 == src;
        default:  // 7
            if (s && d) return mac == dst && mac == src;
            return d ? mac == dst : mac == src;
    }
}

bool matchesDeviceNet(const CapturedFrame& f, const FilterCondition& c) {
    if (f.format != 0 || f.status != 0) {
        return false;
    }
    const std::uint32_t id = f.identifier & 0x7FF;
    const std::uint32_t mac = (id >> 3) & 63;
    const std::uint32_t d0 = f.data[0] & 63u;
    const bool msgId = c.has(FCF_DN_MSGID);
    if (c.has(FCF_DN_GROUP1)) {
        return (id & 0x400) == 0 && (!msgId || ((id >> 6) & 15) == c.dnMessageId) &&
               (!c.has(FCF_DN_SRC) || (id & 63) == c.dnSourceMac) &&
               (!c.has(FCF_DN_DST) || d0 == c.dnDestMac);
    }
    if (c.has(FCF_DN_GROUP2)) {
        return (id & 0x600) == 0x400 && (!msgId || (id & 7) == c.dnMessageId) &&
               matchesGroup2MacIds(c, id & 7, mac, d0);
    }
    if (c.has(FCF_DN_GROUP3)) {
        const std::uint32_t m = id & 0x1C0;
        return (id & 0x600) == 0x600 && (id & 0x7C0) != 0x7C0 &&
               (!msgId || ((id >> 6) & 7) == c.dnMessageId) &&
               (!c.has(FCF_DN_SRC) || (id & 63) == c.dnSourceMac) &&
               (!c.has(FCF_DN_DST) || ((m == 0x140 || m == 0x180) && d0 == c.dnDestMac));
    }
    return (id & 0x7C0) == 0x7C0 && (!msgId || (id & 63) == c.dnMessageId);
}

bool matchesCanOpen(const CapturedFrame& f, const FilterCondition& c) {
    if (c.has(FCF_FORMAT) && f.format != 0) {
        return false;
    }
    if (f.status != c.remote) {
        return false;
    }
    return (!c.has(FCF_CO_COBID) || f.identifier == c.coCobId) &&
           (!c.has(FCF_CO_FCODE) || (f.identifier >> 7) == c.coFunctionCode) &&
           (!c.has(FCF_CO_NODEID) || (f.identifier & 127) == c.coNodeId);
}

}  // namespace

bool matches(const CapturedFrame& frame, const FilterCondition& condition) {
    if (!condition.has(FCF_ENABLED)) {
        return false;
    }
    bool ok = false;
    switch (protocolOf(condition)) {
        case ConditionProtocol::kCan:
            ok = matchesCan(frame, condition);
            break;
        case ConditionProtocol::kDeviceNet:
            ok = matchesDeviceNet(frame, condition);
            break;
        case ConditionProtocol::kCanOpen:
            ok = matchesCanOpen(frame, condition);
            break;
    }
    if (!ok) {
        return false;
    }
    if (condition.has(FCF_LENGTH) && frame.length != condition.length()) {
        return false;
    }
    for (int i = 0; i < 8; ++i) {
        if (condition.has(fcfData(i)) &&
            (frame.length <= i || frame.data[i] != condition.data[i])) {
            return false;
        }
    }
    return true;
}

bool sameCondition(ConditionProtocol protocol, const FilterCondition& a, const FilterCondition& b) {
    if (protocolOf(b) != protocol || ((a.flags ^ b.flags) & ~FCF_ENABLED) != 0 ||
        a.remote != b.remote) {
        return false;
    }
    const auto differs = [&a](std::uint32_t flag, std::uint32_t x, std::uint32_t y) {
        return a.has(flag) && x != y;
    };
    const auto dataDiffers = [&a, &b] {
        for (int i = 0; i < 8; ++i) {
            if (a.has(fcfData(i)) && a.data[i] != b.data[i]) {
                return true;
            }
        }
        return false;
    };
    switch (protocol) {
        case ConditionProtocol::kCan: {
            const std::uint32_t mask = a.advancedMask;
            return !differs(FCF_FORMAT, a.formatAndLength, b.formatAndLength) &&
                   !differs(FCF_ID, a.identifier, b.identifier) &&
                   !differs(FCF_ADVANCED_ID, a.advancedMask, b.advancedMask) &&
                   !differs(FCF_ADVANCED_ID, a.advancedBits & mask, b.advancedBits & mask) &&
                   !differs(FCF_LENGTH, a.length(), b.length()) && !dataDiffers();
        }
        case ConditionProtocol::kDeviceNet:
            return !differs(FCF_DN_SRC, a.dnSourceMac, b.dnSourceMac) &&
                   !differs(FCF_DN_DST, a.dnDestMac, b.dnDestMac) &&
                   !differs(FCF_DN_MSGID, a.dnMessageId, b.dnMessageId);
        case ConditionProtocol::kCanOpen:
            return !differs(FCF_CO_COBID, a.coCobId, b.coCobId) &&
                   !differs(FCF_CO_FCODE, a.coFunctionCode, b.coFunctionCode) &&
                   !differs(FCF_CO_NODEID, a.coNodeId, b.coNodeId) &&
                   !differs(FCF_LENGTH, a.length(), b.length()) && !dataDiffers();
    }
    return false;
}
