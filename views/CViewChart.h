#pragma once

// The view of a y(t) chart window: up to four curves against capture time, following the capture
// live (Auto Move), with scrolling, pan, zoom, wheel, measuring lines and Adjust All Lines.
//
// Thread: the user-interface thread.

#include "curves/YtChart.h"
#include "views/ChartView.h"

class CViewChart final : public ChartView {
public:
    static constexpr unsigned kAdjustAllLines = 9001;

    CViewChart(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
               QWidget* parent = nullptr);

    void setRecord(const CurveWindowRecord& record) override;
    [[nodiscard]] const CurveWindowRecord& record() const override { return m_chart.record; }
    void setSignals(const CurveSignals& values, const CurveSignals& xValues) override;
    [[nodiscard]] const CurveSignal* signal(int slot, Axis axis) const override;
    [[nodiscard]] const CurveStatistics* statistics(int slot, Axis axis) const override;
    void tick() override;
    [[nodiscard]] bool scanComplete() const override { return m_scan.complete(m_store); }
    [[nodiscard]] std::uint32_t framesRead() const override { return m_scan.scanPosition(); }
    void paintChart(QPainter& painter) override;
    void adjust() override;

    [[nodiscard]] const YtChart& chart() const { return m_chart; }
    [[nodiscard]] const YtScan& scan() const { return m_scan; }

protected:
    [[nodiscard]] const PixelRect& plotRect() const override { return m_chart.plot; }
    [[nodiscard]] MeasureLines& measureLines() override { return m_chart.lines; }
    void relayout(int width, int height) override { m_chart.layout(width, height); }
    void pan(int pressX, int pressY, int releaseX, int releaseY) override;
    void zoom(const PixelRect& rectangle) override;
    void wheel(chart::WheelTurn turn, int x, int y) override;
    void scroll(Qt::Orientation orientation, ScrollAction action, bool ctrl, int thumb) override;
    void updateMouseValues(int x, int y, bool inside) override;
    [[nodiscard]] ScrollBarState& bar(Qt::Orientation orientation) override {
        return orientation == Qt::Horizontal ? m_chart.hbar : m_chart.vbar;
    }
    ScanStep readFrames(std::uint32_t frames) override;
    void followScan() override;

private:
    [[nodiscard]] std::uint64_t lastFrameTime() const;

    YtChart m_chart;
    YtScan m_scan;
};
