#include "curves/CurveScan.h"

bool CurveStatistics::add(std::int64_t value, std::uint32_t frame) {
    if (!hasFirst) {
        hasFirst = true;
        maximum = minimum = value;
        maximumIndex = minimumIndex = frame;
        return true;
    }
    bool changed = false;
    if (value > maximum) {
        maximum = value;
        maximumIndex = frame;
        changed = true;
    }
    if (value < minimum) {
        minimum = value;
        minimumIndex = frame;
        changed = true;
    }
    return changed;
}

namespace {

template <typename Blocks>
void summarise(Blocks& blocks, std::size_t index, std::size_t bits, std::int32_t drawn) {
    if ((index & ((std::size_t{1} << bits) - 1)) == 0) {
        blocks.push_back({drawn, drawn});
    } else {
        YtSlot::Block& b = blocks.back();
        if (drawn < b.minimum) b.minimum = drawn;
        if (drawn > b.maximum) b.maximum = drawn;
    }
}

}  // namespace

void YtSlot::append(std::uint32_t frame, std::uint64_t timeMs, std::int32_t drawn) {
    summarise(m_blocks, samples.size(), kBlockBits, drawn);
    summarise(m_superBlocks, samples.size(), kSuperBlockBits, drawn);
    samples.push_back({frame, timeMs});
}

void YtSlot::clear() {
    samples.clear();
    m_blocks.clear();
    m_superBlocks.clear();
    statistics = {};
}

std::size_t YtSlot::memoryInUse() const {
    return samples.memoryInUse() + m_blocks.memoryInUse() + m_superBlocks.memoryInUse();
}

bool YtScan::scan(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit) {
    int active[4];
    int n = 0;
    for (int i = 0; i < 4; ++i) {
        if (m_slots[static_cast<std::size_t>(i)].defined()) active[n++] = i;
    }
    // Without a curve there is nothing to read: the whole store is passed at once.
    std::uint32_t size = 0;
    if (!prepare(store, flags, n > 0 ? limit : kAll, size)) return false;
    const ValueReader readers[4] = {{m_slots[0].definition.flags, Axis::kY},
                                    {m_slots[1].definition.flags, Axis::kY},
                                    {m_slots[2].definition.flags, Axis::kY},
                                    {m_slots[3].definition.flags, Axis::kY}};
    bool appended = false;
    if (n > 0) {
        store.visit(m_position, size,
                    [&](const CapturedFrame* records, std::size_t count, std::size_t first) {
                        for (std::size_t k = 0; k < count; ++k) {
                            const CapturedFrame& f = records[k];
                            for (int a = 0; a < n; ++a) {
                                YtSlot& s = m_slots[static_cast<std::size_t>(active[a])];
                                if (s.definition.identifier != f.identifier) continue;
                                const auto u = static_cast<std::uint32_t>(first + k);
                                if (s.signal) {
                                    std::int64_t v = 0;
                                    if (!s.signal->reading(f, v)) continue;
                                    s.append(u, FrameTimeMs(f),
                                             drawingOfReading(s.definition.flags, Axis::kY, v));
                                    s.statistics.add(v, u);
                                    appended = true;
                                    continue;
                                }
                                const ValueReader& reader = readers[active[a]];
                                const std::int64_t v = reader.reading(f);
                                s.append(u, FrameTimeMs(f), reader.drawing(f));
                                s.statistics.add(v, u);
                                appended = true;
                            }
                        }
                    });
    }
    m_position = size;
    return appended;
}

void YtScan::setSignals(const CurveSignals& slotSignals) {
    for (std::size_t i = 0; i < 4; ++i) m_slots[i].signal = slotSignals[i];
    reset();
}

std::uint64_t YtScan::newestTime() const {
    std::uint64_t t = 0;
    for (const YtSlot& s : m_slots) {
        if (s.defined() && !s.samples.empty() && s.samples.back().timeMs() > t) {
            t = s.samples.back().timeMs();
        }
    }
    return t;
}

std::size_t YtScan::memoryInUse() const {
    std::size_t bytes = 0;
    for (const YtSlot& s : m_slots) bytes += s.memoryInUse();
    return bytes;
}

void YxSlot::clear() {
    samples.clear();
    points.clear();
    xStatistics = {};
    yStatistics = {};
    sync = {};
}

namespace {

// The axis's reading of a frame known to carry it.
std::int64_t readingOf(const std::shared_ptr<const CurveSignal>& signal, const CapturedFrame& f,
                       const XYCurveDefinition& d, Axis axis) {
    std::int64_t v = 0;
    if (!signal) return readingValue(f, d.flags, axis);
    (void)signal->reading(f, v);
    return v;
}

}  // namespace

void YxScan::setSignals(const CurveSignals& y, const CurveSignals& x) {
    for (std::size_t i = 0; i < 4; ++i) {
        m_slots[i].ySignal = y[i];
        m_slots[i].xSignal = x[i];
    }
    reset();
}

bool YxScan::scan(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit) {
    const bool any =
        std::any_of(m_slots.begin(), m_slots.end(), [](const YxSlot& s) { return s.defined(); });
    std::uint32_t size = 0;
    if (!prepare(store, flags, any ? limit : kAll, size)) return false;

    bool changed = false;
    for (YxSlot& s : m_slots) {
        if (!s.defined()) continue;
        const XYCurveDefinition& d = s.definition;
        store.visit(m_position, size,
                    [&](const CapturedFrame* records, std::size_t count, std::size_t first) {
                        for (std::size_t k = 0; k < count; ++k) {
                            const std::uint32_t id = records[k].identifier;
                            const auto u = static_cast<std::uint32_t>(first + k);
                            SyncState& sync = s.sync;
                            if (id == d.syncIdentifier) {
                                sync.armed = true;
                                if (sync.xCount > 0 && sync.yCount > 0) {
                                    const CapturedFrame& xf = store.at(sync.lastX);
                                    const CapturedFrame& yf = store.at(sync.lastY);
                                    const std::int64_t x = readingOf(s.xSignal, xf, d, Axis::kX);
                                    const std::int64_t y = readingOf(s.ySignal, yf, d, Axis::kY);
                                    s.samples.push_back({1, sync.lastY, sync.lastX});
                                    s.points.push_back(
                                        {s.xSignal ? drawingOfReading(d.flags, Axis::kX, x)
                                                   : drawingValue(xf, d.flags, Axis::kX),
                                         s.ySignal ? drawingOfReading(d.flags, Axis::kY, y)
                                                   : drawingValue(yf, d.flags, Axis::kY)});
                                    changed |= s.xStatistics.add(x, sync.lastX);
                                    changed |= s.yStatistics.add(y, sync.lastY);
                                    sync.xCount = sync.yCount = 0;
                                    sync.xReceived = false;
                                }
                            }
                            if (sync.armed) {
                                // A signal's frame counts only when it carries the signal.
                                std::int64_t unused = 0;
                                const bool xCarried =
                                    id == d.xIdentifier &&
                                    (!s.xSignal || s.xSignal->reading(records[k], unused));
                                const bool yCarried =
                                    id == d.yIdentifier &&
                                    (!s.ySignal || s.ySignal->reading(records[k], unused));
                                if (xCarried) {
                                    sync.lastX = u;
                                    ++sync.xCount;
                                    sync.xReceived = true;
                                }
                                if (yCarried) {
                                    sync.lastY = u;
                                    ++sync.yCount;
                                }
                            }
                        }
                    });
    }
    m_position = size;
    return changed;
}
