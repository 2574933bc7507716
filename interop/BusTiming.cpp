#include "interop/BusTiming.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The bits from the start of frame to the end of the CRC, before stuffing; 118 at most.
class BitRow {
public:
    // Appends `count` bits of `value`, most significant first.
    void put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) m_bits[m_size++] = ((value >> i) & 1) != 0;
    }
    [[nodiscard]] std::uint16_t crc15() const {
        std::uint16_t crc = 0;
        for (std::size_t i = 0; i < m_size; ++i) {
            const bool top = ((crc >> 14) & 1) != 0;
            crc = static_cast<std::uint16_t>((crc << 1) & 0x7FFF);
            if (m_bits[i] != top) crc ^= 0x4599;
        }
        return crc;
    }
    // Stuff bits: after five equal bits in a row comes one of the other value, which starts the
    // next run.
    [[nodiscard]] unsigned stuffBits() const {
        unsigned stuffed = 0;
        int run = 0;
        bool last = false;
        for (std::size_t i = 0; i < m_size; ++i) {
            if (i > 0 && m_bits[i] == last) {
                ++run;
            } else {
                run = 1;
                last = m_bits[i];
            }
            if (run == 5) {
                ++stuffed;
                last = !last;
                run = 1;
            }
        }
        return stuffed;
    }
    [[nodiscard]] unsigned size() const { return static_cast<unsigned>(m_size); }

private:
    bool m_bits[128] = {};
    std::size_t m_size = 0;
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
