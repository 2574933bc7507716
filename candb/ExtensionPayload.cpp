#include "candb/ExtensionPayload.h"

#include <algorithm>
#include <bit>
#include <cstring>

void PayloadWriter::u32(std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8)
        m_bytes.push_back(static_cast<std::uint8_t>(v >> shift));
}

void PayloadWriter::u64(std::uint64_t v) {
    u32(static_cast<std::uint32_t>(v));
    u32(static_cast<std::uint32_t>(v >> 32));
}

void PayloadWriter::f64(double v) {
    u64(std::bit_cast<std::uint64_t>(v));
}

void PayloadWriter::text(std::string_view v) {
    u32(static_cast<std::uint32_t>(v.size()));
    m_bytes.insert(m_bytes.end(), v.begin(), v.end());
}

std::uint8_t PayloadReader::u8() {
    if (remaining() < 1) {
        fail();
        return 0;
    }
    return m_bytes[m_at++];
}

std::uint32_t PayloadReader::u32() {
    if (remaining() < 4) {
        fail();
        return 0;
    }
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | m_bytes[m_at + static_cast<std::size_t>(i)];
    m_at += 4;
    return v;
}

std::uint64_t PayloadReader::u64() {
    const std::uint64_t low = u32();
    return low | std::uint64_t{u32()} << 32;
}

double PayloadReader::f64() {
    return std::bit_cast<double>(u64());
}

std::string PayloadReader::text(std::size_t limit) {
    const std::uint32_t length = u32();
    if (!m_ok || length > limit || length > remaining()) {
        fail();
        return {};
    }
    std::string out(reinterpret_cast<const char*>(m_bytes.data() + m_at), length);
    m_at += length;
    return out;
}
