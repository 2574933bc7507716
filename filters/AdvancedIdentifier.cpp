#include "filters/AdvancedIdentifier.h"

void AdvancedIdentifierClicks::setFrom(std::uint32_t mask, std::uint32_t bits) {
    for (int i = 0; i < kBits; ++i) {
        counters[static_cast<std::size_t>(i)] = (mask >> i & 1) == 0 ? 2 : (bits >> i & 1);
    }
}

AdvancedIdentifier::AdvancedIdentifier(AdvancedIdentifierClicks& clicks, bool standard)
    : m_clicks(clicks), m_standard(standard) {
    // The mask starts as the shown states say, so OK without a click returns what is shown.
    for (int bit = 0; bit < shownBits(); ++bit) apply(bit);
}

char AdvancedIdentifier::stateText(int bit) const {
    if (bit < 0 || bit >= AdvancedIdentifierClicks::kBits) return 'X';
    switch (m_clicks.counters[static_cast<std::size_t>(bit)] % 3) {
        case 0:
            return '0';
        case 1:
            return '1';
        default:
            return 'X';
    }
}

void AdvancedIdentifier::click(int bit) {
    if (bit < 0 || bit >= shownBits()) return;
    auto& counter = m_clicks.counters[static_cast<std::size_t>(bit)];
    // Keeps the cycle when the counter would wrap: 2^32 is not a multiple of 3.
    counter = counter % 3 + 1;
    apply(bit);
}

void AdvancedIdentifier::apply(int bit) {
    const std::uint32_t flag = 1u << bit;
    switch (stateText(bit)) {
        case '0':
            m_mask |= flag;
            m_bits &= ~flag;
            break;
        case '1':
            m_mask |= flag;
            m_bits |= flag;
            break;
        default:
            m_mask &= ~flag;
            m_bits &= ~flag;
            break;
    }
}
