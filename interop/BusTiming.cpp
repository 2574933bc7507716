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
    // Stuff bits: after five equal bits in a row comes one of the other value, which starts the
    // next run. Taken run by run: a run of `length` equal bits, with `carry` 1 when the stuff bit
    // ending the run before has this run's value, holds (length + carry) / 5 of them.
    [[nodiscard]] unsigned stuffBits() const {
        unsigned stuffed = 0;
        unsigned carry = 0;
        int left = m_size;
        Bits rest = m_bits << (128 - m_size);  // first bit at the top
        while (left > 0) {
            const bool one = (rest >> 127) != 0;
            const int length = std::min(leadingZeros(one ? ~rest : rest), left);
            const unsigned counted = static_cast<unsigned>(length) + carry;
            stuffed += counted / 5;
            carry = counted % 5 == 0 ? 1 : 0;
            rest = length < 128 ? rest << length : 0;
            left -= length;
        }
        return stuffed;
    }
    [[nodiscard]] unsigned size() const { return static_cast<unsigned>(m_size); }

private:
    static int leadingZeros(Bits v) {
        const auto high = static_cast<std::uint64_t>(v >> 64);
        if (high != 0) return __builtin_clzll(high);
        const auto low = static_cast<std::uint64_t>(v);
        return low != 0 ? 64 + __builtin_clzll(low) : 128;
    }

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
