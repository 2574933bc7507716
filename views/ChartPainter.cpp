#include "views/ChartPainter.h"

#include "resources/CurveStrings.h"
#include "resources/StringTable.h"

#include <QFont>
#include <QPainter>
#include <QPolygon>

namespace {

constexpr QRgb kGridGrey = 0xC4C4C4;

QFont labelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(14);
    font.setWeight(QFont::Normal);
    return font;
}

// The frame, the ticks on all four edges and the grey lines at every fifth division.
void paintGrid(QPainter& p, const PixelRect& plot, int columns, int rows, int cellX, int cellY) {
    p.setPen(QPen(Qt::black, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(QPoint(plot.left, plot.top), QPoint(plot.right, plot.bottom)));
    for (int i = 1; i < columns; ++i) {
        const int x = plot.left + i * cellX;
        const int length = i % 5 == 0 ? 10 : 5;
        p.drawLine(x, plot.top, x, plot.top + length);
        p.drawLine(x, plot.bottom, x, plot.bottom - length);
    }
    for (int i = 1; i < rows; ++i) {
        const int y = plot.bottom - i * cellY;
        const int length = i % 5 == 0 ? 10 : 5;
        p.drawLine(plot.left, y, plot.left + length, y);
        p.drawLine(plot.right, y, plot.right - length, y);
    }
    p.setPen(QPen(QColor::fromRgb(kGridGrey), 0));
    for (int i = 5; i < columns; i += 5) {
        const int x = plot.left + i * cellX;
        p.drawLine(x, plot.top + 10, x, plot.bottom - 10);
    }
    for (int i = 5; i < rows; i += 5) {
        const int y = plot.bottom - i * cellY;
        p.drawLine(plot.left + 10, y, plot.right - 10, y);
    }
}

void paintLines(QPainter& p, const MeasureLines& lines) {
    for (const auto* set : {&lines.horizontal, &lines.vertical}) {
        for (const MeasureLine& l : *set) {
            if (!l.visible) continue;
            p.setPen(QPen(colourOf(l.colour), 0, Qt::DotLine));
            p.drawLine(l.x1, l.y1, l.x2, l.y2);
        }
    }
}

void paintPolyline(QPainter& p, const std::vector<DevicePoint>& points, QColor colour) {
    // A single point draws nothing, as a line through one point would.
    if (points.size() < 2) return;
    QPolygon polygon(static_cast<int>(points.size()));
    for (std::size_t i = 0; i < points.size(); ++i) {
        polygon.setPoint(static_cast<int>(i), points[i].x, points[i].y);
    }
    p.setPen(QPen(colour, 0));
    p.drawPolyline(polygon);
}

// Text placed by its top edge, as the label positions are given.
void textAt(QPainter& p, int x, int top, const std::string& text) {
    p.drawText(x, top + p.fontMetrics().ascent(), QString::fromStdString(text));
}

QRect clipOf(const PixelRect& plot) {
    return QRect(QPoint(plot.left, plot.top), QPoint(plot.right, plot.bottom));
}

}  // namespace

QColor colourOf(std::uint32_t bbggrr) {
    return QColor(static_cast<int>(bbggrr & 0xFF), static_cast<int>((bbggrr >> 8) & 0xFF),
                  static_cast<int>((bbggrr >> 16) & 0xFF));
}

void paintYtChart(QPainter& p, const YtChart& chart, const YtScan& scan, const FrameStore& store,
                  const ChartPaintOptions& options) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const PixelRect& plot = chart.plot;
    paintGrid(p, plot, YtChart::kDivisions, YtChart::kDivisions, chart.dx, chart.dy);
    p.setFont(labelFont());
    const bool multi = (chart.record.flags & window_flags::kYMulti) != 0;
    for (int slot = 0; slot < 4; ++slot) {
        const CurveDefinition& d = chart.record.yt[static_cast<std::size_t>(slot)];
        if ((d.flags & curve_flags::kDefined) == 0) continue;
        p.setPen(multi ? colourOf(d.colour) : QColor(Qt::black));
        for (int i = 0; i <= YtChart::kDivisions; i += 10) {
            const int y = plot.bottom - i * chart.dy + (multi ? YtChart::labelOffset(slot) : -6);
            textAt(p, plot.left - 75, y, chart.valueLabel(slot, i));
        }
    }
    p.setPen(Qt::black);
    textAt(p, plot.left - 75, plot.bottom + 25, strings::loadString(strings::kTimeCaption));
    for (int i = 5; i <= YtChart::kDivisions; i += 5) {
        textAt(p, plot.left + i * chart.dx - 25, plot.bottom + 25, chart.timeLabel(i));
    }
    paintLines(p, chart.lines);
    if (options.curvesReady && store.count() > 0) {
        p.setClipRect(clipOf(plot));
        for (int slot = 0; slot < 4; ++slot) {
            const YtSlot& s = scan.slot(slot);
            const CurveDefinition& d = chart.record.yt[static_cast<std::size_t>(slot)];
            if ((d.flags & curve_flags::kDefined) == 0 || (d.flags & curve_flags::kShow) == 0) {
                continue;
            }
            // The scan's copy decides which frames were sampled; the chart's the scale.
            paintPolyline(p, chart.polyline(s, slot, store, options.decimated), colourOf(d.colour));
        }
    }
    p.restore();
}

void paintYxChart(QPainter& p, const YxChart& chart, const YxScan& scan,
                  const ChartPaintOptions& options) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    const PixelRect& plot = chart.plot;
    paintGrid(p, plot, chart.xDivisions, chart.yDivisions, chart.cell, chart.cell);
    paintLines(p, chart.lines);
    p.setFont(labelFont());
    const bool yMulti = (chart.record.flags & window_flags::kYMulti) != 0;
    const bool xMulti = (chart.record.flags & window_flags::kXMulti) != 0;
    for (int slot = 0; slot < 4; ++slot) {
        const XYCurveDefinition& d = chart.record.yx[static_cast<std::size_t>(slot)];
        if ((d.flags & curve_flags::kDefined) == 0) continue;
        p.setPen(yMulti ? colourOf(d.colour) : QColor(Qt::black));
        for (int i = 0; i <= chart.yDivisions; i += 10) {
            const int y =
                plot.bottom - i * chart.cell + (yMulti ? YxChart::yLabelOffset(slot) : -6);
            textAt(p, plot.left - 75, y, chart.valueLabel(slot, Axis::kY, i));
        }
        p.setPen(xMulti ? colourOf(d.colour) : QColor(Qt::black));
        for (int i = 0; i <= chart.xDivisions; i += 10) {
            const int y = plot.bottom + (xMulti ? YxChart::xLabelRow(slot) : 16);
            textAt(p, plot.left + chart.cell * i - 5, y, chart.valueLabel(slot, Axis::kX, i));
        }
    }
    if (options.curvesReady) {
        p.setClipRect(clipOf(plot));
        for (int slot = 0; slot < 4; ++slot) {
            const XYCurveDefinition& d = chart.record.yx[static_cast<std::size_t>(slot)];
            if ((d.flags & curve_flags::kDefined) == 0 || (d.flags & curve_flags::kShow) == 0) {
                continue;
            }
            paintPolyline(p, chart.polyline(scan.slot(slot), slot), colourOf(d.colour));
        }
    }
    p.restore();
}
