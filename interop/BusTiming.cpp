#include "interop/BusTiming.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

using Bits = unsigned __int128;  // a frame up to its CRC is at most 118 bits

constexpr std::uint16_t kCrcPolynomial = 0x4599;

// The CRC-15 register after eight more bits, for each value of (top eight bits ^ byte).
constexpr std::array<std::uint16_t, 256> crcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 7);
        for (int k = 0; k < 8; ++k) {
            crc = static_cast<std::uint16_t>((crc & 0x4000) != 0 ? (crc << 1) ^ kCrcPolynomial
                                                                 : crc << 1);
        }
        table[i] = crc & 0x7FFF;
    }
    return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = crcTable();

// Stuff bits, bit by bit: after five equal bits in a row comes one of the other value, which
// starts the next run. A state is the last bit's value and the run it ends (1 to 4; a fifth bit
// is followed by its stuff bit at once), 0 before the first bit: 1 + 4 * value + run - 1.
constexpr std::uint8_t kNoBits = 0;

constexpr std::uint8_t stuffStep(std::uint8_t state, unsigned bit, unsigned& stuffed) {
    unsigned run = 1;
    if (state != kNoBits && static_cast<unsigned>(state - 1) / 4 == bit) {
        run = static_cast<unsigned>(state - 1) % 4 + 2;
    }
    if (run == 5) {
        ++stuffed;
        return static_cast<std::uint8_t>(1 + 4 * (bit ^ 1));  // the stuff bit's run of one
    }
    return static_cast<std::uint8_t>(1 + 4 * bit + run - 1);
}

// A frame is counted a byte at a time: what eight bits add, and the state after them.
struct StuffBytes {
    std::array<std::array<std::uint8_t, 256>, 9> stuffed{};
    std::array<std::array<std::uint8_t, 256>, 9> state{};
};

constexpr StuffBytes stuffBytes() {
    StuffBytes table{};
    for (std::uint8_t from = 0; from < 9; ++from) {
        for (unsigned byte = 0; byte < 256; ++byte) {
            unsigned stuffed = 0;
            std::uint8_t state = from;
            for (int k = 7; k >= 0; --k) state = stuffStep(state, (byte >> k) & 1, stuffed);
            table.stuffed[from][byte] = static_cast<std::uint8_t>(stuffed);
            table.state[from][byte] = state;
        }
    }
    return table;
}
constexpr StuffBytes kStuffBytes = stuffBytes();

// The bits of a frame, first bit highest, as they are put together.
class BitRow {
public:
    void put(std::uint32_t value, int count) {
        m_bits = m_bits << count | (value & ((std::uint64_t{1} << count) - 1));
        m_size += count;
    }
    // The CRC-15 of the bits so far: whole bytes through the table, the rest bit by bit.
    [[nodiscard]] std::uint16_t crc15() const {
        std::uint16_t crc = 0;
        int left = m_size;
        for (; left >= 8; left -= 8) {
            const auto byte = static_cast<unsigned>(m_bits >> (left - 8)) & 0xFF;
            crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[((crc >> 7) ^ byte) & 0xFF]) &
                  0x7FFF;
        }
        for (; left > 0; --left) {
            const bool bit = ((m_bits >> (left - 1)) & 1) != 0;
            const bool top = ((crc >> 14) & 1) != 0;
            crc = static_cast<std::uint16_t>((crc << 1) & 0x7FFF);
            if (bit != top) crc ^= kCrcPolynomial;
        }
        return crc;
    }
    // The stuff bits of the bits so far: whole bytes through the table, the rest bit by bit.
    [[nodiscard]] unsigned stuffBits() const {
        unsigned stuffed = 0;
        std::uint8_t state = kNoBits;
        int left = m_size;
        for (; left >= 8; left -= 8) {
            const auto byte = static_cast<unsigned>(m_bits >> (left - 8)) & 0xFF;
            stuffed += kStuffBytes.stuffed[state][byte];
            state = kStuffBytes.state[state][byte];
        }
        for (; left > 0; --left) {
            state = stuffStep(state, static_cast<unsigned>(m_bits >> (left - 1)) & 1, stuffed);
        }
        return stuffed;
    }
    [[nodiscard]] unsigned size() const { return static_cast<unsigned>(m_size); }

private:
    Bits m_bits = 0;
    int m_size = 0;
};

}  // namespace

unsigned canFrameBits(std::uint32_t identifier, bool extended, bool remote, std::uint8_t length,
                      const std::uint8_t* data) {
    BitRow bits;
    bits.put(0, 1);  // SOF
    if (extended) {
        bits.put(identifier >> 18, 11);
        bits.put(1, 1);  // SRR
        bits.put(1, 1);  // IDE
        bits.put(identifier & 0x3FFFF, 18);
        bits.put(remote ? 1 : 0, 1);
        bits.put(0, 2);  // r1, r0
    } else {
        bits.put(identifier & 0x7FF, 11);
        bits.put(remote ? 1 : 0, 1);
        bits.put(0, 2);  // IDE, r0
    }
    const unsigned n = length > 8 ? 8 : length;
    bits.put(n, 4);
    if (!remote) {
        for (unsigned i = 0; i < n; ++i) bits.put(data[i], 8);
    }
    bits.put(bits.crc15(), 15);
    // CRC delimiter, ACK slot and delimiter, end of frame, interframe space.
    return bits.size() + bits.stuffBits() + 1 + 2 + 7 + 3;
}

std::uint64_t busTimeUs(unsigned bits, unsigned baudKbps) {
    if (baudKbps == 0) return 0;
    const double usPerBit = 1000.0 / baudKbps;
    return static_cast<std::uint64_t>(std::llround(bits * usPerBit));
}

std::uint32_t loadingPercent(std::uint64_t busyUs, std::uint64_t windowUs) {
    if (windowUs == 0) return 0;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(100, (busyUs * 100 + windowUs / 2) / windowUs));
}
