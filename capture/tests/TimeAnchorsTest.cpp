#include "capture/TimeAnchors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

CapturedFrame at(std::uint32_t wraps, std::uint32_t minutes, std::uint32_t seconds,
                 std::uint32_t millis, std::uint32_t micros = 0) {
    CapturedFrame f;
    f.wraps = wraps;
    f.minutes = minutes;
    f.seconds = seconds;
    f.millis = millis;
    f.micros = micros;
    return f;
}

constexpr std::int64_t kDay = 1'700'000'000'000'000;  // 2023-11-14 22:13:20 UTC

// The process's time zone for the length of a test.
class TimeZone {
public:
    explicit TimeZone(const char* zone) {
        if (const char* tz = std::getenv("TZ")) m_old = tz;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TimeZone() {
        if (m_old.empty()) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", m_old.c_str(), 1);
        }
        ::tzset();
    }

private:
    std::string m_old;
};

}  // namespace

TEST(TimeAnchors, AFramesTimeOfDayCountsFromItsRunsAnchorAcrossWrapsAndRestarts) {
    // Run 1 starts 5.25 s into the adapter's clock; run 2 after the adapter was powered again,
    // which the poll counted as a wrap.
    const std::vector<TimeAnchor> anchors = {
        anchorOf(2, at(0, 0, 5, 250, 500), kDay),
        anchorOf(6, at(1, 0, 0, 12), kDay + 90'000'000),
    };
    EXPECT_EQ(anchors[0].adapterUs, 5'250'500u);
    EXPECT_EQ(anchors[1].wraps, 1u);
    EXPECT_EQ(anchorFor(anchors, 0), &anchors[0]);  // a frame sent by hand before the first run
    EXPECT_EQ(anchorFor(anchors, 5), &anchors[0]);
    EXPECT_EQ(anchorFor(anchors, 6), &anchors[1]);
    EXPECT_EQ(anchorFor(anchors, 1'000'000), &anchors[1]);
    EXPECT_EQ(anchorFor({}, 0), nullptr);

    EXPECT_EQ(timeOfDayUs(anchors[0], at(0, 0, 5, 250, 500)), kDay);
    EXPECT_EQ(timeOfDayUs(anchors[0], at(0, 1, 5, 250, 1023)), kDay + 60'000'499);
    // A wrap of the clock within run 1: the round is 4,177,920 ms.
    EXPECT_EQ(timeOfDayUs(anchors[0], at(1, 0, 0, 1, 500)),
              kDay + 4'177'920'000 - 5'250'500 + 1500);
    EXPECT_EQ(timeOfDayUs(anchors[1], at(1, 0, 1, 12)), kDay + 91'000'000);
    // A frame sent by hand carries no adapter time: it lies before its anchor.
    EXPECT_EQ(timeOfDayUs(anchors[0], at(0, 0, 0, 0)), kDay - 5'250'500);
    // Far-off values saturate instead of wrapping.
    EXPECT_EQ(timeOfDayUs({0, INT64_MAX - 5, 0, 0}, at(0, 0, 1, 0)), INT64_MAX);
    EXPECT_EQ(timeOfDayUs({0, INT64_MIN + 5, 0, 0xFFFFFFFF}, at(0, 0, 0, 0)), INT64_MIN);
}

TEST(TimeAnchors, TimesOfDayReadInTheLocalZone) {
    {
        TimeZone utc("UTC");
        EXPECT_EQ(formatTimeOfDay(kDay + 123'456), "2023-11-14 22:13:20.123456");
        EXPECT_EQ(formatTimeOfDay(kDay + 999'999, false), "2023-11-14 22:13:20");
        EXPECT_EQ(formatTimeOfDay(-1), "1969-12-31 23:59:59.999999");
    }
    TimeZone shanghai("CST-8");
    EXPECT_EQ(formatTimeOfDay(kDay), "2023-11-15 06:13:20.000000");
}

TEST(TimeAnchorList, OnlyTheFirstFrameOfARunIsAnchoredAndTheAnchorsGoWithTheirFrames) {
    TimeAnchorList list;
    EXPECT_TRUE(list.runPending());  // a new store: its first frame begins a run
    list.frameTaken(0, at(0, 0, 1, 0), kDay);
    list.frameTaken(1, at(0, 0, 2, 0), kDay + 5);
    ASSERT_EQ(list.snapshot().size(), 1u);
    EXPECT_EQ(list.timeOfDayUs(1, at(0, 0, 2, 0)), kDay + 1'000'000);

    list.startRun();
    list.frameTaken(7, at(1, 0, 0, 3), kDay + 60'000'000);
    list.frameTaken(8, at(1, 0, 0, 4), kDay);
    const std::vector<TimeAnchor> both = list.snapshot();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[1], (TimeAnchor{7, kDay + 60'000'000, 3000, 1}));
    EXPECT_EQ(list.last(), both[1]);
    EXPECT_EQ(list.snapshot(7).size(), 1u);  // frames appended after a save's count are not saved
    EXPECT_EQ(list.timeOfDayUs(8, at(1, 0, 0, 4)), kDay + 60'001'000);

    list.clear();
    EXPECT_FALSE(list.last().has_value());
    EXPECT_FALSE(list.timeOfDayUs(0, at(0, 0, 0, 0)).has_value());
    EXPECT_TRUE(list.runPending());
    list.replace(both);
    EXPECT_EQ(list.snapshot(), both);
    // The next frame taken in (a capture going on after a document was opened) begins a run.
    list.frameTaken(9, at(0, 0, 0, 1), kDay + 120'000'000);
    EXPECT_EQ(list.snapshot().size(), 3u);
}
