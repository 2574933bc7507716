#include "filters/CompiledFilter.h"
#include "filters/FilterMatch.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

CapturedFrame frame(std::uint32_t id, std::uint8_t length = 0, std::uint8_t format = 0,
                    std::uint32_t status = 0, std::uint8_t b0 = 0) {
    CapturedFrame f;
    f.identifier = id;
    f.length = length;
    f.format = format;
    f.status = status;
    f.data[0] = b0;
    for (int i = 1; i < 8; ++i) {
        f.data[i] = static_cast<std::uint8_t>(0x10 * i);
    }
    return f;
}

FilterCondition can(std::uint32_t extra = 0) {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_FORMAT | extra;
    return c;
}

FilterCondition deviceNet(std::uint32_t group, std::optional<std::uint32_t> m = {},
                          std::optional<std::uint32_t> src = {},
                          std::optional<std::uint32_t> dst = {}) {
    FilterCondition c;
    c.flags = FCF_DEVICENET | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1 | group;
    if (m) c.flags |= FCF_DN_MSGID, c.dnMessageId = *m;
    if (src) c.flags |= FCF_DN_SRC, c.dnSourceMac = *src;
    if (dst) c.flags |= FCF_DN_DST, c.dnDestMac = *dst;
    return c;
}

FilterCondition canOpen(std::uint32_t extra = 0) {
    FilterCondition c;
    c.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | extra;
    return c;
}

std::uint32_t group2Id(std::uint32_t mac, std::uint32_t m) {
    return 0x400 | mac << 3 | m;
}

// The compiled filter must agree with matches() wherever it is asked.
bool compiledMatches(const CapturedFrame& f, const FilterCondition& c) {
    return CompiledFilter({c}, false).passes(f);
}

void expectBoth(const CapturedFrame& f, const FilterCondition& c, bool expected, const char* what) {
    EXPECT_EQ(matches(f, c), expected) << what;
    EXPECT_EQ(compiledMatches(f, c), expected) << what << " (compiled)";
}

}  // namespace

TEST(Matches, DisabledConditionsNeverMatch) {
    FilterCondition c = can();
    c.flags &= ~FCF_ENABLED;
    expectBoth(frame(0x100), c, false, "disabled");
    c.flags |= FCF_ENABLED;
    expectBoth(frame(0x100), c, true, "enabled");
}

TEST(Matches, CanConditionWithoutIdentifierTakesSameFormatAndKind) {
    const FilterCondition c = can();  // identifier ALL, standard, data frames
    expectBoth(frame(0x000), c, true, "standard data");
    expectBoth(frame(0x7FF, 8), c, true, "standard data, 8 bytes");
    expectBoth(frame(0x100, 0, 1), c, false, "extended");
    expectBoth(frame(0x100, 0, 0, 1), c, false, "remote");
    FilterCondition remote = c;
    remote.remote = 1;
    expectBoth(frame(0x100, 0, 0, 1), remote, true, "remote condition, remote frame");
    // Status 2 is neither data nor remote: only an exact remote word matches it.
    expectBoth(frame(0x100, 0, 0, 2), c, false, "status 2");
}

TEST(Matches, CanIdentifierExactAndBitByBit) {
    FilterCondition exact = can(FCF_ID);
    exact.identifier = 0x123;
    expectBoth(frame(0x123), exact, true, "same id");
    expectBoth(frame(0x122), exact, false, "other id");

    FilterCondition adv = can(FCF_ADVANCED_ID | FCF_ID);
    adv.identifier = 0x7FF;  // the advanced picture wins over the exact identifier
    adv.formatAndLength = 1;
    adv.advancedMask = 0x1 | 0x10000000 | 0xE0000000;  // bits 29..31 are outside the picture
    adv.advancedBits = 0x10000000 | 0xE0000000;
    expectBoth(frame(0x1FFFFFFE, 0, 1), adv, true, "bit 28 set, bit 0 clear");
    expectBoth(frame(0x10000000, 0, 1), adv, true, "only bit 28");
    expectBoth(frame(0x1FFFFFFF, 0, 1), adv, false, "bit 0 set");
    expectBoth(frame(0x0FFFFFFE, 0, 1), adv, false, "bit 28 clear");
}

TEST(Matches, LengthAndDataBytes) {
    FilterCondition c = can(FCF_LENGTH | FCF_DATA1);
    c.formatAndLength = 2 << 8;
    c.data[1] = 0x10;
    expectBoth(frame(1, 2), c, true, "length 2, byte 1 = 0x10");
    expectBoth(frame(1, 1), c, false, "length 1");

    FilterCondition dataOnly = can(FCF_DATA1);
    dataOnly.data[1] = 0x10;
    expectBoth(frame(1, 1), dataOnly, false, "byte 1 beyond the frame's length");
    expectBoth(frame(1, 8), dataOnly, true, "byte 1 within");
    dataOnly.data[1] = 0x11;
    expectBoth(frame(1, 8), dataOnly, false, "byte 1 differs");
}

TEST(Matches, DeviceNetOnlyEverMatchesStandardDataFrames) {
    for (const auto& c : {deviceNet(FCF_DN_GROUP1), deviceNet(FCF_DN_GROUP2),
                          deviceNet(FCF_DN_GROUP3), deviceNet(0)}) {
        for (std::uint32_t id : {0x000u, 0x400u, 0x600u, 0x7C0u}) {
            expectBoth(frame(id, 1, 1), c, false, "extended");
            expectBoth(frame(id, 1, 0, 1), c, false, "remote");
        }
    }
    expectBoth(frame(0x3FF), deviceNet(FCF_DN_GROUP1), true, "group 1");
    expectBoth(frame(0x400), deviceNet(FCF_DN_GROUP1), false, "group 2 for group 1");
    expectBoth(frame(0x7BF), deviceNet(FCF_DN_GROUP3), true, "last of group 3");
    expectBoth(frame(0x7C0), deviceNet(FCF_DN_GROUP3), false, "group 4 for group 3");
    expectBoth(frame(0x7C0), deviceNet(FCF_DN_GROUP4), true, "group 4");
    expectBoth(frame(0x7FF), deviceNet(0, 0x3F), true, "group 4 by no group flag");
    expectBoth(frame(0x7BF), deviceNet(0), false, "group 3 for group 4");
}

TEST(Matches, DeviceNetGroupsOneAndThree) {
    const auto g1 = deviceNet(FCF_DN_GROUP1, 0xD, 5, 9);
    expectBoth(frame(0xD << 6 | 5, 0, 0, 0, 0xC9), g1, true, "message, source, data byte 0");
    expectBoth(frame(0xD << 6 | 5, 0, 0, 0, 0x08), g1, false, "destination differs");
    expectBoth(frame(0xE << 6 | 5, 0, 0, 0, 0x09), g1, false, "message differs");

    // A group 3 destination exists only in messages 5 and 6.
    const auto g3 = deviceNet(FCF_DN_GROUP3, {}, 7, 2);
    for (std::uint32_t m = 0; m < 7; ++m) {
        const bool expected = m == 5 || m == 6;
        expectBoth(frame(0x600 | m << 6 | 7, 1, 0, 0, 2), g3, expected, "group 3 message");
    }
    expectBoth(frame(0x600 | 5 << 6 | 8, 1, 0, 0, 2), g3, false, "source differs");
}

// Every cell of the group 2 source/destination table.
TEST(Matches, DeviceNetGroupTwoSourceDestinationTable) {
    const std::uint32_t S = 0x11, D = 0x22, other = 0x33;
    struct Case {
        std::uint32_t m;
        std::uint32_t mac;
        std::uint8_t b0;
        bool src, dst;
        bool expected;
    };
    const Case cases[] = {
        // m = 0, 1: source in the identifier
        {0, S, D, true, true, false},
        {1, S, D, true, true, false},
        {0, D, 0, false, true, false},
        {1, S, 0, true, false, true},
        {0, other, 0, true, false, false},
        // m = 2, 5: destination in the identifier
        {2, D, S, true, true, false},
        {5, D, S, true, true, false},
        {2, D, 0, false, true, true},
        {5, other, 0, false, true, false},
        {2, S, 0, true, false, false},
        // m = 3: source in the identifier, destination in data byte 0
        {3, S, D, true, true, true},
        {3, S, other, true, true, false},
        {3, other, D, false, true, true},
        {3, S, 0, true, false, true},
        {3, other, S, true, false, false},
        // m = 4, 6: destination in the identifier, source in data byte 0
        {4, D, S, true, true, true},
        {6, D, S, true, true, true},
        {4, S, D, true, true, false},
        {4, D, 0, false, true, true},
        {6, other, D, false, true, false},
        {4, other, S, true, false, true},
        {6, S, other, true, false, false},
        // m = 7: both in the identifier
        {7, S, 0, true, true, false},
        {7, D, 0, false, true, true},
        {7, S, 0, true, false, true},
        {7, other, 0, true, false, false},
    };
    for (const Case& k : cases) {
        const auto c = deviceNet(FCF_DN_GROUP2, {}, k.src ? std::optional(S) : std::nullopt,
                                 k.dst ? std::optional(D) : std::nullopt);
        const auto f = frame(group2Id(k.mac, k.m), 1, 0, 0, static_cast<std::uint8_t>(0xC0 | k.b0));
        expectBoth(f, c, k.expected,
                   ("m=" + std::to_string(k.m) + " mac=" + std::to_string(k.mac)).c_str());
    }
    // Source and destination equal: message 7 carries one MAC ID in both roles.
    expectBoth(frame(group2Id(S, 7)), deviceNet(FCF_DN_GROUP2, {}, S, S), true, "m=7, S=D");
    // Source and destination given, message ID free: messages 0, 1, 2 and 5 never match.
    for (std::uint32_t m : {0u, 1u, 2u, 5u}) {
        for (std::uint32_t mac : {S, D}) {
            for (std::uint8_t b0 : {std::uint8_t(S), std::uint8_t(D)}) {
                expectBoth(frame(group2Id(mac, m), 1, 0, 0, b0), deviceNet(FCF_DN_GROUP2, {}, S, D),
                           false, "free message ID");
            }
        }
    }
    // Neither given: every group 2 frame of the message ID.
    expectBoth(frame(group2Id(other, 5)), deviceNet(FCF_DN_GROUP2, 5), true, "message 5");
    expectBoth(frame(group2Id(other, 4)), deviceNet(FCF_DN_GROUP2, 5), false, "message 4");
}

TEST(Matches, CanOpenFunctionCodeNodeIdAndCobId) {
    FilterCondition fc = canOpen(FCF_CO_FCODE);
    fc.coFunctionCode = 3;
    expectBoth(frame(0x180), fc, true, "fcode 3");
    expectBoth(frame(0x1FF), fc, true, "fcode 3, node 127");
    expectBoth(frame(0x200), fc, false, "fcode 4");
    expectBoth(frame(0x180, 0, 1), fc, false, "extended");
    expectBoth(frame(0x180, 0, 0, 1), fc, false, "remote");

    FilterCondition node = canOpen(FCF_CO_NODEID | FCF_LENGTH);
    node.coNodeId = 5;
    node.formatAndLength = 8 << 8;
    expectBoth(frame(0x185, 8), node, true, "node 5, 8 bytes");
    expectBoth(frame(0x185, 7), node, false, "7 bytes");

    FilterCondition cob = canOpen(FCF_METHOD1 | FCF_CO_COBID);
    cob.coCobId = 0x701;
    cob.remote = 1;
    expectBoth(frame(0x701, 0, 0, 1), cob, true, "remote COB-ID");
    expectBoth(frame(0x701), cob, false, "data frame");
}

// Random conditions and frames: the compiled filter says exactly what matches() says, in both
// modes, for any mix of conditions.
TEST(CompiledFilter, AgreesWithMatchesOnRandomConditionsAndFrames) {
    std::mt19937 rng(1234);
    const auto pick = [&rng](std::uint32_t n) {
        return std::uniform_int_distribution<std::uint32_t>(0, n - 1)(rng);
    };
    const auto small = [&](std::uint32_t range) {
        // Mostly values in range, sometimes wild ones as a damaged file might hold.
        return pick(10) == 0 ? static_cast<std::uint32_t>(rng()) : pick(range);
    };
    for (int round = 0; round < 3000; ++round) {
        std::vector<FilterCondition> conditions(1 + pick(4));
        for (auto& c : conditions) {
            const std::uint32_t protocol = pick(3);
            c.flags = (protocol == 0   ? FCF_CAN
                       : protocol == 1 ? FCF_DEVICENET
                                       : FCF_CANOPEN) |
                      (rng() & ~(FCF_CAN | FCF_DEVICENET | FCF_CANOPEN));
            c.advancedMask = rng();
            c.advancedBits = rng();
            c.remote = pick(3);
            c.formatAndLength = pick(2) | pick(10) << 8;
            c.identifier = pick(2) ? pick(0x800) : static_cast<std::uint32_t>(rng());
            for (auto& b : c.data) b = static_cast<std::uint8_t>(pick(4));
            c.dnMessageId = small(64);
            c.dnSourceMac = small(64);
            c.dnDestMac = small(64);
            c.coCobId = pick(2) ? pick(0x800) : static_cast<std::uint32_t>(rng());
            c.coFunctionCode = small(16);
            c.coNodeId = small(128);
        }
        const CompiledFilter show(conditions, false), hide(conditions, true);
        for (int k = 0; k < 60; ++k) {
            CapturedFrame f;
            f.identifier = pick(4) == 0 ? static_cast<std::uint32_t>(rng()) : pick(0x800);
            f.format = static_cast<std::uint8_t>(pick(5) == 0);
            f.status = pick(3);
            f.length = static_cast<std::uint8_t>(pick(9));
            for (auto& b : f.data) b = static_cast<std::uint8_t>(pick(4) | (pick(2) << 6));
            bool any = false;
            for (const auto& c : conditions) any |= matches(f, c);
            ASSERT_EQ(show.passes(f), any) << "round " << round;
            ASSERT_EQ(hide.passes(f), !any) << "round " << round;
        }
    }
}

TEST(SameCondition, IgnoresOnlyTheCheckBox) {
    FilterCondition a = can(FCF_ID | FCF_LENGTH | FCF_DATA0);
    a.identifier = 0x123;
    a.formatAndLength = 1 << 8;
    a.data[0] = 0x55;
    a.data[5] = 0x99;  // not constrained: may differ
    FilterCondition b = a;
    b.flags &= ~FCF_ENABLED;
    b.data[5] = 0x11;
    EXPECT_TRUE(sameCondition(ConditionProtocol::kCan, a, b));

    for (const auto& change : std::vector<std::function<void(FilterCondition&)>>{
             [](FilterCondition& c) { c.identifier = 0x124; },
             [](FilterCondition& c) { c.data[0] = 0x56; },
             [](FilterCondition& c) { c.remote = 1; },
             [](FilterCondition& c) { c.formatAndLength = 2 << 8; },
             [](FilterCondition& c) { c.flags |= FCF_DATA3; },
         }) {
        FilterCondition d = b;
        change(d);
        EXPECT_FALSE(sameCondition(ConditionProtocol::kCan, a, d));
    }
    // A condition of another protocol is never a duplicate.
    FilterCondition co = a;
    co.flags = (a.flags & ~FCF_CAN) | FCF_CANOPEN;
    EXPECT_FALSE(sameCondition(ConditionProtocol::kCan, a, co));
}

TEST(SameCondition, ComparesOnlyWhatTheFlagsConstrain) {
    FilterCondition adv = can(FCF_ADVANCED_ID);
    adv.advancedMask = 0x0F;
    adv.advancedBits = 0x05;
    FilterCondition other = adv;
    other.advancedBits = 0xF5;  // differs only in free bits
    other.identifier = 0x777;   // not constrained
    EXPECT_TRUE(sameCondition(ConditionProtocol::kCan, adv, other));
    other.advancedBits = 0x04;
    EXPECT_FALSE(sameCondition(ConditionProtocol::kCan, adv, other));

    const auto dn = deviceNet(FCF_DN_GROUP2, 3, 4);
    auto dn2 = dn;
    dn2.dnDestMac = 60;  // destination not given
    EXPECT_TRUE(sameCondition(ConditionProtocol::kDeviceNet, dn, dn2));
    dn2.dnSourceMac = 5;
    EXPECT_FALSE(sameCondition(ConditionProtocol::kDeviceNet, dn, dn2));

    FilterCondition co = canOpen(FCF_CO_NODEID);
    co.coNodeId = 9;
    FilterCondition co2 = co;
    co2.coCobId = 0x555;
    EXPECT_TRUE(sameCondition(ConditionProtocol::kCanOpen, co, co2));
    co2.coNodeId = 10;
    EXPECT_FALSE(sameCondition(ConditionProtocol::kCanOpen, co, co2));
}
