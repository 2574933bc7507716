// The overview window with 2,000 identifiers, offscreen: one refresh tick (every identifier has a
// new frame, the rows are sorted again and the cells said changed) and the repaint of what the
// table shows, timed over many ticks; then the cost of a live tick at full bus load (about 4,000
// frames per 200 ms) as a share of one core: once with the table and the chart repainted whole
// by force, once painting what the tick made dirty, as the window's event loop does.
//
//   overview_repaint_bench [ticks]

#include "document/LogTime.h"
#include "views/BusLoadChart.h"
#include "views/OverviewView.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::uint32_t kIdentifiers = 2000;

using Clock = std::chrono::steady_clock;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void appendRound(FrameStore& store, std::uint64_t round) {
    for (std::uint32_t id = 0; id < kIdentifiers; ++id) {
        CapturedFrame f;
        setCaptureTime(f, round * 100'000 + id * 40);
        f.identifier = id < 1500 ? id : 0x18FF0000 + id;
        f.format = id < 1500 ? 0 : 1;
        f.length = 8;
        for (int b = 0; b < 8; ++b) {
            f.data[b] = static_cast<std::uint8_t>(b == 0 ? round : (id + b) & 0xFF);
        }
        store.append(f);
    }
}

struct Stats {
    double median;
    double p95;
    double max;
};

Stats stats(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return {v[v.size() / 2], v[v.size() * 95 / 100], v.back()};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int ticks = argc > 1 ? std::max(std::atoi(argv[1]), 10) : 200;

    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    OverviewView view({store, filter, flags}, [] {
        OverviewView::Settings s;
        s.baudKbps = 500;
        return s;
    });
    view.resize(1200, 900);
    view.show();
    QApplication::processEvents();
    std::uint64_t round = 0;
    for (; round < 5; ++round) appendRound(store, round);
    view.onTimer();
    QApplication::processEvents();
    std::printf(
        "%d identifiers, %d rows on screen\n", view.model().rowCount(),
        view.table()->viewport()->height() / view.table()->verticalHeader()->defaultSectionSize());

    for (const bool byCount : {false, true}) {
        if (byCount) view.table()->sortByColumn(2, Qt::DescendingOrder);
        std::vector<double> refresh, repaint, chart, total;
        for (int i = 0; i < ticks; ++i, ++round) {
            appendRound(store, round);
            const auto t0 = Clock::now();
            view.onTimer();
            const auto t1 = Clock::now();
            view.table()->viewport()->repaint();
            const auto t2 = Clock::now();
            view.busLoadChart()->repaint();
            const auto t3 = Clock::now();
            refresh.push_back(ms(t1 - t0));
            repaint.push_back(ms(t2 - t1));
            chart.push_back(ms(t3 - t2));
            total.push_back(ms(t3 - t0));
        }
        const Stats r = stats(refresh), p = stats(repaint), c = stats(chart), t = stats(total);
        std::printf("sorted by %s, %d ticks of 2,000 changed rows:\n",
                    byCount ? "count" : "identifier", ticks);
        std::printf("  refresh (take frames, sort, mark changed)  median %.2f ms  p95 %.2f ms\n",
                    r.median, r.p95);
        std::printf("  repaint of the table                       median %.2f ms  p95 %.2f ms\n",
                    p.median, p.p95);
        std::printf("  repaint of the bus-load chart              median %.2f ms  p95 %.2f ms\n",
                    c.median, c.p95);
        std::printf(
            "  together                                   median %.2f ms  p95 %.2f ms  "
            "max %.2f ms\n",
            t.median, t.p95, t.max);
    }

    // A live tick at full load: about 4,000 frames of the same identifiers per 200 ms.
    std::vector<double> live;
    for (int i = 0; i < ticks; ++i, ++round) {
        appendRound(store, round);
        appendRound(store, ++round);
        const auto t0 = Clock::now();
        view.onTimer();
        view.table()->viewport()->repaint();
        view.busLoadChart()->repaint();
        live.push_back(ms(Clock::now() - t0));
    }
    const Stats l = stats(live);
    std::printf(
        "live tick of 4,000 frames with repaint: median %.2f ms, i.e. %.2f %% of one core "
        "at five ticks a second\n",
        l.median, l.median * 5 / 10);

    // The same, painting only what the tick made dirty.
    std::vector<double> painted;
    for (int i = 0; i < ticks; ++i, ++round) {
        appendRound(store, round);
        appendRound(store, ++round);
        const auto t0 = Clock::now();
        view.onTimer();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        painted.push_back(ms(Clock::now() - t0));
    }
    const Stats d = stats(painted);
    double sum = 0;
    for (const double v : painted) sum += v;
    const double mean = sum / static_cast<double>(painted.size());
    std::printf(
        "live tick of 4,000 frames painting what changed: median %.2f ms (%.2f %% of one core), "
        "mean %.2f ms (%.2f %%), p95 %.2f ms\n",
        d.median, d.median * 5 / 10, mean, mean * 5 / 10, d.p95);
    return 0;
}
