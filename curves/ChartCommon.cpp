#include "curves/ChartCommon.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

void MeasureLines::park(const PixelRect& plot) {
    for (MeasureLine& l : horizontal) {
        if (!l.placed) l = {plot.left, plot.top, plot.right, plot.top, false, false, l.colour};
    }
    for (MeasureLine& l : vertical) {
        if (!l.placed) l = {plot.left, plot.top, plot.left, plot.bottom, false, false, l.colour};
    }
}

bool MeasureLines::press(int x, int y, const PixelRect& plot) {
    for (int i = 0; i < 8; ++i) {
        if (std::abs(y - horizontal[static_cast<std::size_t>(i)].y1) < 3) {
            m_index = i;
            m_horizontal = true;
            follow(x, y, plot);
            return true;
        }
    }
    for (int i = 0; i < 8; ++i) {
        if (std::abs(x - vertical[static_cast<std::size_t>(i)].x1) < 3) {
            m_index = i;
            m_horizontal = false;
            follow(x, y, plot);
            return true;
        }
    }
    return false;
}

void MeasureLines::follow(int x, int y, const PixelRect& plot) {
    if (m_horizontal) {
        MeasureLine& l = horizontal[static_cast<std::size_t>(m_index)];
        l.x1 = plot.left;
        l.x2 = plot.right;
        l.y1 = l.y2 = y + 7;
        l.visible = l.y1 > plot.top && l.y1 < plot.bottom;
    } else {
        MeasureLine& l = vertical[static_cast<std::size_t>(m_index)];
        l.y1 = plot.top;
        l.y2 = plot.bottom;
        l.x1 = l.x2 = x + 7;
        l.visible = l.x1 > plot.left && l.x1 < plot.right;
    }
}

void MeasureLines::move(int x, int y, const PixelRect& plot) {
    if (m_index != kNone) follow(x, y, plot);
}

void MeasureLines::release(int x, int y, const PixelRect& plot) {
    if (m_index == kNone) return;
    follow(x, y, plot);
    (m_horizontal ? horizontal : vertical)[static_cast<std::size_t>(m_index)].placed = true;
    m_index = kNone;
}

namespace chart {

int scrolledPosition(const ScrollBarState& bar, ScrollAction action, bool ctrl, int thumb) {
    std::int64_t p = bar.position;
    const int line = ctrl ? 10 : 1;
    switch (action) {
        case ScrollAction::kLineBack:
            p -= line;
            break;
        case ScrollAction::kLineForward:
            p += line;
            break;
        case ScrollAction::kPageBack:
            p -= bar.page;
            break;
        case ScrollAction::kPageForward:
            p += bar.page;
            break;
        case ScrollAction::kThumb:
            p = thumb;
            break;
    }
    return static_cast<int>(std::clamp<std::int64_t>(p, bar.minimum, bar.maximum));
}

std::int64_t wheelScaled(std::int64_t resolution, bool forward, double factor) {
    if (forward) {
        return std::max<std::int64_t>(
            1, static_cast<std::int64_t>(static_cast<double>(resolution) / factor));
    }
    std::int64_t n = static_cast<std::int64_t>(static_cast<double>(resolution) * factor);
    if (n == resolution) ++n;
    return std::max<std::int64_t>(1, n);
}

std::string valueText(std::int64_t value, bool isSigned) {
    char text[32];
    if (isSigned) {
        std::snprintf(text, sizeof text, "%d", static_cast<int>(static_cast<std::int32_t>(value)));
    } else {
        std::snprintf(text, sizeof text, "%u",
                      static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    }
    return text;
}

}  // namespace chart
