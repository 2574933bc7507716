#pragma once

// The arithmetic of a y(t) chart: layout of the 50 x 50 division plot, labels, Auto Move, scroll
// ranges and scrolling, pan, zoom rectangle, wheel, Adjust All Lines, the value under the mouse and
// the mapping of samples to pixels. No widgets: the view forwards its input here and paints what
// this says.
//
// The chart's own settings are its window record (time origin, time resolution, axis and Auto Move
// flags, the four curve definitions); whoever owns the chart writes it back to the document.
//
// Thread: the user-interface thread.

#include "capture/FrameStore.h"
#include "curves/ChartCommon.h"
#include "curves/CurveRecords.h"
#include "curves/CurveScan.h"

#include <cstdint>
#include <string>
#include <vector>

struct DevicePoint {
    int x;
    int y;
    bool operator==(const DevicePoint&) const = default;
};

class YtChart {
public:
    static constexpr int kDivisions = 50;

    CurveWindowRecord record;
    // The slots' database signals: their labels show physical values.
    CurveSignals slotSignals{};
    PixelRect plot;
    int dx = 0;
    int dy = 0;
    ScrollBarState hbar;
    ScrollBarState vbar;
    MeasureLines lines;

    void layout(int clientWidth, int clientHeight);

    // Label texts: value label at division i (0, 10, ..., 50) of a slot; time label at division i.
    [[nodiscard]] std::string valueLabel(int slot, int division) const;
    [[nodiscard]] std::string timeLabel(int division) const;
    // Vertical offset of a slot's labels with the Y axis "Multi".
    [[nodiscard]] static int labelOffset(int slot);

    // Moves the time window so that the newest sample stands in the last division.
    void autoMove(std::uint64_t newestTime);
    [[nodiscard]] bool autoMoveOn() const { return (record.flags & window_flags::kAutoMove) != 0; }
    void computeScrollRanges(const YtScan& scan, std::uint64_t lastFrameTime);
    void hScroll(ScrollAction action, bool ctrl, int thumb = 0);
    void vScroll(ScrollAction action, bool ctrl, int thumb = 0);
    // Moves by the whole divisions between press and release, so the curves follow the mouse.
    void pan(int pressX, int pressY, int releaseX, int releaseY);
    // Returns whether the rectangle zoomed (more than one division each way, a defined curve).
    bool zoom(const PixelRect& rectangle);
    void wheel(chart::WheelTurn turn);
    // Fits every defined curve to the range of its values (one shared scale with "Single").
    void adjustAll(const YtScan& scan);
    // The value at pixel row `y` for a slot, as the curve's mapping reads it.
    [[nodiscard]] std::int64_t mouseValue(int slot, int y) const;

    // The slot's origin as the drawing uses it (the one of its reading, halved with the values).
    [[nodiscard]] std::int64_t drawingOrigin(int slot) const;
    [[nodiscard]] std::int64_t drawingResolution(int slot) const;
    [[nodiscard]] int deviceX(std::int64_t timeMs) const;
    [[nodiscard]] int deviceY(int slot, std::int64_t drawn) const;

    // The slot's line in pixels, newest sample first, ending at the first sample at or before the
    // left edge. `decimated` keeps per pixel column only the first, lowest, highest and last
    // points, which draws the same pixels as the whole line.
    [[nodiscard]] std::vector<DevicePoint> polyline(const YtSlot& slot, int slotIndex,
                                                    const FrameStore& store, bool decimated) const;

private:
    [[nodiscard]] CurveDefinition& def(int slot) {
        return record.yt[static_cast<std::size_t>(slot)];
    }
    [[nodiscard]] const CurveDefinition& def(int slot) const {
        return record.yt[static_cast<std::size_t>(slot)];
    }
    [[nodiscard]] bool defined(int slot) const {
        return (def(slot).flags & curve_flags::kDefined) != 0;
    }
    void moveOrigin(int slot, std::int64_t delta);
    void setOrigin(int slot, std::int64_t origin);
    [[nodiscard]] std::int64_t origin(int slot) const;
    [[nodiscard]] std::int64_t timeOrigin() const;
    void moveTime(std::int64_t divisions);
};
