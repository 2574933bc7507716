// The capture poll on the real library and driver host: a new capture after a pause, a host
// that goes away mid-capture, Capture after the host restarted, and the log of a capture across
// a restart.

#include "document/CDataDoc.h"
#include "capture/CapturePoll.h"
#include "device/DeviceSetup.h"
#include "document/LogConvert.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

std::int64_t millisOf(const CapturedFrame& f) {
    return (std::int64_t{f.minutes} * 60 + f.seconds) * 1000 + f.millis;
}

// Ticks the poll as the capture timer would, until `done` or `within` has passed.
template <typename Done>
bool pollUntil(CapturePoll& poll, Done done, std::chrono::milliseconds within) {
    const auto end = std::chrono::steady_clock::now() + within;
    while (!done() && std::chrono::steady_clock::now() < end) {
        poll.tick();
        std::this_thread::sleep_for(1ms);
    }
    return done();
}

class CaptureEndToEnd : public ::testing::Test {
protected:
    TempRuntimeDir m_dir;
    VexaLibraryDevice m_device;
    FrameStore m_store;
    CaptureState m_state;
    ApplicationFlags m_flags;
    DeviceSettings m_settings;
    CapturePoll m_poll{m_device, m_store, m_state, m_flags};
};

}  // namespace

TEST_F(CaptureEndToEnd, CaptureAfterAPauseBeginsWithNewFramesOnly) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
    ASSERT_TRUE(host.ready());
    ASSERT_TRUE(m_device.vexaInit());
    ASSERT_TRUE(m_device.setVexa(0, 500, 0, 1));
    ASSERT_TRUE(m_device.runVexa());
    m_state.capturing = 1;
    ASSERT_TRUE(pollUntil(
        m_poll, [&] { return m_store.count() >= 20; }, 5s));
    // Stop: nothing goes to the adapter, which goes on filling its buffer.
    m_state.capturing = 0;
    m_poll.tick();
    const std::uint32_t before = m_store.count();
    const std::int64_t lastBefore = millisOf(m_store.at(before - 1));
    std::this_thread::sleep_for(700ms);
    ASSERT_TRUE(m_device.runVexa());
    m_state.capturing = 1;
    ASSERT_TRUE(pollUntil(
        m_poll, [&] { return m_store.count() > before; }, 5s));
    // The first frame of the new capture is younger than the Capture command.
    EXPECT_GE(millisOf(m_store.at(before)) - lastBefore, 600);
    EXPECT_EQ(host.stop(), 0);
}

TEST_F(CaptureEndToEnd, AHostThatGoesAwayStopsCapturingOnceAndKeepsTheFrames) {
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
    ASSERT_TRUE(host.ready());
    ASSERT_TRUE(m_device.vexaInit());
    ASSERT_TRUE(m_device.setVexa(0, 500, 0, 1));
    ASSERT_TRUE(m_device.runVexa());
    std::atomic<int> told{0};
    m_poll.setAdapterLostHandler([&] { ++told; });
    m_state.capturing = 1;
    ASSERT_TRUE(pollUntil(
        m_poll, [&] { return m_store.count() >= 20; }, 5s));
    host.stop();
    const std::uint32_t kept = m_store.count();
    const auto stopped = std::chrono::steady_clock::now();
    ASSERT_TRUE(pollUntil(
        m_poll, [&] { return told.load() > 0; }, 8s));
    EXPECT_GE(std::chrono::steady_clock::now() - stopped, 900ms);
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_EQ(m_store.count(), kept);
    pollUntil(
        m_poll, [] { return false; }, 200ms);
    EXPECT_EQ(told.load(), 1);
}

TEST_F(CaptureEndToEnd, AfterTheHostRestartedCaptureStaysOffUntilSetupAgain) {
    const std::string ini = m_dir.path() + "/Configure.ini";
    MessageRecorder messages;
    const auto setUp = [&] {
        DeviceCommands commands(m_device);
        DeviceSetup setup(commands, m_settings, m_state, messages, ini);
        setup.open();
        setup.searchAdapter();
        bool closes = false;
        setup.ok([&](bool answer) { closes = answer; });
        return closes;
    };
    CDataDoc doc(m_device, m_store, m_state, m_flags, messages);
    int refusals = 0;
    doc.setStartRefusedHandler([&] { ++refusals; });
    {
        HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
        ASSERT_TRUE(host.ready());
        ASSERT_TRUE(setUp());
        doc.OnCapture();
        ASSERT_EQ(m_state.capturing.load(), 1u);
        doc.OnStop();
        host.stop();
    }
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
    ASSERT_TRUE(host.ready());
    doc.OnCapture();
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].stringId, 5001u);
    EXPECT_EQ(m_state.capturing.load(), 0u);
    EXPECT_EQ(refusals, 1);
    // Nothing is polled, so no lost connection is reported on top.
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(messages.shown().size(), 1u);

    ASSERT_TRUE(setUp());
    doc.OnCapture();
    EXPECT_EQ(m_state.capturing.load(), 1u);
    EXPECT_EQ(messages.shown().size(), 1u);
    doc.OnStop();
}

TEST_F(CaptureEndToEnd, ALogOfACaptureAcrossAHostRestartKeepsTheRealPauseBetweenItsRuns) {
    const std::string ini = m_dir.path() + "/Configure.ini";
    MessageRecorder messages;
    const auto setUp = [&] {
        DeviceCommands commands(m_device);
        DeviceSetup setup(commands, m_settings, m_state, messages, ini);
        setup.open();
        setup.searchAdapter();
        bool closes = false;
        setup.ok([&](bool answer) { closes = answer; });
        return closes;
    };
    CDataDoc doc(m_device, m_store, m_state, m_flags, messages);
    // The host's clock when the store last grew: the document's timer reads every millisecond.
    const auto watchUntil = [&](std::uint32_t frames, std::int64_t& grewAtUs) {
        const auto end = std::chrono::steady_clock::now() + 5s;
        std::uint32_t seen = m_store.count();
        while (seen < frames && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(200us);
            if (m_store.count() != seen) {
                grewAtUs = hostTimeOfDayUs();
                seen = m_store.count();
            }
        }
        return seen >= frames;
    };
    std::int64_t lastOfRun1 = 0, firstOfRun2 = 0;
    std::uint32_t run1 = 0;
    {
        HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
        ASSERT_TRUE(host.ready());
        ASSERT_TRUE(setUp());
        doc.OnCapture();
        ASSERT_TRUE(watchUntil(30, lastOfRun1));
        doc.OnStop();
        run1 = m_store.count();
        host.stop();
    }
    std::this_thread::sleep_for(1200ms);
    HostProcess host(ADP4021D_PATH, m_dir.path(), {"--quiet", "--source", "demo"});
    ASSERT_TRUE(host.ready());
    doc.OnCapture();  // refused: the adapter lost its set-up with its host
    ASSERT_EQ(m_state.capturing.load(), 0u);
    ASSERT_TRUE(setUp());
    doc.OnCapture();
    ASSERT_TRUE(watchUntil(run1 + 1, firstOfRun2));
    std::int64_t later = 0;
    ASSERT_TRUE(watchUntil(run1 + 20, later));
    doc.OnStop();
    // The adapter's clock started again with its host: the poll counted that as a wrap.
    ASSERT_EQ(m_store.at(run1).wraps, m_store.at(run1 - 1).wraps + 1);

    const std::string document = m_dir.path() + "/cap.krv";
    DocumentContents contents;
    contents.extensions.anchors = m_state.anchors.snapshot();
    ASSERT_EQ(contents.extensions.anchors.size(), 2u);
    ASSERT_TRUE(saveDocument(document, contents, m_store, m_store.count(), nullptr).ok);
    const ConvertResult converted = convertFile(document, m_dir.path() + "/cap.log", 0);
    ASSERT_TRUE(converted.ok) << converted.error;
    std::vector<std::int64_t> times;
    std::ifstream log(m_dir.path() + "/cap.log");
    std::string line;
    while (std::getline(log, line)) {
        long long seconds = 0, micros = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "(%lld.%lld)", &seconds, &micros), 2) << line;
        times.push_back(seconds * 1'000'000 + micros);
    }
    ASSERT_EQ(times.size(), m_store.count());
    for (std::size_t i = 1; i < times.size(); ++i) {
        ASSERT_GE(times[i], times[i - 1]) << "frame " << i;
    }
    // Times of day: the first frame was read moments before the first watch saw it.
    EXPECT_NEAR(static_cast<double>(times[run1]), static_cast<double>(firstOfRun2), 50'000);
    const std::int64_t pause = firstOfRun2 - lastOfRun1;
    EXPECT_NEAR(static_cast<double>(times[run1] - times[run1 - 1]), static_cast<double>(pause),
                50'000);
    EXPECT_GT(pause, 1'200'000);
}
