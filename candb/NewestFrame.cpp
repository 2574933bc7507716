#include "candb/NewestFrame.h"

void NewestFrame::choose(std::uint32_t identifier, bool extended) {
    m_chosen = true;
    m_identifier = identifier;
    m_extended = extended;
    m_generation = ~std::uint64_t{0};  // the next update starts again
}

void NewestFrame::restart(const FrameStore& store) {
    m_generation = store.generation();
    m_ahead = store.count();
    m_back = m_ahead;
    m_newest.reset();
}

std::optional<std::uint32_t> NewestFrame::update(const FrameStore& store) {
    if (!m_chosen) return std::nullopt;
    if (store.generation() != m_generation || store.count() < m_ahead) restart(store);
    const std::uint32_t count = store.count();
    store.visit(m_ahead, count,
                [this](const CapturedFrame* records, std::size_t n, std::size_t first) {
                    for (std::size_t i = 0; i < n; ++i) {
                        if (matches(records[i])) m_newest = static_cast<std::uint32_t>(first + i);
                    }
                });
    m_ahead = count;
    if (!m_newest && m_back > 0) {
        const std::uint32_t from = m_back > m_backStep ? m_back - m_backStep : 0;
        std::optional<std::uint32_t> found;
        store.visit(from, m_back,
                    [&](const CapturedFrame* records, std::size_t n, std::size_t first) {
                        for (std::size_t i = 0; i < n; ++i) {
                            if (matches(records[i])) found = static_cast<std::uint32_t>(first + i);
                        }
                    });
        m_back = found ? 0 : from;
        m_newest = found;
    }
    return m_newest;
}
