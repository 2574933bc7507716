#include "capture/FrameStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace {

// Every field derived from the position, so a torn or misplaced record shows.
CapturedFrame frameFor(std::uint32_t i) {
    CapturedFrame f;
    f.loading = i;
    f.micros = i ^ 0x5A5A5A5Au;
    f.millis = i * 3u;
    f.seconds = ~i;
    f.minutes = i + 7u;
    f.status = i & 1u;
    f.format = static_cast<std::uint8_t>(i);
    f.length = static_cast<std::uint8_t>(i >> 8);
    f.identifier = i * 2654435761u;
    for (int k = 0; k < 8; ++k) {
        f.data[k] = static_cast<std::uint8_t>(i >> k);
    }
    f.wraps = i + 1u;
    return f;
}

bool isFrameFor(const CapturedFrame& f, std::uint32_t i) {
    return f == frameFor(i);
}

std::string outOfRangeText(const FrameStore& store, std::size_t position) {
    try {
        (void)store.at(position);
    } catch (const std::out_of_range& e) {
        return e.what();
    }
    return "no exception";
}

}  // namespace

TEST(FrameStore, ReadingAtOrBeyondCountRaises) {
    FrameStore store;
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(outOfRangeText(store, 0), "invalid deque<T> subscript");
    store.append(frameFor(0));
    EXPECT_TRUE(isFrameFor(store.at(0), 0));
    EXPECT_EQ(outOfRangeText(store, 1), "invalid deque<T> subscript");
}

TEST(FrameStore, RecordsNeverMoveAcrossChunks) {
    FrameStore store;
    store.append(frameFor(0));
    const CapturedFrame* first = &store.at(0);
    const std::uint32_t n = 3 * FrameStore::kChunkSize + 5;
    for (std::uint32_t i = 1; i < n; ++i) {
        store.append(frameFor(i));
    }
    EXPECT_EQ(&store.at(0), first);
    ASSERT_EQ(store.count(), n);
    for (std::uint32_t i : {0u, 1u, std::uint32_t(FrameStore::kChunkSize - 1),
                            std::uint32_t(FrameStore::kChunkSize), n - 1}) {
        EXPECT_TRUE(isFrameFor(store.at(i), i)) << i;
    }
}

TEST(FrameStore, ClearEmptiesAndCountsAGeneration) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 3; ++i) {
        store.append(frameFor(i));
    }
    const auto generation = store.generation();
    store.clear();
    EXPECT_EQ(store.count(), 0u);
    EXPECT_EQ(store.generation(), generation + 1);
    store.append(frameFor(4));
    EXPECT_TRUE(isFrameFor(store.at(0), 4));
}

TEST(FrameStore, AppendBeyondTheLimitFailsAsOutOfMemoryAndKeepsTheRecords) {
    FrameStore store(2);
    store.append(frameFor(0));
    store.append(frameFor(1));
    EXPECT_THROW(store.append(frameFor(2)), std::bad_alloc);
    EXPECT_EQ(store.count(), 2u);
    EXPECT_TRUE(isFrameFor(store.at(1), 1));
}

TEST(FrameStore, MemoryPerFrameStaysNearTheRecordSize) {
    FrameStore store;
    const std::uint32_t n = 40 * FrameStore::kChunkSize;
    for (std::uint32_t i = 0; i < n; ++i) {
        store.append(frameFor(i));
    }
    EXPECT_LE(static_cast<double>(store.memoryInUse()) / n, 48.0);
}

// One thread appends as fast as it can while another reads every index as soon as it is
// published: a record must be complete by the time the count covers it.
TEST(FrameStoreConcurrency, ReadersNeverSeeAnIncompleteRecord) {
    FrameStore store;
    constexpr std::uint32_t kFrames = 600'000;
    std::atomic<bool> torn{false};
    std::thread writer([&] {
        for (std::uint32_t i = 0; i < kFrames; ++i) {
            store.append(frameFor(i));
        }
    });
    std::uint32_t next = 0;
    while (next < kFrames) {
        const std::uint32_t published = store.count();
        for (; next < published; ++next) {
            if (!isFrameFor(store.at(next), next)) {
                torn = true;
            }
        }
    }
    writer.join();
    EXPECT_FALSE(torn.load());
    EXPECT_EQ(store.count(), kFrames);
}
