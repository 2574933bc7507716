#include "interop/LogWriter.h"

#include "interop/AscDate.h"
#include "interop/BlfWriter.h"
#include "interop/PcapWriter.h"

#include <cstring>

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Writes the line without formatting calls: exports run to millions of lines.
class Line {
public:
    explicit Line(char* out) : m_begin(out), m_p(out) {}
    Line& text(std::string_view s) {
        std::memcpy(m_p, s.data(), s.size());
        m_p += s.size();
        return *this;
    }
    Line& ch(char c) {
        *m_p++ = c;
        return *this;
    }
    Line& spaces(int n) {
        while (n-- > 0) *m_p++ = ' ';
        return *this;
    }
    // At least `digits` decimal digits, zero-filled, or space-filled with `pad`.
    Line& dec(std::uint64_t v, int digits, char pad = '0') {
        char tmp[24];
        int n = 0;
        do {
            tmp[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n < digits) tmp[n++] = pad;
        while (n > 0) *m_p++ = tmp[--n];
        return *this;
    }
    Line& hex(std::uint32_t v, int digits) {
        for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
            *m_p++ = kHex[(v >> shift) & 0xF];
        return *this;
    }
    // Hexadecimal without leading zeros.
    Line& hexShort(std::uint32_t v) {
        int digits = 1;
        while (digits < 8 && (v >> (digits * 4)) != 0) ++digits;
        return hex(v, digits);
    }
    [[nodiscard]] char* at() const { return m_p; }
    [[nodiscard]] int length() const { return static_cast<int>(m_p - m_begin); }

private:
    char* m_begin;
    char* m_p;
};

std::uint8_t lengthOf(const LogFrame& f) {
    return f.length > 8 ? 8 : f.length;
}

}  // namespace

bool validInterfaceName(std::string_view name) {
    if (name.empty() || name.size() > 15) return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                        (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.';
        if (!ok) return false;
    }
    return true;
}

int formatCandumpLine(char* out, const LogFrame& f, std::string_view interfaceName) {
    Line l(out);
    l.ch('(').dec(f.timeUs / 1'000'000, 10).ch('.').dec(f.timeUs % 1'000'000, 6).text(") ");
    l.text(interfaceName.substr(0, 15)).ch(' ');
    if (f.extended) {
        l.hex(f.identifier & 0x1FFFFFFFu, 8);
    } else {
        l.hex(f.identifier & 0x7FFu, 3);
    }
    l.ch('#');
    const std::uint8_t n = lengthOf(f);
    if (f.remote) {
        l.ch('R');
        if (n > 0) l.ch(static_cast<char>('0' + n));
    } else {
        for (std::uint8_t i = 0; i < n; ++i) l.hex(f.data[i], 2);
    }
    l.ch('\n');
    return l.length();
}

unsigned ascChannel(std::string_view name) {
    std::size_t digits = 0;
    while (digits < name.size() && digits < 6 && name[name.size() - 1 - digits] >= '0' &&
           name[name.size() - 1 - digits] <= '9') {
        ++digits;
    }
    if (digits == 0) return 1;
    unsigned n = 0;
    for (char c : name.substr(name.size() - digits)) n = n * 10 + static_cast<unsigned>(c - '0');
    return n + 1;
}

int formatAscLine(char* out, const LogFrame& f, unsigned channel) {
    Line l(out);
    l.dec(f.timeUs / 1'000'000, 4, ' ').ch('.').dec(f.timeUs % 1'000'000, 6).ch(' ');
    l.dec(channel, 1).text("  ");
    // The identifier in a column of fifteen.
    char* idStart = l.at();
    l.hexShort(f.extended ? f.identifier & 0x1FFFFFFFu : f.identifier & 0x7FFu);
    if (f.extended) l.ch('x');
    l.spaces(16 - static_cast<int>(l.at() - idStart));
    const std::uint8_t n = lengthOf(f);
    l.text("Rx   ").ch(f.remote ? 'r' : 'd').ch(' ').dec(n, 1);
    if (!f.remote) {
        for (std::uint8_t i = 0; i < n; ++i) l.ch(' ').hex(f.data[i], 2);
    }
    l.ch('\n');
    return l.length();
}

std::string ascHeader(std::time_t when, int millis) {
    const std::string date = formatAscDate(std::int64_t{when} * 1'000'000 + millis * 1000);
    return "date " + date + "\nbase hex  timestamps absolute\nno internal events logged\n" +
           "Begin Triggerblock " + date + "\n";
}

LineLogWriter::LineLogWriter(const std::string& path, std::string interfaceName)
    : m_interface(std::move(interfaceName)), m_archive(path) {}

bool LineLogWriter::commit() {
    finish();
    return m_archive.commit();
}

int CandumpWriter::format(char* out, const LogFrame& frame) {
    return formatCandumpLine(out, frame, m_interface);
}

AscWriter::AscWriter(const std::string& path, std::string interfaceName, std::time_t when,
                     int millis)
    : LineLogWriter(path, std::move(interfaceName)), m_channel(ascChannel(m_interface)) {
    put(ascHeader(when, millis));
}

int AscWriter::format(char* out, const LogFrame& frame) {
    return formatAscLine(out, frame, m_channel);
}

void AscWriter::finish() {
    put("End TriggerBlock\n");
}

std::unique_ptr<LogWriter> makeLogWriter(LogFormat format, const std::string& path,
                                         const std::string& interfaceName, std::time_t when,
                                         int millis) {
    switch (format) {
        case LogFormat::kAsc:
            return std::make_unique<AscWriter>(path, interfaceName, when, millis);
        case LogFormat::kBlf:
            return std::make_unique<BlfWriter>(path, interfaceName, when);
        case LogFormat::kPcap:
            return std::make_unique<PcapWriter>(path);
        case LogFormat::kCandump:
            break;
    }
    return std::make_unique<CandumpWriter>(path, interfaceName);
}
