#include "filters/ConditionTable.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Cells = std::vector<std::string>;

FilterCondition dn(std::uint32_t groupFlag, std::optional<std::uint32_t> m,
                   std::optional<std::uint32_t> src, std::optional<std::uint32_t> dst) {
    FilterCondition c;
    c.flags = FCF_DEVICENET | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1 | groupFlag;
    if (m) c.flags |= FCF_DN_MSGID, c.dnMessageId = *m;
    if (src) c.flags |= FCF_DN_SRC, c.dnSourceMac = *src;
    if (dst) c.flags |= FCF_DN_DST, c.dnDestMac = *dst;
    return c;
}

// The "Identifier", "Type", "Length" and "Data" cells of one condition in the CAN table.
Cells canCells(const FilterCondition& c, bool hex) {
    auto row = fillConditionTable(ConditionTableKind::kCan, {c}, hex).at(0).cells;
    return Cells(row.begin() + 2, row.end());
}

struct PatternCase {
    const char* name;
    FilterCondition condition;
    Cells hex;
    Cells decimal;
};

const std::optional<std::uint32_t> none;

}  // namespace

TEST(ConditionTable, DeviceNetIdentifierPatternsInBothRadices) {
    const PatternCase cases[] = {
        {"g1 m",
         dn(FCF_DN_GROUP1, 13, none, none),
         {"340<X<37F", "Standard", "ALL", "** ** ** **"},
         {"832<X<895", "Standard", "ALL", "*** *** *** ***"}},
        {"g1 m src dst",
         dn(FCF_DN_GROUP1, 13, 10, 42),
         {"34A", "Standard", ">0", "X  ** ** ** (right7(X) = 2A)"},
         {"842", "Standard", ">0", "X  *** *** ***(right7(X) = 42)"}},
        {"g1 src",
         dn(FCF_DN_GROUP1, none, 31, none),
         {"right7(X) = 1F", "Standard", "ALL", "** ** ** **"},
         {"right7(X) = 31", "Standard", "ALL", "*** *** *** ***"}},
        {"g1 neither",
         dn(FCF_DN_GROUP1, none, none, none),
         {"left1(X) = 0", "Standard", "ALL", "** ** ** **"},
         {"left1(X) = 0", "Standard", "ALL", "*** *** *** ***"}},
        {"g2 src dst",
         dn(FCF_DN_GROUP2, none, 10, 20),
         {"left2(X) = 2,form3to8(X) = A,14", "Standard", ">0", "X ** ** ** right7(X) = 14,A"},
         {"left2(X) = 2,form3to8(X) = A,14", "Standard", ">0", "X ** ** ** right7(X) = 14,A"}},
        {"g2 dst",
         dn(FCF_DN_GROUP2, none, none, 20),
         {"left2(X) = 2,form3to8(X) = 14", "Standard", " >= 0", "X ** ** ** right7(X) = 14"},
         {"left2(X) = 2,form3to8(X) = 14", "Standard", " >= 0", "X ** ** ** right7(X) = 14"}},
        {"g2 neither",
         dn(FCF_DN_GROUP2, none, none, none),
         {"left2(X) = 2", "Standard", "ALL", "** ** ** **"},
         {"left2(X) = 2", "Standard", "ALL", "** ** ** **"}},
        {"g2 m3",
         dn(FCF_DN_GROUP2, 3, none, none),
         {"left2(X) = 2,right3(X) = 3", "Standard", "ALL", "** ** ** **"},
         {"left2(X) = 2,right3(X) = 3", "Standard", "ALL", "*** *** *** ***"}},
        {"g2 m3 src dst",
         dn(FCF_DN_GROUP2, 3, 10, 20),
         {"453", "Standard", ">0", "X ** ** ** (right7(X) = 14)"},
         {"1107", "Standard", ">0", "X ** ** ** (right7(X) = 20)"}},
        {"g2 m4 dst",
         dn(FCF_DN_GROUP2, 4, none, 20),
         {"4A4", "Standard", "ALL", "** ** ** **"},
         {"1188", "Standard", "ALL", "*** *** *** ***"}},
        {"g2 m4 src",
         dn(FCF_DN_GROUP2, 4, 10, none),
         {"left2(X) = 2,right3(X) = 4", "Standard", ">0", "X ** ** ** (right7(X) = A)"},
         {"left2(X) = 2,right3(X) = 4", "Standard", ">0", "X ** ** ** (right7(X) = 10)"}},
        {"g3",
         dn(FCF_DN_GROUP3, none, none, none),
         {"left2(X) = 3", "Standard", "ALL", "** ** ** **"},
         {"left2(X) = 3", "Standard", "ALL", "*** *** *** ***"}},
        {"g3 src",
         dn(FCF_DN_GROUP3, none, 12, none),
         {"left2(X) = 3,right(6) = C", "Standard", "ALL", "** ** ** **"},
         {"left2(X) = 3,right(6) = 12", "Standard", "ALL", "*** *** *** ***"}},
        {"g3 m dst",
         dn(FCF_DN_GROUP3, 5, none, 1),
         {"740<X<77F", "Standard", ">0", "X ** ** ** (right7(X) = 1)"},
         {"1856<X<1919", "Standard", ">0", "X ** ** ** (right7(X) = 1)"}},
        {"g3 m src",
         dn(FCF_DN_GROUP3, 6, 63, none),
         {"7BF", "Standard", "ALL", "** ** ** **"},
         {"1983", "Standard", "ALL", "*** *** *** ***"}},
        {"g4",
         dn(FCF_DN_GROUP4, 44, none, none),
         {"", "Standard", "", ""},
         {"", "Standard", "", ""}},
    };
    for (const PatternCase& k : cases) {
        EXPECT_EQ(canCells(k.condition, true), k.hex) << k.name;
        EXPECT_EQ(canCells(k.condition, false), k.decimal) << k.name;
    }
}

TEST(ConditionTable, CanAndCanOpenIdentifierPatterns) {
    FilterCondition any;
    any.flags = FCF_CAN | FCF_FORMAT | FCF_ENABLED;
    EXPECT_EQ(canCells(any, true), (Cells{"****", "Standard", "ALL", " ** ** ** ** ** ** ** **"}));

    FilterCondition exact = any;
    exact.flags |= FCF_ID | FCF_LENGTH | FCF_DATA1;
    exact.identifier = 0x1ABCDEF;
    exact.formatAndLength = 1 | 3 << 8;
    exact.data[1] = 0x0A;
    EXPECT_EQ(canCells(exact, true), (Cells{"1ABCDEF", "Extended", "3", " ** 0A **"}));
    EXPECT_EQ(canCells(exact, false), (Cells{"28036591", "Extended", "3", " ** 010 **"}));

    FilterCondition adv = any;
    adv.flags |= FCF_ADVANCED_ID;
    adv.advancedMask = 0x403;  // bits 10, 1, 0
    adv.advancedBits = 0x401;
    adv.remote = 1;
    EXPECT_EQ(canCells(adv, true), (Cells{"1XXXXXXXX01", "Standard", "ALL", "Remote Frame"}));
    adv.formatAndLength = 1;
    EXPECT_EQ(canCells(adv, true).at(0), "XXXXXXXXXXXXXXXXXX1XXXXXXXX01");
    EXPECT_EQ(canCells(adv, true).at(0).size(), 29u);

    FilterCondition co;
    co.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1 | FCF_CO_COBID;
    co.coCobId = 0x285;
    EXPECT_EQ(canCells(co, true).at(0), "285");
    co.flags &= ~FCF_CO_COBID;
    EXPECT_EQ(canCells(co, true).at(0), "****");
    co.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_CO_FCODE | FCF_CO_NODEID;
    co.coFunctionCode = 0xB;
    co.coNodeId = 0x7F;
    EXPECT_EQ(canCells(co, true).at(0), "5FF");
    EXPECT_EQ(canCells(co, false).at(0), "1535");
    co.flags &= ~FCF_CO_NODEID;
    EXPECT_EQ(canCells(co, true).at(0), "left4(X) = B");
    EXPECT_EQ(canCells(co, false).at(0), "left4(X) = 11");
    co.flags = (co.flags & ~FCF_CO_FCODE) | FCF_CO_NODEID;
    EXPECT_EQ(canCells(co, true).at(0), "right7(X) = 7F");
    EXPECT_EQ(canCells(co, false).at(0), "right7(X) = 127");
    co.flags &= ~FCF_CO_NODEID;
    EXPECT_EQ(canCells(co, true).at(0), "**");
}

TEST(ConditionTable, CommonColumnsAndCheckBoxes) {
    FilterCondition a;
    a.flags = FCF_CAN | FCF_FORMAT;
    FilterCondition b = dn(FCF_DN_GROUP1, none, none, none);
    FilterCondition c;
    c.flags = FCF_ENABLED;  // neither CAN nor DeviceNet: CANopen
    const auto rows = fillConditionTable(ConditionTableKind::kCanOpen, {a, b, c}, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].checked);
    EXPECT_TRUE(rows[1].checked);
    EXPECT_EQ(rows[2].cells.at(0), "2");
    EXPECT_EQ(rows[0].cells.at(1), "CAN");
    EXPECT_EQ(rows[1].cells.at(1), "DeviceNet");
    EXPECT_EQ(rows[2].cells.at(1), "CANopen");
    EXPECT_EQ(rows[0].cells.size(), conditionTableHeaders(ConditionTableKind::kCanOpen).size());
    EXPECT_EQ(conditionTableWidths(ConditionTableKind::kCan, 515),
              (std::vector<int>{50, 75, 100, 50, 65, 160}));
}

TEST(ConditionTable, CanOpenRowsShowTheirIdentifierParts) {
    FilterCondition co;
    co.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1 | FCF_CO_COBID;
    co.coCobId = 0x285;
    auto cells = fillConditionTable(ConditionTableKind::kCanOpen, {co}, true).at(0).cells;
    EXPECT_EQ(Cells(cells.begin() + 2, cells.begin() + 5), (Cells{"285", "5", "5"}));
    co.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_CO_NODEID;
    co.coNodeId = 100;
    cells = fillConditionTable(ConditionTableKind::kCanOpen, {co}, false).at(0).cells;
    EXPECT_EQ(Cells(cells.begin() + 2, cells.begin() + 5), (Cells{"right7(X) = 100", "**", "100"}));
}

TEST(ConditionTable, DeviceNetTableRows) {
    const auto cellsOf = [](const FilterCondition& c, bool hex = true) {
        auto row = fillConditionTable(ConditionTableKind::kDeviceNet, {c}, hex).at(0).cells;
        return Cells(row.begin() + 2, row.end());
    };
    EXPECT_EQ(cellsOf(dn(FCF_DN_GROUP2, 3, 10, none)),
              (Cells{"2", "3", "A", "**", "Slave's Explicit / Unconnected Response Message"}));
    EXPECT_EQ(cellsOf(dn(FCF_DN_GROUP4, 46, none, none)),
              (Cells{"4", "2E", "**", "**", "Offline Owership Response Message"}));
    EXPECT_EQ(cellsOf(dn(FCF_DN_GROUP1, 3, none, none), false),
              (Cells{"1", "3", "**", "**", "------"}));
    EXPECT_EQ(cellsOf(dn(FCF_DN_GROUP3, none, none, none)),
              (Cells{"3", "**", "**", "**", "------"}));

    // A CAN row with an exact standard identifier is read as a frame would be.
    FilterCondition can;
    can.flags = FCF_CAN | FCF_FORMAT | FCF_ENABLED | FCF_ID;
    can.identifier = 0x41B;  // group 2, MAC 3, message 3: destination in data byte 0
    EXPECT_EQ(cellsOf(can),
              (Cells{"2", "3", "3", "**", "Slave's Explicit / Unconnected Response Message"}));
    can.flags |= FCF_DATA0;
    can.data[0] = 0xC5;
    EXPECT_EQ(cellsOf(can).at(3), "5");
    can.identifier = 0x7EE;  // group 4 message 46
    EXPECT_EQ(cellsOf(can).at(4), "Offline Ownership Response Message");
    can.identifier = 0x7C1;
    EXPECT_EQ(cellsOf(can).at(4), "------");
    can.identifier = 0x7F5;
    EXPECT_EQ(cellsOf(can).at(4), "Invalid CAN Identifiers");
    can.identifier = 0x800;
    EXPECT_EQ(cellsOf(can),
              (Cells{"Invalid", "Invalid", "Invalid", "Invalid", "Invalid CAN Identifiers"}));
    can.flags &= ~FCF_ID;
    EXPECT_EQ(cellsOf(can), (Cells{"N/A", "N/A", "N/A", "N/A", "N/A"}));

    FilterCondition co;
    co.flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1;
    EXPECT_EQ(cellsOf(co), (Cells{"**", "**", "**", "**", "------"}));
    co.flags |= FCF_CO_COBID;
    co.coCobId = 0x7FC;
    EXPECT_EQ(cellsOf(co).at(4), "Invalid CANopen Identifiers");
}
