#pragma once

// What the y(t) and y(x) charts share: the pixel rectangle, scroll bar states, measuring lines and
// the small arithmetic helpers that keep every division away from zero.

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string>

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    [[nodiscard]] int width() const { return right - left; }
    [[nodiscard]] int height() const { return bottom - top; }
    [[nodiscard]] bool contains(int x, int y) const {
        return x >= left && x <= right && y >= top && y <= bottom;
    }
    // The rectangle with both corners in order.
    [[nodiscard]] static PixelRect normalised(int x1, int y1, int x2, int y2) {
        return {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    }
};

struct ScrollBarState {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int position = 0;
};

enum class ScrollAction { kLineBack, kLineForward, kPageBack, kPageForward, kThumb };

struct MeasureLine {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool placed = false;
    bool visible = false;
    std::uint32_t colour = 0x0000FF;
};

// Eight horizontal and eight vertical lines that the user drags out of the plot's edges.
class MeasureLines {
public:
    static constexpr int kNone = 9;
    std::array<MeasureLine, 8> horizontal{};
    std::array<MeasureLine, 8> vertical{};

    // Parks every line not placed on the plot's top or left edge.
    void park(const PixelRect& plot);
    // A press within 3 pixels of a line grabs it (horizontal before vertical, lowest index
    // first). Returns whether one was grabbed.
    bool press(int x, int y, const PixelRect& plot);
    void move(int x, int y, const PixelRect& plot);
    void release(int x, int y, const PixelRect& plot);
    [[nodiscard]] bool dragging() const { return m_index != kNone; }
    [[nodiscard]] bool draggingHorizontal() const { return m_horizontal; }

private:
    void follow(int x, int y, const PixelRect& plot);
    int m_index = kNone;
    bool m_horizontal = false;
};

namespace chart {

// Division sizes and resolutions of 0 count as 1 wherever they divide.
[[nodiscard]] inline std::int64_t divisor(std::int64_t v) {
    return v == 0 ? 1 : v;
}
// a / b truncated, 0 when b is 0 (pixel distances in divisions of a collapsed plot).
[[nodiscard]] inline std::int64_t divisions(std::int64_t a, std::int64_t b) {
    return b == 0 ? 0 : a / b;
}
[[nodiscard]] inline std::int64_t ceilDiv(std::int64_t a, std::int64_t b) {
    b = divisor(b);
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) == (b < 0))) ? q + 1 : q;
}
template <typename T>
[[nodiscard]] T clampTo(std::int64_t v) {
    return static_cast<T>(
        std::clamp<std::int64_t>(v, std::numeric_limits<T>::min(), std::numeric_limits<T>::max()));
}
// Rounds a / b to the nearest integer (halves away from zero), b > 0.
[[nodiscard]] inline std::int64_t roundDiv(std::int64_t a, std::int64_t b) {
    return a >= 0 ? (a + b / 2) / b : -((-a + b / 2) / b);
}
// The new position of a scroll bar after `action`, clamped to its range.
[[nodiscard]] int scrolledPosition(const ScrollBarState& bar, ScrollAction action, bool ctrl,
                                   int thumb);
// One turn of the mouse wheel over a plot, and the keys held with it.
struct WheelTurn {
    bool forward = false;  // away from the user
    bool ctrl = false;
    bool shift = false;
};
// Wheel scaling of a resolution: forward divides, back multiplies (at least one more).
[[nodiscard]] std::int64_t wheelScaled(std::int64_t resolution, bool forward, double factor);

// "%d" or "%u" of a value by its reading.
[[nodiscard]] std::string valueText(std::int64_t value, bool isSigned);

}  // namespace chart
