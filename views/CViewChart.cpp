#include "views/CViewChart.h"

#include "curves/ExtractValue.h"
#include "views/ChartPainter.h"

#include <QPainter>

CViewChart::CViewChart(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
                       QWidget* parent)
    : ChartView(store, flags, host, kAdjustAllLines, parent) {}

void CViewChart::setRecord(const CurveWindowRecord& record) {
    m_chart.record = record;
    m_scan.setDefinitions(record.yt);
    m_chart.hbar = {};
    m_chart.vbar = {};
    syncScrollBars();
    update();
    rescanFromStart();
}

void CViewChart::setSignals(const CurveSignals& values, const CurveSignals&) {
    m_chart.slotSignals = values;
    m_scan.setSignals(values);
    update();
}

const CurveSignal* CViewChart::signal(int slot, Axis axis) const {
    return axis == Axis::kY ? m_chart.slotSignals[static_cast<std::size_t>(slot) & 3].get()
                            : nullptr;
}

const CurveStatistics* CViewChart::statistics(int slot, Axis axis) const {
    return axis == Axis::kY ? &m_scan.slot(slot).statistics : nullptr;
}

std::uint64_t CViewChart::lastFrameTime() const {
    const std::uint32_t n = m_store.count();
    return n == 0 ? 0 : FrameTimeMs(m_store.at(n - 1));
}

ChartView::ScanStep CViewChart::readFrames(std::uint32_t frames) {
    return readInto(m_scan, m_store, m_flags, frames);
}

void CViewChart::followScan() {
    if (m_chart.autoMoveOn()) {
        m_chart.autoMove(m_scan.newestTime());
        storeRecord();
    }
    m_chart.computeScrollRanges(m_scan, lastFrameTime());
    syncScrollBars();
}

void CViewChart::tick() {
    scanSoon();
    if (m_host != nullptr) m_host->chartTicked(this);
}

void CViewChart::paintChart(QPainter& painter) {
    ChartPaintOptions options;
    options.curvesReady = !m_flags.test(ApplicationFlags::kClearing) && m_store.count() > 0;
    paintYtChart(painter, m_chart, m_scan, m_store, options);
}

void CViewChart::adjust() {
    m_chart.adjustAll(m_scan);
    syncScrollBars();
    storeRecord();
    update();
}

void CViewChart::pan(int pressX, int pressY, int releaseX, int releaseY) {
    m_chart.pan(pressX, pressY, releaseX, releaseY);
    m_chart.hbar.position = chart::clampTo<int>(static_cast<std::int64_t>(
        m_chart.record.timeOrigin / std::max<std::uint32_t>(1, m_chart.record.timeResolution)));
    m_chart.computeScrollRanges(m_scan, lastFrameTime());
    syncScrollBars();
}

void CViewChart::zoom(const PixelRect& rectangle) {
    if (!m_chart.zoom(rectangle)) return;
    m_chart.computeScrollRanges(m_scan, lastFrameTime());
    syncScrollBars();
}

void CViewChart::wheel(chart::WheelTurn turn, int, int) {
    m_chart.wheel(turn);
}

void CViewChart::scroll(Qt::Orientation orientation, ScrollAction action, bool ctrl, int thumb) {
    if (orientation == Qt::Horizontal) {
        m_chart.hScroll(action, ctrl, thumb);
        scanSoon();
    } else {
        m_chart.vScroll(action, ctrl, thumb);
    }
}

void CViewChart::updateMouseValues(int, int y, bool inside) {
    for (int slot = 0; slot < 4; ++slot) {
        const CurveDefinition& d = m_chart.record.yt[static_cast<std::size_t>(slot)];
        std::string text;
        if (inside && (d.flags & curve_flags::kDefined) != 0) {
            const std::int64_t value = m_chart.mouseValue(slot, y);
            const CurveSignal* s = signal(slot, Axis::kY);
            text = s != nullptr ? s->text(value) : std::to_string(value);
        }
        setMouseText(slot, Axis::kY, std::move(text));
    }
}
