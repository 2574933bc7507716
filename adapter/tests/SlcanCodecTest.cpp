#include "adapter/SlcanCodec.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using Kind = SlcanCodec::Kind;

namespace {

BusFrame frame(std::uint32_t id, bool extended, bool remote, std::vector<std::uint8_t> data) {
    BusFrame f;
    f.identifier = id;
    f.extended = extended;
    f.remote = remote;
    f.length = static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) f.data[i] = data[i];
    return f;
}

std::vector<SlcanCodec::Line> feedAll(SlcanCodec& codec, std::string_view bytes) {
    std::vector<SlcanCodec::Line> lines;
    codec.feed(bytes, lines);
    return lines;
}

}  // namespace

TEST(SlcanCodec, EncodesEveryFrameKind) {
    EXPECT_EQ(SlcanCodec::encode(frame(0x123, false, false, {0xDE, 0xAD})), "t1232DEAD\r");
    EXPECT_EQ(SlcanCodec::encode(frame(0x7FF, false, false, {})), "t7FF0\r");
    EXPECT_EQ(SlcanCodec::encode(frame(0x1FFFFFFF, true, false, {1, 2, 3, 4, 5, 6, 7, 8})),
              "T1FFFFFFF80102030405060708\r");
    // A remote frame carries its length but no data, whatever the data bytes hold.
    BusFrame r = frame(0x12, false, true, {9, 9, 9});
    EXPECT_EQ(SlcanCodec::encode(r), "r0123\r");
    EXPECT_EQ(SlcanCodec::encode(frame(0xABCDE, true, true, {0})), "R000ABCDE1\r");
    // Identifiers wider than their format are cut to it rather than written as longer fields.
    EXPECT_EQ(SlcanCodec::encode(frame(0x1800, false, false, {})), "t0000\r");
}

TEST(SlcanCodec, BitRatesTheProtocolCanName) {
    const std::pair<std::uint16_t, char> rates[] = {{10, '0'},  {20, '1'},  {50, '2'},
                                                    {100, '3'}, {125, '4'}, {250, '5'},
                                                    {500, '6'}, {800, '7'}, {1000, '8'}};
    for (const auto& [kbps, digit] : rates) {
        EXPECT_EQ(SlcanCodec::bitRateDigit(kbps), digit) << kbps;
    }
    for (std::uint16_t odd : {0, 33, 83, 1023}) {
        EXPECT_FALSE(SlcanCodec::bitRateDigit(odd).has_value()) << odd;
    }
}

TEST(SlcanCodec, ParsesFramesWithAndWithoutStamps) {
    auto l = SlcanCodec::parse("t1232DEAD");
    ASSERT_EQ(l.kind, Kind::Frame);
    EXPECT_EQ(l.frame.identifier, 0x123u);
    EXPECT_FALSE(l.frame.extended);
    EXPECT_EQ(l.frame.length, 2);
    EXPECT_EQ(l.frame.data[1], 0xAD);
    EXPECT_FALSE(l.timeMs.has_value());

    l = SlcanCodec::parse("T01abcdef30a0b0cEA5F");  // lower-case digits, stamp 59999
    ASSERT_EQ(l.kind, Kind::Frame);
    EXPECT_TRUE(l.frame.extended);
    EXPECT_EQ(l.frame.identifier, 0x1ABCDEFu);
    EXPECT_EQ(l.frame.data[2], 0x0C);
    EXPECT_EQ(l.timeMs, 59999);

    l = SlcanCodec::parse("r7FF80001");
    ASSERT_EQ(l.kind, Kind::Frame);
    EXPECT_TRUE(l.frame.remote);
    EXPECT_EQ(l.frame.length, 8);
    EXPECT_EQ(l.timeMs, 1);

    l = SlcanCodec::parse("R000000000");
    ASSERT_EQ(l.kind, Kind::Frame);
    EXPECT_TRUE(l.frame.remote && l.frame.extended);
}

TEST(SlcanCodec, RepliesAreTold) {
    EXPECT_EQ(SlcanCodec::parse("").kind, Kind::Ok);
    EXPECT_EQ(SlcanCodec::parse("z").kind, Kind::Sent);
    EXPECT_EQ(SlcanCodec::parse("Z").kind, Kind::Sent);
    auto l = SlcanCodec::parse("F08");
    ASSERT_EQ(l.kind, Kind::Status);
    EXPECT_EQ(l.status, SlcanCodec::kDataOverrun);
    l = SlcanCodec::parse("V1013");
    ASSERT_EQ(l.kind, Kind::Version);
    EXPECT_EQ(l.text, "1013");
    l = SlcanCodec::parse("NA123");
    ASSERT_EQ(l.kind, Kind::Serial);
    EXPECT_EQ(l.text, "A123");
}

TEST(SlcanCodec, RejectsWhatDoesNotParse) {
    const char* bad[] = {
        "t12",          // shorter than its header
        "t12G1AA",      // identifier not hexadecimal
        "t8001AA",      // standard identifier above 0x7FF
        "T200000000",   // extended identifier above 0x1FFFFFFF
        "t1239",        // length 9
        "t1232AA",      // one data byte short
        "t1232AABBC",   // neither bare nor stamped
        "t1231ZZ",      // data not hexadecimal
        "t1231AAEA60",  // stamp 60000
        "t1231AAXXXX",  // stamp not hexadecimal
        "F8",           // status too short
        "FGG",          // status not hexadecimal
        "zz",           // text after a confirmation
        "Q",            // unknown
        "V\x01\x02",    // unprintable version
    };
    for (const char* line : bad) {
        const auto l = SlcanCodec::parse(line);
        EXPECT_EQ(l.kind, Kind::Malformed) << line;
        EXPECT_FALSE(l.text.empty()) << line;
    }
}

TEST(SlcanCodec, SplitsTheStreamIntoLines) {
    SlcanCodec codec;
    // A frame split across reads, a BEL alone, CR LF endings, then an empty reply.
    auto lines = feedAll(codec, "t1231");
    EXPECT_TRUE(lines.empty());
    lines = feedAll(codec, "AA\r\az\r\n\r");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].kind, Kind::Frame);
    EXPECT_EQ(lines[0].frame.data[0], 0xAA);
    EXPECT_EQ(lines[1].kind, Kind::Error);
    EXPECT_EQ(lines[2].kind, Kind::Sent);
    EXPECT_EQ(lines[3].kind, Kind::Ok);

    // Half a line cut off by a BEL is rejected; the BEL still counts as a refusal.
    lines = feedAll(codec, "t12\a");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, Kind::Malformed);
    EXPECT_EQ(lines[1].kind, Kind::Error);

    // Endless noise is rejected once and skipped up to the next CR; what follows is read.
    lines = feedAll(codec, std::string(500, 'x') + "\rt0010\r");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].kind, Kind::Malformed);
    EXPECT_EQ(lines[1].kind, Kind::Frame);
}

TEST(SlcanTimeline, UnwrapsStampsAcrossTheirSixtySecondWrap) {
    SlcanTimeline t;
    const auto t0 = SlcanTimeline::Clock::now();
    // The first frame anchors the clocks.
    EXPECT_EQ(t.place(59990, t0), t0);
    // 15 ms later by the adapter's stamps, across the wrap, arriving 3 ms after that.
    EXPECT_EQ(t.place(5, t0 + 18ms), t0 + 15ms);
    // Seventy seconds of silence: the wrap count comes from the host's clock.
    EXPECT_EQ(t.place(static_cast<std::uint16_t>((59990 + 70'000 + 15) % 60'000), t0 + 70'016ms),
              t0 + 70'015ms);
    // Stamps count whole milliseconds: a frame never ends after it arrived.
    EXPECT_EQ(t.place(static_cast<std::uint16_t>((59990 + 70'100) % 60'000), t0 + 70'099ms + 500us),
              t0 + 70'099ms + 500us);
}

TEST(SlcanTimeline, AnchorsAfreshWhenTheClocksDrift) {
    SlcanTimeline t;
    const auto t0 = SlcanTimeline::Clock::now();
    (void)t.place(1000, t0);
    // The adapter's clock says 100 ms, the host saw 400 ms: beyond the tolerance, so the arrival
    // counts and anchors the following frames.
    EXPECT_EQ(t.place(1100, t0 + 400ms), t0 + 400ms);
    EXPECT_EQ(t.place(1110, t0 + 412ms), t0 + 410ms);
    // An anchor frame that came late is replaced by one that came sooner.
    EXPECT_EQ(t.place(1200, t0 + 480ms), t0 + 480ms);
    EXPECT_EQ(t.place(1201, t0 + 482ms), t0 + 481ms);
}
