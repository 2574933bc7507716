// What a user reads of decoded values: the data list's Signals cell, the panel's lines, and the
// newest frame of a message that the panel follows.

#include "candb/DbcReader.h"
#include "candb/NewestFrame.h"
#include "candb/SignalText.h"

#include <gtest/gtest.h>

namespace {

const char* const kDatabase = R"(VERSION ""
BO_ 256 EngineData: 8 Ecu
 SG_ EngineSpeed : 0|16@1+ (1,0) [0|8000] "rpm" Vector__XXX
 SG_ CoolantTemp : 16|8@1+ (1,-100) [-100|155] "degC" Vector__XXX
 SG_ Gear : 24|8@1+ (1,0) [0|3] "" Vector__XXX
 SG_ Position : 32|16@1+ (0.1,0) [0|0] "mm" Vector__XXX
CM_ SG_ 256 EngineSpeed "Crankshaft
speed";
VAL_ 256 Gear 0 "Park" 1 "Drive" ;
BO_ 2147483940 Wide: 8 Ecu
 SG_ Big : 0|64@1- (1,0) [0|0] "" Vector__XXX
)";

CapturedFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes,
                    bool extended = false) {
    CapturedFrame f;
    f.identifier = id;
    f.format = extended ? 1 : 0;
    for (const std::uint8_t b : bytes) f.data[f.length++] = b;
    return f;
}

class SignalTextTest : public ::testing::Test {
protected:
    SignalTextTest()
        : m_decoder({DbcReader::read(kDatabase).database}), m_out(m_decoder.makeFrame()) {}
    const DecodedFrame& decoded(const CapturedFrame& f) {
        m_decoder.decode(f, m_out);
        return m_out;
    }
    SignalDecoder m_decoder;
    DecodedFrame m_out;
};

}  // namespace

TEST_F(SignalTextTest, TheSummaryNamesTheMessageAndShowsDescriptionsInsteadOfValues) {
    // 2500 rpm, 44 - 100 = -56 degC, Drive, 1234 × 0.1 mm (123.40000000000001 as a double).
    EXPECT_EQ(signalSummary(decoded(frame(0x100, {0xC4, 0x09, 44, 1, 0xD2, 0x04, 0, 0}))),
              "EngineData: EngineSpeed=2500 rpm CoolantTemp=-56 degC Gear=Drive Position=123.4 mm");
    // A value without a description shows the number; too short a frame shows what it holds.
    EXPECT_EQ(signalSummary(decoded(frame(0x100, {0x10, 0x27, 100, 7}))),
              "EngineData: EngineSpeed=10000 rpm CoolantTemp=0 degC Gear=7");
    CapturedFrame remote = frame(0x100, {});
    remote.status = 1;
    EXPECT_EQ(signalSummary(decoded(remote)), "EngineData");
    EXPECT_EQ(signalSummary(decoded(frame(0x101, {1}))), "");
    EXPECT_EQ(signalSummary(
                  decoded(frame(0x124, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}, true))),
              "Wide: Big=9.22337203685478e+18");
}

TEST_F(SignalTextTest, PanelLinesCarryRawValueRangeDescriptionAndComment) {
    const auto lines = signalLines(decoded(frame(0x100, {0xC4, 0x09, 44, 1, 0xD2, 0x04, 0, 0})));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].name, "EngineSpeed");
    EXPECT_EQ(lines[0].value, "2500 rpm");
    EXPECT_EQ(lines[0].raw, "2500");
    EXPECT_EQ(lines[0].minimum, "0");
    EXPECT_EQ(lines[0].maximum, "8000");
    EXPECT_EQ(lines[0].comment, "Crankshaft\nspeed");
    EXPECT_EQ(lines[1].value, "-56 degC");
    EXPECT_EQ(lines[1].raw, "44");
    EXPECT_EQ(lines[1].minimum, "-100");
    EXPECT_EQ(lines[2].value, "1");
    EXPECT_EQ(lines[2].label, "Drive");
    EXPECT_EQ(lines[3].value, "123.4 mm");
    EXPECT_EQ(lines[3].raw, "1234");
    EXPECT_EQ(lines[3].minimum, "") << "[0|0] gives no range";
    EXPECT_EQ(lines[3].maximum, "");
    EXPECT_EQ(shownNumber(-0.0), "0");
    EXPECT_EQ(shownNumber(0.1 + 0.2), "0.3");
}

TEST(NewestFrame, FollowsAppendsAndFindsAnOlderFrameBackwardsInSteps) {
    FrameStore store;
    NewestFrame newest(1000);
    EXPECT_FALSE(newest.update(store));
    newest.choose(0x100, false);
    EXPECT_FALSE(newest.update(store));
    store.append(frame(0x100, {1}));
    store.append(frame(0x100, {2}, true));  // the same number, extended: another message
    CapturedFrame remote = frame(0x100, {});
    remote.status = 1;
    store.append(remote);
    EXPECT_EQ(newest.update(store), 0u);
    store.append(frame(0x100, {3}));
    store.append(frame(0x200, {4}));
    EXPECT_EQ(newest.update(store), 3u);

    // Chosen anew with the only frame far back: found within a few updates.
    const std::uint32_t filler = 2010;
    for (std::uint32_t i = 0; i < filler; ++i) store.append(frame(0x300, {}));
    newest.choose(0x100, true);
    std::optional<std::uint32_t> found;
    int updates = 0;
    while (!found && updates < 10) {
        found = newest.update(store);
        ++updates;
    }
    EXPECT_EQ(found, 1u);
    EXPECT_EQ(updates, 3);
    // A store emptied and filled again is looked at afresh.
    store.clear();
    EXPECT_FALSE(newest.update(store));
    store.append(frame(0x100, {5}, true));
    EXPECT_EQ(newest.update(store), 0u);
}
