// Filter conditions on messages and signals: what each form of line matches, the lines that do
// not compile, and the lines as the document keeps them.

#include "candb/DbcReader.h"
#include "candb/ExtensionPayload.h"
#include "candb/SignalFilter.h"

#include <gtest/gtest.h>

namespace {

const char* const kDatabase = R"(VERSION ""
BO_ 256 EngineData: 4 Ecu
 SG_ EngineSpeed : 0|16@1+ (1,0) [0|8000] "rpm" Vector__XXX
 SG_ CoolantTemp : 16|8@1+ (1,-100) [-100|155] "degC" Vector__XXX
 SG_ Gear : 24|8@1+ (1,0) [0|3] "" Vector__XXX
VAL_ 256 Gear 0 "Park" 1 "Drive" ;
BO_ 512 Pump: 3 Ecu
 SG_ Mode M : 0|8@1+ (1,0) [0|0] "" Vector__XXX
 SG_ EngineSpeed m1 : 8|16@1+ (1,0) [0|0] "rpm" Vector__XXX
)";

CapturedFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes) {
    CapturedFrame f;
    f.identifier = id;
    for (const std::uint8_t b : bytes) f.data[f.length++] = b;
    return f;
}

CapturedFrame engine(std::uint16_t rpm, std::uint8_t temp, std::uint8_t gear) {
    return frame(256,
                 {static_cast<std::uint8_t>(rpm), static_cast<std::uint8_t>(rpm >> 8), temp, gear});
}

class SignalFilterTest : public ::testing::Test {
protected:
    std::shared_ptr<const SignalDecoder> m_decoder = std::make_shared<const SignalDecoder>(
        std::vector<std::shared_ptr<const CanDatabase>>{DbcReader::read(kDatabase).database});

    std::shared_ptr<const SignalFilterMatcher> matcher(std::vector<std::string> lines) {
        const auto r = SignalFilterMatcher::compile(lines, m_decoder);
        EXPECT_EQ(r.error, SignalFilterError::kNone) << r.line << " " << r.name;
        return r.matcher;
    }
    SignalFilterMatcher::Result fails(std::vector<std::string> lines) {
        const auto r = SignalFilterMatcher::compile(lines, m_decoder);
        EXPECT_EQ(r.matcher, nullptr);
        return r;
    }
};

}  // namespace

TEST_F(SignalFilterTest, EachFormOfLineMatchesWhatItSays) {
    const auto above = matcher({"EngineSpeed > 3000"});
    EXPECT_TRUE(above->matches(engine(3001, 0, 0)));
    EXPECT_FALSE(above->matches(engine(3000, 0, 0)));
    // A signal name of two messages stands for both; a multiplexed one only where selected.
    EXPECT_TRUE(above->matches(frame(512, {1, 0xB9, 0x0B})));   // Mode 1: 3001
    EXPECT_FALSE(above->matches(frame(512, {2, 0xB9, 0x0B})));  // Mode 2 selects nothing
    const auto qualified = matcher({"EngineData.EngineSpeed >= 3000"});
    EXPECT_TRUE(qualified->matches(engine(3000, 0, 0)));
    EXPECT_FALSE(qualified->matches(frame(512, {1, 0xB9, 0x0B})));
    // Physical values: 40 raw is -60 degC.
    const auto cold = matcher({"CoolantTemp < -50"});
    EXPECT_TRUE(cold->matches(engine(0, 40, 0)));
    EXPECT_FALSE(cold->matches(engine(0, 50, 0)));
    const auto range = matcher({"2500 <= EngineSpeed < 3000"});
    EXPECT_TRUE(range->matches(engine(2500, 0, 0)));
    EXPECT_FALSE(range->matches(engine(3000, 0, 0)));
    EXPECT_FALSE(range->matches(engine(2499, 0, 0)));
    const auto mirrored = matcher({"3000 < EngineSpeed"});
    EXPECT_TRUE(mirrored->matches(engine(3001, 0, 0)));
    EXPECT_FALSE(mirrored->matches(engine(2999, 0, 0)));
    const auto drive = matcher({"Gear == Drive"});
    EXPECT_TRUE(drive->matches(engine(0, 0, 1)));
    EXPECT_FALSE(drive->matches(engine(0, 0, 0)));
    EXPECT_TRUE(matcher({"Gear != Drive"})->matches(engine(0, 0, 0)));
    // A message name; lines are alternatives; blank lines count for nothing.
    const auto either = matcher({"Pump", "", "Gear = 1"});
    EXPECT_TRUE(either->matches(frame(512, {9})));
    EXPECT_TRUE(either->matches(engine(0, 0, 1)));
    EXPECT_FALSE(either->matches(engine(0, 0, 0)));
    EXPECT_FALSE(either->matches(frame(0x300, {1})));
    // Frames that do not carry the signal match no line on it.
    CapturedFrame remote = engine(5000, 0, 0);
    remote.status = 1;
    EXPECT_FALSE(above->matches(remote));
    EXPECT_FALSE(above->matches(frame(256, {0xB9})));
}

TEST_F(SignalFilterTest, ALineThatDoesNotCompileIsNamedWithWhy) {
    auto r = fails({"EngineSpeed > 1", "EngineSped > 3000"});
    EXPECT_EQ(r.error, SignalFilterError::kUnknownSignal);
    EXPECT_EQ(r.line, 1u);
    EXPECT_EQ(r.name, "EngineSped");
    r = fails({"Engine"});
    EXPECT_EQ(r.error, SignalFilterError::kUnknownMessage);
    EXPECT_EQ(r.name, "Engine");
    r = fails({"Gear == Reverse"});
    EXPECT_EQ(r.error, SignalFilterError::kUnknownLabel);
    EXPECT_EQ(r.value, "Reverse");
    EXPECT_EQ(fails({"Gear > Drive"}).error, SignalFilterError::kLabelOperator);
    for (const char* bad : {"EngineSpeed >", "> 3000", "EngineSpeed > 3000 rpm", "EngineSpeed ~ 3",
                            "1 < EngineSpeed > 3", "EngineSpeed > 1e999", "Pump.Gear == 1"}) {
        const auto e = fails({bad});
        EXPECT_NE(e.error, SignalFilterError::kNone) << bad;
    }
    EXPECT_EQ(fails({"Pump.Gear == 1"}).error, SignalFilterError::kUnknownSignal);
}

TEST(SignalFilterList, ItsLinesReadBackAndADamagedPayloadChangesNothing) {
    SignalFilterList list;
    EXPECT_TRUE(list.encode().empty());
    list.lines = {"EngineSpeed > 3000", "Gear == Drive"};
    const std::vector<std::uint8_t> payload = list.encode();
    SignalFilterList read;
    std::string error;
    ASSERT_TRUE(read.decode(payload, error)) << error;
    EXPECT_EQ(read.lines, list.lines);
    for (std::size_t cut = 0; cut < payload.size(); ++cut) {
        EXPECT_FALSE(read.decode({payload.data(), cut}, error)) << cut;
    }
    std::vector<std::uint8_t> counted = payload;
    counted[4] = 0xFF;
    EXPECT_FALSE(read.decode(counted, error));
    EXPECT_EQ(read.lines, list.lines);
}
