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

namespace {

// A y(t) slot read by its byte positions.
struct ByteRead {
    YtSlot* slot;
    std::uint32_t identifier;
    ValueReader reader;
};

// A y(t) slot read from a database signal, resolved for the scan.
struct SignalRead {
    YtSlot* slot;
    std::uint32_t identifier;
    SignalReadout readout;
    ReadingDrawer drawer;
    const CurveSignal* signal;  // for kCalls

    // The frame's reading when the frame carries the signal; its identifier already matched.
    bool read(const CapturedFrame& f, std::int64_t& v) const {
        if (readout.kind == SignalReadout::Kind::kCalls) return signal->reading(f, v);
        if (!readout.carries(f)) return false;
        v = readout.reading(f);
        return true;
    }
};

void add(YtSlot& s, std::uint32_t frame, const CapturedFrame& f, std::int32_t drawn,
         std::int64_t reading) {
    s.append(frame, FrameTimeMs(f), drawn);
    s.statistics.add(reading, frame);
}

}  // namespace

bool YtScan::scan(const FrameStore& store, const ApplicationFlags& flags, std::uint32_t limit) {
    // The slots split by how they read, so that the loop over the frames does no more per slot
    // than its own kind needs: byte positions; integer signals (the most common); the others.
    ByteRead bytes[4];
    SignalRead integers[4];
    SignalRead others[4];
    int nBytes = 0, nIntegers = 0, nOthers = 0;
    bool any = false;
    for (YtSlot& s : m_slots) {
        if (!s.defined()) continue;
        any = true;
        const std::uint32_t id = s.definition.identifier;
        if (!s.signal) {
            bytes[nBytes++] = {&s, id, ValueReader(s.definition.flags, Axis::kY)};
            continue;
        }
        const SignalReadout r = s.signal->readout();
        // A signal of another identifier than the curve's is in none of the curve's frames.
        if (r.kind == SignalReadout::Kind::kNever ||
            (r.kind != SignalReadout::Kind::kCalls && r.identifier != id)) {
            continue;
        }
        const SignalRead read{&s, id, r, ReadingDrawer(s.definition.flags, Axis::kY),
                              s.signal.get()};
        if (r.kind == SignalReadout::Kind::kInteger) {
            integers[nIntegers++] = read;
        } else {
            others[nOthers++] = read;
        }
    }
    // Without a curve there is nothing to read: the whole store is passed at once.
    std::uint32_t size = 0;
    if (!prepare(store, flags, any ? limit : kAll, size)) return false;
    bool appended = false;
    if (nBytes + nIntegers + nOthers > 0) {
        store.visit(m_position, size,
                    [&](const CapturedFrame* records, std::size_t count, std::size_t first) {
                        for (std::size_t k = 0; k < count; ++k) {
                            const CapturedFrame& f = records[k];
                            const std::uint32_t id = f.identifier;
                            const auto u = static_cast<std::uint32_t>(first + k);
                            for (int a = 0; a < nBytes; ++a) {
                                const ByteRead& b = bytes[a];
                                if (b.identifier != id) continue;
                                add(*b.slot, u, f, b.reader.drawing(f), b.reader.reading(f));
                                appended = true;
                            }
                            for (int a = 0; a < nIntegers; ++a) {
                                const SignalRead& r = integers[a];
                                if (r.identifier != id || !r.readout.carries(f)) continue;
                                const std::int64_t v = r.readout.integer(f);
                                add(*r.slot, u, f, r.drawer.drawing(v), v);
                                appended = true;
                            }
                            for (int a = 0; a < nOthers; ++a) {
                                const SignalRead& r = others[a];
                                std::int64_t v = 0;
                                if (r.identifier != id || !r.read(f, v)) continue;
                                add(*r.slot, u, f, r.drawer.drawing(v), v);
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

// One axis of a y(x) slot, resolved for the scan: its byte positions, or its signal.
struct AxisRead {
    const CurveSignal* signal = nullptr;  // null: byte positions
    SignalReadout readout;

    explicit AxisRead(const std::shared_ptr<const CurveSignal>& s) : signal(s.get()) {
        if (signal) readout = signal->readout();
    }
    // Whether a frame of the axis's identifier carries its value.
    [[nodiscard]] bool carries(const CapturedFrame& f) const {
        if (!signal) return true;
        if (readout.kind != SignalReadout::Kind::kCalls) {
            return f.identifier == readout.identifier && readout.carries(f);
        }
        std::int64_t unused = 0;
        return signal->reading(f, unused);
    }
    // The reading of a frame known to carry it.
    [[nodiscard]] std::int64_t reading(const CapturedFrame& f, const XYCurveDefinition& d,
                                       Axis axis) const {
        if (!signal) return readingValue(f, d.flags, axis);
        if (readout.kind != SignalReadout::Kind::kCalls) return readout.reading(f);
        std::int64_t v = 0;
        (void)signal->reading(f, v);
        return v;
    }
};

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
        const AxisRead xRead(s.xSignal);
        const AxisRead yRead(s.ySignal);
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
                                    const std::int64_t x = xRead.reading(xf, d, Axis::kX);
                                    const std::int64_t y = yRead.reading(yf, d, Axis::kY);
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
                                const bool xCarried =
                                    id == d.xIdentifier && xRead.carries(records[k]);
                                const bool yCarried =
                                    id == d.yIdentifier && yRead.carries(records[k]);
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
