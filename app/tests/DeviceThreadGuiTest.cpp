// The window and the device thread: a host that does not answer holds up only the command that
// waits for it, the window shows that it waits, and the answers come back in order.

#include "app/MonitorApp.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tests/support/DeviceAnswers.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QStatusBar>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Records every command with its thread; RunVexa can be held until released, as a host stopped
// with SIGSTOP holds it.
class WedgedDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        a = b = count = 0;
        return true;
    }
    bool runVexa() override {
        std::unique_lock lock(m_mutex);
        record("run");
        m_changed.wait(lock, [&] { return !m_holding; });
        return m_starts;
    }
    bool stopVexa() override { return answer("stop"); }
    bool vexaInit() override { return answer("init"); }
    bool setVexa(int, int baud, int, int) override { return answer("set " + std::to_string(baud)); }
    bool getVexaInfo(Info&) override { return answer("info"); }
    bool sendSingleData(const TxMessage& m) override {
        return answer("send " + std::to_string(m.identifier));
    }
    bool stopMultiData() override { return answer("stopMulti"); }

    void hold() {
        std::lock_guard lock(m_mutex);
        m_holding = true;
    }
    void release(bool starts) {
        std::lock_guard lock(m_mutex);
        m_starts = starts;
        m_holding = false;
        m_changed.notify_all();
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }
    std::vector<std::thread::id> threads() const {
        std::lock_guard lock(m_mutex);
        return m_threads;
    }

private:
    bool answer(const std::string& name) {
        std::lock_guard lock(m_mutex);
        record(name);
        return true;
    }
    void record(const std::string& name) {
        m_calls.push_back(name);
        m_threads.push_back(std::this_thread::get_id());
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_holding = false;
    bool m_starts = true;
    std::vector<std::string> m_calls;
    std::vector<std::thread::id> m_threads;
};

class DeviceThreadGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
    }
    bool shown(std::uint32_t id) const {
        for (const auto& s : m_messages.shown()) {
            if (s.stringId == id) return true;
        }
        return false;
    }
    QString status() const { return m_frame->statusBar()->currentMessage(); }
    static QString text(std::uint32_t id) { return QString::fromStdString(strings::loadString(id)); }

    WedgedDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(DeviceThreadGuiTest, AHeldCaptureLeavesTheWindowRunningBusyAndARefusalLeavesCaptureOff) {
    m_app.newDocument();
    m_app.state().capture.deviceReady = 1;
    m_device.hold();
    m_frame->routeCommand(ID_FUNCTIONS_CAPTURE);

    // The window's thread goes on: a 10 ms timer keeps ticking while RunVexa is held.
    int ticks = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] { ++ticks; });
    probe.start(10);
    ASSERT_TRUE(processUntil([&] { return ticks >= 20; }, 5s));
    EXPECT_EQ(m_frame->deviceCommands().waiting(), 1);

    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(status(), text(strings::kWaitingForAdapter));
    m_frame->updateCommandUI();
    EXPECT_FALSE(m_frame->action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_FALSE(m_frame->action(ID_OPTIONS_SETUP)->isEnabled());
    EXPECT_FALSE(m_frame->action(ID_OPTIONS_DEVICE_INFORMATION)->isEnabled());
    EXPECT_TRUE(m_frame->action(ID_FUNCTIONS_CLEARALL)->isEnabled());
    // Setup waits for the answer too: it does not open.
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            opened = true;
            dialog->reject();
        }
    });
    m_frame->routeCommand(ID_OPTIONS_SETUP);
    QCoreApplication::processEvents();
    EXPECT_FALSE(opened);
    EXPECT_FALSE(shown(strings::kCannotRunDevice));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 0u);

    m_device.release(false);
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_TRUE(shown(strings::kCannotRunDevice));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 0u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(status(), text(strings::kAdapterNeedsSetup));
    EXPECT_TRUE(m_frame->action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_FALSE(m_frame->action(ID_FUNCTIONS_STOP)->isEnabled());

    // Answered, the next Capture starts.
    m_device.release(true);
    m_frame->routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 1u);
    EXPECT_EQ(status(), "Ready");
    m_frame->routeCommand(ID_FUNCTIONS_STOP);
}

TEST_F(DeviceThreadGuiTest, CommandsFromTheWindowRunInOrderOnOneThreadAndAnswerInOrder) {
    DeviceCommands& commands = m_frame->deviceCommands();
    std::vector<std::string> answered;
    const auto note = [&](const char* what) {
        return [&answered, what](bool) { answered.push_back(what); };
    };
    m_device.hold();
    commands.runVexa(note("run"));
    commands.setVexa(0, 250, 0, 1, note("set"));
    TxMessage m{};
    for (std::uint32_t id : {1u, 2u, 3u}) {
        m.identifier = id;
        commands.sendSingleData(m, note("send"));
    }
    commands.stopMultiData(note("stopMulti"));
    commands.getVexaInfo([&](bool, const VexaDevice::Info&) { answered.push_back("info"); });
    QCoreApplication::processEvents();
    EXPECT_TRUE(answered.empty());
    m_device.release(true);
    ASSERT_TRUE(awaitAnswers(commands));

    // The start-up's open comes first; then the commands as the window sent them.
    EXPECT_EQ(m_device.calls(),
              (std::vector<std::string>{"init", "run", "set 250", "send 1", "send 2", "send 3",
                                        "stopMulti", "info"}));
    EXPECT_EQ(answered, (std::vector<std::string>{"run", "set", "send", "send", "send",
                                                  "stopMulti", "info"}));
    const auto threads = m_device.threads();
    for (const auto& id : threads) {
        EXPECT_EQ(id, threads.front());
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

TEST(DeviceThreadExit, ClosingWhileACommandWaitsEndsOnceItIsAnsweredAndStillStopsTheAdapter) {
    WedgedDevice device;
    MessageRecorder messages;
    std::thread releaser;
    {
        MonitorApp app(&device, &messages);
        ASSERT_TRUE(app.InitInstance({}));
        app.newDocument();
        app.state().capture.deviceReady = 1;
        device.hold();
        app.mainFrame().routeCommand(ID_FUNCTIONS_CAPTURE);
        releaser = std::thread([&] {
            std::this_thread::sleep_for(100ms);
            device.release(true);
        });
    }
    releaser.join();
    // The document's last StopVexa went after the held RunVexa, on the same thread.
    const auto calls = device.calls();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls[calls.size() - 2], "run");
    EXPECT_EQ(calls.back(), "stop");
    EXPECT_EQ(device.threads().back(), device.threads().front());
}
