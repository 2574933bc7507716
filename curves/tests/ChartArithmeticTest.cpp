#include "CurveTestFrames.h"
#include "curves/YtChart.h"
#include "curves/YxChart.h"

#include <gtest/gtest.h>

namespace cf = curve_flags;

namespace {

// A y(t) chart of 500 x 250 pixels of plot: dx = 10, dy = 5.
YtChart ytChart(std::uint32_t flags = cf::kYSigned | 0x01) {
    YtChart c;
    c.record.flags = window_flags::kYt | window_flags::kYMulti;
    c.record.timeResolution = 40;
    c.record.yt[0].flags = flags | cf::kDefined | cf::kShow;
    c.record.yt[0].resolution = 10;
    c.layout(80 + 500 + 30, 10 + 250 + 40);
    return c;
}

}  // namespace

TEST(YtChartLayout, FitsWholeDivisionsAndCollapsesWhenTooNarrow) {
    YtChart c = ytChart();
    EXPECT_EQ(c.dx, 10);
    EXPECT_EQ(c.dy, 5);
    EXPECT_EQ(c.plot.left, 80);
    EXPECT_EQ(c.plot.right, 580);
    EXPECT_EQ(c.plot.top, 10);
    c.layout(80 + 30 + 549, 10 + 40 + 260);  // partial divisions are cut off
    EXPECT_EQ(c.dx, 10);
    EXPECT_EQ(c.plot.right, 580);
    EXPECT_EQ(c.plot.top, c.plot.bottom - 250);
    // Lines not placed park on the edges.
    EXPECT_EQ(c.lines.horizontal[3].y1, c.plot.top);
    EXPECT_EQ(c.lines.vertical[3].x1, c.plot.left);

    c.layout(150, 300);  // narrower than 50 + 110 pixels
    EXPECT_EQ(c.dx, 0);
    EXPECT_EQ(c.plot.right, c.plot.left);
    // Nothing divides by the zero division size.
    c.pan(100, 100, 50, 50);
    EXPECT_FALSE(c.zoom(PixelRect{80, 20, 200, 200}));
    EXPECT_EQ(c.record.timeOrigin, 0u);
    (void)c.deviceX(1000);
    (void)c.mouseValue(0, 50);
}

TEST(YtChartTime, AutoMoveKeepsTheNewestSampleInTheLastDivision) {
    YtChart c = ytChart();
    c.autoMove(40 * 49);  // below 50 divisions: T0 stays 0
    EXPECT_EQ(c.record.timeOrigin, 0u);
    c.autoMove(40 * 60 + 7);
    EXPECT_EQ(c.record.timeOrigin, 40u * 11);
    EXPECT_GE(c.deviceX(40 * 60 + 7), c.plot.right - c.dx);
    EXPECT_LE(c.deviceX(40 * 60 + 7), c.plot.right);
    // A time resolution of 0 counts as 1 instead of dividing by zero.
    c.record.timeResolution = 0;
    c.autoMove(100);
    EXPECT_EQ(c.record.timeOrigin, 51u);
    EXPECT_EQ(c.timeLabel(0), "00-00-051");
    c.record.timeOrigin = 3600000 + 61234;
    c.record.timeResolution = 40;
    EXPECT_EQ(c.timeLabel(5), "01-01-434");
}

TEST(YtChartTime, TimesRunOnAcrossClockWrapsAndPast32Bits) {
    // The adapter's clock at its last millisecond, then again at 0: the next round.
    FrameStore store;
    CapturedFrame last = frameOf(0x181, {1}, 37919);  // 69-37-919
    last.minutes = 69;
    store.append(last);
    CapturedFrame next = frameOf(0x181, {2}, 1);
    next.wraps = 1;
    store.append(next);
    CapturedFrame late = frameOf(0x181, {3}, 7);  // 53 days on
    late.wraps = 1100;
    store.append(late);
    YtChart c = ytChart();
    c.record.yt[0].identifier = 0x181;
    YtScan scan;
    scan.setDefinitions(c.record.yt);
    ASSERT_TRUE(scan.scan(store, ApplicationFlags{}));
    const auto& samples = scan.slot(0).samples;
    ASSERT_EQ(samples.size(), 3u);
    EXPECT_EQ(samples[0].timeMs(), 4177919u);
    EXPECT_EQ(samples[1].timeMs(), 4177921u);
    const std::uint64_t lateTime = 1100ull * 4177920 + 7;
    EXPECT_EQ(samples[2].timeMs(), lateTime);
    EXPECT_EQ(scan.newestTime(), lateTime);

    // Auto Move puts the newest sample in the last division, beyond 32 bits too.
    c.autoMove(scan.newestTime());
    EXPECT_EQ(c.record.timeOrigin, (lateTime / 40 - 49) * 40);
    const std::vector<DevicePoint> line = c.polyline(scan.slot(0), 0, store, true);
    ASSERT_FALSE(line.empty());
    EXPECT_GE(line.front().x, c.plot.right - c.dx);
    EXPECT_LE(line.front().x, c.plot.right);
    EXPECT_LT(line.back().x, c.plot.left);   // the earlier samples lie far left of the plot
    EXPECT_EQ(c.timeLabel(0), "35-10-040");  // T0 = 4595710040 ms, within its hour
    c.computeScrollRanges(scan, lateTime);
    EXPECT_EQ(c.hbar.position, static_cast<int>(c.record.timeOrigin / 40));
    c.hScroll(ScrollAction::kLineBack, false);
    EXPECT_EQ(c.record.timeOrigin, (lateTime / 40 - 50) * 40);
}

TEST(YtChartScrolling, RangesFollowTheSamplesAndPositionsAreClamped) {
    FrameStore store;
    for (std::uint32_t t = 0; t <= 4000; t += 100) {
        store.append(frameOf(0x181, {static_cast<std::uint8_t>(t / 100)}, t));
    }
    YtChart c = ytChart();
    c.record.yt[0].identifier = 0x181;
    YtScan scan;
    scan.setDefinitions(c.record.yt);
    scan.scan(store, ApplicationFlags{});
    c.computeScrollRanges(scan, 4000);
    EXPECT_EQ(c.hbar.minimum, 0);
    EXPECT_EQ(c.hbar.maximum, 100);
    EXPECT_EQ(c.hbar.page, 50);
    // Values 0..40 with origin 0 and 10 per division fit: no room below or above.
    EXPECT_EQ(c.vbar.minimum, 0);
    EXPECT_EQ(c.vbar.maximum, 50);
    c.record.yt[0].originSigned = 20;  // values down to 0 now lie under the origin
    c.computeScrollRanges(scan, 4000);
    EXPECT_EQ(c.vbar.maximum, 50 + 3);

    c.hScroll(ScrollAction::kLineBack, false);  // left of position 0: clamped
    EXPECT_EQ(c.hbar.position, 0);
    EXPECT_EQ(c.record.timeOrigin, 0u);
    c.hScroll(ScrollAction::kLineForward, true);  // Ctrl: 10 at a time
    EXPECT_EQ(c.record.timeOrigin, 400u);
    c.hScroll(ScrollAction::kThumb, false, 1000);
    EXPECT_EQ(c.hbar.position, 100);
    EXPECT_EQ(c.record.timeOrigin, 4000u);
    c.vScroll(ScrollAction::kLineForward, false);
    EXPECT_EQ(c.record.yt[0].originSigned, 10);
}

TEST(YtChartZoom, RectangleOfMoreThanOneDivisionZooms) {
    YtChart c = ytChart();
    c.record.yt[0].originSigned = 100;
    // Exactly one division wide or high: ignored.
    EXPECT_FALSE(c.zoom(PixelRect{100, 100, 110, 200}));
    EXPECT_FALSE(c.zoom(PixelRect{100, 100, 200, 105}));
    EXPECT_EQ(c.record.timeResolution, 40u);
    // Divisions 2..11 across, rows 10..29 up from the bottom.
    ASSERT_TRUE(c.zoom(PixelRect{100, 110, 200, 210}));
    EXPECT_EQ(c.record.timeOrigin, 2u * 40);
    EXPECT_EQ(c.record.timeResolution, 9u);  // ceil(40 * 11 / 50)
    EXPECT_EQ(c.record.yt[0].originSigned, 100 + 10 * 10);
    EXPECT_EQ(c.record.yt[0].resolution, 5);  // ceil(10 * 21 / 50)
    // No defined curve: nothing.
    YtChart empty = ytChart();
    empty.record.yt[0].flags = 0;
    EXPECT_FALSE(empty.zoom(PixelRect{100, 110, 200, 210}));
    // A curve of resolution 0 keeps its scale; the time still zooms.
    YtChart zero = ytChart();
    zero.record.yt[0].resolution = 0;
    ASSERT_TRUE(zero.zoom(PixelRect{100, 110, 200, 210}));
    EXPECT_EQ(zero.record.yt[0].resolution, 0);
    EXPECT_EQ(zero.record.timeResolution, 9u);
}

TEST(YtChartWheel, ScalesByTheFactorAndNeverStandsStill) {
    YtChart c = ytChart();
    c.record.yt[0].resolution = 1;
    c.wheel(false, false, false);  // 1 x 1.1 = 1, unchanged: 2
    EXPECT_EQ(c.record.yt[0].resolution, 2);
    c.record.yt[0].resolution = 1;
    c.wheel(true, false, false);  // 1 / 1.1 = 0, raised to 1
    EXPECT_EQ(c.record.yt[0].resolution, 1);
    c.wheel(false, false, true);  // Shift: factor 2
    EXPECT_EQ(c.record.yt[0].resolution, 2);
    c.wheel(true, true, false);  // Ctrl: the time
    EXPECT_EQ(c.record.timeResolution, 36u);
    c.record.timeResolution = 1;
    c.wheel(true, true, false);
    EXPECT_EQ(c.record.timeResolution, 1u);
    // Wheel back stops where origin + 50 divisions would leave the value range.
    c.record.yt[0].originSigned = 0x7FFFFFFF - 50 * 100;
    c.record.yt[0].resolution = 100;
    c.wheel(false, false, true);
    EXPECT_EQ(c.record.yt[0].resolution, 101);  // limited to 100, unchanged: + 1
}

TEST(YtChartAdjust, FitsEachCurveOrOneSharedScale) {
    FrameStore store;
    store.append(frameOf(0x1, {10}));
    store.append(frameOf(0x2, {200}));
    store.append(frameOf(0x1, {110}));
    store.append(frameOf(0x2, {250}));
    YtChart c = ytChart(0x01);
    c.record.yt[0].identifier = 1;
    c.record.yt[1] = c.record.yt[0];
    c.record.yt[1].identifier = 2;
    YtScan scan;
    scan.setDefinitions(c.record.yt);
    scan.scan(store, ApplicationFlags{});
    c.adjustAll(scan);
    EXPECT_EQ(c.record.yt[0].originUnsigned, 10u);
    EXPECT_EQ(c.record.yt[0].resolution, 2);  // ceil(100 / 50)
    EXPECT_EQ(c.record.yt[1].originUnsigned, 200u);
    EXPECT_EQ(c.record.yt[1].resolution, 1);   // ceil(50 / 50)
    c.record.flags &= ~window_flags::kYMulti;  // "Single"
    c.adjustAll(scan);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(c.record.yt[static_cast<std::size_t>(i)].originUnsigned, 10u);
        EXPECT_EQ(c.record.yt[static_cast<std::size_t>(i)].resolution, 5);  // ceil(240 / 50)
    }
    EXPECT_EQ(c.hbar.maximum, 0);
}

TEST(YtChartMapping, MouseValueReadsTheCurvesScaleBack) {
    YtChart c = ytChart();
    c.record.yt[0].originSigned = -100;
    EXPECT_EQ(c.mouseValue(0, c.plot.bottom), -100);
    EXPECT_EQ(c.mouseValue(0, c.plot.top), -100 + 500);
    EXPECT_EQ(c.deviceY(0, -100 + 250), c.plot.bottom - 125);
    EXPECT_EQ(c.valueLabel(0, 10), "0");
    // A four-byte unsigned curve is drawn halved and read back doubled.
    YtChart u = ytChart(0x0F);
    u.record.yt[0].originUnsigned = 4000000000u;
    u.record.yt[0].resolution = 1000;
    EXPECT_EQ(u.mouseValue(0, u.plot.top), 4000000000LL + 50000);
    EXPECT_EQ(u.deviceY(0, 4000000000u / 2), u.plot.bottom);
    EXPECT_EQ(u.valueLabel(0, 50), "4000050000");
}

TEST(YtChartPan, MovesByWholeDivisionsSoTheCurvesFollowTheMouse) {
    YtChart c = ytChart();
    c.record.timeOrigin = 400;
    c.pan(300, 100, 275, 111);  // 2 divisions right-to-left, 2 rows down
    EXPECT_EQ(c.record.timeOrigin, 400u + 2 * 40);
    EXPECT_EQ(c.record.yt[0].originSigned, 20);
    c.pan(100, 100, 300, 100);  // cannot go before time 0
    EXPECT_EQ(c.record.timeOrigin, 0u);
}

TEST(MeasureLines, GrabFollowAndPlace) {
    YtChart c = ytChart();
    // All horizontal lines park on the top edge; the first press takes line 0.
    ASSERT_TRUE(c.lines.press(200, c.plot.top + 2, c.plot));
    EXPECT_TRUE(c.lines.draggingHorizontal());
    c.lines.move(200, 100, c.plot);
    c.lines.release(200, 100, c.plot);
    EXPECT_TRUE(c.lines.horizontal[0].placed);
    EXPECT_TRUE(c.lines.horizontal[0].visible);
    EXPECT_EQ(c.lines.horizontal[0].y1, 107);
    // The next press on the top edge takes line 1; line 0 stays where it was put.
    ASSERT_TRUE(c.lines.press(200, c.plot.top, c.plot));
    c.lines.release(300, 500, c.plot);
    EXPECT_FALSE(c.lines.horizontal[1].visible);  // left below the plot
    EXPECT_EQ(c.lines.horizontal[0].y1, 107);
    c.layout(800, 400);  // placed lines survive a new layout
    EXPECT_EQ(c.lines.horizontal[0].y1, 107);
    EXPECT_FALSE(c.lines.press(400, 300, c.plot));
}

TEST(YxChartLayout, SquareCellsWithMoreDivisionsOnTheLongerSide) {
    YxChart wide;
    wide.layout(80 + 40 + 1000, 10 + 65 + 250);  // height limits: u = 5
    EXPECT_EQ(wide.cell, 5);
    EXPECT_EQ(wide.yDivisions, 50);
    EXPECT_EQ(wide.xDivisions, 200);
    EXPECT_EQ(wide.plot.right, 80 + 200 * 5);
    YxChart tall;
    tall.layout(80 + 40 + 250, 10 + 65 + 1003);
    EXPECT_EQ(tall.xDivisions, 50);
    EXPECT_EQ(tall.yDivisions, 200);
    EXPECT_EQ(tall.yDivisions % 5, 0);
    YxChart tiny;
    tiny.layout(100, 100);
    EXPECT_EQ(tiny.cell, 0);
    EXPECT_EQ(tiny.xDivisions, 1);
    EXPECT_EQ(tiny.yDivisions, 1);
    EXPECT_FALSE(tiny.zoom(PixelRect{0, 0, 10, 10}));
}

TEST(YxChartArithmetic, ZoomPanAdjustAndTheMouseValue) {
    YxChart c;
    c.record.flags = window_flags::kYx | window_flags::kXMulti | window_flags::kYMulti;
    XYCurveDefinition& d = c.record.yx[0];
    d.flags = cf::kDefined | cf::kShow | 0x01 | (0x01 << 12) | cf::kXSigned;
    d.resolution = 10;
    c.layout(80 + 40 + 500, 10 + 65 + 500);  // u = 10, 50 x 50
    ASSERT_EQ(c.cell, 10);
    // Divisions 2..11 across and 10..19 up: w = 11, h = 11 of 50: step 2.
    ASSERT_TRUE(c.zoom(PixelRect{100, c.plot.bottom - 200, 200, c.plot.bottom - 100}));
    EXPECT_EQ(d.xOriginSigned, 20);
    EXPECT_EQ(d.yOriginUnsigned, 100u);
    EXPECT_EQ(d.resolution, 2);
    c.pan(300, 300, 280, 320);  // 2 cells each way
    EXPECT_EQ(d.xOriginSigned, 24);
    EXPECT_EQ(d.yOriginUnsigned, 104u);
    EXPECT_EQ(c.mouseValue(0, Axis::kX, c.plot.left + 30), 24 + 6);
    EXPECT_EQ(c.valueLabel(0, Axis::kY, 10), "124");

    FrameStore store;
    store.append(frameOf(0x80, {}));
    store.append(frameOf(0x1, {0xF6}));  // one signed byte still reads 246
    store.append(frameOf(0x2, {50}));
    store.append(frameOf(0x80, {}));
    store.append(frameOf(0x1, {0x10}));
    store.append(frameOf(0x2, {250}));
    store.append(frameOf(0x80, {}));
    d.xIdentifier = 1;
    d.yIdentifier = 2;
    d.syncIdentifier = 0x80;
    YxScan scan;
    scan.setDefinitions(c.record.yx);
    scan.scan(store, ApplicationFlags{});
    c.adjust(scan);
    EXPECT_EQ(d.xOriginSigned, 16);
    EXPECT_EQ(d.yOriginUnsigned, 50u);
    EXPECT_EQ(d.resolution, 5);  // max(ceil(230 / 50), ceil(200 / 50))
    c.wheel(false, false, false);
    EXPECT_EQ(d.resolution, 6);
}
