#include "overview/StoreReplaySource.h"

#include "capture/AdapterClock.h"

#include <algorithm>
#include <cstring>

namespace {

// The frame as a log carries it, timed as the log export times it.
LogFrame logFrameOf(const CapturedFrame& f) {
    LogFrame l;
    l.timeUs = adapterTimeUs(f);
    l.identifier = f.identifier;
    l.extended = f.format != 0;
    l.remote = f.status == 1;
    l.length = f.length > 8 ? 8 : f.length;
    std::memcpy(l.data, f.data, 8);
    return l;
}

}  // namespace

StoreReplaySource::StoreReplaySource(const FrameStore& store)
    : m_store(store), m_total(store.count()) {}

StoreReplaySource::StoreReplaySource(const FrameStore& store, std::vector<std::uint32_t> positions)
    : m_store(store), m_positions(std::move(positions)) {
    // Rows beyond the store as it is now cannot be read safely later.
    const std::uint32_t count = store.count();
    std::erase_if(*m_positions, [count](std::uint32_t p) { return p >= count; });
    m_total = m_positions->size();
}

bool StoreReplaySource::next(LogFrame& frame) {
    if (m_next >= m_total) return false;
    const std::size_t position = m_positions ? (*m_positions)[m_next] : m_next;
    ++m_next;
    frame = logFrameOf(m_store.at(position));
    return true;
}

bool StoreReplaySource::rewind() {
    m_next = 0;
    return true;
}

double StoreReplaySource::progress() const {
    return m_total == 0 ? 1.0 : static_cast<double>(m_next) / static_cast<double>(m_total);
}
