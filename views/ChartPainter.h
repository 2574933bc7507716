#pragma once

// The one drawing routine of the chart windows: the screen, the print preview and the printer (or
// PDF) all paint through these, so a page shows exactly what the window shows.
//
// Thread: the user-interface thread (a printer's painter included).

#include "capture/FrameStore.h"
#include "curves/CurveScan.h"
#include "curves/YtChart.h"
#include "curves/YxChart.h"

#include <QColor>

class QPainter;

struct ChartPaintOptions {
    bool curvesReady = true;  // false while a reset is in progress or the store is empty
    bool decimated = true;    // keep a few points per pixel column (the same picture)
};

[[nodiscard]] QColor colourOf(std::uint32_t bbggrr);

void paintYtChart(QPainter& painter, const YtChart& chart, const YtScan& scan,
                  const FrameStore& store, const ChartPaintOptions& options = {});
void paintYxChart(QPainter& painter, const YxChart& chart, const YxScan& scan,
                  const ChartPaintOptions& options = {});
