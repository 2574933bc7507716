// The filter dialogs' logic, driven as the user drives the controls: typed text in, messages and
// field states out.

#include "filters/CanFilterLogic.h"
#include "filters/CanOpenFilterLogic.h"
#include "filters/DeviceNetFilterLogic.h"
#include "filters/FilterMatch.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::uint32_t> ids(const MessageRecorder& r) {
    std::vector<std::uint32_t> out;
    for (const auto& m : r.shown()) out.push_back(m.stringId);
    return out;
}

std::vector<bool> allTicked(std::size_t n) {
    return std::vector<bool>(n, true);
}

CapturedFrame frame(std::uint32_t id, std::vector<std::uint8_t> data, std::uint8_t format = 0) {
    CapturedFrame f{};
    f.identifier = id;
    f.format = format;
    f.length = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) f.data[i] = data[i];
    return f;
}

TEST(TypedNumbers, ReadInEitherRadixAndNeverWrapIntoRange) {
    EXPECT_EQ(parseNumber("7FF", true, 0x7FF).value, 0x7FFu);
    EXPECT_EQ(parseNumber("800", true, 0x7FF).status, ParsedNumber::kTooLarge);
    EXPECT_EQ(parseNumber("1G", true, 0xFF).status, ParsedNumber::kBadCharacter);
    EXPECT_EQ(parseNumber("1A", false, 0xFF).status, ParsedNumber::kBadCharacter);
    EXPECT_EQ(parseNumber("", true, 0xFF).status, ParsedNumber::kEmpty);
    // 2^64 + 5 in hex: must not wrap to 5.
    EXPECT_EQ(parseNumber("10000000000000005", true, 0xFFFFFFFF).status, ParsedNumber::kTooLarge);
    EXPECT_EQ(withNumber("range 0 ~ 0X%02x", 127), "range 0 ~ 0X7f");
    EXPECT_EQ(withNumber("range 0 ~ %d", 2047), "range 0 ~ 2047");
    EXPECT_EQ(withNumber("no %s conversion", 3), "no %s conversion");
}

class CanLogic : public ::testing::Test {
protected:
    MessageRecorder messages;
    AdvancedIdentifierClicks clicks;
    FilterState filter;
    CanFilterLogic logic{messages, clicks};
};

TEST_F(CanLogic, CustomIdentifierIsBoundedByTheConfiguredFrameType) {
    logic.open(filter, 1);
    logic.selectIdentifier(CanFilterLogic::Identifier::kCustom);
    EXPECT_EQ(logic.typeIdentifier("7FF"), "7FF");
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_EQ(logic.typeIdentifier("800"), "80");
    EXPECT_EQ(ids(messages), std::vector<std::uint32_t>{strings::kIdentifierRangeStandardHex});
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::kNone);
    EXPECT_EQ(logic.customIdentifier(), 0x80u);

    messages.clear();
    logic.open(filter, 2);
    logic.selectIdentifier(CanFilterLogic::Identifier::kCustom);
    EXPECT_EQ(logic.typeIdentifier("1fffffff"), "1FFFFFFF");
    EXPECT_EQ(logic.typeIdentifier("1FFFFFFF0"), "1FFFFFFF");
    EXPECT_EQ(ids(messages), std::vector<std::uint32_t>{strings::kIdentifierLengthHex});
    EXPECT_EQ(logic.typeIdentifier("20000000"), "2000000");
    EXPECT_EQ(logic.typeIdentifier("12G"), "12");
    EXPECT_EQ(ids(messages), (std::vector<std::uint32_t>{strings::kIdentifierLengthHex,
                                                         strings::kIdentifierRangeExtendedHex,
                                                         strings::kInvalidCharacter}));

    messages.clear();
    logic.setHex(false);
    EXPECT_EQ(logic.identifierText(), "18");
    EXPECT_EQ(logic.typeIdentifier("5368709110"), "536870911");
    EXPECT_EQ(logic.typeIdentifier("536870912"), "53687091");
    EXPECT_EQ(ids(messages),
              (std::vector<std::uint32_t>{strings::kIdentifierLengthDecimal,
                                          strings::kIdentifierRangeExtendedDecimal}));
}

TEST_F(CanLogic, DataBytesMoveTheFocusWhenCompleteAndFollowSizeAndFrameKind) {
    logic.open(filter, 1);
    const FrameFields::Typed half = logic.typeData(0, "f");
    EXPECT_EQ(half.text, "F");
    EXPECT_FALSE(half.moveFocus);
    const FrameFields::Typed full = logic.typeData(0, "FF");
    EXPECT_TRUE(full.moveFocus);
    EXPECT_EQ(logic.typeData(1, "1X").text, "1");
    EXPECT_EQ(ids(messages), std::vector<std::uint32_t>{strings::kInvalidCharacter});
    logic.setHex(false);
    EXPECT_EQ(logic.frame().dataText(0), "255");
    EXPECT_EQ(logic.typeData(2, "256").text, "25");
    EXPECT_EQ(ids(messages).back(), strings::kByteRangeDecimal);
    logic.setHex(true);

    logic.frame().selectSize(3);  // "2"
    for (int i = 0; i < 8; ++i) EXPECT_EQ(logic.frame().dataEnabled(i), i < 2) << i;
    logic.typeData(5, "AA");
    const FilterCondition c = logic.build();
    EXPECT_EQ(c.length(), 2);
    EXPECT_TRUE(c.has(FCF_LENGTH) && c.has(FCF_DATA0) && c.has(FCF_DATA1));
    for (int i = 2; i < 8; ++i) EXPECT_FALSE(c.has(fcfData(i))) << i;
    EXPECT_FALSE(matches(frame(0x10, {0xFF}), c));

    logic.frame().setRemote(true);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(logic.frame().dataEnabled(i));
    logic.frame().setRemote(false);
    logic.frame().selectSize(0);
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(logic.frame().dataEnabled(i));
}

TEST_F(CanLogic, AddRefusesDuplicatesEditNeedsAChangeAndCancelLeavesTheFilter) {
    filter.conditions.push_back({});
    filter.conditions[0].flags = FCF_CANOPEN | FCF_FORMAT | FCF_ENABLED | FCF_METHOD1;
    logic.open(filter, 1);
    logic.selectIdentifier(CanFilterLogic::Identifier::kCustom);
    (void)logic.typeIdentifier("123");
    EXPECT_TRUE(logic.add(allTicked(1)));
    // Equal except for its check box: still the same condition.
    EXPECT_FALSE(logic.add({true, false}));
    EXPECT_EQ(ids(messages), std::vector<std::uint32_t>{strings::kSameCondition});
    EXPECT_EQ(messages.shown()[0].icon, MessageIcon::kInformation);
    ASSERT_EQ(logic.list().conditions().size(), 2u);
    EXPECT_FALSE(logic.list().conditions()[1].has(FCF_ENABLED));

    logic.clickRow(0);  // a CANopen row: Delete only
    EXPECT_FALSE(logic.editEnabled());
    EXPECT_TRUE(logic.deleteEnabled());
    logic.clickRow(1);
    EXPECT_TRUE(logic.editEnabled());
    EXPECT_EQ(logic.identifierText(), "123");
    EXPECT_FALSE(logic.edit({true, true}));
    EXPECT_EQ(messages.shown().size(), 2u);
    (void)logic.typeIdentifier("124");
    EXPECT_TRUE(logic.edit({true, true}));
    EXPECT_EQ(logic.list().conditions()[1].identifier, 0x124u);

    EXPECT_TRUE(logic.remove());
    EXPECT_FALSE(logic.editEnabled());
    EXPECT_FALSE(logic.remove());
    // Nothing reached the program's filter: that only happens on OK.
    EXPECT_EQ(filter.conditions.size(), 1u);
}

TEST_F(CanLogic, AdvancedClicksCycleAndOutliveTheDialog) {
    {
        AdvancedIdentifier dialog(clicks, true);
        EXPECT_EQ(dialog.shownBits(), 11);
        EXPECT_EQ(dialog.stateText(0), 'X');
        dialog.click(0);
        EXPECT_EQ(dialog.stateText(0), '0');
        dialog.click(0);
        EXPECT_EQ(dialog.stateText(0), '1');
        dialog.click(3);
        dialog.click(20);  // not shown with a standard frame type
        EXPECT_EQ(dialog.mask(), 0x9u);
        EXPECT_EQ(dialog.bits(), 0x1u);
    }
    AdvancedIdentifier reopened(clicks, false);
    EXPECT_EQ(reopened.stateText(0), '1');
    EXPECT_EQ(reopened.stateText(3), '0');
    EXPECT_EQ(reopened.mask(), 0x9u);  // OK without a click returns what is shown
    reopened.click(0);
    EXPECT_EQ(reopened.stateText(0), 'X');
    EXPECT_EQ(reopened.mask(), 0x8u);
    clicks.counters[5] = 0xFFFFFFFF;  // 0xFFFFFFFF % 3 == 0: "0", then "1"
    reopened.click(5);
    EXPECT_EQ(reopened.stateText(5), '1');
}

TEST_F(CanLogic, EditKeepsARowsAdvancedBitsUntilTheAdvancedDialogSaysOtherwise) {
    logic.open(filter, 1);
    logic.selectIdentifier(CanFilterLogic::Identifier::kAdvanced);
    logic.advancedAccepted(0x7, 0x5);
    ASSERT_TRUE(logic.add({}));
    EXPECT_EQ(
        fillConditionTable(ConditionTableKind::kCan, logic.list().conditions(), true)[0].cells[2],
        "XXXXXXXX101");
    logic.selectIdentifier(CanFilterLogic::Identifier::kAll);
    ASSERT_TRUE(logic.add({true}));
    logic.clickRow(0);
    EXPECT_EQ(logic.identifier(), CanFilterLogic::Identifier::kAdvanced);
    EXPECT_EQ(AdvancedIdentifier(clicks, true).stateText(1), '0');
    logic.frame().selectSize(1);  // length 0
    ASSERT_TRUE(logic.edit({true}));
    EXPECT_EQ(logic.list().conditions()[0].advancedMask, 0x7u);
    logic.advancedAccepted(0x1, 0x0);
    logic.frame().selectSize(0);
    ASSERT_TRUE(logic.edit({true}));
    EXPECT_EQ(logic.list().conditions()[0].advancedMask, 0x1u);
}

TEST(DeviceNetLogic, MacIdsGroupsAndMessagesFollowTheControls) {
    MessageRecorder messages;
    FilterState filter;
    DeviceNetFilterLogic logic(messages);
    logic.open(filter);
    EXPECT_EQ(logic.typeSource("40"), "4");
    EXPECT_EQ(ids(messages), std::vector<std::uint32_t>{strings::kMacRangeHex});
    EXPECT_EQ(logic.typeDestination("3G"), "3");
    EXPECT_EQ(ids(messages).back(), strings::kMacCharacterHex);
    logic.setHex(false);
    EXPECT_EQ(logic.sourceText(), "4");
    EXPECT_EQ(logic.typeSource("64"), "6");
    EXPECT_EQ(ids(messages).back(), strings::kMacRangeDecimal);
    EXPECT_EQ(logic.typeSource("4A"), "4");
    EXPECT_EQ(ids(messages).back(), strings::kCharacterDecimal);
    logic.setHex(true);
    EXPECT_EQ(logic.sourceText(), "04");
    EXPECT_EQ(logic.typeDestination("ALL"), "ALL");
    EXPECT_EQ(logic.destinationMac(), DeviceNetFilterLogic::kFree);
    const std::size_t shown = messages.shown().size();
    EXPECT_EQ(logic.typeDestination("ALL5"), "ALL");  // one message, and "ALL" stays
    EXPECT_EQ(messages.shown().size(), shown + 1);
    EXPECT_EQ(logic.destinationMac(), DeviceNetFilterLogic::kFree);

    EXPECT_EQ(logic.messageIdItems().size(), 17u);
    logic.selectMessageIdItem(13);  // message ID 12
    logic.selectGroup(2);
    EXPECT_EQ(logic.messageId(), DeviceNetFilterLogic::kFree);
    EXPECT_EQ(logic.messageIdItems().back(), "7");
    logic.selectMessageIdItem(8);  // 7: group 3 has 0 .. 6 only
    logic.selectGroup(3);
    EXPECT_EQ(logic.messageIdItem(), 0);

    logic.selectGroup(4);
    EXPECT_FALSE(logic.macListsEnabled());
    FilterCondition c = logic.build();
    EXPECT_TRUE(c.has(FCF_DN_GROUP4) && c.has(FCF_METHOD1));
    EXPECT_FALSE(c.has(FCF_DN_SRC) || c.has(FCF_DN_DST));
}

TEST(DeviceNetLogic, MethodTwoBuildsTheNamedMessageAndRowsLoadBack) {
    MessageRecorder messages;
    FilterState filter;
    DeviceNetFilterLogic logic(messages);
    logic.open(filter);
    logic.setMethod(2);
    logic.selectMethod2Item(6);  // "Group 2: Slave's Exp Res Msg"
    (void)logic.typeSource("0A");
    (void)logic.typeDestination("15");
    ASSERT_TRUE(logic.add({}));
    const FilterCondition c = logic.list().conditions()[0];
    EXPECT_TRUE(c.has(FCF_METHOD2) && c.has(FCF_DN_GROUP2) && c.has(FCF_DN_MSGID));
    EXPECT_EQ(c.dnMessageId, 3u);
    // Group 2, message 3, MAC 0x0A, destination 0x15 in the low six bits of byte 0.
    EXPECT_TRUE(matches(frame(0x400 | (0x0A << 3) | 3, {0xC0 | 0x15}), c));
    EXPECT_FALSE(matches(frame(0x400 | (0x0B << 3) | 3, {0x15}), c));
    EXPECT_FALSE(logic.add({true}));

    logic.open(filter);  // the program's list is still empty
    EXPECT_TRUE(logic.list().conditions().empty());
    FilterState withRow;
    withRow.conditions.push_back(c);
    FilterCondition foreign = c;  // values no dialog writes
    foreign.flags = FCF_DEVICENET | FCF_DN_GROUP1 | FCF_DN_MSGID | FCF_DN_SRC | FCF_ENABLED;
    foreign.dnMessageId = 99;
    foreign.dnSourceMac = 1000;
    withRow.conditions.push_back(foreign);
    logic.open(withRow);
    logic.clickRow(0);
    EXPECT_EQ(logic.method(), 2);
    EXPECT_EQ(logic.method2Item(), 6);
    EXPECT_EQ(logic.sourceText(), "0A");
    EXPECT_EQ(logic.destinationText(), "15");
    logic.clickRow(1);
    EXPECT_EQ(logic.method(), 1);
    EXPECT_EQ(logic.messageId(), DeviceNetFilterLogic::kFree);
    EXPECT_EQ(logic.sourceMac(), DeviceNetFilterLogic::kFree);
    EXPECT_EQ(logic.rows().size(), 2u);
}

class CanOpenLogic : public ::testing::Test {
protected:
    MessageRecorder messages;
    FilterState filter;
    bool hexDisplay = true;
    CanOpenFilterLogic logic{messages, hexDisplay};
};

TEST_F(CanOpenLogic, IdsAreCheckedAgainstTheirLimitsInTheProgramsRadix) {
    logic.open(filter);
    EXPECT_EQ(logic.typeNodeId("80"), "8");
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].text, "The ID data must be in the range of 0 ~ 0X7f");
    EXPECT_EQ(logic.typeCobId("7G"), "7");
    EXPECT_EQ(ids(messages).back(), strings::kCharacterHex);

    logic.setHex(false);
    EXPECT_FALSE(hexDisplay);
    EXPECT_EQ(logic.nodeIdText(), "8");
    EXPECT_EQ(logic.typeCobId("2048"), "204");
    EXPECT_EQ(messages.shown().back().text, "The ID data must be in the range of 0 ~ 2047");
    EXPECT_EQ(logic.functionCodeItems()[11], "10");
    logic.setHex(true);
    EXPECT_EQ(logic.cobIdText(), "CC");
    EXPECT_EQ(logic.functionCodeItems()[11], "A");
    logic.leaveCobId();
    EXPECT_EQ(logic.cobIdText(), "CC");
    EXPECT_EQ(logic.typeCobId("ALL"), "ALL");
    EXPECT_EQ(logic.cobId(), CanOpenFilterLogic::kFree);

    // A second dialog opened later shows the program's radix.
    hexDisplay = false;
    CanOpenFilterLogic other(messages, hexDisplay);
    other.open(filter);
    EXPECT_FALSE(other.hex());
}

TEST_F(CanOpenLogic, MethodTwoMatchesItsFunctionCodeAndNeverAnExtendedFrame) {
    logic.open(filter);
    logic.setMethod(2);
    logic.selectFunctionCodeItem(4);  // 3
    logic.frame().selectSize(2);      // length 1
    logic.typeData(0, "12");
    logic.typeData(4, "34");
    ASSERT_TRUE(logic.add({}));
    const FilterCondition c = logic.list().conditions()[0];
    EXPECT_TRUE(c.has(FCF_CO_FCODE) && !c.has(FCF_CO_NODEID) && !c.has(FCF_METHOD1));
    EXPECT_FALSE(c.has(fcfData(4)));
    EXPECT_TRUE(matches(frame(3 << 7 | 5, {0x12}), c));
    EXPECT_FALSE(matches(frame(3 << 7 | 5, {0x12}, 1), c));
    EXPECT_FALSE(matches(frame(4 << 7 | 5, {0x12}), c));
    EXPECT_EQ(logic.rows()[0].cells[2], "left4(X) = 3");

    logic.clickRow(0);
    EXPECT_TRUE(logic.editEnabled());
    EXPECT_FALSE(logic.edit({true}));
    EXPECT_EQ(ids(messages).back(), strings::kSameCondition);
    logic.setMethod(1);
    (void)logic.typeCobId("181");
    ASSERT_TRUE(logic.edit({false}));
    EXPECT_EQ(logic.list().conditions()[0].coCobId, 0x181u);
    EXPECT_EQ(logic.rows()[0].cells[2], "181");
}

TEST_F(CanOpenLogic, RowsOfOtherProtocolsAndForeignValuesLoadSafely) {
    FilterCondition can{};
    can.flags = FCF_CAN | FCF_ENABLED | FCF_ID;
    FilterCondition odd{};
    odd.flags = FCF_CANOPEN | FCF_CO_FCODE | FCF_CO_NODEID | FCF_LENGTH | FCF_DATA0 | 0x80000000u;
    odd.coFunctionCode = 40;
    odd.coNodeId = 999;
    odd.formatAndLength = 0x2000;  // length 32
    filter.conditions = {can, odd};
    logic.open(filter);
    logic.clickRow(0);
    EXPECT_FALSE(logic.editEnabled());
    EXPECT_TRUE(logic.deleteEnabled());
    logic.clickRow(1);
    EXPECT_EQ(logic.method(), 2);
    EXPECT_EQ(logic.functionCode(), CanOpenFilterLogic::kFree);
    EXPECT_EQ(logic.nodeId(), CanOpenFilterLogic::kFree);
    EXPECT_EQ(logic.frame().sizeItem(), 0);
    EXPECT_EQ(logic.frame().dataText(0), "00");
    EXPECT_EQ(logic.rows().size(), 2u);
}

}  // namespace

namespace {

TEST(FrameFieldsTest, BuiltConditionsNeverConstrainBytesBeyondTheirLength) {
    MessageRecorder messages;
    FrameFields fields(
        {strings::kInvalidCharacter, strings::kByteRangeHex, strings::kByteRangeDecimal});
    for (int i = 0; i < 8; ++i) (void)fields.typeData(i, "1", true, messages);
    fields.selectSize(1);  // length 0
    FilterCondition c;
    fields.apply(c);
    EXPECT_TRUE(c.has(FCF_LENGTH));
    EXPECT_EQ(c.length(), 0);
    for (int i = 0; i < 8; ++i) EXPECT_FALSE(c.has(fcfData(i))) << i;
    fields.selectSize(42);  // no such item: "ALL"
    EXPECT_EQ(fields.sizeItem(), 0);
    fields.setRemote(true);
    FilterCondition remote;
    fields.apply(remote);
    EXPECT_EQ(remote.remote, 1u);

    // Decimal bytes are complete at three digits.
    EXPECT_FALSE(fields.typeData(0, "25", false, messages).moveFocus);
    EXPECT_TRUE(fields.typeData(0, "255", false, messages).moveFocus);
    EXPECT_EQ(fields.typeData(9, "12", true, messages).text, "12");  // no such edit: untouched
    EXPECT_TRUE(messages.shown().empty());
}

TEST(ConditionListEditorTest, ChecksAndSelectionsStayWithinTheList) {
    MessageRecorder messages;
    ConditionListEditor list(messages);
    FilterState filter;
    filter.conditions.resize(2);
    filter.conditions[0].flags = FCF_CAN | FCF_ENABLED;
    filter.mode = FilterMode::kHide;
    list.open(filter);
    EXPECT_EQ(list.mode(), FilterMode::kHide);
    list.takeChecks({false, true, true, true});  // more boxes than rows
    EXPECT_FALSE(list.conditions()[0].has(FCF_ENABLED));
    EXPECT_TRUE(list.conditions()[1].has(FCF_ENABLED));
    list.takeChecks({true});  // fewer: the rest keep theirs
    EXPECT_TRUE(list.conditions()[1].has(FCF_ENABLED));
    EXPECT_FALSE(list.select(2));
    EXPECT_EQ(list.selected(), nullptr);
    EXPECT_FALSE(list.replaceSelected(ConditionProtocol::kCan, {}));
    EXPECT_FALSE(list.removeSelected());
    ASSERT_TRUE(list.select(1));
    FilterCondition changed;
    changed.flags = FCF_CANOPEN | FCF_ENABLED;
    changed.reserved = 7;  // never kept
    EXPECT_TRUE(list.replaceSelected(ConditionProtocol::kCanOpen, changed));
    EXPECT_EQ(list.conditions()[1].reserved, 0u);
    EXPECT_TRUE(list.removeSelected());
    EXPECT_EQ(list.conditions().size(), 1u);
    EXPECT_EQ(list.selectedRow(), -1);
    // The program's list is a copy: nothing above reached it.
    EXPECT_EQ(filter.conditions.size(), 2u);
}

TEST_F(CanLogic, RadixSwitchRewritesEveryFieldAndRowsReadBackInIt) {
    logic.open(filter, 2);
    logic.selectIdentifier(CanFilterLogic::Identifier::kCustom);
    (void)logic.typeIdentifier("1ABCDEF");
    (void)logic.typeData(0, "0A");
    logic.frame().setRemote(true);
    ASSERT_TRUE(logic.add({}));
    EXPECT_EQ(logic.list().conditions()[0].format(), 1);  // extended from the frame type
    EXPECT_EQ(logic.list().conditions()[0].remote, 1u);
    logic.setHex(false);
    EXPECT_EQ(logic.identifierText(), "28036591");
    EXPECT_EQ(logic.frame().dataText(0), "10");
    EXPECT_EQ(logic.identifierLimit(), 9);
    EXPECT_EQ(logic.rows()[0].cells[2], "28036591");
    logic.open(filter, 2);
    logic.clickRow(-1);  // clicked beside the rows: nothing selected, nothing loaded
    EXPECT_FALSE(logic.editEnabled());
    EXPECT_FALSE(logic.edit({}));
}

TEST(DeviceNetLogic, MethodOneStartsAgainFromGroupOneAndEditReplacesTheRow) {
    MessageRecorder messages;
    FilterState filter;
    DeviceNetFilterLogic logic(messages);
    logic.open(filter);
    logic.setMethod(2);
    logic.selectMethod2Item(14);  // group 4, message 45
    EXPECT_EQ(logic.group(), 4);
    EXPECT_FALSE(logic.macListsEnabled());
    logic.setMethod(1);
    EXPECT_EQ(logic.group(), 1);
    EXPECT_EQ(logic.messageId(), DeviceNetFilterLogic::kFree);
    EXPECT_TRUE(logic.macListsEnabled());
    ASSERT_TRUE(logic.add({}));
    logic.clickRow(0);
    logic.selectGroup(3);
    logic.selectMessageIdItem(6);  // message 5
    ASSERT_TRUE(logic.edit({false}));
    const FilterCondition& c = logic.list().conditions()[0];
    EXPECT_TRUE(c.has(FCF_DN_GROUP3) && c.has(FCF_DN_MSGID) && c.has(FCF_ENABLED));
    EXPECT_EQ(c.dnMessageId, 5u);
    logic.setHex(false);
    logic.selectGroup(4);
    EXPECT_EQ(logic.messageIdItems()[48], "47");
    EXPECT_TRUE(logic.remove());
    EXPECT_FALSE(logic.deleteEnabled());
}

TEST(DeviceNetLogic, EditStaysOnForARowOfAnotherProtocolAndPutsTheDeviceNetConditionThere) {
    MessageRecorder messages;
    FilterState filter;
    FilterCondition can;
    can.flags = FCF_CAN | FCF_ENABLED | FCF_ID;
    can.identifier = 0x123;
    filter.conditions.push_back(can);
    DeviceNetFilterLogic logic(messages);
    logic.open(filter);
    logic.clickRow(5);  // beside the rows: nothing changes
    EXPECT_FALSE(logic.editEnabled());
    EXPECT_FALSE(logic.deleteEnabled());
    logic.selectGroup(2);
    logic.clickRow(0);
    EXPECT_TRUE(logic.editEnabled());
    EXPECT_TRUE(logic.deleteEnabled());
    EXPECT_EQ(logic.group(), 2);  // a CAN row loads nothing into the controls
    ASSERT_TRUE(logic.edit({true}));
    const FilterCondition& c = logic.list().conditions()[0];
    EXPECT_EQ(protocolOf(c), ConditionProtocol::kDeviceNet);
    EXPECT_TRUE(c.has(FCF_DN_GROUP2));
}

}  // namespace
