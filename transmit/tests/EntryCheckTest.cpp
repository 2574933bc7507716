#include "transmit/EntryCheck.h"

#include <gtest/gtest.h>

namespace {

using Messages = std::vector<std::uint32_t>;

EntryOutcome manualId(const std::string& text, bool hex, int frameType) {
    return checkIdentifierEntry(text, text.size(), hex, frameType, kManualIdentifierMessages);
}

}  // namespace

TEST(IdentifierEntry, RangeFollowsTheFrameTypeAndTheTypedCharacterGoes) {
    // Standard frames stop at 0x7FF: the 0 typed last is taken out again.
    EntryOutcome o = manualId("800", true, 1);
    EXPECT_EQ(o.text, "80");
    EXPECT_EQ(o.value, 0x80u);
    EXPECT_EQ(o.messages, Messages({5080}));
    EXPECT_EQ(manualId("7FF", true, 1).messages, Messages{});
    EXPECT_EQ(manualId("2048", false, 1).messages, Messages({5084}));
    EXPECT_EQ(manualId("2047", false, 1).value, 2047u);
    // Extended frames take 29 bits; a ninth hex character is too long.
    o = manualId("1FFFFFFF", true, 2);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(o.value, 0x1FFFFFFFu);
    o = manualId("1FFFFFFF0", true, 2);
    EXPECT_EQ(o.messages, Messages({5083}));
    EXPECT_EQ(o.text, "1FFFFFFF");
    EXPECT_EQ(manualId("20000000", true, 2).messages, Messages({5081}));
    EXPECT_EQ(manualId("536870912", false, 2).messages, Messages({5085}));
    EXPECT_EQ(manualId("1234567890", false, 2).messages, Messages({5087}));
    EXPECT_EQ(manualId("9999999999", false, 2).messages, Messages({5087, 5085}));
}

TEST(IdentifierEntry, BadCharactersAreRemovedWhereTheyWereTyped) {
    // Typed in the middle: the character before the cursor goes, not the last one.
    EntryOutcome o = checkIdentifierEntry("1G2", 2, true, 1, kManualIdentifierMessages);
    EXPECT_EQ(o.text, "12");
    EXPECT_EQ(o.cursor, 1u);
    EXPECT_EQ(o.messages, Messages({5082}));
    EXPECT_EQ(manualId("1A", false, 1).messages, Messages({5086}));
    // Each removal is checked again until the text is clean.
    o = checkIdentifierEntry("x-", 2, false, 1, kAutoIdentifierMessages);
    EXPECT_EQ(o.text, "");
    EXPECT_EQ(o.messages, Messages({5022, 5022}));
    EXPECT_EQ(o.value, 0u);
    // The automatic dialog's own ids.
    EXPECT_EQ(checkIdentifierEntry("800", 3, true, 1, kAutoIdentifierMessages).messages,
              Messages({5016}));
    EXPECT_EQ(checkIdentifierEntry("123456789", 9, true, 2, kAutoIdentifierMessages).messages,
              Messages({5019}));
}

TEST(DataEntry, HexAndDecimalRanges) {
    EntryOutcome o = checkDataEntry("fF", 2, true, kManualDataMessages);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(o.value, 0xFFu);
    EXPECT_EQ(checkDataEntry("G", 1, true, kManualDataMessages).messages, Messages({5075}));
    o = checkDataEntry("256", 3, false, kManualDataMessages);
    EXPECT_EQ(o.messages, Messages({5076}));
    EXPECT_EQ(o.text, "25");
    EXPECT_EQ(o.value, 25u);
    EXPECT_EQ(checkDataEntry("1.", 2, false, kAutoDataMessages).messages, Messages({5008}));
    // A pasted text longer than the edit allows is cut back until it fits.
    o = checkDataEntry("1234", 4, true, kAutoDataMessages);
    EXPECT_EQ(o.text, "12");
    EXPECT_EQ(o.messages, Messages({5005, 5005}));
    EXPECT_EQ(checkDataEntry("", 0, true, kAutoDataMessages).value, 0u);
}

TEST(DataEntry, NumbersShowInTheChosenRadixAndEmptyEditsBecomeZero) {
    EXPECT_EQ(formatNumber(0x1FFFFFFF, true), "1FFFFFFF");
    EXPECT_EQ(formatNumber(2047, false), "2047");
    EXPECT_EQ(textOnLeaving(""), "0");
    EXPECT_EQ(textOnLeaving("7"), "7");
    EXPECT_EQ(dataEntryLimit(true), 2u);
    EXPECT_EQ(dataEntryLimit(false), 3u);
}
