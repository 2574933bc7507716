#include "CurveTestFrames.h"
#include "curves/CurveScan.h"
#include "curves/ExtractValue.h"

#include <gtest/gtest.h>

namespace cf = curve_flags;

namespace {

CapturedFrame bytes(std::initializer_list<std::uint8_t> data) {
    return frameOf(0x181, data);
}

CurveDefinition ytCurve(std::uint32_t id, std::uint32_t flags) {
    CurveDefinition d;
    d.flags = flags | cf::kDefined;
    d.identifier = id;
    d.resolution = 10;
    return d;
}

}  // namespace

TEST(ExtractValue, AssemblesSelectedBytesInEitherOrder) {
    const CapturedFrame f = bytes({0, 0, 0x12, 0x34});
    const std::uint32_t d2d3 = 0x0C;
    EXPECT_EQ(ExtractValueUnsigned(f, d2d3, Axis::kY), 0x1234u);
    EXPECT_EQ(ExtractValueUnsigned(f, d2d3 | cf::kYReverse, Axis::kY), 0x3412u);
    EXPECT_EQ(ExtractValueSigned(bytes({0, 0, 0xFF, 0xFE}), d2d3 | cf::kYSigned, Axis::kY), -2);
    // Bytes need not be adjacent: D1 is high, D5 low.
    EXPECT_EQ(ExtractValueUnsigned(bytes({0, 0xAB, 0, 0, 0, 0xCD}), 0x22, Axis::kY), 0xABCDu);
    // The X bits select from bits 12-19 and have their own Signed and Reverse.
    const std::uint32_t x = (0x0C << 12) | cf::kXReverse;
    EXPECT_EQ(ExtractValueUnsigned(f, x, Axis::kX), 0x3412u);
}

TEST(ExtractValue, SignExtendsOnlyTwoByteValues) {
    EXPECT_EQ(ExtractValueSigned(bytes({0x80, 0x00}), 0x03, Axis::kY), -32768);
    EXPECT_EQ(ExtractValueUnsigned(bytes({0x80, 0x00}), 0x03, Axis::kY), 32768u);
    EXPECT_EQ(ExtractValueSigned(bytes({0xFF, 0xFF, 0xFF, 0xFF}), 0x0F, Axis::kY), -1);
    EXPECT_EQ(ExtractValueUnsigned(bytes({0xFF, 0xFF, 0xFF, 0xFF}), 0x0F, Axis::kY), 4294967295u);
    EXPECT_EQ(ExtractValueSigned(bytes({0xFF}), 0x01 | cf::kYSigned, Axis::kY), 255);
    EXPECT_EQ(ExtractValueSigned(bytes({0xFF, 0xFF, 0xFF}), 0x07, Axis::kY), 0xFFFFFF);
    EXPECT_EQ(ExtractValueUnsigned(bytes({1, 2, 3}), 0, Axis::kY), 0u);
}

TEST(ExtractValue, TakesAtMostFourBytesWhenMoreAreSelected) {
    // Reverse clear visits D7 first: D7..D4 fill the buffer and D3..D0 are not read.
    const CapturedFrame f = bytes({9, 9, 9, 9, 0x04, 0x03, 0x02, 0x01});
    EXPECT_EQ(ExtractValueUnsigned(f, 0xFF, Axis::kY), 0x04030201u);
    EXPECT_TRUE(drawsHalved(0xFF, Axis::kY));
    EXPECT_EQ(drawingValue(f, 0xFF, Axis::kY), 0x04030201 >> 1);
}

TEST(ExtractValue, FrameTimeCountsTheClocksWholeRoundPerWrap) {
    CapturedFrame f;
    f.wraps = 2;
    f.minutes = 3;
    f.seconds = 4;
    f.millis = 5;
    f.micros = 999;
    // The adapter's clock goes round at 0x3FC000 ms: counts with a high byte of 0xFF would read
    // as empty records.
    EXPECT_EQ(FrameTimeMs(f), 2u * 4177920 + 3 * 60000 + 4 * 1000 + 5);
    f.wraps = 0xFFFFFFFF;  // far past 32 bits of milliseconds
    EXPECT_EQ(FrameTimeMs(f), 0xFFFFFFFFull * 4177920 + 3 * 60000 + 4 * 1000 + 5);
}

TEST(YtScan, SamplesMatchingFramesWithRunningExtremes) {
    FrameStore store;
    store.append(frameOf(0x181, {5}, 10));
    store.append(frameOf(0x200, {1}, 20));
    store.append(frameOf(0x181, {9}, 30));
    store.append(frameOf(0x181, {9}, 40));
    store.append(frameOf(0x181, {2}, 50));
    YtScan scan;
    // The Show bit does not matter for sampling; slot 2 reads the same frames.
    scan.setDefinitions({ytCurve(0x181, 0x01), {}, ytCurve(0x181, 0x01 | cf::kShow), {}});
    const ApplicationFlags flags;
    EXPECT_TRUE(scan.scan(store, flags));
    for (int slot : {0, 2}) {
        const YtSlot& s = scan.slot(slot);
        ASSERT_EQ(s.samples.size(), 4u);
        EXPECT_EQ(s.samples[1].frame, 2u);
        EXPECT_EQ(s.samples[1].timeMs(), 30u);
        EXPECT_EQ(s.statistics.maximum, 9);
        EXPECT_EQ(s.statistics.maximumIndex, 2u);  // ties keep the first frame
        EXPECT_EQ(s.statistics.minimum, 2);
        EXPECT_EQ(s.statistics.minimumIndex, 4u);
    }
    EXPECT_TRUE(scan.slot(1).samples.empty());
    // Each frame is looked at once.
    EXPECT_FALSE(scan.scan(store, flags));
    store.append(frameOf(0x181, {1}, 60));
    EXPECT_TRUE(scan.scan(store, flags));
    EXPECT_EQ(scan.slot(0).samples.size(), 5u);
    EXPECT_EQ(scan.newestTime(), 60u);
}

TEST(YtScan, StartsOverWhenTheStoreIsEmptiedOrReplaced) {
    FrameStore store;
    for (int i = 0; i < 5; ++i) store.append(frameOf(0x181, {static_cast<std::uint8_t>(i)}, i));
    YtScan scan;
    scan.setDefinitions({ytCurve(0x181, 0x01), {}, {}, {}});
    ApplicationFlags flags;
    scan.scan(store, flags);
    // While the store is being emptied the scan leaves it alone.
    flags.set(ApplicationFlags::kClearing);
    store.clear();
    EXPECT_FALSE(scan.scan(store, flags));
    flags.reset(ApplicationFlags::kClearing);
    store.append(frameOf(0x181, {77}, 1));
    EXPECT_TRUE(scan.scan(store, flags));
    ASSERT_EQ(scan.slot(0).samples.size(), 1u);
    EXPECT_EQ(scan.slot(0).statistics.maximum, 77);
    // A loaded document swaps the store in: every view resets for itself, not only the first.
    YtScan other;
    other.setDefinitions({ytCurve(0x181, 0x01), {}, {}, {}});
    other.scan(store, flags);
    FrameStore loaded;
    for (int i = 0; i < 3; ++i) loaded.append(frameOf(0x181, {3}, i));
    store.swap(loaded);
    scan.scan(store, flags);
    other.scan(store, flags);
    EXPECT_EQ(scan.slot(0).samples.size(), 3u);
    EXPECT_EQ(other.slot(0).samples.size(), 3u);
    EXPECT_EQ(other.slot(0).statistics.maximum, 3);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_LT(scan.slot(0).samples[i].frame, store.count());
}

TEST(YtScan, SamplesCostTwelveBytesAndNothingForOtherFrames) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 300000; ++i) {
        store.append(frameOf(i % 2 == 0 ? 0x181 : 0x999, {static_cast<std::uint8_t>(i)}, i));
    }
    YtScan scan;
    scan.setDefinitions({ytCurve(0x181, 0x01), {}, {}, {}});
    scan.scan(store, ApplicationFlags{});
    const double perSample =
        static_cast<double>(scan.memoryInUse()) / static_cast<double>(scan.slot(0).samples.size());
    // Chunks of 65536 samples: the last chunk's unused tail is the only slack.
    EXPECT_LT(perSample, 12.0 * (1.0 + 65536.0 / 150000.0) + 0.1);
    YtScan none;
    none.setDefinitions({ytCurve(0x555, 0x01), {}, {}, {}});
    none.scan(store, ApplicationFlags{});
    EXPECT_EQ(none.memoryInUse(), 0u);
}

namespace {

XYCurveDefinition yxCurve() {
    XYCurveDefinition d;
    d.flags = cf::kDefined | 0x01 | (0x01 << 12);
    d.xIdentifier = 0x181;
    d.yIdentifier = 0x281;
    d.syncIdentifier = 0x80;
    d.resolution = 1;
    return d;
}

}  // namespace

TEST(YxScan, PairsTheLatestXAndYAtEachSynchronisingFrame) {
    FrameStore store;
    store.append(frameOf(0x181, {100}));  // 0: before the first sync, ignored
    store.append(frameOf(0x281, {101}));  // 1
    store.append(frameOf(0x80, {}));      // 2: arms
    store.append(frameOf(0x181, {10}));   // 3
    store.append(frameOf(0x181, {20}));   // 4: the later X wins
    store.append(frameOf(0x281, {30}));   // 5
    store.append(frameOf(0x80, {}));      // 6: pair (4, 5)
    store.append(frameOf(0x181, {40}));   // 7
    store.append(frameOf(0x80, {}));      // 8: no Y since the pairing: nothing
    store.append(frameOf(0x181, {50}));   // 9: X count keeps growing
    store.append(frameOf(0x281, {60}));   // 10
    store.append(frameOf(0x80, {}));      // 11: pair (9, 10)
    YxScan scan;
    scan.setDefinitions({yxCurve(), {}, {}, {}});
    EXPECT_TRUE(scan.scan(store, ApplicationFlags{}));
    const YxSlot& s = scan.slot(0);
    ASSERT_EQ(s.samples.size(), 2u);
    EXPECT_EQ(s.samples[0].xFrame, 4u);
    EXPECT_EQ(s.samples[0].yFrame, 5u);
    EXPECT_EQ(s.samples[1].xFrame, 9u);
    EXPECT_EQ(s.samples[1].yFrame, 10u);
    EXPECT_EQ(s.points[1].x, 50);
    EXPECT_EQ(s.points[1].y, 60);
    EXPECT_EQ(s.xStatistics.minimum, 20);
    EXPECT_EQ(s.xStatistics.maximumIndex, 9u);
    EXPECT_EQ(s.yStatistics.minimumIndex, 5u);
}

TEST(YxScan, ASynchronisingFrameThatIsAlsoXClosesThePairFirst) {
    XYCurveDefinition d = yxCurve();
    d.xIdentifier = 0x80;  // the sync frame carries X too
    FrameStore store;
    store.append(frameOf(0x80, {1}));   // arms, then counts as X
    store.append(frameOf(0x281, {2}));  // Y
    store.append(frameOf(0x80, {3}));   // pairs (0, 1), then counts as X
    store.append(frameOf(0x281, {4}));
    store.append(frameOf(0x80, {5}));  // pairs (2, 3)
    YxScan scan;
    scan.setDefinitions({d, {}, {}, {}});
    scan.scan(store, ApplicationFlags{});
    ASSERT_EQ(scan.slot(0).samples.size(), 2u);
    EXPECT_EQ(scan.slot(0).samples[0].xFrame, 0u);
    EXPECT_EQ(scan.slot(0).samples[1].xFrame, 2u);
    EXPECT_EQ(scan.slot(0).samples[1].yFrame, 3u);
    // Incremental: a later sync pairs frames seen in the previous scan.
    store.append(frameOf(0x281, {6}));
    store.append(frameOf(0x80, {7}));
    EXPECT_TRUE(scan.scan(store, ApplicationFlags{}));
    EXPECT_EQ(scan.slot(0).samples.size(), 3u);
    store.clear();
    scan.scan(store, ApplicationFlags{});
    EXPECT_TRUE(scan.slot(0).samples.empty());
    EXPECT_FALSE(scan.slot(0).sync.armed);
}
