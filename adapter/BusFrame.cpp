#include "adapter/BusFrame.h"

#include <vector>

namespace {

// Appends `count` bits of `value`, most significant first.
void put(std::vector<bool>& bits, std::uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) {
        bits.push_back(((value >> i) & 1) != 0);
    }
}

std::uint16_t crc15(const std::vector<bool>& bits) {
    std::uint16_t crc = 0;
    for (bool bit : bits) {
        const bool top = ((crc >> 14) & 1) != 0;
        crc = static_cast<std::uint16_t>((crc << 1) & 0x7FFF);
        if (bit != top) {
            crc ^= 0x4599;
        }
    }
    return crc;
}

}  // namespace

unsigned frameBits(const BusFrame& f) {
    std::vector<bool> bits;
    bits.reserve(160);
    put(bits, 0, 1);  // SOF
    if (f.extended) {
        put(bits, f.identifier >> 18, 11);
        put(bits, 1, 1);  // SRR
        put(bits, 1, 1);  // IDE
        put(bits, f.identifier & 0x3FFFF, 18);
        put(bits, f.remote ? 1 : 0, 1);
        put(bits, 0, 2);  // r1, r0
    } else {
        put(bits, f.identifier & 0x7FF, 11);
        put(bits, f.remote ? 1 : 0, 1);
        put(bits, 0, 2);  // IDE, r0
    }
    const unsigned length = f.length > 8 ? 8 : f.length;
    put(bits, length, 4);
    if (!f.remote) {
        for (unsigned i = 0; i < length; ++i) {
            put(bits, f.data[i], 8);
        }
    }
    put(bits, crc15(bits), 15);
    // Stuff bits: after five equal bits in a row comes one of the other value, which starts the
    // next run.
    unsigned stuffed = 0;
    int run = 0;
    bool last = false;
    for (std::size_t i = 0; i < bits.size(); ++i) {
        if (i > 0 && bits[i] == last) {
            ++run;
        } else {
            run = 1;
            last = bits[i];
        }
        if (run == 5) {
            ++stuffed;
            last = !last;
            run = 1;
        }
    }
    // CRC delimiter, ACK slot and delimiter, end of frame, interframe space.
    return static_cast<unsigned>(bits.size()) + stuffed + 1 + 2 + 7 + 3;
}
