#include "adapter/SlcanCodec.h"

#include <algorithm>
#include <cmath>

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hexNumber(std::string_view digits, std::uint32_t& value) {
    value = 0;
    for (char c : digits) {
        const int v = hexValue(c);
        if (v < 0) return false;
        value = value << 4 | static_cast<std::uint32_t>(v);
    }
    return true;
}

bool printable(std::string_view text) {
    for (char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

SlcanCodec::Line malformed(const char* why) {
    SlcanCodec::Line line;
    line.kind = SlcanCodec::Kind::Malformed;
    line.text = why;
    return line;
}

SlcanCodec::Line parseFrame(std::string_view s) {
    const bool extended = s[0] == 'T' || s[0] == 'R';
    const bool remote = s[0] == 'r' || s[0] == 'R';
    const std::size_t idDigits = extended ? 8 : 3;
    if (s.size() < 1 + idDigits + 1) return malformed("a frame shorter than its header");
    std::uint32_t id = 0;
    if (!hexNumber(s.substr(1, idDigits), id))
        return malformed("the identifier is not hexadecimal");
    if (id > (extended ? 0x1FFFFFFFu : 0x7FFu)) return malformed("the identifier is out of range");
    const char dlc = s[1 + idDigits];
    if (dlc < '0' || dlc > '8') return malformed("the length is not 0 to 8");
    const std::size_t length = static_cast<std::size_t>(dlc - '0');
    const std::size_t dataDigits = remote ? 0 : 2 * length;
    const std::size_t bare = 1 + idDigits + 1 + dataDigits;
    if (s.size() != bare && s.size() != bare + 4) return malformed("the frame has a wrong length");
    SlcanCodec::Line line;
    line.kind = SlcanCodec::Kind::Frame;
    BusFrame& f = line.frame;
    f.identifier = id;
    f.extended = extended;
    f.remote = remote;
    f.length = static_cast<std::uint8_t>(length);
    for (std::size_t i = 0; i < dataDigits / 2; ++i) {
        std::uint32_t byte = 0;
        if (!hexNumber(s.substr(bare - dataDigits + 2 * i, 2), byte)) {
            return malformed("the data is not hexadecimal");
        }
        f.data[i] = static_cast<std::uint8_t>(byte);
    }
    if (s.size() == bare + 4) {
        std::uint32_t ms = 0;
        if (!hexNumber(s.substr(bare, 4), ms))
            return malformed("the time stamp is not hexadecimal");
        if (ms >= SlcanCodec::kTimeWrapMs) return malformed("the time stamp is 60000 ms or more");
        line.timeMs = static_cast<std::uint16_t>(ms);
    }
    return line;
}

}  // namespace

std::optional<char> SlcanCodec::bitRateDigit(std::uint16_t kbps) {
    switch (kbps) {
        case 10:
            return '0';
        case 20:
            return '1';
        case 50:
            return '2';
        case 100:
            return '3';
        case 125:
            return '4';
        case 250:
            return '5';
        case 500:
            return '6';
        case 800:
            return '7';
        case 1000:
            return '8';
        default:
            return std::nullopt;
    }
}

std::string SlcanCodec::encode(const BusFrame& f) {
    static const char kHex[] = "0123456789ABCDEF";
    const unsigned length = f.length > 8 ? 8 : f.length;
    std::string out;
    out.reserve(32);
    out += f.extended ? (f.remote ? 'R' : 'T') : (f.remote ? 'r' : 't');
    const int idDigits = f.extended ? 8 : 3;
    const std::uint32_t id = f.identifier & (f.extended ? 0x1FFFFFFFu : 0x7FFu);
    for (int i = idDigits - 1; i >= 0; --i) {
        out += kHex[(id >> (4 * i)) & 0xF];
    }
    out += static_cast<char>('0' + length);
    if (!f.remote) {
        for (unsigned i = 0; i < length; ++i) {
            out += kHex[f.data[i] >> 4];
            out += kHex[f.data[i] & 0xF];
        }
    }
    out += '\r';
    return out;
}

SlcanCodec::Line SlcanCodec::parse(std::string_view s) {
    Line line;
    if (s.empty()) {
        line.kind = Kind::Ok;
        return line;
    }
    switch (s[0]) {
        case 't':
        case 'T':
        case 'r':
        case 'R':
            return parseFrame(s);
        case 'z':
        case 'Z':
            if (s.size() != 1) return malformed("text after a send confirmation");
            line.kind = Kind::Sent;
            return line;
        case 'F': {
            std::uint32_t flags = 0;
            if (s.size() != 3 || !hexNumber(s.substr(1), flags)) {
                return malformed("a status is F and two hexadecimal digits");
            }
            line.kind = Kind::Status;
            line.status = static_cast<std::uint8_t>(flags);
            return line;
        }
        case 'V':
        case 'v':
        case 'N':
            if (!printable(s.substr(1))) return malformed("unprintable characters");
            line.kind = s[0] == 'N' ? Kind::Serial : Kind::Version;
            line.text = std::string(s.substr(1));
            return line;
        default:
            return malformed("an unknown reply");
    }
}

void SlcanCodec::feed(std::string_view bytes, std::vector<Line>& out) {
    for (char c : bytes) {
        if (c == '\r' || c == '\a') {
            if (m_discarding) {
                m_discarding = false;
            } else if (c == '\r') {
                out.push_back(parse(m_line));
            } else if (!m_line.empty()) {
                // Half a line before a refusal: the refusal is what counts, the rest is noise.
                out.push_back(malformed("an unfinished line before BEL"));
            }
            if (c == '\a') {
                Line refused;
                refused.kind = Kind::Error;
                out.push_back(refused);
            }
            m_line.clear();
        } else if (c == '\n') {
            // Some adapters end their lines with CR LF.
        } else if (!m_discarding) {
            if (m_line.size() >= kLongestLine) {
                out.push_back(malformed("a line longer than any frame"));
                m_line.clear();
                m_discarding = true;
            } else {
                m_line += c;
            }
        }
    }
}

SlcanTimeline::Clock::time_point SlcanTimeline::place(std::uint16_t stampMs,
                                                      Clock::time_point arrival) {
    using std::chrono::milliseconds;
    if (!m_anchored) {
        m_anchored = true;
        m_anchorStampMs = stampMs;
        m_anchorTime = arrival;
        return arrival;
    }
    const auto sinceAnchorMs =
        std::chrono::duration_cast<milliseconds>(arrival - m_anchorTime).count();
    const std::int64_t expected = m_anchorStampMs + sinceAnchorMs;
    // The wraps that bring the stamp nearest to where the host's clock says it should be.
    const auto wraps = static_cast<std::int64_t>(
        std::llround(static_cast<double>(expected - stampMs) / SlcanCodec::kTimeWrapMs));
    const std::int64_t unwrapped = stampMs + wraps * SlcanCodec::kTimeWrapMs;
    const Clock::time_point placed = m_anchorTime + milliseconds(unwrapped - m_anchorStampMs);
    if (placed > arrival + milliseconds(2) || placed < arrival - milliseconds(kToleranceMs)) {
        // The clocks drifted, or the anchor frame came late: anchor on this one.
        m_anchorStampMs = unwrapped;
        m_anchorTime = arrival;
        return arrival;
    }
    // Stamps count whole milliseconds; a frame never ends after it arrived.
    return std::min(placed, arrival);
}
