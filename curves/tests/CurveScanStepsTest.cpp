// A scan split into steps of any size reads the same samples, extremes and pairings as one scan
// over the whole store, also when the store grows, is emptied or is replaced between the steps.

#include "capture/AdapterClock.h"
#include "curves/CurveScan.h"

#include <gtest/gtest.h>

#include <initializer_list>

namespace cf = curve_flags;

namespace {

// A mixed bus: curve frames among others, remote frames without data, and a clock that wraps
// (50 ms per frame passes the adapter clock's round twice in 200,000 frames).
CapturedFrame busFrame(std::uint32_t n) {
    static constexpr std::uint32_t kIds[] = {0x181, 0x281, 0x80, 0x181, 0x700, 0x281, 0x181, 0x3FF};
    CapturedFrame f;
    f.identifier = kIds[(n * 7 + n / 13) % 8];
    const std::uint64_t ms = std::uint64_t{n} * 50;
    const auto inRound = static_cast<std::uint32_t>(ms % kAdapterClockRoundMs);
    f.wraps = static_cast<std::uint32_t>(ms / kAdapterClockRoundMs);
    f.minutes = inRound / 60000;
    f.seconds = inRound / 1000 % 60;
    f.millis = inRound % 1000;
    if (n % 29 == 0) {
        f.status = 1;  // remote: no data
        return f;
    }
    f.length = 8;
    std::uint32_t seed = n * 2654435761u;
    for (std::uint8_t& b : f.data) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<std::uint8_t>(seed >> 16);
    }
    return f;
}

void fill(FrameStore& store, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t n = from; n < to; ++n) store.append(busFrame(n));
}

CurveDefinition ytCurve(std::uint32_t id, std::uint32_t flags) {
    CurveDefinition d;
    d.flags = flags | cf::kDefined;
    d.identifier = id;
    d.resolution = 10;
    return d;
}

std::array<CurveDefinition, 4> ytCurves() {
    // Two readings of one identifier, a signed reversed one, and a slot left empty.
    return {ytCurve(0x181, 0x03), ytCurve(0x181, 0x0C | cf::kYSigned | cf::kYReverse),
            CurveDefinition{}, ytCurve(0x281, 0xFF)};
}

XYCurveDefinition yxCurve(std::uint32_t x, std::uint32_t y, std::uint32_t sync) {
    XYCurveDefinition d;
    d.flags = cf::kDefined | 0x03 | (0x0C << 12);
    d.xIdentifier = x;
    d.yIdentifier = y;
    d.syncIdentifier = sync;
    d.resolution = 1;
    return d;
}

std::array<XYCurveDefinition, 4> yxCurves() {
    // The second curve synchronises on its own X frames.
    return {yxCurve(0x181, 0x281, 0x80), XYCurveDefinition{}, yxCurve(0x281, 0x181, 0x281),
            yxCurve(0x3FF, 0x700, 0x181)};
}

void expectSameStatistics(const CurveStatistics& a, const CurveStatistics& b) {
    EXPECT_EQ(a.hasFirst, b.hasFirst);
    EXPECT_EQ(a.minimum, b.minimum);
    EXPECT_EQ(a.maximum, b.maximum);
    EXPECT_EQ(a.minimumIndex, b.minimumIndex);
    EXPECT_EQ(a.maximumIndex, b.maximumIndex);
}

template <typename Blocks>
bool sameBlocks(const Blocks& a, const Blocks& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].minimum != b[i].minimum || a[i].maximum != b[i].maximum) return false;
    }
    return true;
}

void expectSame(const YtScan& stepped, const YtScan& whole) {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const YtSlot& a = stepped.slot(i);
        const YtSlot& b = whole.slot(i);
        ASSERT_EQ(a.samples.size(), b.samples.size());
        for (std::size_t k = 0; k < a.samples.size(); ++k) {
            ASSERT_EQ(a.samples[k].frame, b.samples[k].frame) << k;
            ASSERT_EQ(a.samples[k].timeMs(), b.samples[k].timeMs()) << k;
        }
        EXPECT_TRUE(sameBlocks(a.blocks(), b.blocks()));
        EXPECT_TRUE(sameBlocks(a.superBlocks(), b.superBlocks()));
        expectSameStatistics(a.statistics, b.statistics);
    }
    EXPECT_EQ(stepped.newestTime(), whole.newestTime());
}

void expectSame(const YxScan& stepped, const YxScan& whole) {
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const YxSlot& a = stepped.slot(i);
        const YxSlot& b = whole.slot(i);
        ASSERT_EQ(a.samples.size(), b.samples.size());
        ASSERT_EQ(a.points.size(), b.points.size());
        for (std::size_t k = 0; k < a.samples.size(); ++k) {
            ASSERT_EQ(a.samples[k].xFrame, b.samples[k].xFrame) << k;
            ASSERT_EQ(a.samples[k].yFrame, b.samples[k].yFrame) << k;
            ASSERT_EQ(a.points[k].x, b.points[k].x) << k;
            ASSERT_EQ(a.points[k].y, b.points[k].y) << k;
        }
        expectSameStatistics(a.xStatistics, b.xStatistics);
        expectSameStatistics(a.yStatistics, b.yStatistics);
        EXPECT_EQ(a.sync.armed, b.sync.armed);
        EXPECT_EQ(a.sync.xCount, b.sync.xCount);
        EXPECT_EQ(a.sync.yCount, b.sync.yCount);
    }
}

template <typename Scan>
Scan wholeScan(const FrameStore& store, const auto& definitions) {
    Scan scan;
    scan.setDefinitions(definitions);
    scan.scan(store, ApplicationFlags{});
    return scan;
}

// Steps until the scan has read the store; counts the steps.
template <typename Scan>
std::size_t stepToTheEnd(Scan& scan, const FrameStore& store, std::uint32_t step) {
    std::size_t steps = 0;
    while (!scan.complete(store)) {
        const std::uint32_t before = scan.scanPosition();
        scan.scan(store, ApplicationFlags{}, step);
        // A scan that started over reads from frame 0.
        const std::uint32_t after = scan.scanPosition();
        EXPECT_LE(after - (after >= before ? before : 0), step);
        ++steps;
    }
    return steps;
}

constexpr std::uint32_t kFrames = 3 * FrameStore::kChunkSize + 12345;

}  // namespace

TEST(SteppedScan, AnyStepSizeGivesTheSameCurvesAsOneScan) {
    FrameStore store;
    fill(store, 0, kFrames);
    ASSERT_GE(FrameTimeMs(store.at(kFrames - 1)), 2 * kAdapterClockRoundMs);
    const YtScan wholeYt = wholeScan<YtScan>(store, ytCurves());
    const YxScan wholeYx = wholeScan<YxScan>(store, yxCurves());
    ASSERT_GT(wholeYt.slot(0).samples.size(), 10000u);
    ASSERT_GT(wholeYx.slot(2).samples.size(), 1000u);
    ASSERT_GT(wholeYx.slot(3).samples.size(), 1000u);
    // Steps of one frame, ones that never meet the store's chunk edges, and ones just off them.
    for (std::uint32_t step : {1u, 7u, 4093u, 65535u, 65536u, 65537u, 100000u}) {
        SCOPED_TRACE(step);
        YtScan yt;
        yt.setDefinitions(ytCurves());
        EXPECT_EQ(stepToTheEnd(yt, store, step), (kFrames + step - 1) / step);
        expectSame(yt, wholeYt);
        YxScan yx;
        yx.setDefinitions(yxCurves());
        stepToTheEnd(yx, store, step);
        expectSame(yx, wholeYx);
    }
}

TEST(SteppedScan, FramesArrivingDuringTheCatchUpAreReadOnce) {
    FrameStore store;
    fill(store, 0, 150000);
    YtScan yt;
    yt.setDefinitions(ytCurves());
    YxScan yx;
    yx.setDefinitions(yxCurves());
    std::uint32_t next = 150000;
    // The capture appends more than a step now and then, less at other times.
    for (int round = 0; !yt.complete(store) || next < kFrames; ++round) {
        yt.scan(store, ApplicationFlags{}, 30000);
        yx.scan(store, ApplicationFlags{}, 30000);
        const std::uint32_t burst = round % 3 == 0 ? 40000 : 900;
        const std::uint32_t to = std::min(kFrames, next + burst);
        fill(store, next, to);
        next = to;
    }
    stepToTheEnd(yx, store, 30000);
    expectSame(yt, wholeScan<YtScan>(store, ytCurves()));
    expectSame(yx, wholeScan<YxScan>(store, yxCurves()));
}

TEST(SteppedScan, AStoreEmptiedOrReplacedMidwayStartsTheScanOver) {
    FrameStore store;
    fill(store, 0, kFrames);
    YtScan yt;
    yt.setDefinitions(ytCurves());
    YxScan yx;
    yx.setDefinitions(yxCurves());
    ApplicationFlags flags;
    yt.scan(store, flags, 100000);
    yx.scan(store, flags, 100000);

    // A document loaded in place of the capture, longer than the part read so far.
    FrameStore loaded;
    fill(loaded, 500, kFrames + 40000);
    store.swap(loaded);
    EXPECT_FALSE(yt.complete(store));
    stepToTheEnd(yt, store, 65537);
    stepToTheEnd(yx, store, 65537);
    expectSame(yt, wholeScan<YtScan>(store, ytCurves()));
    expectSame(yx, wholeScan<YxScan>(store, yxCurves()));

    // Emptied while being read, then refilled beyond where the scan had got to: nothing of the
    // old frames stays.
    yt.setDefinitions(ytCurves());
    yx.setDefinitions(yxCurves());
    yt.scan(store, flags, 50000);
    yx.scan(store, flags, 50000);
    flags.set(ApplicationFlags::kClearing);
    store.clear();
    EXPECT_FALSE(yt.scan(store, flags, 50000));
    EXPECT_EQ(yt.scanPosition(), 50000u);
    flags.reset(ApplicationFlags::kClearing);
    fill(store, 7, 90007);
    stepToTheEnd(yt, store, 4096);
    stepToTheEnd(yx, store, 4096);
    expectSame(yt, wholeScan<YtScan>(store, ytCurves()));
    expectSame(yx, wholeScan<YxScan>(store, yxCurves()));
}

TEST(SteppedScan, WithoutACurveTheWholeStoreIsPassedAtOnce) {
    FrameStore store;
    fill(store, 0, 100000);
    YtScan yt;
    yt.scan(store, ApplicationFlags{}, 10);
    EXPECT_TRUE(yt.complete(store));
    YxScan yx;
    yx.scan(store, ApplicationFlags{}, 10);
    EXPECT_TRUE(yx.complete(store));
    // A scan never started has not read even an empty store.
    FrameStore empty;
    EXPECT_FALSE(YtScan{}.complete(empty));
}
