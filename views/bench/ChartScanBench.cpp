// Prints what reading a large store costs the chart windows: one scan over the whole store against
// the same scan in steps (longest step, total, ratio), for y(t) and y(x) curves, then chart views
// catching up in the event loop (the longest the window's thread is held by one round of events)
// for one window and for 32 windows at once.
//
//   chart_scan_bench [frames]     (default 10,000,000 frames)
//
// The y(t) curves read different bytes of the identifier in every other frame; the y(x) curves
// pair two identifiers each.

#include "capture/AdapterClock.h"
#include "curves/CurveScan.h"
#include "views/CViewChart.h"
#include "views/CViewChart2.h"
#include "views/ChartScanTicker.h"

#include <QApplication>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Every other frame is 0x181, the others 0x182-0x188 in turn; 20 frames per ms (the clock wraps
// after 84 M frames).
CapturedFrame frameAt(std::uint64_t n) {
    CapturedFrame f;
    f.identifier = n % 2 == 0 ? 0x181 : 0x182 + static_cast<std::uint32_t>(n / 2 % 7);
    f.length = 8;
    const std::uint64_t ms = n / 20;
    const auto inRound = static_cast<std::uint32_t>(ms % kAdapterClockRoundMs);
    f.wraps = static_cast<std::uint32_t>(ms / kAdapterClockRoundMs);
    f.minutes = inRound / 60000;
    f.seconds = inRound / 1000 % 60;
    f.millis = inRound % 1000;
    const auto v =
        static_cast<std::uint16_t>(20000 + 10000 * std::sin(static_cast<double>(n) / 5e4));
    for (int i = 0; i < 8; i += 2) {
        f.data[i] = static_cast<std::uint8_t>(v >> 8);
        f.data[i + 1] = static_cast<std::uint8_t>(v + i);
    }
    return f;
}

CurveWindowRecord ytRecord(std::uint32_t firstId, int curves) {
    CurveWindowRecord r;
    r.flags = window_flags::kYt | window_flags::kChart | window_flags::kAutoMove;
    r.timeResolution = 1000;
    for (int i = 0; i < curves; ++i) {
        CurveDefinition& d = r.yt[static_cast<std::size_t>(i)];
        d.flags = curve_flags::kDefined | curve_flags::kShow | (0x3u << (2 * i));
        d.identifier = firstId;
        d.resolution = 800;
        d.colour = 0x0000FF;
    }
    return r;
}

std::array<XYCurveDefinition, 4> yxCurves() {
    std::array<XYCurveDefinition, 4> curves{};
    for (std::uint32_t i = 0; i < 4; ++i) {
        XYCurveDefinition& d = curves[i];
        d.flags = curve_flags::kDefined | curve_flags::kShow | 0x03 | (0x0C << 12);
        d.xIdentifier = 0x181 + i;
        d.yIdentifier = 0x182 + i;
        d.syncIdentifier = 0x188 - i;
        d.resolution = 1000;
    }
    return curves;
}

struct Stepped {
    double totalMs = 0;
    double longestMs = 0;
    std::size_t steps = 0;
};

// The scan in steps as the views take them: chunks of frames until the slice is spent.
template <typename Scan>
Stepped stepped(Scan& scan, const FrameStore& store) {
    Stepped s;
    const auto start = Clock::now();
    while (!scan.complete(store)) {
        const auto stepStart = Clock::now();
        const auto deadline = stepStart + ChartScanTicker::kSlice;
        do {
            scan.scan(store, ApplicationFlags{}, ChartScanTicker::kChunkFrames);
        } while (!scan.complete(store) && Clock::now() < deadline);
        s.longestMs = std::max(s.longestMs, msSince(stepStart));
        ++s.steps;
    }
    s.totalMs = msSince(start);
    return s;
}

void compare(const char* what, double oneShotMs, const Stepped& s) {
    std::printf(
        "%-34s one scan %8.0f ms | in %6zu steps %8.0f ms, longest step %6.2f ms | "
        "ratio %.3f\n",
        what, oneShotMs, s.steps, s.totalMs, s.longestMs, s.totalMs / oneShotMs);
}

// Rounds of events until every view has read the store; the longest round is how long the
// window's thread was held at most (the scans plus the redraws they asked for).
struct CatchUp {
    double totalMs = 0;
    double longestRoundMs = 0;
    std::size_t rounds = 0;
};

template <typename Views>
CatchUp catchUp(const Views& views, const std::function<void()>& start) {
    CatchUp c;
    const auto begin = Clock::now();
    start();
    c.longestRoundMs = msSince(begin);
    const auto done = [&] {
        return std::all_of(views.begin(), views.end(),
                           [](const auto& v) { return v->scanComplete(); });
    };
    while (!done()) {
        const auto round = Clock::now();
        QApplication::processEvents();
        c.longestRoundMs = std::max(c.longestRoundMs, msSince(round));
        ++c.rounds;
    }
    c.totalMs = msSince(begin);
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::uint64_t frames = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;

    FrameStore store;
    const ApplicationFlags flags;
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
        std::printf("store: %u frames of 8 identifiers built in %.0f ms\n", store.count(),
                    msSince(start));
    }
    std::printf("steps: chunks of %u frames until a %lld ms slice is spent\n\n",
                ChartScanTicker::kChunkFrames,
                static_cast<long long>(ChartScanTicker::kSlice.count()));

    // 1. The scans alone.
    const std::array<CurveDefinition, 4> yt = ytRecord(0x181, 4).yt;
    for (int round = 0; round < 2; ++round) {
        YtScan whole;
        whole.setDefinitions(yt);
        auto start = Clock::now();
        whole.scan(store, ApplicationFlags{});
        const double wholeMs = msSince(start);
        YtScan steps;
        steps.setDefinitions(yt);
        compare("y(t), 4 curves on half the frames", wholeMs, stepped(steps, store));

        YxScan wholeYx;
        wholeYx.setDefinitions(yxCurves());
        start = Clock::now();
        wholeYx.scan(store, ApplicationFlags{});
        const double wholeYxMs = msSince(start);
        YxScan stepsYx;
        stepsYx.setDefinitions(yxCurves());
        compare("y(x), 4 curves", wholeYxMs, stepped(stepsYx, store));
    }

    // 2. A y(t) window whose curves were just defined, catching up in the event loop.
    {
        YtScan whole;
        whole.setDefinitions(yt);
        const auto start = Clock::now();
        whole.scan(store, ApplicationFlags{});
        const double wholeMs = msSince(start);
        std::vector<std::unique_ptr<CViewChart>> views;
        views.push_back(std::make_unique<CViewChart>(store, flags, nullptr));
        views[0]->resize(1024, 600);
        views[0]->show();
        const CatchUp c = catchUp(views, [&] { views[0]->setRecord(ytRecord(0x181, 4)); });
        std::printf(
            "\none y(t) window, 4 curves on half the frames: one scan %.0f ms | caught up in %.0f "
            "ms over %zu "
            "rounds of events, longest round %.2f ms | ratio %.3f\n",
            wholeMs, c.totalMs, c.rounds, c.longestRoundMs, c.totalMs / wholeMs);
    }

    // 3. 32 windows opened together (a document's), one curve each, all catching up at once.
    {
        double wholeMs = 0;
        for (std::uint32_t w = 0; w < 32; ++w) {
            YtScan whole;
            whole.setDefinitions(ytRecord(0x181 + w % 8, 1).yt);
            const auto start = Clock::now();
            whole.scan(store, ApplicationFlags{});
            wholeMs += msSince(start);
        }
        std::vector<std::unique_ptr<CViewChart>> views;
        for (std::uint32_t w = 0; w < 32; ++w) {
            views.push_back(std::make_unique<CViewChart>(store, flags, nullptr));
            views.back()->resize(640, 400);
        }
        const CatchUp c = catchUp(views, [&] {
            for (std::uint32_t w = 0; w < 32; ++w) {
                views[w]->setRecord(ytRecord(0x181 + w % 8, 1));
                views[w]->tick();
            }
        });
        std::printf(
            "32 y(t) windows, 1 curve each: 32 scans %.0f ms | caught up in %.0f ms over "
            "%zu rounds, longest round %.2f ms | ratio %.3f\n",
            wholeMs, c.totalMs, c.rounds, c.longestRoundMs, c.totalMs / wholeMs);
    }
    return 0;
}
