#include "curves/YxChart.h"

namespace {

constexpr int kFar = 1 << 24;

int clampPixel(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -kFar, kFar));
}

}  // namespace

void YxChart::layout(int clientWidth, int clientHeight) {
    plot = {80, 10, clientWidth - 40, clientHeight - 65};
    const int height = std::max(0, plot.height());
    const int width = std::max(0, plot.width());
    cell = std::min(height / 50, width / 50);
    if (cell <= 0) {
        cell = 0;
        xDivisions = yDivisions = 1;
        plot.right = plot.left;
        plot.top = plot.bottom;
    } else if (height / 50 <= width / 50) {
        yDivisions = 50;
        plot.top = plot.bottom - 50 * cell;
        xDivisions = std::max(5, (width / (5 * cell)) * 5);
        plot.right = plot.left + xDivisions * cell;
    } else {
        xDivisions = 50;
        plot.right = plot.left + 50 * cell;
        yDivisions = std::max(5, (height / (5 * cell)) * 5);
        plot.top = plot.bottom - yDivisions * cell;
    }
    lines.park(plot);
}

std::int64_t YxChart::origin(int slot, Axis axis) const {
    const XYCurveDefinition& d = def(slot);
    if (axis == Axis::kX) {
        return isSigned(d.flags, Axis::kX) ? std::int64_t{d.xOriginSigned}
                                           : std::int64_t{d.xOriginUnsigned};
    }
    return isSigned(d.flags, Axis::kY) ? std::int64_t{d.yOriginSigned}
                                       : std::int64_t{d.yOriginUnsigned};
}

void YxChart::setOrigin(int slot, Axis axis, std::int64_t value) {
    XYCurveDefinition& d = def(slot);
    const bool s = isSigned(d.flags, axis);
    if (axis == Axis::kX) {
        if (s)
            d.xOriginSigned = chart::clampTo<std::int32_t>(value);
        else
            d.xOriginUnsigned = chart::clampTo<std::uint32_t>(value);
    } else {
        if (s)
            d.yOriginSigned = chart::clampTo<std::int32_t>(value);
        else
            d.yOriginUnsigned = chart::clampTo<std::uint32_t>(value);
    }
}

std::string YxChart::valueLabel(int slot, Axis axis, int division) const {
    const std::int64_t value = origin(slot, axis) + std::int64_t{def(slot).resolution} * division;
    const CurveSignals& slotSignals = axis == Axis::kX ? xSignals : ySignals;
    if (const CurveSignal* s = slotSignals[static_cast<std::size_t>(slot) & 3].get()) {
        return s->text(value);
    }
    return chart::valueText(value, isSigned(def(slot).flags, axis));
}

int YxChart::yLabelOffset(int slot) {
    return YtChart::labelOffset(slot);
}

int YxChart::xLabelRow(int slot) {
    return 16 + 12 * (slot & 3);
}

void YxChart::computeScrollRanges(const YxScan& scan) {
    for (Axis axis : {Axis::kX, Axis::kY}) {
        const int n = divisionsOf(axis);
        std::int64_t below = 0, above = 0;
        bool any = false;
        for (int i = 0; i < 4; ++i) {
            const YxSlot& s = scan.slot(i);
            const CurveStatistics& st = axis == Axis::kX ? s.xStatistics : s.yStatistics;
            const std::int64_t r = def(i).resolution;
            if (!defined(i) || !st.hasFirst) continue;
            any = true;
            if (r == 0) continue;
            const std::int64_t o = origin(i, axis);
            if (st.minimum < o) below = std::max(below, (o - st.minimum) / r + 1);
            const std::int64_t top = o + n * r;
            if (st.maximum > top) above = std::max(above, (st.maximum - top) / r + 1);
        }
        if (!any) continue;
        (axis == Axis::kX ? hbar : vbar) = {chart::clampTo<int>(-above),
                                            chart::clampTo<int>(below + n), n, 0};
    }
}

void YxChart::hScroll(ScrollAction action, bool ctrl, int thumb) {
    const int p = chart::scrolledPosition(hbar, action, ctrl, thumb);
    for (int i = 0; i < 4; ++i) {
        if (defined(i)) {
            setOrigin(i, Axis::kX,
                      origin(i, Axis::kX) + std::int64_t{def(i).resolution} * (p - hbar.position));
        }
    }
    hbar.position = p;
}

void YxChart::vScroll(ScrollAction action, bool ctrl, int thumb) {
    const int p = chart::scrolledPosition(vbar, action, ctrl, thumb);
    for (int i = 0; i < 4; ++i) {
        if (defined(i)) {
            setOrigin(i, Axis::kY,
                      origin(i, Axis::kY) - std::int64_t{def(i).resolution} * (p - vbar.position));
        }
    }
    vbar.position = p;
}

void YxChart::pan(int pressX, int pressY, int releaseX, int releaseY) {
    const std::int64_t k = chart::divisions(pressX - releaseX, cell);
    const std::int64_t m = chart::divisions(pressY - releaseY, cell);
    for (int i = 0; i < 4; ++i) {
        if (!defined(i)) continue;
        const std::int64_t r = def(i).resolution;
        setOrigin(i, Axis::kX, origin(i, Axis::kX) + r * k);
        setOrigin(i, Axis::kY, origin(i, Axis::kY) - r * m);
    }
}

bool YxChart::zoom(const PixelRect& r) {
    if (cell == 0) return false;
    const std::int64_t s = r.left > plot.left ? (r.left - plot.left) / cell : 0;
    const std::int64_t w = r.width() / cell + 1;
    const std::int64_t rows = r.bottom < plot.bottom ? (plot.bottom - r.bottom) / cell : 0;
    const std::int64_t h = r.height() / cell + 1;
    bool zoomed = false;
    for (int i = 0; i < 4; ++i) {
        if (!defined(i)) continue;
        const std::int64_t res = static_cast<std::uint32_t>(def(i).resolution);
        const std::int64_t xStep = res * w / chart::divisor(xDivisions);
        const std::int64_t yStep = res * h / chart::divisor(yDivisions);
        const std::int64_t next = std::max(xStep, yStep);
        if (next == 0) continue;
        setOrigin(i, Axis::kX, origin(i, Axis::kX) + res * s);
        setOrigin(i, Axis::kY, origin(i, Axis::kY) + res * rows);
        def(i).resolution = chart::clampTo<std::int32_t>(next);
        zoomed = true;
    }
    return zoomed;
}

void YxChart::wheel(chart::WheelTurn turn, int mouseX, int mouseY) {
    const double factor = turn.shift ? 2.0 : 1.1;
    for (int i = 0; i < 4; ++i) {
        if (!defined(i)) continue;
        XYCurveDefinition& d = def(i);
        const std::int64_t old = d.resolution;
        const std::int64_t next = chart::wheelScaled(old, turn.forward, factor);
        if (turn.ctrl && cell > 0) {
            // The value under the mouse stays under the mouse.
            const std::int64_t col = std::clamp((mouseX - plot.left) / cell, 0, xDivisions);
            const std::int64_t row = std::clamp((plot.bottom - mouseY) / cell, 0, yDivisions);
            setOrigin(i, Axis::kX, origin(i, Axis::kX) + (old - next) * col);
            setOrigin(i, Axis::kY, origin(i, Axis::kY) + (old - next) * row);
        }
        d.resolution = chart::clampTo<std::int32_t>(next);
    }
}

void YxChart::adjust(const YxScan& scan) {
    struct Range {
        bool any = false;
        std::int64_t minimum = 0, maximum = 0;
        void add(const CurveStatistics& st) {
            minimum = any ? std::min(minimum, st.minimum) : st.minimum;
            maximum = any ? std::max(maximum, st.maximum) : st.maximum;
            any = true;
        }
    };
    Range merged[2][2];  // [axis][signed]
    for (int i = 0; i < 4; ++i) {
        const YxSlot& s = scan.slot(i);
        if (!defined(i) || !s.xStatistics.hasFirst) continue;
        std::int64_t step = 1;
        for (Axis axis : {Axis::kX, Axis::kY}) {
            const CurveStatistics& st = axis == Axis::kX ? s.xStatistics : s.yStatistics;
            setOrigin(i, axis, st.minimum);
            step = std::max(step, chart::ceilDiv(st.maximum - st.minimum, divisionsOf(axis)));
            merged[axis == Axis::kX][isSigned(def(i).flags, axis)].add(st);
        }
        def(i).resolution = chart::clampTo<std::int32_t>(step);
    }
    for (Axis axis : {Axis::kX, Axis::kY}) {
        const std::uint32_t multi =
            axis == Axis::kX ? window_flags::kXMulti : window_flags::kYMulti;
        if ((record.flags & multi) != 0) continue;
        for (int i = 0; i < 4; ++i) {
            if (!defined(i) || !scan.slot(i).xStatistics.hasFirst) continue;
            const Range& range = merged[axis == Axis::kX][isSigned(def(i).flags, axis)];
            setOrigin(i, axis, range.minimum);
            def(i).resolution = chart::clampTo<std::int32_t>(std::max<std::int64_t>(
                {std::int64_t{def(i).resolution}, 1,
                 chart::ceilDiv(range.maximum - range.minimum, divisionsOf(axis))}));
        }
    }
    hbar = {};
    vbar = {};
}

std::int64_t YxChart::drawingOrigin(int slot, Axis axis) const {
    return drawsHalved(def(slot).flags, axis) ? origin(slot, axis) / 2 : origin(slot, axis);
}

DevicePoint YxChart::device(int slot, const CurvePoint& p) const {
    const std::int64_t r = def(slot).resolution;
    auto extent = [&](Axis axis) {
        const std::int64_t e = std::int64_t{divisionsOf(axis)} * r;
        const std::int64_t halved = drawsHalved(def(slot).flags, axis) ? e / 2 : e;
        return halved <= 0 ? std::int64_t{1} : halved;
    };
    const int x = clampPixel(
        plot.left + chart::roundDiv((p.x - drawingOrigin(slot, Axis::kX)) * xDivisions * cell,
                                    extent(Axis::kX)));
    const int y = clampPixel(
        plot.bottom - chart::roundDiv((p.y - drawingOrigin(slot, Axis::kY)) * yDivisions * cell,
                                      extent(Axis::kY)));
    return {x, y};
}

std::int64_t YxChart::mouseValue(int slot, Axis axis, int pixel) const {
    const std::int64_t n = divisionsOf(axis);
    const std::int64_t distance = axis == Axis::kX ? pixel - plot.left : plot.bottom - pixel;
    std::int64_t extent = n * def(slot).resolution;
    if (drawsHalved(def(slot).flags, axis)) extent /= 2;
    const std::int64_t v =
        drawingOrigin(slot, axis) + chart::roundDiv(distance * extent, chart::divisor(n * cell));
    return drawsHalved(def(slot).flags, axis) ? v * 2 : v;
}

std::vector<DevicePoint> YxChart::polyline(const YxSlot& slot, int slotIndex) const {
    std::vector<DevicePoint> out;
    out.reserve(slot.points.size());
    for (const CurvePoint& p : slot.points) {
        const DevicePoint d = device(slotIndex, p);
        if (out.empty() || !(out.back() == d)) out.push_back(d);
    }
    return out;
}
