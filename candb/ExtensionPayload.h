#pragma once

// The payloads the CAN databases, signal curves and signal filters keep in the document's
// extension block (document/DocumentExtensions.h): little-endian numbers and length-prefixed texts,
// each payload starting with its own layout version. The block carries these records as it
// carries any it does not read itself; they are taken out of it here, after a document is read,
// and put back before one is written.
//
// Thread: any; each call works on its own data.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class PayloadWriter {
public:
    void u8(std::uint8_t v) { m_bytes.push_back(v); }
    void u32(std::uint32_t v);
    void u64(std::uint64_t v);
    void f64(double v);
    // A u32 length, then the bytes.
    void text(std::string_view v);
    [[nodiscard]] std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads within a span; a read past its end, or a text longer than its limit, fails the reader
// and yields zeros and empty texts from then on.
class PayloadReader {
public:
    explicit PayloadReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] std::size_t remaining() const { return m_bytes.size() - m_at; }
    std::uint8_t u8();
    std::uint32_t u32();
    std::uint64_t u64();
    double f64();
    std::string text(std::size_t limit);
    void fail() {
        m_ok = false;
        m_at = m_bytes.size();
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
    bool m_ok = true;
};
