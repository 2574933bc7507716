#include "adapter/FullLoadGenerator.h"

FullLoadGenerator::FullLoadGenerator(std::uint8_t length, bool extended, double framesPerSecond)
    : m_length(length > 8 ? 8 : length),
      m_extended(extended),
      m_intervalUs(framesPerSecond > 0 ? 1e6 / framesPerSecond : 0) {}

bool FullLoadGenerator::next(BusFrame& f, std::uint64_t& wantedAtUs) {
    f = BusFrame{};
    f.extended = m_extended;
    // Identifiers and data change with the count, so every frame can be told apart.
    f.identifier = m_extended ? static_cast<std::uint32_t>(m_count & 0x1FFFFFFF)
                              : static_cast<std::uint32_t>(m_count & 0x7FF);
    f.length = m_length;
    for (std::size_t i = 0; i < sizeof f.data && i < m_length; ++i) {
        f.data[i] = static_cast<std::uint8_t>(m_count >> (8 * (i % 4)));
    }
    wantedAtUs = static_cast<std::uint64_t>(static_cast<double>(m_count) * m_intervalUs);
    return true;
}

void FullLoadGenerator::pop() {
    ++m_count;
}
