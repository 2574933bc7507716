// Prints the figures of the chart windows at scale: the per-tick scan and redraw of four y(t)
// curves while frames arrive at 20,000 a second, a redraw zoomed out over 10 million samples per
// curve, and the memory each sample costs.
//
//   curve_bench [frames]     (default 10,000,000 frames, each carrying the four curves' values)

#include "capture/AdapterClock.h"
#include "curves/CurveScan.h"
#include "curves/YtChart.h"
#include "views/ChartPainter.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// One TPDO carrying four signals: a ramp, a sine, noise and a square wave; 20 frames per ms.
CapturedFrame frameAt(std::uint64_t n) {
    const std::uint64_t us = n * 50;
    CapturedFrame f;
    f.identifier = 0x185;
    f.length = 8;
    const std::uint32_t ms = static_cast<std::uint32_t>(us / 1000);
    const auto inRound = static_cast<std::uint32_t>(ms % kAdapterClockRoundMs);
    f.wraps = static_cast<std::uint32_t>(ms / kAdapterClockRoundMs);
    f.minutes = inRound / 60000;
    f.seconds = inRound / 1000 % 60;
    f.millis = inRound % 1000;
    const auto put = [&f](int at, std::uint16_t v) {
        f.data[at] = static_cast<std::uint8_t>(v);
        f.data[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    put(0, static_cast<std::uint16_t>(n % 10000));
    put(2, static_cast<std::uint16_t>(20000 + 10000 * std::sin(static_cast<double>(n) / 5e4)));
    put(4, static_cast<std::uint16_t>((n * 2654435761u >> 16) % 3000));
    put(6, static_cast<std::uint16_t>((n / 100000) % 2 == 0 ? 1000 : 9000));
    return f;
}

YtChart fourCurveChart() {
    YtChart chart;
    chart.record.flags = 0x2 | 0x8 | 0x20 | 0x80;
    chart.record.timeResolution = 40;
    const std::uint32_t colours[4] = {0x0000FF, 0x00AA00, 0xFF0000, 0x808000};
    for (std::size_t i = 0; i < 4; ++i) {
        CurveDefinition& d = chart.record.yt[i];
        d.flags =
            curve_flags::kDefined | curve_flags::kShow | curve_flags::kYReverse | (0x3u << (2 * i));
        d.identifier = 0x185;
        d.resolution = 800;
        d.colour = colours[i];
    }
    chart.layout(1366, 700);
    return chart;
}

double paintOnce(QImage& image, const YtChart& chart, const YtScan& scan, const FrameStore& store,
                 bool decimated) {
    const auto start = Clock::now();
    image.fill(Qt::white);
    QPainter p(&image);
    ChartPaintOptions options;
    options.decimated = decimated;
    paintYtChart(p, chart, scan, store, options);
    p.end();
    return msSince(start);
}

void report(const char* what, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    std::printf("%-58s mean %8.2f ms  median %8.2f ms  max %8.2f ms  (%zu runs)\n", what,
                sum / static_cast<double>(ms.size()), ms[ms.size() / 2], ms.back(), ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const std::uint64_t frames = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
    QImage image(1366, 700, QImage::Format_RGB32);

    // 1. Live: 20,000 frames a second arrive from another thread while the view ticks every 800 ms.
    {
        FrameStore store;
        const ApplicationFlags flags;
        YtChart chart = fourCurveChart();
        YtScan scan;
        scan.setDefinitions(chart.record.yt);
        std::atomic<bool> stop{false};
        std::atomic<std::uint64_t> produced{0};
        std::thread writer([&] {
            CapturedFrame batch[20];
            auto next = Clock::now();
            while (!stop.load()) {
                const std::uint64_t n = produced.load();
                for (std::uint64_t k = 0; k < 20; ++k) batch[k] = frameAt(n + k);
                store.appendBatch(batch, 20, [](CapturedFrame*, std::size_t) { return true; });
                produced += 20;
                next += std::chrono::milliseconds(1);
                std::this_thread::sleep_until(next);
            }
        });
        std::vector<double> ticks;
        std::vector<double> scans;
        for (int t = 0; t < 12; ++t) {
            std::this_thread::sleep_for(std::chrono::milliseconds(800));
            const auto start = Clock::now();
            if (scan.scan(store, flags)) {
                chart.autoMove(scan.newestTime());
                chart.computeScrollRanges(scan, scan.newestTime());
            }
            scans.push_back(msSince(start));
            paintOnce(image, chart, scan, store, true);
            ticks.push_back(msSince(start));
        }
        stop = true;
        writer.join();
        std::printf(
            "live capture: %llu frames in %.1f s (%.0f frames/s), 4 curves on every frame\n",
            static_cast<unsigned long long>(produced.load()), 12 * 0.8,
            static_cast<double>(produced.load()) / (12 * 0.8));
        report("tick: scan of the new frames (4 curves)", scans);
        report("tick: scan + Auto Move + scroll ranges + redraw", ticks);
    }

    // 2. A capture of `frames` frames, every one carrying the four curves' values.
    FrameStore store;
    {
        const auto start = Clock::now();
        std::vector<CapturedFrame> batch(4096);
        for (std::uint64_t n = 0; n < frames; n += batch.size()) {
            const std::size_t count =
                static_cast<std::size_t>(std::min<std::uint64_t>(batch.size(), frames - n));
            for (std::size_t k = 0; k < count; ++k) batch[k] = frameAt(n + k);
            store.appendBatch(batch.data(), count,
                              [](CapturedFrame*, std::size_t) { return true; });
        }
        std::printf("\nstore: %u frames built in %.0f ms (%.0f MB of records)\n", store.count(),
                    msSince(start), static_cast<double>(store.memoryInUse()) / 1e6);
    }
    YtChart chart = fourCurveChart();
    YtScan scan;
    scan.setDefinitions(chart.record.yt);
    {
        const auto start = Clock::now();
        scan.scan(store, ApplicationFlags{});
        std::printf("full scan of the store (reset, then every frame once): %.0f ms\n",
                    msSince(start));
    }
    std::size_t samples = 0;
    for (int i = 0; i < 4; ++i) samples += scan.slot(i).samples.size();
    std::printf(
        "samples: %zu per curve, %zu in all; %.3f bytes per sample (samples, chunks and "
        "block summaries)\n",
        scan.slot(0).samples.size(), samples,
        static_cast<double>(scan.memoryInUse()) / static_cast<double>(samples));

    // 3. Zoomed out over every sample, and over a tenth of them in the middle.
    const auto span = static_cast<std::uint32_t>(scan.newestTime() + 1);
    chart.record.timeOrigin = 0;
    chart.record.timeResolution = span / 50 + 1;
    std::vector<double> redraws;
    redraws.reserve(20);
    for (int i = 0; i < 20; ++i) redraws.push_back(paintOnce(image, chart, scan, store, true));
    report("redraw, all samples in view (per-column first/min/max/last)", redraws);
    std::vector<double> full;
    full.reserve(2);
    for (int i = 0; i < 2; ++i) full.push_back(paintOnce(image, chart, scan, store, false));
    report("redraw, all samples in view, every point drawn", full);
    chart.record.timeOrigin = span / 2;
    chart.record.timeResolution = span / 500 + 1;
    redraws.clear();
    for (int i = 0; i < 20; ++i) redraws.push_back(paintOnce(image, chart, scan, store, true));
    report("redraw, a tenth of the samples in view", redraws);
    chart.record.timeOrigin = span - 2000;
    chart.record.timeResolution = 40;
    redraws.clear();
    for (int i = 0; i < 20; ++i) redraws.push_back(paintOnce(image, chart, scan, store, true));
    report("redraw, the last 2 s in view (the live window)", redraws);
    redraws.clear();
    std::size_t points = 0;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        points = 0;
        for (int slot = 0; slot < 4; ++slot) {
            points += chart.polyline(scan.slot(slot), slot, store, true).size();
        }
        redraws.push_back(msSince(start));
    }
    std::printf("the last 2 s in view: %zu points for 4 curves\n", points);
    report("  of which building the four lines", redraws);
    YtChart bare = chart;
    for (CurveDefinition& d : bare.record.yt) d.flags &= ~curve_flags::kShow;
    redraws.clear();
    for (int i = 0; i < 20; ++i) redraws.push_back(paintOnce(image, bare, scan, store, true));
    report("redraw of grid and labels alone (no curve shown)", redraws);
    return 0;
}
