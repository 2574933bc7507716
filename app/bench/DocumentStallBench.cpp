// The window thread's longest stall, and the wall and CPU time, of the document's long runs on a
// large capture, beside the same work done without a window (the batch form):
//
//   document_stall_bench [frames] [--window-thread]
//   document_stall_bench [frames] --shot FILE    (on the display: a picture of the screen
//                                                  while the document opens, then it ends)
//
// makes a document of `frames` frames (default 100 000 000) and a candump log of as many lines in
// the temporary folder, deletes both at the end, and runs offscreen: Open, a filter condition,
// a y(t) curve over the whole store, scrolling the list to its middle and end, Save, Export
// (text) and Import. --window-thread runs the long runs on the window's thread, as before they
// had a worker. A 10 ms timer's gaps give the stall. The kernel's share of the CPU time is shown
// apart, and a batch save straight after the window's one shows what the disk and the page cache
// cost at that moment. Memory counts from just before the open.

#include "app/ChartWindows.h"
#include "app/MonitorApp.h"
#include "resources/CommandIds.h"
#include "curves/CurveFlags.h"
#include "curves/CurveScan.h"
#include "views/CViewChart.h"
#include "views/CViewDataList.h"
#include "views/TextExport.h"
#include "widgets/ProgressWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>

#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kCurveId = 0x185;

CapturedFrame frameNumber(std::uint32_t i) {
    CapturedFrame f;
    f.identifier = i % 8 == 0 ? kCurveId : 0x100 + i % 0x600;
    f.length = 8;
    for (int k = 0; k < 8; ++k) f.data[k] = static_cast<std::uint8_t>(i >> (k % 4 * 8));
    f.micros = i % 1000;
    f.millis = i / 1000 % 1000;
    f.seconds = i / 1'000'000 % 60;
    f.minutes = i / 60'000'000;
    return f;
}

double systemSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_stime.tv_sec) + static_cast<double>(r.ru_stime.tv_usec) / 1e6;
}

double cpuSeconds() {
    rusage r{};
    ::getrusage(RUSAGE_SELF, &r);
    return static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
           static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
}

// A line of /proc/self/status ("VmHWM:", "VmRSS:"), in bytes.
double statusBytes(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return 0;
    char line[256];
    double kb = 0;
    const std::size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, key, n) == 0) kb = std::atof(line + n);
    }
    std::fclose(f);
    return kb * 1024.0;
}

double peakRssBytes() {
    return statusBytes("VmHWM:");
}

double residentBytes() {
    return statusBytes("VmRSS:");
}

// Starts the peak resident size over from the present one.
void resetPeakRss() {
    if (std::FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

struct Figures {
    double wall = 0, cpu = 0, stall = 0;
    double system = 0;  // of cpu, in the kernel
};

// Runs `start`, then the event loop until `finished`, with a 10 ms timer watching the gaps.
Figures measured(const std::function<void()>& start, const std::function<bool()>& finished) {
    QElapsedTimer clock;
    qint64 last = -1, longest = 0;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0) longest = std::max(longest, now - last);
        last = now;
    });
    const double cpu = cpuSeconds();
    const double system = systemSeconds();
    clock.start();
    probe.start(10);
    // The first gap counts from the start, so work done inside start() shows too.
    last = 0;
    start();
    runEventsUntil(finished);
    probe.stop();
    const qint64 wall = clock.nsecsElapsed();
    longest = std::max(longest, wall - last);
    return {static_cast<double>(wall) / 1e9, cpuSeconds() - cpu, static_cast<double>(longest) / 1e6,
            systemSeconds() - system};
}

Figures batch(const std::function<void()>& run) {
    QElapsedTimer clock;
    const double cpu = cpuSeconds();
    const double system = systemSeconds();
    clock.start();
    run();
    return {static_cast<double>(clock.nsecsElapsed()) / 1e9, cpuSeconds() - cpu, 0,
            systemSeconds() - system};
}

void row(const char* what, const Figures& gui, const Figures& alone) {
    std::printf("%-28s %10.1f %9.2f %9.2f %10.2f %9.2f %8.2f %7.2f %7.2f\n", what, gui.stall,
                gui.wall, gui.cpu, alone.wall, alone.cpu, alone.wall > 0 ? gui.wall / alone.wall : 0.0,
                gui.system, alone.system);
    std::fflush(stdout);
}

FilterCondition onlyCurveId() {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_ID;
    c.identifier = kCurveId;
    return c;
}

CurveWindowRecord ytWindow() {
    CurveWindowRecord r;
    r.flags = CurveWindowRecord::kYt;
    r.name.set("bench");
    CurveDefinition& d = r.yt[0];
    d.flags = curve_flags::kDefined | curve_flags::kShow | 0x3u;  // D0 and D1
    d.name.set("c0");
    d.identifier = kCurveId;
    d.resolution = 800;
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint32_t frames = 100'000'000;
    bool windowThread = false;
    QString shot;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--window-thread") == 0) {
            windowThread = true;
        } else if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) {
            shot = QString::fromLocal8Bit(argv[++i]);
        } else {
            frames = static_cast<std::uint32_t>(std::max(1000.0, std::atof(argv[i])));
        }
    }
    if (shot.isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    const fs::path folder =
        fs::temp_directory_path() / ("korvane-stall-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    qputenv("KORVANE_CONFIG_DIR", QByteArray::fromStdString((folder / "config").string()));
    const std::string document = (folder / "big.krv").string();
    const std::string saved = (folder / "saved.krv").string();
    const std::string text = (folder / "rows.txt").string();
    const std::string log = (folder / "big.log").string();

    // The files, made without the program's windows.
    {
        FrameStore store;
        CapturedFrame block[4096];
        for (std::uint32_t i = 0; i < frames; i += 4096) {
            const std::size_t n = std::min<std::uint32_t>(4096, frames - i);
            for (std::size_t k = 0; k < n; ++k) block[k] = frameNumber(static_cast<std::uint32_t>(i + k));
            store.appendBatch(block, n, [](CapturedFrame*, std::size_t) { return true; });
        }
        if (!saveDocument(document, DocumentContents{}, store, frames, nullptr).ok) {
            std::fprintf(stderr, "document_stall_bench: cannot write %s\n", document.c_str());
            return 1;
        }
        const std::uint32_t lines = shot.isEmpty() ? frames : 0;  // a picture needs no log
        std::FILE* out = std::fopen(log.c_str(), "w");
        static char buffer[1 << 20];
        std::setvbuf(out, buffer, _IOFBF, sizeof buffer);
        for (std::uint32_t i = 0; i < lines; ++i) {
            std::fprintf(out, "(%u.%06u) can0 %03X#%02X%02X%02X%02X\n", 1'700'000'000 + i / 1'000'000,
                         i % 1'000'000, 0x100 + i % 0x600, i & 0xFF, (i >> 8) & 0xFF,
                         (i >> 16) & 0xFF, i >> 24);
        }
        if (std::fclose(out) != 0) return 1;
    }
    if (!shot.isEmpty()) {
        QApplication application(argc, argv);
        MonitorApp app;
        app.InitInstance({});
        app.mainFrame().resize(1000, 680);
        app.mainFrame().show();
        runEventsUntil([&app] { return app.mainFrame().isVisible(); });
        app.startOpen(QString::fromStdString(document));
        bool taken = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            ProgressWindow& window = app.mainFrame().workProgress().window();
            if (!taken && window.isVisible() && window.percent() >= 20) {
                taken = true;
                // The X server holds what was painted; the picture needs nothing of this thread.
                QProcess::execute(QStringLiteral("import"), {"-window", "root", shot});
            }
        });
        watch.start(50);
        runEventsUntil([&app] { return !app.state().work.busy(); });
        app.document()->SetModifiedFlag(false);
        fs::remove_all(folder);
        return taken ? 0 : 1;
    }
    std::printf("%u frames; the long runs on the %s\n", frames,
                windowThread ? "window's thread" : "worker");
    std::printf("%-28s %10s %9s %9s %10s %9s %8s %7s %7s\n", "", "stall ms", "wall s", "cpu s",
                "batch wall", "batch cpu", "ratio", "sys s", "b. sys");

    QApplication application(argc, argv);
    Figures figures[8];
    double peakAfterCurve = 0;
    double baseline = 0;
    Figures sameMoment;
    double resident[3] = {};  // after the open, the filter and the curve
    {
        MonitorApp app;
        app.InitInstance({});
        MainFrame& frame = app.mainFrame();
        frame.resize(1100, 700);
        frame.show();
        ProgramState& state = app.state();
        if (windowThread) state.work.setPoster({});
        const auto idle = [&state] { return !state.work.busy(); };
        const auto filtered = [&state] {
            return !state.work.busy() && state.filter.processedCount >= state.store.count();
        };

        // The files were made in this process: what they held goes back, and the peak counts
        // from here.
        ::malloc_trim(0);
        resetPeakRss();
        baseline = residentBytes();
        figures[0] = measured([&] { app.startOpen(QString::fromStdString(document)); }, filtered);
        resident[0] = residentBytes();
        figures[1] = measured(
            [&] { frame.dataList()->applyFilter({onlyCurveId()}, FilterMode::kShow); }, filtered);
        resident[1] = residentBytes();
        CViewChart* chart = nullptr;
        figures[2] = measured(
            [&] {
                app.document()->contents.windows.push_back(ytWindow());
                frame.chartWindows()->documentChanged();
                for (QMdiSubWindow* w : frame.mdiArea()->subWindowList()) {
                    if (auto* c = dynamic_cast<CViewChart*>(w->widget())) chart = c;
                }
            },
            [&] { return chart == nullptr || frame.chartWindows()->scansComplete(); });
        peakAfterCurve = peakRssBytes();
        resident[2] = residentBytes();
        if (chart == nullptr || !frame.chartWindows()->scansComplete() ||
            chart->scan().scanPosition() < state.store.count()) {
            std::fprintf(stderr, "document_stall_bench: the y(t) window did not scan the store\n");
        }
        QScrollBar* bar = frame.dataList()->list().verticalScrollBar();
        figures[3] = measured(
            [&] {
                bar->setValue(bar->maximum() / 2);
                frame.dataList()->list().viewport()->repaint();
            },
            [] { return true; });
        figures[4] = measured(
            [&] {
                bar->setValue(bar->maximum());
                frame.dataList()->list().viewport()->repaint();
            },
            [] { return true; });
        // The rows of every frame again for the save and the exports.
        frame.dataList()->applyFilter({}, FilterMode::kShow);
        runEventsUntil(filtered);
        figures[5] = measured(
            [&] { app.document()->SetPathName(saved); frame.routeCommand(ID_FILE_SAVE); }, idle);
        // The same save straight after, on this thread as a batch run would, with the disk and
        // the page cache as the window's save left them.
        sameMoment = batch([&] {
            (void)saveDocument(saved + ".again", DocumentContents{}, state.store,
                               state.store.count(), nullptr);
        });
        fs::remove(saved + ".again");
        figures[6] = measured(
            [&] { frame.dataList()->startExport(QString::fromStdString(text), [](bool) {}); },
            idle);
        figures[7] = measured(
            [&] {
                state.capture.pendingChanges = 0;
                app.document()->SetModifiedFlag(false);
                app.importLogFile(QString::fromStdString(log));
            },
            filtered);
        app.document()->SetModifiedFlag(false);
        state.capture.pendingChanges = 0;
    }

    // The same work without a window.
    Figures alone[8];
    {
        FrameStore store;
        DocumentContents contents;
        alone[0] = batch([&] { (void)loadDocument(document, contents, store, nullptr); });
        ApplicationFlags flags;
        FilterState filter;
        alone[1] = batch([&] { FilterRebuild(filter, store, flags, {onlyCurveId()}, FilterMode::kShow); });
        YtScan scan;
        alone[2] = batch([&] {
            scan.setDefinitions(ytWindow().yt);
            scan.scan(store, flags);
        });
        FilterRebuild(filter, store, flags, {}, FilterMode::kShow);
        alone[5] = batch([&] { (void)saveDocument(saved, contents, store, store.count(), nullptr); });
        alone[6] = batch([&] {
            (void)exportText(text, ProtocolReading::kCan, filter.displayIndexList, store, 0, nullptr);
        });
        FrameStore imported;
        alone[7] = batch([&] { (void)importLog(log, LogFormat::kCandump, imported, nullptr); });
    }
    const char* names[] = {"Open (until filtered)", "Add a filter condition", "y(t) curve, whole store",
                           "Scroll to the middle", "Scroll to the end", "Save", "Export (text)",
                           "Import (candump log)"};
    for (int i = 0; i < 8; ++i) row(names[i], figures[i], alone[i]);
    row("Save: batch, straight after", Figures{}, sameMoment);
    std::printf("resident before open %.2f GB; peak through open, filter and curve %.2f GB: %.1f "
                "bytes per frame, %.1f above the program before open; overall peak %.2f GB\n",
                baseline / 1e9, peakAfterCurve / 1e9, peakAfterCurve / frames,
                (peakAfterCurve - baseline) / frames, peakRssBytes() / 1e9);
    std::printf("resident above the program before open, bytes per frame: after open %.2f, after "
                "the filter %.2f, after the curve %.2f\n",
                (resident[0] - baseline) / frames, (resident[1] - baseline) / frames,
                (resident[2] - baseline) / frames);
    fs::remove_all(folder);
    return 0;
}
