// Korvane: the CAN-bus monitor and analyser.

#include "app/BatchMode.h"
#include "resources/Icons.h"
#include "app/MonitorApp.h"
#include "platform/SingleInstance.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv) {
    if (const int status = runBatch(argc, argv); status >= 0) {
        return status;
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setWindowIcon(applicationIcon());
    // Lets a desktop match the windows to the installed korvane.desktop entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("korvane"));

    platform::SingleInstance instance(QStringLiteral("Korvane"));
    MonitorApp* app = nullptr;
    if (!instance.acquire([&app] {
            if (app == nullptr) return;
            MainFrame& frame = app->mainFrame();
            frame.showNormal();
            frame.raise();
            frame.activateWindow();
        })) {
        if (!instance.refusal().isEmpty()) {
            std::fprintf(stderr, "Korvane: %s\n", qPrintable(instance.refusal()));
            return 1;
        }
        return 0;  // the running instance shows itself
    }
    MonitorApp monitor;
    app = &monitor;
    if (!monitor.InitInstance(QApplication::arguments())) {
        return 1;
    }
    monitor.mainFrame().show();
    return QApplication::exec();
}
