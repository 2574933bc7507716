#include "overview/BusOverview.h"
#include "overview/OverviewOrder.h"

#include "interop/LogTime.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <vector>

namespace {

CapturedFrame frame(std::uint32_t identifier, std::uint64_t us,
                    std::initializer_list<std::uint8_t> data = {}, bool extended = false) {
    CapturedFrame f;
    setCaptureTime(f, us);
    f.identifier = identifier;
    f.format = extended ? 1 : 0;
    f.length = static_cast<std::uint8_t>(data.size());
    std::size_t i = 0;
    for (const std::uint8_t b : data) f.data[i++] = b;
    return f;
}

CapturedFrame remote(std::uint32_t identifier, std::uint64_t us, std::uint8_t length) {
    CapturedFrame f = frame(identifier, us);
    f.status = 1;
    f.length = length;
    return f;
}

// A filter's result as the data list keeps it: store positions, only ever appended.
struct Rows {
    std::vector<std::uint32_t> positions;
    [[nodiscard]] std::size_t size() const { return positions.size(); }
    [[nodiscard]] std::uint32_t at(std::size_t r) const { return positions[r]; }
};

const OverviewRow& rowOf(const BusOverview& o, std::uint32_t identifier, bool extended = false) {
    const std::ptrdiff_t at = o.find(identifier, extended);
    EXPECT_GE(at, 0) << std::hex << identifier;
    return o.rows().at(static_cast<std::size_t>(at < 0 ? 0 : at));
}

}  // namespace

TEST(BusOverview, PeriodsAcrossAClockWrapCountTheWrapsLength) {
    FrameStore store;
    // 69-37-916 on the first round of the adapter's clock, then 00-00-010 on the second.
    CapturedFrame before = frame(0x100, 0, {1});
    before.minutes = 69;
    before.seconds = 37;
    before.millis = 916;
    CapturedFrame after = frame(0x100, 0, {2});
    after.millis = 10;
    after.wraps = 1;
    CapturedFrame later = after;
    later.millis = 30;
    for (const CapturedFrame& f : {before, after, later}) store.append(f);

    BusOverview us;
    us.update(store);
    const OverviewRow& r = rowOf(us, 0x100);
    EXPECT_EQ(r.count, 3u);
    EXPECT_EQ(r.firstTime, 4'177'916'000u);
    EXPECT_EQ(r.lastTime, (4'177'920u + 30u) * 1000u);
    EXPECT_EQ(r.minPeriod, 14'000);
    EXPECT_EQ(r.maxPeriod, 20'000);
    EXPECT_DOUBLE_EQ(r.meanPeriod(), 17'000.0);

    BusOverview ms(OverviewClock::kMilliseconds);
    ms.update(store);
    EXPECT_EQ(rowOf(ms, 0x100).minPeriod, 14);
    EXPECT_EQ(rowOf(ms, 0x100).lastTime, 4'177'950u);
}

TEST(BusOverview, ASingleFrameHasNoPeriodsAndIsNeverQuiet) {
    FrameStore store;
    store.append(frame(0x7FF, 5'000, {0xAA, 0xBB}));
    BusOverview o;
    o.update(store);
    ASSERT_EQ(o.size(), 1u);
    const OverviewRow& r = o.rows()[0];
    EXPECT_EQ(r.count, 1u);
    EXPECT_FALSE(r.hasPeriods());
    EXPECT_EQ(r.meanPeriod(), 0.0);
    EXPECT_FALSE(r.quiet(3'600'000'000u));
    EXPECT_EQ(r.changedMask, 0);
    EXPECT_EQ(r.firstTime, 5'000u);
    EXPECT_EQ(r.lastTime, 5'000u);
    EXPECT_EQ(r.lastLength, 2);
    EXPECT_EQ(r.lastData[1], 0xBB);
}

TEST(BusOverview, RemoteFramesShowNoDataAndTheNextDataFrameComparesWithTheLastData) {
    FrameStore store;
    store.append(frame(0x200, 0, {1, 2, 3}));
    store.append(remote(0x200, 1'000, 3));
    store.append(frame(0x200, 2'000, {1, 9, 3}));
    store.append(remote(0x200, 3'000, 8));
    BusOverview o;
    o.update(store);
    ASSERT_EQ(o.size(), 1u);
    const OverviewRow& r = o.rows()[0];
    EXPECT_EQ(r.count, 4u);
    EXPECT_TRUE(r.lastRemote);
    EXPECT_EQ(r.lastLength, 8);
    EXPECT_EQ(r.changedMask, 0);
    // The data frame after the first remote one changed byte 1 only, against the first frame.
    EXPECT_EQ(r.changedAt[1], 2'000u);
    EXPECT_EQ(r.changedAt[0], OverviewRow::kNever);
    EXPECT_EQ(r.changedAt[2], OverviewRow::kNever);
    EXPECT_EQ(r.lastData[1], 9);
}

TEST(BusOverview, EqualValuesOfStandardAndExtendedIdentifiersAreRowsApart) {
    FrameStore store;
    store.append(frame(0x123, 0, {1}, false));
    store.append(frame(0x123, 1'000, {2}, true));
    store.append(frame(0x123, 3'000, {3}, false));
    BusOverview o;
    o.update(store);
    ASSERT_EQ(o.size(), 2u);
    EXPECT_FALSE(o.rows()[0].extended);
    EXPECT_TRUE(o.rows()[1].extended);
    EXPECT_EQ(rowOf(o, 0x123, false).count, 2u);
    EXPECT_EQ(rowOf(o, 0x123, false).minPeriod, 3'000);
    EXPECT_EQ(rowOf(o, 0x123, true).count, 1u);
    EXPECT_EQ(rowOf(o, 0x123, true).lastData[0], 2);
    EXPECT_EQ(o.find(0x124, false), -1);
}

TEST(BusOverview, FollowsOnlyTheFilteredRowsAndStartsAgainWhenTheListEmpties) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 6; ++i)
        store.append(frame(0x100 + i % 2, std::uint64_t{i} * 1'000, {1}));
    Rows rows{{0, 2}};  // the filter shows frames of 0x100 only so far
    BusOverview o;
    EXPECT_TRUE(o.updateRows(store, rows));
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o.rows()[0].count, 2u);
    rows.positions.push_back(4);
    o.updateRows(store, rows);
    EXPECT_EQ(o.rows()[0].count, 3u);
    EXPECT_EQ(o.rows()[0].lastPosition, 4u);
    EXPECT_EQ(o.rows()[0].maxPeriod, 2'000);
    EXPECT_EQ(o.find(0x101, false), -1);

    rows.positions = {1};  // emptied and refilled (Clear All, another filter)
    o.updateRows(store, rows);
    ASSERT_EQ(o.size(), 1u);
    EXPECT_EQ(o.rows()[0].identifier, 0x101u);
    EXPECT_EQ(o.rows()[0].count, 1u);

    // Switching to every frame takes the whole store afresh.
    o.update(store);
    EXPECT_EQ(o.size(), 2u);
    EXPECT_EQ(o.framesTaken(), 6u);
}

TEST(BusOverview, ChangedBytesCarryTheTimeTheyChangedAndBytesNewToTheIdentifierCount) {
    FrameStore store;
    store.append(frame(0x300, 0, {1, 2}));
    store.append(frame(0x300, 10'000, {1, 5}));
    store.append(frame(0x300, 20'000, {1, 5, 7}));  // grew by one byte
    store.append(frame(0x300, 30'000, {1, 5, 7}));  // nothing changed
    store.append(frame(0x300, 40'000, {4}));        // shrank; byte 0 changed
    BusOverview o;
    o.update(store, 2);
    EXPECT_EQ(o.rows()[0].changedMask, 0b10);
    o.update(store, 1);
    EXPECT_EQ(o.rows()[0].changedMask, 0b100);
    o.update(store, 1);
    EXPECT_EQ(o.rows()[0].changedMask, 0);
    const OverviewRow& r = o.rows()[0];
    EXPECT_EQ(r.changedAt[1], 10'000u);
    EXPECT_EQ(r.changedAt[2], 20'000u);
    // A view fades the highlight of byte 1 a second after it changed.
    EXPECT_TRUE(r.changedWithin(1, 1'009'999, 1'000'000));
    EXPECT_FALSE(r.changedWithin(1, 1'010'000, 1'000'000));
    EXPECT_FALSE(r.changedWithin(0, 30'000, 1'000'000));
    o.update(store);
    EXPECT_EQ(o.rows()[0].changedMask, 0b1);
    EXPECT_EQ(o.rows()[0].lastDataLength, 1);
    EXPECT_EQ(o.rows()[0].lastData[1], 0) << "bytes beyond the length are not kept";
}

TEST(BusOverview, AnIdentifierIsQuietAfterThreeMeanPeriods) {
    FrameStore store;
    for (std::uint64_t t : {0u, 10'000u, 20'000u}) store.append(frame(0x180, t, {1}));
    BusOverview o;
    o.update(store);
    const OverviewRow& r = o.rows()[0];
    EXPECT_FALSE(r.quiet(50'000));
    EXPECT_TRUE(r.quiet(50'001));
    EXPECT_EQ(o.latestTime(), 20'000u);
}

TEST(BusOverview, StepsGiveWhatOnePassGivesAndAnEmptiedOrReplacedStoreStartsAfresh) {
    FrameStore store;
    std::mt19937 rng(11);
    for (std::uint32_t i = 0; i < 70'000; ++i) {  // more than one chunk of the store
        const std::uint32_t r = rng();
        CapturedFrame f =
            frame(r % 40, std::uint64_t{i} * 250, {std::uint8_t(r >> 8), 1}, (r >> 20 & 1) != 0);
        if ((r >> 24 & 15) == 0) f.status = 1;
        store.append(f);
    }
    BusOverview whole;
    EXPECT_TRUE(whole.update(store));
    BusOverview stepped;
    while (!stepped.update(store, 1 + rng() % 5'000)) {
    }
    ASSERT_EQ(stepped.size(), whole.size());
    EXPECT_EQ(whole.size(), 80u);
    for (std::size_t i = 0; i < whole.size(); ++i) {
        const OverviewRow& a = whole.rows()[i];
        const OverviewRow& b = stepped.rows()[i];
        EXPECT_EQ(a.identifier, b.identifier);
        EXPECT_EQ(a.count, b.count);
        EXPECT_EQ(a.minPeriod, b.minPeriod);
        EXPECT_EQ(a.maxPeriod, b.maxPeriod);
        EXPECT_EQ(a.lastTime, b.lastTime);
        EXPECT_EQ(a.changedMask, b.changedMask);
    }
    const std::uint64_t version = stepped.version();
    EXPECT_TRUE(stepped.update(store));
    EXPECT_EQ(stepped.version(), version) << "nothing new, nothing to repaint";

    store.clear();
    store.append(frame(0x555, 0, {}));
    stepped.update(store);
    ASSERT_EQ(stepped.size(), 1u);
    EXPECT_EQ(stepped.rows()[0].identifier, 0x555u);

    FrameStore loaded;
    loaded.append(frame(0x1, 0, {}));
    loaded.append(frame(0x2, 0, {}));
    stepped.update(loaded);
    EXPECT_EQ(stepped.size(), 2u);
    EXPECT_EQ(stepped.framesTaken(), 2u);
}

TEST(BusOverview, IdentifiersBeyondTheRowLimitAreCountedApart) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 5; ++i) store.append(frame(i, i, {}));
    store.append(frame(0, 10, {}));
    BusOverview o(OverviewClock::kMicroseconds, 2);
    o.update(store);
    EXPECT_EQ(o.size(), 2u);
    EXPECT_EQ(o.framesOverLimit(), 3u);
    EXPECT_EQ(o.rows()[0].count, 2u);
}

TEST(BusOverview, ManyIdentifiersAreAllFound) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 3'000; ++i)
        store.append(frame(i * 7919u & 0x1FFFFFFF, i, {}, true));
    BusOverview o;
    o.update(store);
    ASSERT_EQ(o.size(), 3'000u);
    for (std::uint32_t i = 0; i < 3'000; ++i) {
        EXPECT_EQ(o.find(i * 7919u & 0x1FFFFFFF, true), static_cast<std::ptrdiff_t>(i));
    }
}

TEST(OverviewOrder, SortsByAColumnKeepingFirstSeenOrderForTiesAndEmptyPeriodsLast) {
    FrameStore store;
    store.append(frame(0x300, 0, {9}));
    store.append(frame(0x100, 0, {1, 2}, true));
    store.append(frame(0x100, 1'000, {1}));
    store.append(remote(0x200, 2'000, 0));
    store.append(frame(0x300, 5'000, {9}));
    store.append(frame(0x100, 3'000, {1}));
    BusOverview o;
    o.update(store);
    // Rows in first-seen order: 0x300, 0x100x, 0x100, 0x200.
    using V = std::vector<std::uint32_t>;
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kIdentifier, false), (V{2, 1, 3, 0}));
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kType, false), (V{2, 3, 0, 1}));
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kCount, true), (V{0, 2, 1, 3}));
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kData, false), (V{3, 2, 1, 0}));
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kMeanPeriod, false), (V{2, 0, 1, 3}));
    EXPECT_EQ(overviewOrder(o.rows(), OverviewColumn::kMeanPeriod, true), (V{0, 2, 1, 3}));
}
