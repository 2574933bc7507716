#include "overview/BusLoad.h"

#include "interop/BusTiming.h"
#include "capture/AdapterClock.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// A standard data frame with identifier 0 and no data: 34 dominant bits from the start of frame
// to the end of the CRC (which is 0), so 6 stuff bits, then 13 bits of delimiters, ACK, end of
// frame and interframe space: 53 bits, 106 us at 500 kbit/s.
CapturedFrame zeroFrameEndingAt(std::uint64_t us) {
    CapturedFrame f;
    setAdapterTimeUs(f, us);
    return f;
}

// A frame's bits on the bus worked out one bit at a time, the slow way: the fields, the CRC-15
// bit by bit, and a stuff bit after every five equal bits (stuff bits included).
unsigned frameBitsOneByOne(std::uint32_t identifier, bool extended, bool remote,
                           std::uint8_t length, const std::uint8_t* data) {
    std::vector<int> bits;
    const auto put = [&bits](std::uint32_t value, int count) {
        for (int k = count - 1; k >= 0; --k) bits.push_back((value >> k) & 1);
    };
    put(0, 1);
    if (extended) {
        put(identifier >> 18, 11);
        put(3, 2);
        put(identifier & 0x3FFFF, 18);
        put(remote ? 1 : 0, 1);
        put(0, 2);
    } else {
        put(identifier & 0x7FF, 11);
        put(remote ? 1 : 0, 1);
        put(0, 2);
    }
    const unsigned n = length > 8 ? 8 : length;
    put(n, 4);
    for (unsigned i = 0; !remote && i < n; ++i) put(data[i], 8);
    unsigned crc = 0;
    for (const int bit : bits) {
        const unsigned top = (crc >> 14) & 1;
        crc = (crc << 1) & 0x7FFF;
        if (static_cast<unsigned>(bit) != top) crc ^= 0x4599;
    }
    put(crc, 15);
    unsigned stuffed = 0;
    int last = -1;
    int run = 0;
    for (const int bit : bits) {
        run = bit == last ? run + 1 : 1;
        last = bit;
        if (run == 5) {
            ++stuffed;
            last = 1 - bit;
            run = 1;
        }
    }
    return static_cast<unsigned>(bits.size()) + stuffed + 13;
}

}  // namespace

TEST(BusTiming, EveryKindOfFrameCountsTheBitsItHoldsTheBusFor) {
    std::mt19937 random(24);
    for (int i = 0; i < 20'000; ++i) {
        const bool extended = (i & 1) != 0;
        const bool remote = i % 7 == 0;
        const auto length = static_cast<std::uint8_t>(random() % 10);  // beyond 8 counts as 8
        std::uint8_t data[8];
        // Long runs of equal bits as well as mixed ones.
        for (std::uint8_t& b : data) {
            b = i % 3 == 0 ? static_cast<std::uint8_t>(random() % 2 != 0 ? 0xFF : 0)
                           : static_cast<std::uint8_t>(random());
        }
        const std::uint32_t identifier =
            i % 5 == 0 ? (extended ? 0x1FFFFFFFu : 0x7FFu) * (random() % 2)
                       : static_cast<std::uint32_t>(random()) & (extended ? 0x1FFFFFFF : 0x7FF);
        ASSERT_EQ(canFrameBits(identifier, extended, remote, length, data),
                  frameBitsOneByOne(identifier, extended, remote, length, data))
            << std::hex << identifier << " " << extended << remote << int{length};
    }
}

TEST(BusTiming, AFrameOfDominantBitsCountsItsStuffBits) {
    const std::uint8_t none[8] = {};
    EXPECT_EQ(canFrameBits(0, false, false, 0, none), 53u);
    EXPECT_EQ(busTimeUs(53, 500), 106u);
    EXPECT_EQ(busTimeUs(53, 0), 0u);
    EXPECT_EQ(loadingPercent(10'600, 100'000), 11u);
    EXPECT_EQ(loadingPercent(250'000, 100'000), 100u);
}

TEST(BusLoad, EachBinCountsTheBusTimeOfItsFramesInPercent) {
    FrameStore store;
    for (int i = 0; i < 100; ++i) store.append(zeroFrameEndingAt(1'000 + 500 * i));  // bin 0
    store.append(zeroFrameEndingAt(350'000));                                        // bin 3
    BusLoad load(500);
    EXPECT_TRUE(load.update(store));
    ASSERT_EQ(load.bins().size(), 2u);
    EXPECT_EQ(load.bins()[0].index, 0u);
    EXPECT_EQ(load.bins()[0].frames, 100u);
    EXPECT_EQ(load.bins()[0].busyUs, 10'600u);
    EXPECT_EQ(load.percent(load.bins()[0]), 11u);
    EXPECT_EQ(load.percentAt(1), 0u);
    EXPECT_EQ(load.percentAt(3), 0u) << "106 us of 100 ms rounds to 0";
    EXPECT_EQ(load.bins()[1].busyUs, 106u);
    EXPECT_EQ(load.lowerBound(1), 1u);

    // At 125 kbit/s every frame holds the bus four times as long.
    load.setBaudRate(125);
    load.update(store);
    EXPECT_EQ(load.bins()[0].busyUs, 42'400u);
    EXPECT_EQ(load.percentAt(0), 42u);
}

TEST(BusLoad, AFrameAcrossABinEdgeCountsInBothBinsAndLateTimesCountAtTheLatest) {
    FrameStore store;
    store.append(zeroFrameEndingAt(100'050));  // began 56 us before the edge
    store.append(zeroFrameEndingAt(0));        // sent by hand: no time of its own
    BusLoad load(500);
    load.update(store);
    ASSERT_EQ(load.bins().size(), 2u);
    EXPECT_EQ(load.bins()[0].busyUs, 56u);
    EXPECT_EQ(load.bins()[0].frames, 0u);
    EXPECT_EQ(load.bins()[1].busyUs, 50u + 106u);
    EXPECT_EQ(load.bins()[1].frames, 2u);
}

TEST(BusLoad, LostFramesAreMarkedAtTheNewestFrameAndStayThereWhenCountedAgain) {
    FrameStore store;
    BusLoad load(500);
    load.update(store, 4);  // lost before any frame arrived
    EXPECT_TRUE(load.bins().empty());
    store.append(zeroFrameEndingAt(50'000));
    load.update(store, 4);
    ASSERT_EQ(load.bins().size(), 1u);
    EXPECT_EQ(load.bins()[0].lost, 4u);
    store.append(zeroFrameEndingAt(250'000));
    load.update(store, 10);
    ASSERT_EQ(load.bins().size(), 2u);
    EXPECT_EQ(load.bins()[1].lost, 6u);
    EXPECT_EQ(load.framesLost(), 10u);

    store.append(zeroFrameEndingAt(450'000));
    load.setBaudRate(250);
    load.update(store, 10);
    ASSERT_EQ(load.bins().size(), 3u);
    EXPECT_EQ(load.bins()[0].lost, 4u);
    EXPECT_EQ(load.bins()[1].lost, 6u);
    EXPECT_EQ(load.bins()[2].lost, 0u);
    EXPECT_EQ(load.framesLost(), 10u);

    // Clear All empties the store and starts the total again.
    store.clear();
    store.append(zeroFrameEndingAt(10'000));
    load.update(store, 1);
    ASSERT_EQ(load.bins().size(), 1u);
    EXPECT_EQ(load.bins()[0].lost, 1u);
    EXPECT_EQ(load.framesLost(), 1u);
}

TEST(BusLoad, StepsGiveWhatOnePassGives) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 5'000; ++i) {
        CapturedFrame f = zeroFrameEndingAt(1'000 + std::uint64_t{i} * 137);
        f.identifier = i % 0x7FF;
        f.length = static_cast<std::uint8_t>(i % 9);
        f.data[0] = static_cast<std::uint8_t>(i);
        store.append(f);
    }
    BusLoad whole(1000);
    whole.update(store);
    BusLoad stepped(1000);
    while (!stepped.update(store, 0, 333)) {
    }
    ASSERT_EQ(whole.bins().size(), stepped.bins().size());
    std::uint64_t busy = 0;
    for (std::size_t i = 0; i < whole.bins().size(); ++i) {
        EXPECT_EQ(whole.bins()[i].busyUs, stepped.bins()[i].busyUs);
        busy += whole.bins()[i].busyUs;
    }
    std::uint64_t expected = 0;
    for (std::uint32_t i = 0; i < store.count(); ++i) {
        const CapturedFrame& f = store.at(i);
        expected += busTimeUs(canFrameBits(f.identifier, false, false, f.length, f.data), 1000);
    }
    EXPECT_EQ(busy, expected) << "all bus time lands in some bin";
}
