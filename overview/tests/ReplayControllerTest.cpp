// Functions > Replay... without its window: the replay a choice starts, which replays stop for
// the document, the texts it reports with, and the adapter's commands run in turn on the device
// thread while a replay sends from its own thread.

#include "capture/WaitingDevice.h"
#include "document/LogTime.h"
#include "overview/ReplayController.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Takes every frame; remembers their identifiers.
class RecordingDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return true; }
    bool sendSingleData(const TxMessage& message) override {
        std::lock_guard lock(m_mutex);
        m_sent.push_back(message.identifier);
        return true;
    }
    std::vector<std::uint32_t> sent() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }

private:
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_sent;
};

CapturedFrame frame(std::uint32_t identifier, std::uint64_t us) {
    CapturedFrame f;
    setCaptureTime(f, us);
    f.identifier = identifier;
    f.length = 1;
    return f;
}

ReplayChoice asFast(ReplayChoice::Source source) {
    ReplayChoice c;
    c.source = source;
    c.speed = ReplayChoice::kAsFastAsTheBusTakes;
    return c;
}

void waitUntilEnded(const ReplayController& replay) {
    for (int i = 0; i < 500 && replay.running(); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_FALSE(replay.running());
}

std::string tempLog(const std::string& text) {
    std::string path = std::filesystem::temp_directory_path() /
                       ("korvane-replay-" + std::to_string(::getpid()) + ".log");
    std::ofstream(path) << text;
    return path;
}

}  // namespace

TEST(ReplayChoice, TheSpeedsOfTheDialogBecomeTheReplaysOptions) {
    ReplayChoice c;
    EXPECT_EQ(c.options().speed, 1.0);
    EXPECT_FALSE(c.options().asFastAsTheBusTakes);
    c.speed = 1;
    c.loop = true;
    EXPECT_EQ(c.options().speed, 0.5);
    EXPECT_TRUE(c.options().loop);
    c.speed = 4;
    EXPECT_EQ(c.options().speed, 10.0);
    c.speed = ReplayChoice::kAsFastAsTheBusTakes;
    EXPECT_TRUE(c.options().asFastAsTheBusTakes);
}

TEST(ReplayController, SendsTheDocumentsFramesOrOnlyTheRowsShownOrALog) {
    RecordingDevice device;
    ReplayController replay(device);
    FrameStore store;
    for (std::uint32_t id : {0x100u, 0x200u, 0x300u})
        store.append(frame(id, std::uint64_t{id} * 10));
    std::string detail;
    ASSERT_EQ(replay.start(asFast(ReplayChoice::Source::kAllFrames), store, {}, 500, detail), 0u);
    waitUntilEnded(replay);
    EXPECT_EQ(device.sent(), (std::vector<std::uint32_t>{0x100, 0x200, 0x300}));
    EXPECT_EQ(replay.progress().state, ReplayProgress::State::kFinished);

    ASSERT_EQ(replay.start(asFast(ReplayChoice::Source::kShownRows), store, {2, 0}, 500, detail),
              0u);
    waitUntilEnded(replay);
    EXPECT_EQ(device.sent(), (std::vector<std::uint32_t>{0x100, 0x200, 0x300, 0x300, 0x100}));

    ReplayChoice log = asFast(ReplayChoice::Source::kLogFile);
    log.logPath = tempLog("(1.000000) can0 123#01\n(1.010000) can0 456#02\n");
    ASSERT_EQ(replay.start(log, store, {}, 500, detail), 0u);
    waitUntilEnded(replay);
    std::filesystem::remove(log.logPath);
    EXPECT_EQ(device.sent().size(), 7u);
    EXPECT_EQ(device.sent().back(), 0x456u);
}

TEST(ReplayController, NothingToSendOrALogThatCannotBeReadIsSaidBeforeAnythingStarts) {
    RecordingDevice device;
    ReplayController replay(device);
    FrameStore store;
    std::string detail;
    EXPECT_EQ(replay.start(asFast(ReplayChoice::Source::kAllFrames), store, {}, 500, detail),
              strings::kReplayNoFrames);
    store.append(frame(0x100, 0));
    // Rows beyond the store cannot be sent.
    EXPECT_EQ(replay.start(asFast(ReplayChoice::Source::kShownRows), store, {7}, 500, detail),
              strings::kReplayNoFrames);
    EXPECT_EQ(replay.start(asFast(ReplayChoice::Source::kLogFile), store, {}, 500, detail),
              strings::kReplayNoLog);
    ReplayChoice missing = asFast(ReplayChoice::Source::kLogFile);
    missing.logPath = "/nonexistent/bus.log";
    EXPECT_EQ(replay.start(missing, store, {}, 500, detail), strings::kReplayCannotOpenLog);
    EXPECT_EQ(detail.rfind("/nonexistent/bus.log: ", 0), 0u) << detail;
    EXPECT_FALSE(replay.running());
    EXPECT_TRUE(device.sent().empty());
}

TEST(ReplayController, OnlyAReplayOfTheDocumentStopsWhenItsFramesAreReplaced) {
    RecordingDevice device;
    ReplayController replay(device);
    FrameStore store;
    store.append(frame(0x100, 0));
    store.append(frame(0x101, 10'000));
    ReplayChoice looping;
    looping.loop = true;
    std::string detail;
    ASSERT_EQ(replay.start(looping, store, {}, 500, detail), 0u);
    EXPECT_TRUE(replay.running());
    EXPECT_TRUE(replay.stopIfReadingStore());
    EXPECT_FALSE(replay.running());
    EXPECT_EQ(replay.progress().state, ReplayProgress::State::kStopped);

    ReplayChoice log = looping;
    log.source = ReplayChoice::Source::kLogFile;
    log.logPath = tempLog("(1.000000) can0 123#01\n(1.010000) can0 456#02\n");
    ASSERT_EQ(replay.start(log, store, {}, 500, detail), 0u);
    EXPECT_FALSE(replay.stopIfReadingStore());
    EXPECT_TRUE(replay.running());
    replay.stop();
    EXPECT_FALSE(replay.running());
    std::filesystem::remove(log.logPath);
}

TEST(ReplayController, TheTextsSayHowFarTheReplayCameAndWhatWasNotSent) {
    ReplayProgress p;
    p.state = ReplayProgress::State::kRunning;
    p.pass = 2;
    p.sent = 1234;
    EXPECT_EQ(replayStatusText(p), "Pass 2: 1234 frames sent");
    EXPECT_EQ(replayNotSentText(p), "");
    p.state = ReplayProgress::State::kFailed;
    p.refused = 3;
    p.unsendable = 2;
    p.error = "the adapter refused 3 frames in a row";
    EXPECT_EQ(replayEndText(p),
              "Replay failed after 1234 frames: the adapter refused 3 frames in a row");
    EXPECT_EQ(replayNotSentText(p),
              "5 frames could not be sent: 3 refused by the adapter, 2 with an identifier beyond "
              "its format's range.");
    p.state = ReplayProgress::State::kStopped;
    EXPECT_EQ(replayEndText(p), "Replay stopped: 1234 frames sent.");
}

namespace {

// Counts calls that overlap another; each call takes a little while. recvData waits for
// runVexa's signal, so a lock around the capture's reads would stall the capture.
class OverlapDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        std::unique_lock lock(m_mutex);
        m_readWanted = true;
        m_changed.notify_all();
        return true;
    }
    bool runVexa() override {
        // Waits (at most two seconds) for a read from another thread while it is under way.
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 2s, [this] { return m_readWanted; });
    }
    bool stopVexa() override { return call(); }
    bool vexaInit() override { return call(); }
    bool setVexa(int, int, int, int) override { return call(); }
    bool getVexaInfo(Info&) override { return call(); }
    bool sendSingleData(const TxMessage&) override { return call(); }
    std::atomic<int> overlaps{0};
    std::set<std::thread::id> threads;  // read once the calls are over

private:
    bool call() {
        {
            std::lock_guard lock(m_mutex);
            threads.insert(std::this_thread::get_id());
        }
        if (m_inside.fetch_add(1) != 0) ++overlaps;
        std::this_thread::sleep_for(100us);
        m_inside.fetch_sub(1);
        return true;
    }
    std::atomic<int> m_inside{0};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_readWanted = false;
};

}  // namespace

TEST(WaitingDevice, AReplaysSendsTakeTurnsWithTheProgramsCommandsOnTheDeviceThread) {
    OverlapDevice device;
    DeviceThread thread(device, [](DeviceThread::Completion) {});
    WaitingDevice waiting(thread, device);
    ReplayController replay(waiting);
    FrameStore store;
    for (int i = 0; i < 50; ++i) store.append(frame(0x100, static_cast<std::uint64_t>(i)));
    ReplayChoice looping = asFast(ReplayChoice::Source::kAllFrames);
    looping.loop = true;
    std::string detail;
    ASSERT_EQ(replay.start(looping, store, {}, 500, detail), 0u);
    for (int i = 0; i < 300; ++i) {
        thread.submit(
            [](VexaDevice& d) {
                VexaDevice::Info info;
                d.getVexaInfo(info);
                d.setVexa(1, 500, 0, 1);
            },
            {});
    }
    // Answered only after every command queued before it.
    EXPECT_TRUE(waiting.vexaInit());
    replay.stop();
    EXPECT_GT(replay.progress().sent, 0u);
    EXPECT_EQ(device.overlaps.load(), 0);
    ASSERT_EQ(device.threads.size(), 1u);
    EXPECT_EQ(*device.threads.begin(), thread.id());
}

TEST(WaitingDevice, ACommandAClosedThreadWillNotRunAnswersFalseAtOnce) {
    OverlapDevice device;
    DeviceThread thread(device, [](DeviceThread::Completion) {});
    WaitingDevice waiting(thread, device);
    thread.close();
    EXPECT_FALSE(waiting.setVexa(1, 500, 0, 1));
    TxMessage message{};
    EXPECT_FALSE(waiting.sendSingleData(message));
    EXPECT_TRUE(device.threads.empty());
}

TEST(WaitingDevice, TheCapturesReadsGoOnWhileACommandIsUnderWay) {
    OverlapDevice device;
    DeviceThread thread(device, [](DeviceThread::Completion) {});
    WaitingDevice waiting(thread, device);
    bool started = false;
    std::thread command([&] { started = waiting.runVexa(); });
    std::this_thread::sleep_for(20ms);
    std::int32_t a = 0, b = 0, count = 0;
    waiting.recvData(a, b, count, nullptr);
    command.join();
    EXPECT_TRUE(started);
}
