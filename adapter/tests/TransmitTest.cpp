// The adapter's own frames: the cyclic set's rounds on a busy bus, and adapters sharing one bus.

#include "adapter/EmulatedAdapter.h"
#include "adapter/FullLoadGenerator.h"
#include "adapter/SharedBus.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Frames wanted at given bus times, then nothing.
class FrameList final : public BusSource {
public:
    explicit FrameList(std::vector<std::pair<BusFrame, std::uint64_t>> frames)
        : m_frames(std::move(frames)) {}
    bool next(BusFrame& f, std::uint64_t& at) override {
        if (m_next >= m_frames.size()) return false;
        f = m_frames[m_next].first;
        at = m_frames[m_next].second;
        return true;
    }
    void pop() override { ++m_next; }

private:
    std::vector<std::pair<BusFrame, std::uint64_t>> m_frames;
    std::size_t m_next = 0;
};

// One frame 5 ms after the first capture starts, as a replay waits for it; nothing before.
class AfterCaptureStart final : public BusSource {
public:
    bool next(BusFrame& f, std::uint64_t& at) override {
        if (m_done) return false;
        f = BusFrame{};
        f.identifier = 0x055;
        at = m_startUs ? *m_startUs + 5'000 : kNothingYetUs;
        return true;
    }
    void pop() override { m_done = true; }
    void captureStarted(std::uint64_t busUs) override {
        if (!m_startUs) m_startUs = busUs;
    }

private:
    std::optional<std::uint64_t> m_startUs;
    bool m_done = false;
};

class Endpoints {
public:
    explicit Endpoints(EmulatedAdapter& a) : m_adapter(a) { a.selectConfiguration(1); }
    std::uint8_t command(std::vector<std::uint8_t> block) {
        block.resize(64, 0);
        transfer(0x01, false, block.data(), 64);
        std::vector<std::uint8_t> reply(64);
        transfer(0x81, true, reply.data(), 64);
        return reply[1];
    }
    void setUp(int kbps) {
        command({0x01, 0x05, 0, 0, 0, static_cast<std::uint8_t>(kbps >> 8),
                 static_cast<std::uint8_t>(kbps), 1});
    }
    // Loads `count` standard frames of 8 bytes (identifiers 0x100 + slot) in packet 0 and, past
    // four, packet 1.
    void loadSet(int count, int interval, int cycle) {
        for (int packet = 0; packet < (count > 4 ? 2 : 1); ++packet) {
            const int n = std::min(4, count - 4 * packet);
            std::vector<std::uint8_t> b = {0x02, 0x39, 0x01, static_cast<std::uint8_t>(packet),
                                           static_cast<std::uint8_t>((1 << n) - 1)};
            b.resize(64, 0);
            for (int slot = 0; slot < n; ++slot) {
                std::uint8_t* item = &b[5 + 14 * static_cast<std::size_t>(slot)];
                item[0] = 8;
                item[1] = 0x01;
                item[2] = static_cast<std::uint8_t>(4 * packet + slot);
                for (int i = 0; i < 8; ++i) item[5 + i] = 0x55;
            }
            if (packet == 0) {
                b[61] = static_cast<std::uint8_t>(interval);
                b[62] = static_cast<std::uint8_t>(cycle);
            }
            command(b);
        }
    }
    // Every frame received so far, as (identifier, remote).
    std::vector<std::uint32_t> receivedIds() {
        std::vector<std::uint32_t> ids;
        for (;;) {
            std::vector<std::uint8_t> bytes(384);
            transfer(0x82, true, bytes.data(), 384);
            std::size_t got = 0;
            for (std::size_t r = 0; r < 18; ++r) {
                const std::uint8_t* rec = &bytes[r / 3 * 64 + r % 3 * 19];
                if ((rec[0] & 0x0F) > 8 || rec[2] == 0xFF) continue;
                ids.push_back(std::uint32_t{rec[6]} << 8 | rec[7]);
                ++got;
            }
            if (got < 18) return ids;
        }
    }

private:
    void transfer(UCHAR endpoint, bool in, std::uint8_t* buffer, ULONG length) {
        auto t = std::make_shared<UsbTransfer>(endpoint, in, true, buffer, length,
                                               [](USBD_STATUS, ULONG) {});
        m_adapter.submit(t);
    }
    EmulatedAdapter& m_adapter;
};

BusFrame standard(std::uint32_t id) {
    BusFrame f;
    f.identifier = id;
    f.length = 1;
    return f;
}

template <typename Done>
void waitFor(Done&& done, std::chrono::milliseconds limit = 3000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(2ms);
}

}  // namespace

TEST(CyclicSet, RoundsDueWhileTheBusIsBusyAreSkippedNotQueued) {
    // A round of eight 8-byte frames takes about 90 ms at 10 kbit/s; one is due every millisecond.
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    ep.setUp(10);
    ep.loadSet(8, 1, 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(ep.command({0x02, 0x02, 0x02, 0x01}), 1);
    std::this_thread::sleep_for(1s);
    ASSERT_EQ(ep.command({0x02, 0x02, 0x02, 0x02}), 1);
    const auto elapsedUs =
        static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                            std::chrono::steady_clock::now() - start)
                                            .count());
    BusFrame frame;
    frame.identifier = 0x100;
    frame.length = 8;
    for (auto& b : frame.data) b = 0x55;
    const unsigned long long roundUs = 8ull * frameBits(frame) * 100;  // 100 us a bit
    const AdapterStats s = adapter.stats();
    EXPECT_GE(s.cyclicRoundsSent + s.cyclicRoundsSkipped, 900u);
    // Back to back, as many rounds as the bus carries (the last one may be cut short by Stop).
    EXPECT_LE(s.cyclicRoundsSent, elapsedUs / roundUs + 1);
    EXPECT_GE(s.cyclicRoundsSent + 2, 1'000'000ull / roundUs);
    // At most the round in progress was still queued when Stop came.
    EXPECT_LE(s.cyclicRoundsSent * 8 - s.framesSent, 8u);
}

TEST(CyclicSet, SkippedRoundsCountTowardsTheCycle) {
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    ep.setUp(10);
    ep.loadSet(8, 1, 20);
    ep.command({0x02, 0x02, 0x02, 0x01});
    waitFor([&] {
        const AdapterStats s = adapter.stats();
        return s.cyclicRoundsSent + s.cyclicRoundsSkipped >= 20;
    });
    std::this_thread::sleep_for(300ms);
    const AdapterStats s = adapter.stats();
    EXPECT_EQ(s.cyclicRoundsSent + s.cyclicRoundsSkipped, 20u);
    EXPECT_GE(s.cyclicRoundsSent, 1u);
}

TEST(CyclicSet, ABusWithRoomSendsEveryRound) {
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    ep.setUp(500);
    ep.loadSet(5, 5, 40);
    ep.command({0x02, 0x02, 0x02, 0x01});
    waitFor([&] { return adapter.stats().framesSent >= 200; });
    const AdapterStats s = adapter.stats();
    EXPECT_EQ(s.cyclicRoundsSent, 40u);
    EXPECT_EQ(s.cyclicRoundsSkipped, 0u);
    EXPECT_EQ(s.framesSent, 200u);
}

TEST(ManualFrames, ASendIsRefusedExactlyWhileTheTransmitFifoIsFull) {
    EmulatedAdapter adapter(nullptr, {});
    Endpoints ep(adapter);
    ep.setUp(1);  // 1 kbit/s: each frame holds the bus for about 60 ms
    const std::vector<std::uint8_t> send = {0x02, 7, 0x00, 1, 0x01, 0x23, 0, 0, 0xAB};
    // The bus may carry a frame between a look at the count sent and the send itself, so a send
    // is judged only where both looks agree on whether the FIFO had room.
    std::uint64_t queued = 0;
    int refused = 0, acceptedAfterRefusal = 0;
    for (int i = 0; i < 2000 && (refused < 2 || acceptedAfterRefusal < 1); ++i) {
        const std::uint64_t sentBefore = adapter.stats().framesSent;
        const bool accepted = ep.command(send) == 1;
        const std::uint64_t sentAfter = adapter.stats().framesSent;
        if (queued - sentBefore < EmulatedAdapter::kTransmitFifoFrames) {
            ASSERT_TRUE(accepted) << "send " << i << " found room but was refused";
        } else if (queued - sentAfter >= EmulatedAdapter::kTransmitFifoFrames) {
            ASSERT_FALSE(accepted) << "send " << i << " found the FIFO full but was taken";
        }
        queued += accepted ? 1 : 0;
        refused += accepted ? 0 : 1;
        acceptedAfterRefusal += accepted && refused > 0 ? 1 : 0;
        if (refused > 0) std::this_thread::sleep_for(5ms);
    }
    EXPECT_GE(refused, 2);
    EXPECT_GE(acceptedAfterRefusal, 1) << "room comes back as the bus carries frames";
}

TEST(ManualFrames, UnderOverdriveTheAdaptersOwnFramesStillGetTheBus) {
    AdapterOptions options;
    options.overdrive = true;
    EmulatedAdapter adapter(std::make_unique<FullLoadGenerator>(8, false, 0), options);
    Endpoints ep(adapter);
    ep.setUp(1000);
    const std::vector<std::uint8_t> send = {0x02, 7, 0x00, 1, 0x01, 0x23, 0, 0, 0xAB};
    // Three times what the FIFO holds: each send finds room once the bus took earlier ones.
    constexpr std::uint64_t kSends = 3 * EmulatedAdapter::kTransmitFifoFrames;
    for (std::uint64_t i = 0; i < kSends; ++i) {
        bool accepted = false;
        waitFor([&] { return accepted = ep.command(send) == 1; });
        ASSERT_TRUE(accepted) << "send " << i << " never found room";
    }
    waitFor([&] { return adapter.stats().framesSent >= kSends; });
    EXPECT_EQ(adapter.stats().framesSent, kSends);

    ep.loadSet(2, 1, 10);
    ASSERT_EQ(ep.command({0x02, 0x02, 0x02, 0x01}), 1);
    waitFor([&] {
        const AdapterStats s = adapter.stats();
        return s.cyclicRoundsSent + s.cyclicRoundsSkipped >= 10;
    });
    const AdapterStats s = adapter.stats();
    EXPECT_EQ(s.cyclicRoundsSent + s.cyclicRoundsSkipped, 10u);
    EXPECT_GE(s.cyclicRoundsSent, 1u);
    EXPECT_GT(s.framesOnBus, EmulatedAdapter::kFramesPerTurn) << "the source kept its share";
}

TEST(SharedBus, AdaptersHearEachOtherAndTheSourceButNotThemselves) {
    SharedBus bus(std::make_unique<FrameList>(std::vector<std::pair<BusFrame, std::uint64_t>>{
        {standard(0x010), 500'000}, {standard(0x011), 600'000}}));
    EmulatedAdapter sender(bus.join(), {});
    EmulatedAdapter receiver(bus.join(), {});
    Endpoints tx(sender), rx(receiver);
    for (Endpoints* ep : {&tx, &rx}) {
        ep->setUp(500);
        ep->command({0x03, 0x01, 0x01});
    }
    // A manual frame, then five rounds of a two-frame set.
    ASSERT_EQ(tx.command({0x02, 7, 0x00, 1, 0x01, 0x23, 0, 0, 0xAB}), 1);
    tx.loadSet(2, 2, 5);
    tx.command({0x02, 0x02, 0x02, 0x01});
    // The source's frames come late enough for both to be capturing on a loaded machine.
    waitFor([&] { return receiver.stats().framesBuffered >= 13; }, 5000ms);
    std::this_thread::sleep_for(50ms);

    std::vector<std::uint32_t> heard = rx.receivedIds();
    std::vector<std::uint32_t> own;
    for (std::uint32_t id : heard) {
        if (id >= 0x100) own.push_back(id);
    }
    std::vector<std::uint32_t> expected = {0x123};
    for (int round = 0; round < 5; ++round) {
        expected.push_back(0x100);
        expected.push_back(0x101);
    }
    EXPECT_EQ(own, expected);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), 0x010u), 1);
    EXPECT_EQ(std::count(heard.begin(), heard.end(), 0x011u), 1);
    EXPECT_EQ(tx.receivedIds(), (std::vector<std::uint32_t>{0x010, 0x011}));
    EXPECT_EQ(sender.stats().framesSent, 11u);
    EXPECT_EQ(bus.stats().peerFrames, 11u);
    EXPECT_EQ(bus.stats().sourceFrames, 2u);
}

TEST(SharedBus, APortThatStopsListeningHoldsABoundedBacklog) {
    SharedBus bus(nullptr);
    std::unique_ptr<BusSource> talker = bus.join();
    std::unique_ptr<BusSource> deaf = bus.join();
    BusFrame f;
    std::uint64_t at = 0;
    // Nothing to hear yet: a wish far away, so the adapter keeps asking.
    ASSERT_TRUE(deaf->next(f, at));
    EXPECT_EQ(at, SharedBus::kIdleUs);
    for (std::uint32_t i = 0; i < SharedBus::kMaxBacklog + 10; ++i)
        talker->transmitted(standard(i));
    EXPECT_EQ(bus.stats().framesDropped, 10u);
    ASSERT_TRUE(deaf->next(f, at));
    EXPECT_EQ(f.identifier, 10u);  // the oldest went first
    EXPECT_LT(at, SharedBus::kIdleUs);
    deaf->pop();
    ASSERT_TRUE(deaf->next(f, at));
    EXPECT_EQ(f.identifier, 11u);
    // The talker hears nothing of its own.
    ASSERT_TRUE(talker->next(f, at));
    EXPECT_EQ(at, SharedBus::kIdleUs);
}

TEST(SharedBus, APortJoiningLateHearsTheSourceFramesStillToCome) {
    SharedBus bus(std::make_unique<FrameList>(std::vector<std::pair<BusFrame, std::uint64_t>>{
        {standard(0x001), 0}, {standard(0x002), 10'000'000}}));
    std::unique_ptr<BusSource> early = bus.join();
    BusFrame f;
    std::uint64_t at = 0;
    ASSERT_TRUE(early->next(f, at));  // takes the first frame from the source
    EXPECT_EQ(f.identifier, 0x001u);
    std::this_thread::sleep_for(2ms);
    std::unique_ptr<BusSource> late = bus.join();
    ASSERT_TRUE(late->next(f, at));
    EXPECT_EQ(f.identifier, 0x002u);  // the first one is already past
    EXPECT_GT(at, 9'000'000u);
    early->pop();
    ASSERT_TRUE(early->next(f, at));
    EXPECT_EQ(f.identifier, 0x002u);
    EXPECT_EQ(bus.stats().sourceFrames, 2u);
}

TEST(SharedBus, OthersHearAFrameAtTheTimeItEndedNotWhenItWasHandedOn) {
    SharedBus bus(nullptr);
    std::unique_ptr<BusSource> talker = bus.join();
    std::unique_ptr<BusSource> listener = bus.join();
    std::this_thread::sleep_for(20ms);  // both ends' turns come late
    talker->transmittedAt(standard(1), 5'000);
    talker->transmittedAt(standard(2), 12'345);
    BusFrame f;
    std::uint64_t first = 0, second = 0;
    ASSERT_TRUE(listener->next(f, first));
    listener->pop();
    ASSERT_TRUE(listener->next(f, second));
    EXPECT_EQ(f.identifier, 2u);
    EXPECT_EQ(second - first, 7'345u);
    EXPECT_LT(second, 20'000u) << "on the listener's clock, which started with the talker's";
}

TEST(SharedBus, ASourceThatWaitsForACaptureStartsWhenAnAdapterStartsCapturing) {
    SharedBus bus(std::make_unique<AfterCaptureStart>());
    std::unique_ptr<BusSource> early = bus.join();
    std::this_thread::sleep_for(20ms);
    std::unique_ptr<BusSource> capturing = bus.join();
    BusFrame f;
    std::uint64_t at = 0;
    ASSERT_TRUE(capturing->next(f, at));
    EXPECT_EQ(at, SharedBus::kIdleUs) << "nothing before a capture";
    capturing->captureStarted(1'000);
    ASSERT_TRUE(capturing->next(f, at));
    EXPECT_EQ(f.identifier, 0x055u);
    EXPECT_EQ(at, 6'000u) << "on the capturing adapter's own clock";
    ASSERT_TRUE(early->next(f, at));
    EXPECT_EQ(f.identifier, 0x055u);
    EXPECT_GE(at, 26'000u) << "and on the other's, which started earlier";
}
