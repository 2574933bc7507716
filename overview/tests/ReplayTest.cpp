#include "overview/LogReplaySource.h"
#include "overview/ReplaySchedule.h"
#include "overview/ReplaySender.h"
#include "overview/StoreReplaySource.h"

#include "capture/AdapterClock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

LogFrame logFrame(std::uint32_t identifier, std::uint64_t us, std::uint8_t byte = 0) {
    LogFrame f;
    f.identifier = identifier;
    f.timeUs = us;
    f.length = 1;
    f.data[0] = byte;
    return f;
}

class VectorSource final : public ReplaySource {
public:
    explicit VectorSource(std::vector<LogFrame> frames) : m_frames(std::move(frames)) {}
    bool next(LogFrame& frame) override {
        if (m_next >= m_frames.size()) return false;
        frame = m_frames[m_next++];
        return true;
    }
    bool rewind() override {
        m_next = 0;
        return true;
    }
    [[nodiscard]] double progress() const override {
        return static_cast<double>(m_next) / static_cast<double>(m_frames.size());
    }

private:
    std::vector<LogFrame> m_frames;
    std::size_t m_next = 0;
};

// The due times of the first `n` frames (fewer when the replay ends).
std::vector<std::uint64_t> dueTimes(ReplaySchedule& s, std::size_t n) {
    std::vector<std::uint64_t> due;
    LogFrame f;
    std::uint64_t at = 0;
    while (due.size() < n && s.peek(f, at)) {
        due.push_back(at);
        s.pop();
    }
    return due;
}

// Time passes only when the replay waits.
class VirtualClock final : public ReplayClock {
public:
    std::uint64_t nowUs() override { return now; }
    void waitUntil(std::uint64_t us) override {
        if (!woken && us > now) now = us;
    }
    void wake() override { woken = true; }
    std::uint64_t now = 7'000'000;
    bool woken = false;
};

// An adapter with a transmit FIFO of 64 frames that the bus empties one frame every `frameUs`.
class FifoDevice final : public VexaDevice {
public:
    FifoDevice(const VirtualClock& clock, std::uint64_t frameUs)
        : m_clock(clock), m_frameUs(frameUs) {}
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }
    bool sendSingleData(const TxMessage& m) override {
        const std::uint64_t now = m_clock.now;
        while (!m_ends.empty() && m_ends.front() <= now) m_ends.pop_front();
        if (refuseAll || m_ends.size() >= 64) {
            ++refusals;
            return false;
        }
        m_ends.push_back(std::max(now, m_ends.empty() ? now : m_ends.back()) + m_frameUs);
        sent.push_back({now, m});
        return true;
    }

    struct Sent {
        std::uint64_t atUs;
        TxMessage message;
    };
    std::vector<Sent> sent;
    std::uint64_t refusals = 0;
    bool refuseAll = false;

private:
    const VirtualClock& m_clock;
    const std::uint64_t m_frameUs;
    std::deque<std::uint64_t> m_ends;
};

std::vector<LogFrame> cyclicFrames(std::size_t n, std::uint64_t periodUs) {
    std::vector<LogFrame> frames;
    for (std::size_t i = 0; i < n; ++i) {
        frames.push_back(logFrame(0x100 + static_cast<std::uint32_t>(i % 3), 5'000 + i * periodUs,
                                  static_cast<std::uint8_t>(i)));
    }
    return frames;
}

}  // namespace

TEST(ReplaySchedule, TimesAreScaledBySpeedAndAsFastAsTheBusTakesIsAtOnce) {
    const std::vector<LogFrame> frames = {logFrame(1, 1'000'000), logFrame(2, 1'010'000),
                                          logFrame(3, 1'030'000)};
    const auto dues = [&](ReplayOptions o) {
        VectorSource source(frames);
        ReplaySchedule s(source, o);
        return dueTimes(s, 10);
    };
    using V = std::vector<std::uint64_t>;
    EXPECT_EQ(dues({}), (V{0, 10'000, 30'000}));
    EXPECT_EQ(dues({2.0, false, false}), (V{0, 5'000, 15'000}));
    EXPECT_EQ(dues({0.5, false, false}), (V{0, 20'000, 60'000}));
    EXPECT_EQ(dues({40.0, false, false}), (V{0, 1'000, 3'000})) << "held at x10";
    EXPECT_EQ(dues({1.0, true, false}), (V{0, 0, 0}));
}

TEST(ReplaySchedule, ALoopStartsAgainOneMeanPeriodAfterTheLastFrame) {
    VectorSource source({logFrame(1, 0), logFrame(2, 10'000), logFrame(3, 30'000)});
    ReplaySchedule s(source, {1.0, false, true});
    const auto due = dueTimes(s, 7);
    EXPECT_EQ(due, (std::vector<std::uint64_t>{0, 10'000, 30'000, 45'000, 55'000, 75'000, 90'000}));
    EXPECT_EQ(s.pass(), 3u);
    EXPECT_EQ(s.framesTaken(), 7u);
}

TEST(ReplaySchedule, ATimeThatGoesBackIsDueWithTheFrameBeforeAndAnEmptySourceEnds) {
    VectorSource source(
        {logFrame(1, 50'000), logFrame(2, 70'000), logFrame(3, 0), logFrame(4, 90'000)});
    ReplaySchedule s(source, {});
    EXPECT_EQ(dueTimes(s, 10), (std::vector<std::uint64_t>{0, 20'000, 20'000, 40'000}));

    VectorSource empty({});
    ReplaySchedule looping(empty, {1.0, false, true});
    LogFrame f;
    std::uint64_t due = 0;
    EXPECT_FALSE(looping.peek(f, due));
    EXPECT_TRUE(looping.error().empty());
}

TEST(StoreReplaySource, GivesTheStoresFramesOrTheRowsShownWithTheirTimes) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 4; ++i) {
        CapturedFrame f;
        setAdapterTimeUs(f, 1'000'000 + i * 2'500);
        f.identifier = 0x10 + i;
        f.format = i == 3 ? 1 : 0;
        f.status = i == 2 ? 1 : 0;
        f.length = 2;
        f.data[0] = static_cast<std::uint8_t>(i);
        store.append(f);
    }
    StoreReplaySource all(store);
    LogFrame f;
    std::vector<std::uint32_t> ids;
    while (all.next(f)) ids.push_back(f.identifier);
    EXPECT_EQ(ids, (std::vector<std::uint32_t>{0x10, 0x11, 0x12, 0x13}));
    EXPECT_TRUE(f.extended);
    EXPECT_EQ(f.timeUs, 1'007'500u);
    EXPECT_DOUBLE_EQ(all.progress(), 1.0);

    StoreReplaySource rows(store, {2, 0, 9});  // row 9 is not in the store
    EXPECT_EQ(rows.total(), 2u);
    ASSERT_TRUE(rows.next(f));
    EXPECT_EQ(f.identifier, 0x12u);
    EXPECT_TRUE(f.remote);
    ASSERT_TRUE(rows.next(f));
    EXPECT_EQ(f.identifier, 0x10u);
    EXPECT_FALSE(rows.next(f));
    ASSERT_TRUE(rows.rewind());
    ASSERT_TRUE(rows.next(f));
    EXPECT_EQ(f.identifier, 0x12u);
}

TEST(LogReplaySource, ReadsALogAgainForEachPassAndSaysWhyItCannot) {
    const std::string dir = ::testing::TempDir() + "/replay-source";
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/bus.log";
    {
        std::ofstream out(path);
        out << "(0.100000) can0 123#0102\n"
               "not a frame\n"
               "(0.110000) can0 1ABCDEF0#R2\n";
    }
    LogReplaySource source(path, LogFormat::kCandump);
    ASSERT_TRUE(source.open());
    ReplaySchedule schedule(source, {1.0, false, true});
    LogFrame f;
    std::uint64_t due = 0;
    std::vector<std::uint64_t> dues;
    for (int i = 0; i < 4 && schedule.peek(f, due); ++i) {
        dues.push_back(due);
        if (i == 1) {
            EXPECT_TRUE(f.extended);
            EXPECT_TRUE(f.remote);
            EXPECT_EQ(f.identifier, 0x1ABCDEF0u);
        }
        schedule.pop();
    }
    EXPECT_EQ(dues, (std::vector<std::uint64_t>{0, 10'000, 20'000, 30'000}));
    EXPECT_EQ(source.result().skippedLines(), 1u) << "a new pass counts afresh";

    LogReplaySource missing(dir + "/missing.log", LogFormat::kCandump);
    EXPECT_FALSE(missing.open());
    EXPECT_FALSE(missing.error().empty());
    std::filesystem::remove_all(dir);
}

TEST(ReplaySender, AsFastAsTheBusTakesKeepsTheFifoFullAndSendsEveryFrameInOrder) {
    auto clock = std::make_unique<VirtualClock>();
    VirtualClock& time = *clock;
    FifoDevice device(time, 250);
    ReplaySender sender(device, std::make_unique<VectorSource>(cyclicFrames(500, 1'000)),
                        {1.0, true, false}, {500, 2'000'000, 3}, std::move(clock));
    sender.run();
    const ReplayProgress p = sender.progress();
    EXPECT_EQ(p.state, ReplayProgress::State::kFinished);
    EXPECT_EQ(p.sent, 500u);
    EXPECT_EQ(p.notSent(), 0u);
    EXPECT_GT(p.retries, 0u) << "the FIFO filled up";
    EXPECT_EQ(p.retries, device.refusals);
    ASSERT_EQ(device.sent.size(), 500u);
    for (std::size_t i = 0; i < device.sent.size(); ++i) {
        ASSERT_EQ(device.sent[i].message.data[0], static_cast<std::uint8_t>(i));
    }
    // The bus never waited long for the sender: 500 frames of 250 us take 125 ms of bus time.
    EXPECT_LT(device.sent.back().atUs - 7'000'000, 125'000u);
    EXPECT_DOUBLE_EQ(p.passFraction, 1.0);
}

TEST(ReplaySender, OriginalTimingSendsEachFrameWhenItIsDue) {
    auto clock = std::make_unique<VirtualClock>();
    VirtualClock& time = *clock;
    FifoDevice device(time, 250);
    ReplaySender sender(device, std::make_unique<VectorSource>(cyclicFrames(50, 10'000)),
                        {2.0, false, false}, {}, std::move(clock));
    sender.run();
    ASSERT_EQ(device.sent.size(), 50u);
    for (std::size_t i = 0; i < 50; ++i) {
        EXPECT_EQ(device.sent[i].atUs, 7'000'000 + i * 5'000);
    }
    EXPECT_EQ(sender.progress().latestUs, 0u);
    EXPECT_EQ(sender.progress().retries, 0u);
}

TEST(ReplaySender, FramesTheAdapterKeepsRefusingAreCountedAndTheReplayGivesUp) {
    auto clock = std::make_unique<VirtualClock>();
    VirtualClock& time = *clock;
    FifoDevice device(time, 250);
    device.refuseAll = true;
    ReplaySender sender(device, std::make_unique<VectorSource>(cyclicFrames(10, 1'000)),
                        {1.0, false, false}, {500, 50'000, 3}, std::move(clock));
    sender.run();
    const ReplayProgress p = sender.progress();
    EXPECT_EQ(p.state, ReplayProgress::State::kFailed);
    EXPECT_EQ(p.sent, 0u);
    EXPECT_EQ(p.refused, 3u);
    EXPECT_GT(p.retries, 3u);
    EXPECT_NE(p.error.find("refused 3 frames in a row"), std::string::npos) << p.error;
    // Each frame was tried for its whole budget, no longer.
    EXPECT_GE(time.now - 7'000'000, 3u * 50'000u);
    EXPECT_LT(time.now - 7'000'000, 3u * 50'000u + 2'000u);
}

TEST(ReplaySender, IdentifiersBeyondTheirFormatAreCountedAsUnsendable) {
    auto clock = std::make_unique<VirtualClock>();
    VirtualClock& time = *clock;
    FifoDevice device(time, 250);
    std::vector<LogFrame> frames = {logFrame(0x800, 0), logFrame(0x7FF, 10)};
    frames.push_back(logFrame(0x20000000, 20));
    frames.back().extended = true;
    frames.push_back(logFrame(0x1FFFFFFF, 30));
    frames.back().extended = true;
    frames.back().remote = true;
    ReplaySender sender(device, std::make_unique<VectorSource>(frames), {}, {}, std::move(clock));
    sender.run();
    EXPECT_EQ(sender.progress().unsendable, 2u);
    EXPECT_EQ(sender.progress().sent, 2u);
    ASSERT_EQ(device.sent.size(), 2u);
    EXPECT_EQ(device.sent[1].message.format, 1);
    EXPECT_EQ(device.sent[1].message.remote, 1);
    EXPECT_EQ(device.sent[1].message.identifier, 0x1FFFFFFFu);
}

TEST(ReplaySender, StopEndsALoopingReplayOnItsOwnThread) {
    const VirtualClock never;  // the replay keeps real time; the device's bus takes no time
    FifoDevice device(never, 0);
    std::mutex commands;
    ReplaySender sender(device, std::make_unique<VectorSource>(cyclicFrames(20, 100)),
                        {10.0, false, true});
    sender.setCommandLock(&commands);
    ASSERT_TRUE(sender.start());
    EXPECT_FALSE(sender.start());
    for (int i = 0; i < 5'000 && sender.progress().sent < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(sender.running());
    sender.stop();
    const ReplayProgress p = sender.progress();
    EXPECT_EQ(p.state, ReplayProgress::State::kStopped);
    EXPECT_GE(p.sent, 100u);
    EXPECT_GE(p.pass, 5u);
    EXPECT_EQ(p.sent, device.sent.size());
}
