// The window and the device thread: a host that does not answer holds up only the command that
// waits for it, the window shows that it waits, and the answers come back in order.

#include "app/MonitorApp.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tests/support/DeviceAnswers.h"
#include "tests/support/RecordingDevice.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QStatusBar>
#include <QTimer>

#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

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

    RecordingDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(DeviceThreadGuiTest, AHeldCaptureLeavesTheWindowRunningBusyAndARefusalLeavesCaptureOff) {
    m_app.newDocument();
    m_app.state().capture.deviceReady = 1;
    m_device.hold("run");
    m_device.refuse({"run"});
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

    m_device.release();
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_TRUE(shown(strings::kCannotRunDevice));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 0u);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(status(), text(strings::kAdapterNeedsSetup));
    EXPECT_TRUE(m_frame->action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_FALSE(m_frame->action(ID_FUNCTIONS_STOP)->isEnabled());

    // Answered, the next Capture starts.
    m_device.refuse({});
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
    m_device.hold("run");
    commands.runVexa(note("run"));
    commands.setVexa(0, 250, 0, 1, note("set"));
    TxMessage m{};
    for (std::uint32_t id : {1u, 2u, 3u}) {
        m.identifier = id;
        commands.sendSingleData(m, note("send"));
    }
    commands.stopMultiData(note("stopMulti"));
    commands.getVexaInfo([&](bool, const VexaDevice::Info&) { answered.push_back("info"); });
    ASSERT_TRUE(m_device.waitUntilHolding(5s));
    QCoreApplication::processEvents();
    EXPECT_TRUE(answered.empty());
    m_device.release();
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
    RecordingDevice device;
    MessageRecorder messages;
    std::thread releaser;
    {
        MonitorApp app(&device, &messages);
        ASSERT_TRUE(app.InitInstance({}));
        app.newDocument();
        app.state().capture.deviceReady = 1;
        device.hold("run");
        app.mainFrame().routeCommand(ID_FUNCTIONS_CAPTURE);
        ASSERT_TRUE(device.waitUntilHolding(5s));
        releaser = std::thread([&] {
            std::this_thread::sleep_for(100ms);
            device.release();
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
