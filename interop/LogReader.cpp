#include "interop/LogReader.h"

#include "interop/AscDate.h"
#include "interop/BlfReader.h"
#include "interop/PcapReader.h"

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// Whitespace-separated words of one line.
class Words {
public:
    explicit Words(std::string_view line) : m_line(line) {}
    std::string_view next() {
        while (m_pos < m_line.size() && isSpace(m_line[m_pos])) ++m_pos;
        const std::size_t start = m_pos;
        while (m_pos < m_line.size() && !isSpace(m_line[m_pos])) ++m_pos;
        return m_line.substr(start, m_pos - start);
    }
    [[nodiscard]] std::string_view rest() const { return m_line.substr(m_pos); }

private:
    std::string_view m_line;
    std::size_t m_pos = 0;
};

// Up to 8 hexadecimal digits.
bool parseHex(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 8) return false;
    value = 0;
    for (char c : text) {
        const int v = hexValue(c);
        if (v < 0) return false;
        value = value << 4 | static_cast<std::uint32_t>(v);
    }
    return true;
}

// Up to 10 decimal digits that fit 32 bits.
bool parseDecimal(std::string_view text, std::uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (!isDigit(c)) return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFull) return false;
    value = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

namespace logparse {

bool parseSeconds(std::string_view text, std::uint64_t& us) {
    const std::size_t dot = text.find('.');
    if (dot == std::string_view::npos || dot == 0 || dot > 12) return false;
    const std::size_t fraction = text.size() - dot - 1;
    if (fraction == 0 || fraction > 9) return false;
    std::uint64_t seconds = 0;
    for (std::size_t i = 0; i < dot; ++i) {
        if (!isDigit(text[i])) return false;
        seconds = seconds * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    std::uint64_t micros = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        const std::size_t at = dot + 1 + i;
        if (at < text.size()) {
            if (!isDigit(text[at])) return false;
            micros = micros * 10 + static_cast<std::uint64_t>(text[at] - '0');
        } else {
            micros *= 10;
        }
    }
    for (std::size_t at = dot + 7; at < text.size(); ++at) {
        if (!isDigit(text[at])) return false;
    }
    us = seconds * 1'000'000 + micros;
    return true;
}

}  // namespace logparse

// ---- Common -------------------------------------------------------------------------------

bool LineLogReader::openFile(const std::string& path) {
    if (!m_lines.openFile(path)) {
        m_result.ok = false;
        m_result.error = m_lines.error();
        return false;
    }
    return true;
}

void LineLogReader::openMemory(std::string_view bytes) {
    m_lines.openMemory(bytes);
}

bool LineLogReader::next(LogFrame& frame) {
    if (!m_result.ok) return false;
    for (;;) {
        std::string_view line;
        bool terminated = true;
        const LineReader::Status status = m_lines.next(line, terminated);
        m_result.lines = m_lines.lineNumber();
        m_result.utf16 = m_lines.looksUtf16();
        switch (status) {
            case LineReader::Status::kEnd:
                return false;
            case LineReader::Status::kFailed:
                m_result.ok = false;
                m_result.error = m_lines.error();
                return false;
            case LineReader::Status::kTooLong:
                m_result.skip(m_lines.lineNumber(), SkipReason::kTooLong, {});
                continue;
            case LineReader::Status::kLine:
                break;
        }
        SkipReason reason = SkipReason::kMalformed;
        const char* detail = "";
        frame = LogFrame{};
        Parse parsed = parseLine(line, frame, reason, detail);
        if (!terminated && parsed != Parse::kNothing) {
            // "... 77 8" may be what is left of "... 77 88": nothing of a cut line is taken.
            parsed = Parse::kSkip;
            reason = SkipReason::kCutShort;
            detail = "";
        }
        switch (parsed) {
            case Parse::kFrame:
                if (!m_seenFrame) {
                    m_seenFrame = true;
                    firstFrame(frame);
                }
                ++m_result.frames;
                return true;
            case Parse::kNothing:
                continue;
            case Parse::kSkip:
                m_result.skip(m_lines.lineNumber(), reason, detail);
                continue;
        }
    }
}

std::unique_ptr<LogReader> makeLogReader(LogFormat format) {
    switch (format) {
        case LogFormat::kAsc:
            return std::make_unique<AscReader>();
        case LogFormat::kBlf:
            return std::make_unique<BlfReader>();
        case LogFormat::kPcap:
            return std::make_unique<PcapReader>();
        case LogFormat::kCandump:
            break;
    }
    return std::make_unique<CandumpReader>();
}

// ---- candump ------------------------------------------------------------------------------

void CandumpReader::firstFrame(const LogFrame& frame) {
    m_clockZeroUs = frame.timeUs >= kWallClockFromUs ? frame.timeUs : 0;
    if (m_clockZeroUs != 0) m_timeOfDayAtZeroUs = static_cast<std::int64_t>(m_clockZeroUs);
}

LineLogReader::Parse CandumpReader::parseLine(std::string_view line, LogFrame& f,
                                              SkipReason& reason, const char*& detail) {
    const auto malformed = [&](const char* why) {
        reason = SkipReason::kMalformed;
        detail = why;
        return Parse::kSkip;
    };
    Words words(line);
    const std::string_view time = words.next();
    if (time.empty()) return Parse::kNothing;
    if (time.size() < 3 || time.front() != '(' || time.back() != ')' ||
        !logparse::parseSeconds(time.substr(1, time.size() - 2), f.timeUs)) {
        return malformed("expected the time as (seconds.microseconds)");
    }
    const std::string_view iface = words.next();
    const std::string_view token = words.next();
    if (token.empty()) return malformed("expected '(time) interface ID#DATA'");
    if (iface.size() > 64) return malformed("the interface name is too long");
    for (char c : iface) {
        if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F) {
            return malformed("the interface name is not plain text");
        }
    }
    // A direction flag may follow the frame.
    const std::string_view flag = words.next();
    if (!flag.empty() && flag != "R" && flag != "T") {
        return malformed("unexpected text after the frame");
    }
    if (!words.next().empty()) return malformed("unexpected text after the frame");

    const std::size_t hash = token.find('#');
    if (hash == std::string_view::npos) return malformed("no '#' between identifier and data");
    const std::string_view id = token.substr(0, hash);
    std::string_view rest = token.substr(hash + 1);
    if (id.size() != 3 && id.size() != 8) {
        return malformed("the identifier has neither 3 nor 8 digits");
    }
    if (!parseHex(id, f.identifier)) return malformed("the identifier is not hexadecimal");
    f.extended = id.size() == 8;
    if (f.extended && (f.identifier & 0x20000000u) != 0) {
        reason = SkipReason::kErrorFrame;
        return Parse::kSkip;
    }
    if (f.identifier > (f.extended ? 0x1FFFFFFFu : 0x7FFu)) {
        return malformed("the identifier is out of range");
    }
    if (!rest.empty() && rest[0] == '#') {
        reason = SkipReason::kFdFrame;
        return Parse::kSkip;
    }
    // A length code above 8 with eight bytes ("_9" to "_F") carries no more data; it is read as 8.
    const auto rawLengthCode = [](std::string_view tail) {
        return tail.size() == 2 && tail[0] == '_' && hexValue(tail[1]) > 8;
    };
    if (!rest.empty() && (rest[0] == 'R' || rest[0] == 'r')) {
        f.remote = true;
        rest.remove_prefix(1);
        if (!rest.empty() && rest[0] >= '0' && rest[0] <= '8') {
            f.length = static_cast<std::uint8_t>(rest[0] - '0');
            rest.remove_prefix(1);
        }
        if (rest.empty() || (f.length == 8 && rawLengthCode(rest))) return Parse::kFrame;
        return malformed("a remote frame takes at most a length digit");
    }
    std::size_t i = 0;
    while (i < rest.size()) {
        if (rest[i] == '.') {
            ++i;
            continue;
        }
        if (rest[i] == '_') {
            if (f.length == 8 && rawLengthCode(rest.substr(i))) return Parse::kFrame;
            return malformed("the length code after '_' is not 9 to F after eight bytes");
        }
        if (i + 1 >= rest.size()) return malformed("the data is not whole bytes");
        const int hi = hexValue(rest[i]), lo = hexValue(rest[i + 1]);
        if (hi < 0 || lo < 0) return malformed("the data is not hexadecimal");
        if (f.length == 8) return malformed("more than eight data bytes");
        f.data[f.length++] = static_cast<std::uint8_t>(hi << 4 | lo);
        i += 2;
    }
    return Parse::kFrame;
}

// ---- ASC ----------------------------------------------------------------------------------

void AscReader::firstFrame(const LogFrame&) {
    m_timeOfDayAtZeroUs = m_dateUs;
}

LineLogReader::Parse AscReader::parseLine(std::string_view line, LogFrame& f, SkipReason& reason,
                                          const char*& detail) {
    const auto malformed = [&](const char* why) {
        reason = SkipReason::kMalformed;
        detail = why;
        return Parse::kSkip;
    };
    Words words(line);
    const std::string_view first = words.next();
    if (first.empty() || first.substr(0, 2) == "//") return Parse::kNothing;
    if (!isDigit(first[0])) {
        if (equalsNoCase(first, "base")) {
            for (std::string_view w = words.next(); !w.empty(); w = words.next()) {
                if (equalsNoCase(w, "hex")) m_decimal = false;
                if (equalsNoCase(w, "dec")) m_decimal = true;
                if (equalsNoCase(w, "absolute")) m_relative = false;
                if (equalsNoCase(w, "relative")) m_relative = true;
            }
            return Parse::kNothing;
        }
        if (equalsNoCase(first, "date") || equalsNoCase(first, "begin")) {
            const bool triggerBlock = isAscTriggerBlockLine(line);
            if (const auto date = ascHeaderDateUs(line);
                date && (triggerBlock || !m_dateOfTriggerBlock)) {
                m_dateUs = date;
                m_dateOfTriggerBlock = triggerBlock;
            }
        }
        for (const char* header : {"date", "internal", "no", "begin", "end"}) {
            if (equalsNoCase(first, header)) return Parse::kNothing;
        }
        return malformed("not a line of an ASC log");
    }
    std::uint64_t time = 0;
    if (!logparse::parseSeconds(first, time)) return malformed("the time is not in seconds");
    if (m_relative) {
        // A sum the readers could not read back once written, or that wraps.
        if (m_timeOverflow || time > logparse::kMaxTimeUs - m_lastEventUs) {
            m_timeOverflow = true;
            return malformed("the time passes 999999999999.999999 seconds");
        }
        time += m_lastEventUs;
    }
    m_lastEventUs = time;
    f.timeUs = time;

    const std::string_view channel = words.next();
    if (channel.empty()) return malformed("a time and nothing else");
    if (equalsNoCase(channel, "CANFD")) {
        reason = SkipReason::kFdFrame;
        return Parse::kSkip;
    }
    std::uint32_t channelNumber = 0;
    if (!parseDecimal(channel, channelNumber)) {
        if (equalsNoCase(channel, "Start") && equalsNoCase(words.next(), "of")) {
            return Parse::kNothing;  // "Start of measurement"
        }
        reason = SkipReason::kOtherEvent;
        return Parse::kSkip;
    }
    std::string_view id = words.next();
    if (equalsNoCase(id, "ErrorFrame")) {
        reason = SkipReason::kErrorFrame;
        return Parse::kSkip;
    }
    if (!id.empty() && (id.back() == 'x' || id.back() == 'X')) {
        f.extended = true;
        id.remove_suffix(1);
    }
    if (!(m_decimal ? parseDecimal(id, f.identifier) : parseHex(id, f.identifier))) {
        // Statistics, chip states and the like.
        reason = SkipReason::kOtherEvent;
        return Parse::kSkip;
    }
    if (f.identifier > (f.extended ? 0x1FFFFFFFu : 0x7FFu)) {
        return malformed("the identifier is out of range");
    }
    std::string_view kind = words.next();
    if (equalsNoCase(kind, "Rx") || equalsNoCase(kind, "Tx") || equalsNoCase(kind, "TxRq")) {
        kind = words.next();
    }
    const bool remote = kind == "r" || kind == "R";
    if (!remote && kind != "d" && kind != "D")
        return malformed("expected 'd' or 'r' after the identifier");
    f.remote = remote;
    const std::string_view dlcText = words.next();
    std::uint32_t dlc = 0;
    if (remote) {
        // The length may be left out after a remote frame's 'r', but not be something else.
        if (dlcText.empty()) return Parse::kFrame;
        if (dlcText.size() != 1 || !parseHex(dlcText, dlc)) {
            return malformed("the length is not a number");
        }
        if (dlc > 8) return malformed("the length is more than 8");
        f.length = static_cast<std::uint8_t>(dlc);
        return Parse::kFrame;
    }
    if (dlcText.size() != 1 || !parseHex(dlcText, dlc)) return malformed("the length is missing");
    if (dlc > 8) return malformed("the length is more than 8");
    f.length = static_cast<std::uint8_t>(dlc);
    for (std::uint32_t i = 0; i < dlc; ++i) {
        const std::string_view byte = words.next();
        std::uint32_t value = 0;
        const bool ok = m_decimal ? byte.size() <= 3 && parseDecimal(byte, value) && value <= 255
                                  : byte.size() <= 2 && parseHex(byte, value);
        if (!ok) {
            return byte.empty() ? malformed("fewer data bytes than the length says")
                                : malformed("a data byte is not a number");
        }
        f.data[i] = static_cast<std::uint8_t>(value);
    }
    return Parse::kFrame;
}
