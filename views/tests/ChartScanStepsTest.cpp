// Chart views read a large store in steps handed round among them, each step short, and end with
// the same curves and scroll ranges as one scan over the whole store.

#include "views/CViewChart.h"
#include "views/CViewChart2.h"
#include "views/ChartScanTicker.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <cmath>
#include <functional>

namespace cf = curve_flags;

namespace {

constexpr std::uint32_t kChunk = 4096;

CapturedFrame frameAt(std::uint32_t n) {
    CapturedFrame f;
    f.identifier = n % 3 == 0 ? 0x80 : (n % 3 == 1 ? 0x181 : 0x281);
    f.length = 2;
    const auto v = static_cast<std::uint16_t>(30000 + 20000 * std::sin(n / 5000.0) + n % 17);
    f.data[0] = static_cast<std::uint8_t>(v >> 8);
    f.data[1] = static_cast<std::uint8_t>(v);
    const std::uint32_t ms = n * 3;
    f.minutes = ms / 60000;
    f.seconds = ms / 1000 % 60;
    f.millis = ms % 1000;
    return f;
}

void fill(FrameStore& store, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t n = from; n < to; ++n) store.append(frameAt(n));
}

CurveWindowRecord ytRecord() {
    CurveWindowRecord r;
    r.flags = window_flags::kYt | window_flags::kChart | window_flags::kAutoMove;
    r.timeResolution = 100;
    r.yt[0].flags = cf::kDefined | cf::kShow | 0x03;
    r.yt[0].identifier = 0x181;
    r.yt[0].resolution = 1000;
    r.yt[1] = r.yt[0];
    r.yt[1].identifier = 0x281;
    return r;
}

CurveWindowRecord yxRecord() {
    CurveWindowRecord r;
    r.flags = window_flags::kYx | window_flags::kChart;
    XYCurveDefinition& d = r.yx[0];
    d.flags = cf::kDefined | cf::kShow | 0x03 | (0x03 << 12);
    d.xIdentifier = 0x181;
    d.yIdentifier = 0x281;
    d.syncIdentifier = 0x80;
    d.resolution = 1000;
    return r;
}

// What a view must end with: its chart after one scan over the whole store.
struct Expected {
    YtScan scan;
    YtChart chart;
};

Expected oneScan(const FrameStore& store) {
    Expected e;
    e.chart.record = ytRecord();
    e.scan.setDefinitions(e.chart.record.yt);
    e.scan.scan(store, ApplicationFlags{});
    e.chart.autoMove(e.scan.newestTime());
    const std::uint32_t n = store.count();
    e.chart.computeScrollRanges(e.scan, FrameTimeMs(store.at(n - 1)));
    return e;
}

void expectSameCurves(const CViewChart& view, const Expected& e) {
    for (int i = 0; i < 4; ++i) {
        const YtSlot& a = view.scan().slot(i);
        const YtSlot& b = e.scan.slot(i);
        ASSERT_EQ(a.samples.size(), b.samples.size()) << i;
        for (std::size_t k = 0; k < a.samples.size(); ++k) {
            ASSERT_EQ(a.samples[k].frame, b.samples[k].frame) << i << " " << k;
        }
        EXPECT_EQ(a.statistics.minimum, b.statistics.minimum);
        EXPECT_EQ(a.statistics.maximumIndex, b.statistics.maximumIndex);
    }
    EXPECT_EQ(view.record().timeOrigin, e.chart.record.timeOrigin);
    const ScrollBarState& h = view.chart().hbar;
    EXPECT_EQ(h.minimum, e.chart.hbar.minimum);
    EXPECT_EQ(h.maximum, e.chart.hbar.maximum);
    EXPECT_EQ(view.chart().vbar.maximum, e.chart.vbar.maximum);
}

class ChartScanSteps : public ::testing::Test {
protected:
    // A zero slice: each pass of the event loop reads one chunk of one view.
    ChartScanSteps() { m_ticker->setSlice({}, kChunk); }
    ~ChartScanSteps() override {
        m_ticker->setSlice(ChartScanTicker::kSlice, ChartScanTicker::kChunkFrames);
    }

    // Lets the passes run until no view waits; returns how many rounds of events it took.
    int runUntilIdle(const std::function<void()>& eachRound = {}) {
        int rounds = 0;
        while (!m_ticker->idle() && rounds < 100000) {
            QApplication::processEvents();
            if (eachRound) eachRound();
            ++rounds;
        }
        EXPECT_TRUE(m_ticker->idle());
        return rounds;
    }

    std::shared_ptr<ChartScanTicker> m_ticker = ChartScanTicker::shared();
    FrameStore m_store;
    ApplicationFlags m_flags;
};

}  // namespace

TEST_F(ChartScanSteps, ViewsShareTheStepsAndEndAsOneScanWould) {
    fill(m_store, 0, 300000);
    CViewChart yt(m_store, m_flags, nullptr);
    CViewChart2 yx(m_store, m_flags, nullptr);
    yt.resize(640, 400);
    yx.resize(640, 400);
    yt.setRecord(ytRecord());
    yx.setRecord(yxRecord());
    // Defining curves reads nothing yet; the tick reads one chunk and draws that much.
    EXPECT_EQ(yt.scan().scanPosition(), 0u);
    yt.tick();
    EXPECT_EQ(yt.scan().scanPosition(), kChunk);
    EXPECT_FALSE(yt.scanComplete());
    EXPECT_TRUE(yt.reading());
    EXPECT_EQ(yt.framesRead(), kChunk);
    EXPECT_GT(yt.scan().slot(0).samples.size(), 0u);
    EXPECT_GT(yt.chart().hbar.maximum, 0);
    // The slice of this round of events is spent: the second view waits for its turn.
    yx.tick();
    EXPECT_EQ(yx.scan().scanPosition(), 0u);

    // Handed round: neither view waits for the other's whole store.
    std::uint32_t yxWhenYtDone = 0;
    runUntilIdle([&] {
        if (yt.scanComplete() && yxWhenYtDone == 0) yxWhenYtDone = yx.scan().scanPosition();
        EXPECT_LE(
            yt.scan().scanPosition() - std::min(yt.scan().scanPosition(), yx.scan().scanPosition()),
            2 * kChunk);
    });
    EXPECT_GE(yxWhenYtDone + 2 * kChunk, m_store.count());
    EXPECT_TRUE(yt.scanComplete());
    EXPECT_TRUE(yx.scanComplete());
    EXPECT_FALSE(yt.reading());
    expectSameCurves(yt, oneScan(m_store));
    YxScan pairs;
    pairs.setDefinitions(yxRecord().yx);
    pairs.scan(m_store, ApplicationFlags{});
    ASSERT_EQ(yx.scan().slot(0).samples.size(), pairs.slot(0).samples.size());
    EXPECT_EQ(yx.scan().slot(0).xStatistics.maximum, pairs.slot(0).xStatistics.maximum);
    EXPECT_EQ(yx.chart().hbar.maximum, [&] {
        YxChart c;
        c.record = yxRecord();
        c.computeScrollRanges(pairs);
        return c.hbar.maximum;
    }());
}

TEST_F(ChartScanSteps, CaptureDuringTheCatchUpIsReadOnceAndAReplacedStoreStartsOver) {
    fill(m_store, 0, 100000);
    CViewChart view(m_store, m_flags, nullptr);
    view.setRecord(ytRecord());
    // Frames keep arriving faster than a step reads and the 800 ms timer keeps ticking while the
    // view catches up.
    std::uint32_t next = 100000;
    int round = 0;
    runUntilIdle([&] {
        if (next < 160000) {
            fill(m_store, next, next + 6000);
            next += 6000;
        }
        if (++round % 5 == 0) view.tick();
    });
    EXPECT_EQ(m_store.count(), 160000u);
    expectSameCurves(view, oneScan(m_store));

    // A document swapped in halfway through a new catch-up.
    view.setRecord(ytRecord());
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
    ASSERT_FALSE(view.scanComplete());
    FrameStore loaded;
    fill(loaded, 2000, 250000);
    m_store.swap(loaded);
    runUntilIdle();
    expectSameCurves(view, oneScan(m_store));

    // Emptied while read: the view lets go until the store is usable again, then starts over.
    view.setRecord(ytRecord());
    view.tick();
    m_flags.set(ApplicationFlags::kClearing);
    m_store.clear();
    runUntilIdle();
    m_flags.reset(ApplicationFlags::kClearing);
    fill(m_store, 500, 90000);
    EXPECT_FALSE(view.scanComplete());
    view.tick();
    runUntilIdle();
    expectSameCurves(view, oneScan(m_store));
}
