#pragma once

// The "Advanced Identifier" choice: one click counter per identifier bit (29), kept by the
// application so that the clicks outlive the dialog. A bit's state is its counter modulo 3:
// 0 the bit must be 0, 1 it must be 1, 2 it is free.
//
// Thread: the user-interface thread.

#include <array>
#include <cstdint>

struct AdvancedIdentifierClicks {
    static constexpr int kBits = 29;
    std::array<std::uint32_t, kBits> counters = filled();

    // Counters that stand for `mask` and `bits` (bits outside the mask free).
    void setFrom(std::uint32_t mask, std::uint32_t bits);

private:
    static constexpr std::array<std::uint32_t, kBits> filled() {
        std::array<std::uint32_t, kBits> a{};
        a.fill(2);
        return a;
    }
};

class AdvancedIdentifier {
public:
    // `standard`: only the eleven bits of a standard identifier are offered.
    AdvancedIdentifier(AdvancedIdentifierClicks& clicks, bool standard);

    [[nodiscard]] int shownBits() const {
        return m_standard ? 11 : AdvancedIdentifierClicks::kBits;
    }
    // "0", "1" or "X" for identifier bit `bit`.
    [[nodiscard]] char stateText(int bit) const;
    // Button n stands for bit n - 1.
    void click(int bit);
    [[nodiscard]] std::uint32_t mask() const { return m_mask; }
    [[nodiscard]] std::uint32_t bits() const { return m_bits; }

private:
    void apply(int bit);

    AdvancedIdentifierClicks& m_clicks;
    bool m_standard;
    std::uint32_t m_mask = 0;
    std::uint32_t m_bits = 0;
};
