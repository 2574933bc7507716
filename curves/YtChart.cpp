#include "curves/YtChart.h"

#include <cstdio>
#include <limits>

namespace {

constexpr int kFar = 1 << 24;  // pixels beyond any screen or page

int clampPixel(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, -kFar, kFar));
}

// Times reach 54 bits (a 32-bit wrap count of 22-bit rounds); multiplied by a pixel scale they can
// overflow 64 bits, so such a product is taken wider.
int timePixel(int left, std::int64_t offset, std::int64_t scale, std::int64_t extent) {
    constexpr std::int64_t kNarrow = std::int64_t{1} << 31;
    if (offset > -kNarrow && offset < kNarrow && scale < kNarrow) {
        return clampPixel(left + chart::roundDiv(offset * scale, extent));
    }
    const __int128 product = static_cast<__int128>(offset) * scale;
    const __int128 half = extent / 2;
    const __int128 q = product >= 0 ? (product + half) / extent : -((-product + half) / extent);
    return clampPixel(left + static_cast<std::int64_t>(std::clamp<__int128>(q, -kFar, kFar)));
}

}  // namespace

void YtChart::layout(int clientWidth, int clientHeight) {
    plot = {80, 10, clientWidth - 30, clientHeight - 40};
    dy = std::max(0, plot.height() / kDivisions);
    dx = std::max(0, plot.width() / kDivisions);
    plot.top = plot.bottom - kDivisions * dy;
    plot.right = plot.left + kDivisions * dx;
    lines.park(plot);
}

std::int64_t YtChart::origin(int slot) const {
    const CurveDefinition& d = def(slot);
    return (d.flags & curve_flags::kYSigned) != 0 ? std::int64_t{d.originSigned}
                                                  : std::int64_t{d.originUnsigned};
}

void YtChart::setOrigin(int slot, std::int64_t value) {
    CurveDefinition& d = def(slot);
    if ((d.flags & curve_flags::kYSigned) != 0) {
        d.originSigned = chart::clampTo<std::int32_t>(value);
    } else {
        d.originUnsigned = chart::clampTo<std::uint32_t>(value);
    }
}

void YtChart::moveOrigin(int slot, std::int64_t delta) {
    setOrigin(slot, origin(slot) + delta);
}

std::int64_t YtChart::timeOrigin() const {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(record.timeOrigin, std::numeric_limits<std::int64_t>::max()));
}

void YtChart::moveTime(std::int64_t divisions) {
    record.timeOrigin = static_cast<std::uint64_t>(
        std::max<std::int64_t>(0, timeOrigin() + std::int64_t{record.timeResolution} * divisions));
}

std::string YtChart::valueLabel(int slot, int division) const {
    const CurveDefinition& d = def(slot);
    const bool isSigned = (d.flags & curve_flags::kYSigned) != 0;
    const std::int64_t value = origin(slot) + std::int64_t{d.resolution} * division;
    if (const CurveSignal* s = slotSignals[static_cast<std::size_t>(slot) & 3].get()) {
        return s->text(value);
    }
    return chart::valueText(value, isSigned);
}

std::string YtChart::timeLabel(int division) const {
    const std::uint64_t t = record.timeOrigin + std::uint64_t{record.timeResolution} *
                                                    static_cast<std::uint32_t>(division);
    const auto inHour = static_cast<std::uint32_t>(t % 3600000);
    const std::uint32_t minutes = inHour / 60000;
    const std::uint32_t seconds = (inHour - minutes * 60000) / 1000;
    const std::uint32_t millis = inHour - minutes * 60000 - seconds * 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%02u-%02u-%03u", minutes, seconds, millis);
    return text;
}

int YtChart::labelOffset(int slot) {
    static constexpr int kOffsets[4] = {-12, 0, -24, 12};
    return kOffsets[slot & 3];
}

void YtChart::autoMove(std::uint64_t newestTime) {
    const auto tr = static_cast<std::uint64_t>(chart::divisor(record.timeResolution));
    const std::uint64_t n = newestTime / tr;
    record.timeOrigin = n > kDivisions - 1 ? tr * (n - (kDivisions - 1)) : 0;
}

void YtChart::computeScrollRanges(const YtScan& scan, std::uint64_t lastFrameTime) {
    const auto signedTime = [](std::uint64_t t) {
        return static_cast<std::int64_t>(
            std::min<std::uint64_t>(t, std::numeric_limits<std::int64_t>::max()));
    };
    std::int64_t earliest = signedTime(lastFrameTime);
    std::int64_t latest = earliest;
    bool any = false;
    for (int i = 0; i < 4; ++i) {
        const YtSlot& s = scan.slot(i);
        if (!defined(i) || s.samples.empty()) continue;
        any = true;
        std::int64_t first = signedTime(s.samples[0].timeMs());
        if (first > 1) --first;
        earliest = std::min(earliest, first);
        latest = std::min(latest, signedTime(s.samples.back().timeMs()));
    }
    if (!any || latest - earliest < 50) return;
    const std::int64_t tr = chart::divisor(record.timeResolution);
    hbar = {chart::clampTo<int>(earliest / tr), chart::clampTo<int>(latest / tr), kDivisions,
            chart::clampTo<int>(timeOrigin() / tr)};
    std::int64_t below = 0;
    std::int64_t above = 0;
    for (int i = 0; i < 4; ++i) {
        const CurveStatistics& st = scan.slot(i).statistics;
        const std::int64_t r = def(i).resolution;
        if (!defined(i) || !st.hasFirst || r == 0) continue;
        const std::int64_t o = origin(i);
        if (st.minimum < o) below = std::max(below, (o - st.minimum) / r + 1);
        const std::int64_t top = o + kDivisions * r;
        if (st.maximum > top) above = std::max(above, (st.maximum - top) / r + 1);
    }
    vbar = {chart::clampTo<int>(-above), chart::clampTo<int>(below + kDivisions), kDivisions, 0};
}

void YtChart::hScroll(ScrollAction action, bool ctrl, int thumb) {
    const int p = chart::scrolledPosition(hbar, action, ctrl, thumb);
    moveTime(p - hbar.position);
    hbar.position = p;
}

void YtChart::vScroll(ScrollAction action, bool ctrl, int thumb) {
    const int p = chart::scrolledPosition(vbar, action, ctrl, thumb);
    for (int i = 0; i < 4; ++i) {
        if (defined(i)) moveOrigin(i, -std::int64_t{def(i).resolution} * (p - vbar.position));
    }
    vbar.position = p;
}

void YtChart::pan(int pressX, int pressY, int releaseX, int releaseY) {
    const std::int64_t k = chart::divisions(pressX - releaseX, dx);
    const std::int64_t m = chart::divisions(pressY - releaseY, dy);
    moveTime(k);
    for (int i = 0; i < 4; ++i) {
        if (defined(i)) moveOrigin(i, -std::int64_t{def(i).resolution} * m);
    }
}

bool YtChart::zoom(const PixelRect& r) {
    if (r.width() <= dx || r.height() <= dy || dx == 0 || dy == 0) return false;
    bool any = false;
    for (int i = 0; i < 4; ++i) any |= defined(i);
    if (!any) return false;
    const std::int64_t s = (r.left - plot.left) / dx;
    const std::int64_t w = r.width() / dx + 1;
    const std::int64_t rows = (plot.bottom - r.bottom) / dy;
    const std::int64_t h = r.height() / dy + 1;
    for (int i = 0; i < 4; ++i) {
        if (!defined(i)) continue;
        CurveDefinition& d = def(i);
        const std::int64_t resolution = chart::ceilDiv(std::int64_t{d.resolution} * h, kDivisions);
        // A curve whose scale computes to nothing keeps it rather than collapsing.
        if (resolution <= 0) continue;
        moveOrigin(i, std::int64_t{d.resolution} * rows);
        d.resolution = chart::clampTo<std::int32_t>(resolution);
    }
    moveTime(s);
    record.timeResolution = chart::clampTo<std::uint32_t>(std::max<std::int64_t>(
        1, chart::ceilDiv(std::int64_t{record.timeResolution} * w, kDivisions)));
    return true;
}

void YtChart::wheel(chart::WheelTurn turn) {
    const bool forward = turn.forward;
    const double factor = turn.shift ? 2.0 : 1.1;
    if (turn.ctrl) {
        record.timeResolution = chart::clampTo<std::uint32_t>(
            chart::wheelScaled(record.timeResolution, forward, factor));
        return;
    }
    for (int i = 0; i < 4; ++i) {
        if (!defined(i)) continue;
        CurveDefinition& d = def(i);
        std::int64_t r = d.resolution;
        if (forward) {
            r = chart::wheelScaled(r, true, factor);
        } else {
            const bool isSigned = (d.flags & curve_flags::kYSigned) != 0;
            const std::int64_t limit = isSigned ? (0x7FFFFFFFLL - d.originSigned) / kDivisions
                                                : (0xFFFFFFFFLL - d.originUnsigned) / kDivisions;
            std::int64_t n = std::min<std::int64_t>(
                static_cast<std::int64_t>(static_cast<double>(r) * factor), limit);
            if (n == r) ++n;
            r = std::max<std::int64_t>(1, n);
        }
        d.resolution = chart::clampTo<std::int32_t>(r);
    }
}

void YtChart::adjustAll(const YtScan& scan) {
    struct Range {
        bool any = false;
        std::int64_t minimum = 0;
        std::int64_t maximum = 0;
    } signedRange, unsignedRange;
    for (int i = 0; i < 4; ++i) {
        const CurveStatistics& st = scan.slot(i).statistics;
        if (!defined(i) || !st.hasFirst) continue;
        setOrigin(i, st.minimum);
        def(i).resolution = chart::clampTo<std::int32_t>(
            std::max<std::int64_t>(1, chart::ceilDiv(st.maximum - st.minimum, kDivisions)));
        Range& range = (def(i).flags & curve_flags::kYSigned) != 0 ? signedRange : unsignedRange;
        range.minimum = range.any ? std::min(range.minimum, st.minimum) : st.minimum;
        range.maximum = range.any ? std::max(range.maximum, st.maximum) : st.maximum;
        range.any = true;
    }
    if ((record.flags & window_flags::kYMulti) == 0) {
        for (int i = 0; i < 4; ++i) {
            if (!defined(i) || !scan.slot(i).statistics.hasFirst) continue;
            const Range& range =
                (def(i).flags & curve_flags::kYSigned) != 0 ? signedRange : unsignedRange;
            setOrigin(i, range.minimum);
            def(i).resolution = chart::clampTo<std::int32_t>(std::max<std::int64_t>(
                1, chart::ceilDiv(range.maximum - range.minimum, kDivisions)));
        }
    }
    hbar = {};
    vbar = {};
}

std::int64_t YtChart::drawingOrigin(int slot) const {
    return drawsHalved(def(slot).flags, Axis::kY) ? origin(slot) / 2 : origin(slot);
}

std::int64_t YtChart::drawingResolution(int slot) const {
    const std::int64_t extent = std::int64_t{kDivisions} * def(slot).resolution;
    return drawsHalved(def(slot).flags, Axis::kY) ? extent / 2 : extent;
}

std::int64_t YtChart::mouseValue(int slot, int y) const {
    const std::int64_t v = drawingOrigin(slot) +
                           chart::roundDiv(std::int64_t{plot.bottom - y} * drawingResolution(slot),
                                           chart::divisor(std::int64_t{kDivisions} * dy));
    return drawsHalved(def(slot).flags, Axis::kY) ? v * 2 : v;
}

int YtChart::deviceX(std::int64_t timeMs) const {
    const std::int64_t extent = std::int64_t{kDivisions} * chart::divisor(record.timeResolution);
    return timePixel(plot.left, timeMs - timeOrigin(), std::int64_t{kDivisions} * dx, extent);
}

int YtChart::deviceY(int slot, std::int64_t drawn) const {
    const std::int64_t extent = drawingResolution(slot);
    return clampPixel(plot.bottom - chart::roundDiv((drawn - drawingOrigin(slot)) * kDivisions * dy,
                                                    extent <= 0 ? 1 : extent));
}

std::vector<DevicePoint> YtChart::polyline(const YtSlot& slot, int slotIndex,
                                           const FrameStore& store, bool decimated) const {
    std::vector<DevicePoint> out;
    const auto& samples = slot.samples;
    if (samples.empty()) return out;
    const ValueReader reader(slot.definition.flags, Axis::kY);
    const std::uint32_t count = store.count();
    const CurveSignal* signal = slot.signal.get();
    auto drawn = [&](std::size_t i) -> std::int32_t {
        const std::uint32_t frame = samples[i].frame;
        if (frame >= count) return 0;
        if (signal == nullptr) return reader.drawing(store.at(frame));
        std::int64_t v = 0;
        return signal->reading(store.at(frame), v)
                   ? drawingOfReading(slot.definition.flags, Axis::kY, v)
                   : 0;
    };
    // The mapping's constants, taken once for the whole line.
    const std::uint64_t t0 = record.timeOrigin;
    const std::int64_t xScale = std::int64_t{kDivisions} * dx;
    const std::int64_t xExtent = std::int64_t{kDivisions} * chart::divisor(record.timeResolution);
    const std::int64_t yOrigin = drawingOrigin(slotIndex);
    const std::int64_t yScale = std::int64_t{kDivisions} * dy;
    const std::int64_t yExtent = std::max<std::int64_t>(1, drawingResolution(slotIndex));
    auto toX = [&](std::uint64_t t) {
        const std::int64_t offset =
            t >= t0 ? static_cast<std::int64_t>(t - t0) : -static_cast<std::int64_t>(t0 - t);
        return timePixel(plot.left, offset, xScale, xExtent);
    };
    auto toY = [&](std::int64_t v) {
        return clampPixel(plot.bottom - chart::roundDiv((v - yOrigin) * yScale, yExtent));
    };
    auto emit = [&](DevicePoint p) {
        if (out.empty() || !(out.back() == p)) out.push_back(p);
    };
    if (!decimated) {
        for (std::size_t i = samples.size(); i-- > 0;) {
            emit({toX(samples[i].timeMs()), toY(drawn(i))});
            if (samples[i].timeMs() <= t0) break;
        }
        return out;
    }
    // Everything right of the plot is clipped: of those only the one nearest the edge matters.
    const int farRight = plot.right + 1;
    std::size_t i = samples.size() - 1;
    if (toX(samples[i].timeMs()) > farRight) {
        std::size_t lo = 0, hi = i;  // first sample beyond the edge
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (toX(samples[mid].timeMs()) > farRight)
                hi = mid;
            else
                lo = mid + 1;
        }
        i = lo;
    }
    // The newest sample at or before the left edge ends the line.
    std::size_t floor = 0;
    if (samples[0].timeMs() <= t0) {
        std::size_t lo = 0, hi = samples.size() - 1;
        while (lo < hi) {
            const std::size_t mid = (lo + hi + 1) / 2;
            if (samples[mid].timeMs() <= t0)
                lo = mid;
            else
                hi = mid - 1;
        }
        floor = lo;
        i = std::max(i, floor);
    }
    constexpr std::size_t kBlock = std::size_t{1} << YtSlot::kBlockBits;
    constexpr std::size_t kSuperBlock = std::size_t{1} << YtSlot::kSuperBlockBits;
    const auto& blocks = slot.blocks();
    const auto& superBlocks = slot.superBlocks();
    while (true) {
        const int x = toX(samples[i].timeMs());
        // The oldest sample of this pixel column: gallop back, then halve.
        std::size_t step = 1, known = i;
        while (step <= known && toX(samples[known - step].timeMs()) == x) {
            known -= step;
            step *= 2;
        }
        std::size_t lo = step <= known ? known - step + 1 : 0, hi = known;
        while (lo < hi) {
            const std::size_t mid = (lo + hi) / 2;
            if (toX(samples[mid].timeMs()) == x)
                hi = mid;
            else
                lo = mid + 1;
        }
        const std::size_t j = std::max(lo, floor);
        const std::int32_t newest = drawn(i);
        emit({x, toY(newest)});
        if (i > j) {
            std::int32_t lowest = newest, highest = newest;
            auto take = [&](std::int32_t v) {
                lowest = std::min(lowest, v);
                highest = std::max(highest, v);
            };
            std::size_t k = j;
            while (k < i) {
                if ((k & (kSuperBlock - 1)) == 0 && k + kSuperBlock <= i) {
                    const YtSlot::Block& b = superBlocks[k / kSuperBlock];
                    take(b.minimum);
                    take(b.maximum);
                    k += kSuperBlock;
                } else if ((k & (kBlock - 1)) == 0 && k + kBlock <= i) {
                    const YtSlot::Block& b = blocks[k / kBlock];
                    take(b.minimum);
                    take(b.maximum);
                    k += kBlock;
                } else {
                    take(drawn(k));
                    ++k;
                }
            }
            const std::int32_t oldest = drawn(j);
            emit({x, toY(highest)});
            emit({x, toY(lowest)});
            emit({x, toY(oldest)});
        }
        if (j == floor) break;
        i = j - 1;
    }
    return out;
}
