#include "views/CViewChart2.h"

#include "views/ChartPainter.h"

#include <QPainter>

CViewChart2::CViewChart2(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
                         QWidget* parent)
    : ChartView(store, flags, host, kAdjustTheLines, parent) {}

void CViewChart2::setRecord(const CurveWindowRecord& record) {
    m_chart.record = record;
    m_scan.setDefinitions(record.yx);
    m_chart.hbar = {};
    m_chart.vbar = {};
    syncScrollBars();
    update();
    rescanFromStart();
}

void CViewChart2::setSignals(const CurveSignals& values, const CurveSignals& xValues) {
    m_chart.ySignals = values;
    m_chart.xSignals = xValues;
    m_scan.setSignals(values, xValues);
    update();
}

const CurveSignal* CViewChart2::signal(int slot, Axis axis) const {
    const CurveSignals& s = axis == Axis::kX ? m_chart.xSignals : m_chart.ySignals;
    return s[static_cast<std::size_t>(slot) & 3].get();
}

const CurveStatistics* CViewChart2::statistics(int slot, Axis axis) const {
    const YxSlot& s = m_scan.slot(slot);
    return axis == Axis::kX ? &s.xStatistics : &s.yStatistics;
}

ChartView::ScanStep CViewChart2::readFrames(std::uint32_t frames) {
    return readInto(m_scan, m_store, m_flags, frames);
}

void CViewChart2::followScan() {
    m_chart.computeScrollRanges(m_scan);
    syncScrollBars();
}

void CViewChart2::tick() {
    scanSoon();
    if (m_host != nullptr) m_host->chartTicked(this);
}

void CViewChart2::paintChart(QPainter& painter) {
    ChartPaintOptions options;
    options.curvesReady = !m_flags.test(ApplicationFlags::kClearing);
    paintYxChart(painter, m_chart, m_scan, options);
}

void CViewChart2::adjust() {
    m_chart.adjust(m_scan);
    syncScrollBars();
    storeRecord();
    update();
}

void CViewChart2::pan(int pressX, int pressY, int releaseX, int releaseY) {
    m_chart.pan(pressX, pressY, releaseX, releaseY);
}

void CViewChart2::zoom(const PixelRect& rectangle) {
    if (!m_chart.zoom(rectangle)) return;
    m_chart.computeScrollRanges(m_scan);
    syncScrollBars();
}

void CViewChart2::wheel(chart::WheelTurn turn, int x, int y) {
    m_chart.wheel(turn, x, y);
    m_chart.computeScrollRanges(m_scan);
    syncScrollBars();
}

void CViewChart2::scroll(Qt::Orientation orientation, ScrollAction action, bool ctrl, int thumb) {
    if (orientation == Qt::Horizontal) {
        m_chart.hScroll(action, ctrl, thumb);
    } else {
        m_chart.vScroll(action, ctrl, thumb);
    }
}

void CViewChart2::updateMouseValues(int x, int y, bool inside) {
    for (int slot = 0; slot < 4; ++slot) {
        const XYCurveDefinition& d = m_chart.record.yx[static_cast<std::size_t>(slot)];
        const bool on = inside && (d.flags & curve_flags::kDefined) != 0;
        for (const Axis axis : {Axis::kY, Axis::kX}) {
            std::string text;
            if (on) {
                const std::int64_t value = m_chart.mouseValue(slot, axis, axis == Axis::kX ? x : y);
                const CurveSignal* s = signal(slot, axis);
                text = s != nullptr ? s->text(value) : std::to_string(value);
            }
            setMouseText(slot, axis, std::move(text));
        }
    }
}
