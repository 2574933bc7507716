// The program on the real library and driver host, with the host stopped (SIGSTOP) while Capture
// waits for its answer: the window goes on and shows that it waits; once the host goes on, the
// answer arrives and capture runs.

#include "app/MonitorApp.h"
#include "device/DeviceSetup.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tests/support/DeviceAnswers.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <signal.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Every thread of `pid` has stopped (the signal takes effect on each thread in its own time).
bool stopped(pid_t pid) {
    const auto tasks = std::filesystem::path("/proc") / std::to_string(pid) / "task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream stat(task.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const auto end = line.rfind(')');
        if (end == std::string::npos || end + 2 >= line.size() || line[end + 2] != 'T') return false;
    }
    return !ec;
}

}  // namespace

TEST(DeviceHostGui, AStoppedHostHoldsOnlyCaptureAndTheWindowGoesOn) {
    TempRuntimeDir dir;
    HostProcess host(ADP4021D_PATH, dir.path(), {"--quiet", "--source", "demo"});
    ASSERT_TRUE(host.ready());
    MessageRecorder messages;
    MonitorApp app(nullptr, &messages);
    ASSERT_TRUE(app.InitInstance({}));
    MainFrame& frame = app.mainFrame();
    frame.show();
    app.newDocument();
    DeviceSetup setup(frame.deviceCommands(), app.state().device, app.state().capture, messages,
                      dir.path() + "/Configure.ini");
    setup.open();
    std::optional<bool> setUp;
    setup.ok([&](bool answer) { setUp = answer; });
    ASSERT_TRUE(processUntil([&] { return setUp.has_value(); }));
    ASSERT_TRUE(*setUp);

    ASSERT_EQ(::kill(host.pid(), SIGSTOP), 0);
    ASSERT_TRUE(processUntil([&] { return stopped(host.pid()); }, 5s));
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    int ticks = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        ++ticks;
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    probe.start(10);
    const bool ticked = processUntil([&] { return ticks >= 20; }, 4s);
    const int waiting = frame.deviceCommands().waiting();
    const QString status = frame.statusBar()->currentMessage();
    frame.updateCommandUI();
    const bool captureEnabled = frame.action(ID_FUNCTIONS_CAPTURE)->isEnabled();
    ASSERT_EQ(::kill(host.pid(), SIGCONT), 0);
    std::printf("the window's longest 10 ms timer gap while the host was stopped: %lld ms\n",
                static_cast<long long>(longest));
    EXPECT_TRUE(ticked);
    EXPECT_EQ(waiting, 1);
    EXPECT_EQ(status.toStdString(), strings::loadString(strings::kWaitingForAdapter));
    EXPECT_FALSE(captureEnabled);

    ASSERT_TRUE(awaitAnswers(frame.deviceCommands()));
    EXPECT_EQ(app.state().capture.capturing.load(), 1u);
    EXPECT_TRUE(messages.shown().empty());
    EXPECT_TRUE(processUntil([&] { return app.state().store.count() > 0; }, 5s));
    frame.routeCommand(ID_FUNCTIONS_STOP);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // English texts and settings of its own, whatever the machine's.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    const auto config = std::filesystem::temp_directory_path() /
                        ("korvane-device-host-" + std::to_string(::getpid()));
    qputenv("KORVANE_CONFIG_DIR", QByteArray::fromStdString(config.string()));
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return status;
}
