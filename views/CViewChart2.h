#pragma once

// The view of a y(x) chart window: up to four curves of paired values on square cells.
//
// Thread: the user-interface thread.

#include "curves/YxChart.h"
#include "views/ChartView.h"

class CViewChart2 final : public ChartView {
public:
    static constexpr unsigned kAdjustTheLines = 9000;

    CViewChart2(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
                QWidget* parent = nullptr);

    void setRecord(const CurveWindowRecord& record) override;
    void setSignals(const CurveSignals& values, const CurveSignals& xValues) override;
    [[nodiscard]] const CurveSignal* signal(int slot, Axis axis) const override;
    [[nodiscard]] const CurveWindowRecord& record() const override { return m_chart.record; }
    [[nodiscard]] const CurveStatistics* statistics(int slot, Axis axis) const override;
    void tick() override;
    [[nodiscard]] bool scanComplete() const override { return m_scan.complete(m_store); }
    [[nodiscard]] std::uint32_t framesRead() const override { return m_scan.scanPosition(); }
    void paintChart(QPainter& painter) override;
    void adjust() override;

    [[nodiscard]] const YxChart& chart() const { return m_chart; }
    [[nodiscard]] const YxScan& scan() const { return m_scan; }

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
    YxChart m_chart;
    YxScan m_scan;
};
