// The GUI thread's longest stall while the program captures a fully loaded bus: a 10 ms timer on
// the GUI thread records the gaps between its ticks.
//
//   gui_stall_bench [seconds]     (runs offscreen; starts its own adp4021d with the load source)

#include "app/MonitorApp.h"
#include "device/DeviceSetup.h"
#include "resources/CommandIds.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"
#include "views/CViewDataList.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TempRuntimeDir dir;
    HostProcess host(ADP4021D_PATH, dir.path(),
                     {"--quiet", "--source", "load", "--load-length", "0"});
    if (!host.ready()) {
        std::fprintf(stderr, "gui_stall_bench: the driver host did not come up\n");
        return 1;
    }
    QApplication application(argc, argv);
    MonitorApp app;
    app.InitInstance({});
    MainFrame& frame = app.mainFrame();
    frame.resize(1100, 700);
    frame.show();
    frame.routeCommand(ID_FILE_NEW);
    MessageRecorder messages;
    DeviceSetup setup(frame.deviceCommands(), app.state().device, app.state().capture, messages,
                      dir.path() + "/Configure.ini");
    setup.open();
    setup.baudRateIndex = 8;  // 1000 kbit/s
    std::optional<bool> setUp;
    setup.ok([&](bool answer) { setUp = answer; });
    while (!setUp) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!*setUp) {
        std::fprintf(stderr, "gui_stall_bench: the adapter refused the set-up\n");
        return 1;
    }
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    while (frame.deviceCommands().waiting() > 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    std::vector<qint64> gaps;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last != 0) gaps.push_back(now - last);
        last = now;
    });
    probe.start(10);
    // A loop of its own rather than QApplication::quit, which would close the main window and
    // have it ask (with nobody to answer) whether to save the capture.
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    frame.routeCommand(ID_FUNCTIONS_STOP);

    std::sort(gaps.begin(), gaps.end());
    const auto ms = [](qint64 ns) { return static_cast<double>(ns) / 1e6; };
    std::printf(
        "%d s full-load capture: %u frames stored, %d rows shown; timer gaps (10 ms timer): "
        "median %.1f ms, 99th percentile %.1f ms, longest %.1f ms\n",
        seconds, app.state().store.count(), frame.dataList()->model().rowCount(),
        ms(gaps[gaps.size() / 2]), ms(gaps[gaps.size() * 99 / 100]), ms(gaps.back()));
    return 0;
}
