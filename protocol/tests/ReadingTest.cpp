#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

std::string dn(std::uint32_t id, std::uint8_t b0 = 0) {
    return dataListText(readDeviceNet(id, 0, b0).description);
}

std::string co(std::uint32_t id) {
    return dataListText(readCanOpen(id, 0).description);
}

}  // namespace

// Every identifier against the group ranges, worked out from the ranges rather than the bits.
TEST(DeviceNetReading, WholeIdentifierSpace) {
    std::map<std::string, int> descriptions;
    for (std::uint32_t id = 0; id <= 0x7FF; ++id) {
        const std::uint8_t b0 = static_cast<std::uint8_t>(0xC0 | (id * 7 % 64));
        const DeviceNetReading r = readDeviceNet(id, 0, b0);
        ASSERT_TRUE(r.readable);
        ++descriptions[dataListText(r.description)];
        if (id < 0x400) {
            EXPECT_EQ(r.group, 1) << id;
            EXPECT_EQ(r.messageId, id / 64) << id;
            EXPECT_EQ(r.source, id % 64) << id;
            EXPECT_FALSE(r.destination) << id;
        } else if (id < 0x600) {
            const std::uint8_t mac = static_cast<std::uint8_t>((id - 0x400) / 8);
            const std::uint8_t m = static_cast<std::uint8_t>(id % 8);
            EXPECT_EQ(r.group, 2) << id;
            EXPECT_EQ(r.messageId, m) << id;
            const std::optional<std::uint8_t> none;
            const std::uint8_t other = b0 & 0x3F;
            const std::optional<std::uint8_t> src[8] = {mac,   mac,  none,  mac,
                                                        other, none, other, mac};
            const std::optional<std::uint8_t> dst[8] = {none, none, mac, other, mac, mac, mac, mac};
            EXPECT_EQ(r.source, src[m]) << id;
            EXPECT_EQ(r.destination, dst[m]) << id;
        } else if (id < 0x7C0) {
            const std::uint8_t m = static_cast<std::uint8_t>((id - 0x600) / 64);
            EXPECT_EQ(r.group, 3) << id;
            EXPECT_EQ(r.messageId, m) << id;
            EXPECT_EQ(r.source, id % 64) << id;
            if (m >= 5) {
                EXPECT_EQ(r.destination, b0 & 0x3F) << id;
            } else {
                EXPECT_FALSE(r.destination) << id;
            }
        } else {
            EXPECT_EQ(r.group, 4) << id;
            EXPECT_EQ(r.messageId, id - 0x7C0) << id;
            EXPECT_FALSE(r.source) << id;
            EXPECT_FALSE(r.destination) << id;
        }
    }
    // How many identifiers carry each text: group 1 has 13 unassigned message IDs of 64
    // identifiers each, and so on.
    const std::map<std::string, int> expected = {
        {"--------", 13 * 64},
        {"Slave's IO COS/CC Msg", 64},
        {"Slave's IO Bit-Strobe Res Msg", 64},
        {"Slave's IO Poll Res or COS/CC Ack", 64},
        {"Master's I/O Bit-Strobe Cmd Msg", 64},
        {"Reserved for Master's TBD", 64},
        {"Master's COS/CC Ack Msg", 64},
        {"Slave's Exp Res Msg", 64},
        {"Master's Exp Req Msg", 64},
        {"Master's IO Poll/COS/CC Msg", 64},
        {"Group 2 Only Unconn Exp Req Msg (reserved)", 64},
        {"Duplicate MAC ID Check Msg", 64},
        {"------", 5 * 64},
        {"Unconn Exp Res Msg", 64},
        {"Unconn Exp Req Msg", 64},
        {"Reserved Group 4 Msg", 44},
        {"Comm Faulted Res Msg", 1},
        {"Comm Faulted Req Msg", 1},
        {"Offline Owership Res Msg", 1},
        {"Offline Ownership Req Msg", 1},
        {"Invalid CAN Identifiers", 16},
    };
    EXPECT_EQ(descriptions, expected);
}

TEST(DeviceNetReading, NamedCases) {
    auto r = readDeviceNet(0x000, 0, 0);
    EXPECT_EQ(r.group, 1);
    EXPECT_EQ(r.messageId, 0);
    EXPECT_EQ(r.source, 0);
    EXPECT_EQ(dn(0x000), "--------");
    EXPECT_EQ(dn(0x3FF), "Slave's IO Poll Res or COS/CC Ack");

    r = readDeviceNet(0x41C, 0, 0xC5);
    EXPECT_EQ(r.group, 2);
    EXPECT_EQ(r.source, 0x05);
    EXPECT_EQ(r.destination, 0x03);
    EXPECT_EQ(dataListText(r.description), std::string("Master's Exp Req Msg"));

    r = readDeviceNet(0x5FF, 0, 0);
    EXPECT_EQ(r.source, 0x3F);
    EXPECT_EQ(r.destination, 0x3F);

    r = readDeviceNet(0x7BF, 0, 0x2A);
    EXPECT_EQ(r.group, 3);
    EXPECT_EQ(r.messageId, 6);
    EXPECT_EQ(r.destination, 0x2A);
    EXPECT_EQ(dn(0x7BF), "Unconn Exp Req Msg");

    EXPECT_EQ(dn(0x7C0), "Reserved Group 4 Msg");
    EXPECT_EQ(dn(0x7EF), "Offline Ownership Req Msg");
    r = readDeviceNet(0x7F0, 0, 0);
    EXPECT_EQ(r.group, 4);
    EXPECT_EQ(r.messageId, 0x30);
    EXPECT_EQ(dn(0x7F0), "Invalid CAN Identifiers");
}

TEST(Readings, ExtendedFramesAreUnreadable) {
    for (std::uint32_t id : {0u, 0x41Cu, 0x7FFu, 0x1FFFFFFFu}) {
        EXPECT_FALSE(readDeviceNet(id, 1, 0xFF).readable) << id;
        EXPECT_FALSE(readCanOpen(id, 1).readable) << id;
    }
}

TEST(CanOpenReading, WholeIdentifierSpace) {
    std::map<std::string, int> descriptions;
    for (std::uint32_t id = 0; id <= 0x7FF; ++id) {
        const CanOpenReading r = readCanOpen(id, 0);
        ASSERT_TRUE(r.readable);
        EXPECT_EQ(r.functionCode, id / 128) << id;
        EXPECT_EQ(r.nodeId, id % 128) << id;
        ++descriptions[dataListText(r.description)];
    }
    // Each PDO, SDO and error-control range covers node-IDs 1..127 of its function code.
    const std::map<std::string, int> expected = {
        {"NMT", 1},
        {"reserved", 1 + 0x80 + 1 + 0x80},  // 0x001, 0x101..0x180, 0x6E0, 0x780..0x7FF
        {"SYNC", 1},
        {"Emergency", 127},
        {"Time Stamp", 1},
        {"PDO1 (tx)", 127},
        {"PDO1 (rx)", 127},
        {"PDO2 (tx)", 127},
        {"PDO2 (rx)", 127},
        {"PDO3 (tx)", 127},
        {"PDO3 (rx)", 127},
        {"PDO4 (tx)", 127},
        {"PDO4 (rx)", 127},
        {"SDO (tx)", 127},
        {"SDO (rx)", 127},
        {"NMT Error Control", 127},
        // 0x002..0x07F, the nine node-ID-0 bases 0x200..0x600, 0x680..0x6DF, 0x6E1..0x700
        {"--------", 126 + 9 + 96 + 32},
    };
    EXPECT_EQ(descriptions, expected);
}

TEST(CanOpenReading, NamedCases) {
    EXPECT_EQ(co(0x000), "NMT");
    EXPECT_EQ(co(0x001), "reserved");
    EXPECT_EQ(co(0x002), "--------");
    EXPECT_EQ(co(0x080), "SYNC");
    EXPECT_EQ(readCanOpen(0x080, 0).functionCode, 1);
    EXPECT_EQ(readCanOpen(0x0FF, 0).nodeId, 0x7F);
    EXPECT_EQ(co(0x100), "Time Stamp");
    EXPECT_EQ(co(0x17F), "reserved");
    EXPECT_EQ(co(0x180), "reserved");
    EXPECT_EQ(co(0x181), "PDO1 (tx)");
    for (std::uint32_t base :
         {0x200u, 0x280u, 0x300u, 0x380u, 0x400u, 0x480u, 0x500u, 0x580u, 0x600u, 0x6E1u, 0x700u}) {
        EXPECT_EQ(co(base), "--------") << base;
    }
    EXPECT_EQ(co(0x5FF), "SDO (tx)");
    EXPECT_EQ(readCanOpen(0x5FF, 0).functionCode, 0xB);
    EXPECT_EQ(co(0x67F), "SDO (rx)");
    const auto r = readCanOpen(0x6E0, 0);
    EXPECT_EQ(r.functionCode, 0xD);
    EXPECT_EQ(r.nodeId, 0x60);
    EXPECT_EQ(co(0x6E0), "reserved");
    EXPECT_EQ(co(0x701), "NMT Error Control");
    EXPECT_EQ(co(0x780), "reserved");
    EXPECT_EQ(readCanOpen(0x7FF, 0).functionCode, 0xF);
}
