// The capture poll on the real library and driver host: a new capture after a pause, a host
// that goes away mid-capture, and Capture after the host restarted.

#include "document/CDataDoc.h"
#include "capture/CapturePoll.h"
#include "device/DeviceSetup.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

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
        DeviceSetup setup(m_device, m_settings, m_state, messages, ini);
        setup.open();
        setup.searchAdapter();
        return setup.ok();
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
