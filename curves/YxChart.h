#pragma once

// The arithmetic of a y(x) chart: square cells, as many divisions as fit on the longer side, the
// labels of both axes, scroll ranges and scrolling, pan, zoom rectangle, wheel, "Adjust the
// lines", the value under the mouse and the mapping of points to pixels. No widgets.
//
// Thread: the user-interface thread.

#include "curves/ChartCommon.h"
#include "curves/CurveRecords.h"
#include "curves/CurveScan.h"
#include "curves/YtChart.h"

#include <cstdint>
#include <string>
#include <vector>

class YxChart {
public:
    CurveWindowRecord record;
    // The slots' database signals of Y and X: their labels show physical values.
    CurveSignals ySignals{};
    CurveSignals xSignals{};
    PixelRect plot;
    int cell = 0;
    int xDivisions = 1;
    int yDivisions = 1;
    ScrollBarState hbar;
    ScrollBarState vbar;
    MeasureLines lines;

    void layout(int clientWidth, int clientHeight);

    [[nodiscard]] std::string valueLabel(int slot, Axis axis, int division) const;
    [[nodiscard]] static int yLabelOffset(int slot);
    [[nodiscard]] static int xLabelRow(int slot);  // pixels below the plot with "Multi"

    void computeScrollRanges(const YxScan& scan);
    void hScroll(ScrollAction action, bool ctrl, int thumb = 0);
    void vScroll(ScrollAction action, bool ctrl, int thumb = 0);
    void pan(int pressX, int pressY, int releaseX, int releaseY);
    bool zoom(const PixelRect& rectangle);
    // Without Ctrl every resolution scales; with Ctrl about the point under the mouse.
    void wheel(chart::WheelTurn turn, int mouseX = 0, int mouseY = 0);
    void adjust(const YxScan& scan);
    [[nodiscard]] std::int64_t mouseValue(int slot, Axis axis, int pixel) const;

    [[nodiscard]] std::int64_t origin(int slot, Axis axis) const;
    [[nodiscard]] std::int64_t drawingOrigin(int slot, Axis axis) const;
    [[nodiscard]] DevicePoint device(int slot, const CurvePoint& p) const;
    // The slot's points in pixels, oldest pairing first.
    [[nodiscard]] std::vector<DevicePoint> polyline(const YxSlot& slot, int slotIndex) const;

private:
    [[nodiscard]] XYCurveDefinition& def(int slot) {
        return record.yx[static_cast<std::size_t>(slot)];
    }
    [[nodiscard]] const XYCurveDefinition& def(int slot) const {
        return record.yx[static_cast<std::size_t>(slot)];
    }
    [[nodiscard]] bool defined(int slot) const {
        return (def(slot).flags & curve_flags::kDefined) != 0;
    }
    void setOrigin(int slot, Axis axis, std::int64_t value);
    [[nodiscard]] int divisionsOf(Axis axis) const {
        return axis == Axis::kX ? xDivisions : yDivisions;
    }
};
