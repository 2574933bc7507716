#include "overview/StoreReplaySource.h"

#include "interop/LogTime.h"

#include <algorithm>

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
    frame = toLogFrame(m_store.at(position));
    return true;
}

bool StoreReplaySource::rewind() {
    m_next = 0;
    return true;
}

double StoreReplaySource::progress() const {
    return m_total == 0 ? 1.0 : static_cast<double>(m_next) / static_cast<double>(m_total);
}
