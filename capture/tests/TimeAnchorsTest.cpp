#include "capture/TimeAnchors.h"

#include <gtest/gtest.h>

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
