#pragma once

// The arithmetic of the bus-load strip chart: which bins of the bus load (overview/BusLoad.h) a
// chart of a given width shows at a zoom, what each pixel column reads from them, scrolling that
// follows the newest bin until the user scrolls back, and the ticks of the time axis. A column
// that spans several bins shows the highest load among them, so that no peak is lost when zoomed
// out, and the frames lost in any of them.
//
// Thread: the user-interface thread.

#include "overview/BusLoad.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class BusLoadStrip {
public:
    // `bins` bins drawn in `columns` pixel columns.
    struct Zoom {
        unsigned bins;
        unsigned columns;
    };
    static constexpr std::array<Zoom, 9> kZooms = {
        {{1, 4}, {1, 2}, {1, 1}, {2, 1}, {5, 1}, {10, 1}, {50, 1}, {100, 1}, {600, 1}}};
    static constexpr int kDefaultZoom = 1;

    struct Column {
        std::uint32_t percent = 0;
        std::uint64_t lost = 0;
        bool operator==(const Column&) const = default;
    };
    struct Tick {
        int x;
        std::uint64_t ms;  // on the capture's clock
    };
    // What the chart says in words: the newest whole bin's load, the highest, the frames lost.
    struct Summary {
        std::uint32_t latest = 0;
        std::uint32_t peak = 0;
        std::uint64_t lost = 0;
    };

    void setWidth(int columns) { m_width = columns > 0 ? columns : 0; }
    [[nodiscard]] int width() const { return m_width; }
    [[nodiscard]] int zoom() const { return m_zoom; }
    // Zooming keeps the bin at column `anchor` where it is (the right edge while following).
    void setZoom(int zoom, const BusLoad& load, int anchor);
    void zoomIn(const BusLoad& load, int anchor) { setZoom(m_zoom - 1, load, anchor); }
    void zoomOut(const BusLoad& load, int anchor) { setZoom(m_zoom + 1, load, anchor); }

    // Bins the width spans at the zoom.
    [[nodiscard]] std::uint64_t binsShown() const;
    [[nodiscard]] bool following() const { return m_following; }
    // The first bin shown: while following, the one that puts the newest bin at the right edge.
    [[nodiscard]] std::uint64_t firstBin(const BusLoad& load) const;
    // The first bin that shows the newest one at the right edge: the end of the scroll range.
    [[nodiscard]] std::uint64_t lastFirstBin(const BusLoad& load) const;
    // Scrolling to the end of the range follows the newest bin again.
    void scrollTo(std::uint64_t first, const BusLoad& load);

    [[nodiscard]] std::vector<Column> columns(const BusLoad& load) const;
    // Ticks at least `spacing` columns apart, on round times.
    [[nodiscard]] std::vector<Tick> ticks(const BusLoad& load, int spacing) const;
    [[nodiscard]] static std::string tickLabel(std::uint64_t ms, std::uint64_t stepMs);
    [[nodiscard]] static Summary summary(const BusLoad& load);

private:
    // The first bin of column x, counted from the first bin shown.
    [[nodiscard]] std::uint64_t binOfColumn(std::uint64_t x) const;
    [[nodiscard]] static std::uint64_t binMillis(const BusLoad& load) {
        return load.binUs() / 1000;
    }

    int m_width = 0;
    int m_zoom = kDefaultZoom;
    bool m_following = true;
    std::uint64_t m_first = 0;
};
