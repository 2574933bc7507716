#include "views/BusLoadStrip.h"

#include "resources/TextFormat.h"

#include <algorithm>

namespace {

// Round steps of the time axis, in milliseconds.
constexpr std::uint64_t kTickSteps[] = {
    100,    200,     500,     1'000,   2'000,     5'000,     10'000,    15'000,    30'000,
    60'000, 120'000, 300'000, 600'000, 1'800'000, 3'600'000, 7'200'000, 21'600'000};

}  // namespace

std::uint64_t BusLoadStrip::binOfColumn(std::uint64_t x) const {
    const Zoom z = kZooms[static_cast<std::size_t>(m_zoom)];
    return x * z.bins / z.columns;
}

std::uint64_t BusLoadStrip::binsShown() const {
    const Zoom z = kZooms[static_cast<std::size_t>(m_zoom)];
    return (static_cast<std::uint64_t>(m_width) * z.bins + z.columns - 1) / z.columns;
}

std::uint64_t BusLoadStrip::lastFirstBin(const BusLoad& load) const {
    if (load.bins().empty()) return 0;
    const std::uint64_t end = load.bins().back().index + 1;
    return end > binsShown() ? end - binsShown() : 0;
}

std::uint64_t BusLoadStrip::firstBin(const BusLoad& load) const {
    return m_following ? lastFirstBin(load) : std::min(m_first, lastFirstBin(load));
}

void BusLoadStrip::scrollTo(std::uint64_t first, const BusLoad& load) {
    const std::uint64_t last = lastFirstBin(load);
    m_following = first >= last;
    m_first = std::min(first, last);
}

void BusLoadStrip::setZoom(int zoom, const BusLoad& load, int anchor) {
    zoom = std::clamp(zoom, 0, static_cast<int>(kZooms.size()) - 1);
    if (zoom == m_zoom) return;
    const std::uint64_t x = static_cast<std::uint64_t>(std::clamp(anchor, 0, m_width));
    const std::uint64_t anchored = firstBin(load) + binOfColumn(x);
    m_zoom = zoom;
    if (m_following) return;
    const std::uint64_t before = binOfColumn(x);
    scrollTo(anchored > before ? anchored - before : 0, load);
}

std::vector<BusLoadStrip::Column> BusLoadStrip::columns(const BusLoad& load) const {
    std::vector<Column> shown(static_cast<std::size_t>(m_width));
    const std::uint64_t first = firstBin(load);
    const std::vector<BusLoad::Bin>& bins = load.bins();
    std::size_t at = load.lowerBound(first);
    for (std::size_t x = 0; x < shown.size() && at < bins.size(); ++x) {
        const std::uint64_t from = first + binOfColumn(x);
        const std::uint64_t to = std::max(from + 1, first + binOfColumn(x + 1));
        // Bins are kept only where the bus carried something: those between are empty.
        while (at < bins.size() && bins[at].index < from) ++at;
        for (std::size_t b = at; b < bins.size() && bins[b].index < to; ++b) {
            shown[x].percent = std::max(shown[x].percent, load.percent(bins[b]));
            shown[x].lost += bins[b].lost;
        }
    }
    return shown;
}

std::vector<BusLoadStrip::Tick> BusLoadStrip::ticks(const BusLoad& load, int spacing) const {
    std::vector<Tick> ticks;
    const Zoom z = kZooms[static_cast<std::size_t>(m_zoom)];
    const std::uint64_t binMs = binMillis(load);
    if (binMs == 0 || m_width == 0) return ticks;
    // A step of s ms spans s * columns / (bins * binMs) columns.
    std::uint64_t step = kTickSteps[std::size(kTickSteps) - 1];
    for (const std::uint64_t s : kTickSteps) {
        if (s * z.columns >= static_cast<std::uint64_t>(std::max(spacing, 1)) * z.bins * binMs) {
            step = s;
            break;
        }
    }
    const std::uint64_t startMs = firstBin(load) * binMs;
    for (std::uint64_t t = (startMs + step - 1) / step * step;; t += step) {
        const std::uint64_t x = (t - startMs) * z.columns / (z.bins * binMs);
        if (x >= static_cast<std::uint64_t>(m_width)) break;
        ticks.push_back({static_cast<int>(x), t});
    }
    return ticks;
}

std::string BusLoadStrip::tickLabel(std::uint64_t ms, std::uint64_t stepMs) {
    const auto all = static_cast<unsigned long long>(ms / 1000);
    const unsigned long long h = all / 3600, m = all / 60 % 60, s = all % 60;
    std::string label =
        h > 0 ? strprintf("%llu:%02llu:%02llu", h, m, s) : strprintf("%llu:%02llu", m, s);
    if (stepMs < 1000) label += strprintf(".%llu", static_cast<unsigned long long>(ms / 100 % 10));
    return label;
}

BusLoadStrip::Summary BusLoadStrip::summary(const BusLoad& load) {
    Summary s;
    const std::vector<BusLoad::Bin>& bins = load.bins();
    for (const BusLoad::Bin& bin : bins) s.peak = std::max(s.peak, load.percent(bin));
    // The newest bin is still filling while frames arrive: the one before it is the newest whole
    // one (0 when the bus carried nothing then). A single bin is all there is.
    const std::size_t n = bins.size();
    if (n == 1) {
        s.latest = load.percent(bins[0]);
    } else if (n > 1 && bins[n - 2].index + 1 == bins[n - 1].index) {
        s.latest = load.percent(bins[n - 2]);
    }
    s.lost = load.framesLost();
    return s;
}
