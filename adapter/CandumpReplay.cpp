#include "adapter/CandumpReplay.h"

#include <cctype>
#include <sstream>

namespace {

constexpr std::size_t kRejectedKept = 20;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "sec.usec" inside parentheses, as microseconds.
bool parseTime(const std::string& token, std::uint64_t& us) {
    if (token.size() < 3 || token.front() != '(' || token.back() != ')') {
        return false;
    }
    const std::string body = token.substr(1, token.size() - 2);
    const auto dot = body.find('.');
    if (dot == std::string::npos || dot == 0 || body.size() - dot - 1 != 6) {
        return false;
    }
    std::uint64_t sec = 0, usec = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (i == dot) continue;
        if (!std::isdigit(static_cast<unsigned char>(body[i]))) return false;
        (i < dot ? sec : usec) = (i < dot ? sec : usec) * 10 + static_cast<unsigned>(body[i] - '0');
    }
    if (sec > 100'000'000'000ull) return false;
    us = sec * 1'000'000 + usec;
    return true;
}

// "ID#DATA", "ID#R" or "ID#Rn"; three hexadecimal digits make a standard identifier, eight an
// extended one.
const char* parseFrame(const std::string& token, BusFrame& f) {
    const auto hash = token.find('#');
    if (hash == std::string::npos) return "no '#' between identifier and data";
    const std::string id = token.substr(0, hash);
    std::string data = token.substr(hash + 1);
    if (!data.empty() && data[0] == '#') return "CAN FD frames are not carried";
    if (id.size() != 3 && id.size() != 8) return "the identifier has neither 3 nor 8 digits";
    std::uint32_t value = 0;
    for (char c : id) {
        const int v = hexValue(c);
        if (v < 0) return "the identifier is not hexadecimal";
        value = value << 4 | static_cast<std::uint32_t>(v);
    }
    f = BusFrame{};
    f.extended = id.size() == 8;
    if ((!f.extended && value > 0x7FF) || (f.extended && value > 0x1FFFFFFF)) {
        return "the identifier is out of range";
    }
    f.identifier = value;
    if (!data.empty() && (data[0] == 'R' || data[0] == 'r')) {
        f.remote = true;
        if (data.size() == 2 && data[1] >= '0' && data[1] <= '8') {
            f.length = static_cast<std::uint8_t>(data[1] - '0');
        } else if (data.size() != 1) {
            return "a remote frame takes at most a length digit";
        }
        return nullptr;
    }
    std::string digits;
    for (char c : data) {
        if (c != '.') digits += c;
    }
    if (digits.size() % 2 != 0 || digits.size() > 16) return "the data is not 0 to 8 whole bytes";
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int hi = hexValue(digits[i]), lo = hexValue(digits[i + 1]);
        if (hi < 0 || lo < 0) return "the data is not hexadecimal";
        f.data[f.length++] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return nullptr;
}

}  // namespace

CandumpLog parseCandump(std::istream& in) {
    CandumpLog log;
    std::string line;
    int number = 0;
    bool haveFirst = false;
    std::uint64_t first = 0, previous = 0;
    const auto reject = [&log, &number](const char* reason) {
        ++log.rejectedCount;
        if (log.rejected.size() < kRejectedKept) {
            log.rejected.push_back({number, reason});
        }
    };
    while (std::getline(in, line)) {
        ++number;
        std::istringstream fields(line);
        std::string time, iface, frameText, extra;
        if (!(fields >> time)) continue;  // blank line
        if (!(fields >> iface >> frameText)) {
            reject("expected '(sec.usec) iface ID#DATA'");
            continue;
        }
        std::uint64_t us = 0;
        if (!parseTime(time, us)) {
            reject("the time is not (seconds.microseconds)");
            continue;
        }
        BusFrame f;
        if (const char* why = parseFrame(frameText, f)) {
            reject(why);
            continue;
        }
        if (!haveFirst) {
            first = previous = us;
            haveFirst = true;
        }
        if (us < previous) {
            reject("the time goes backwards");
            continue;
        }
        previous = us;
        log.entries.push_back({us - first, f});
    }
    return log;
}

CandumpReplay::CandumpReplay(CandumpLog log, bool loop) : m_log(std::move(log)), m_loop(loop) {}

bool CandumpReplay::next(BusFrame& frame, std::uint64_t& wantedAtUs) {
    if (m_index >= m_log.entries.size()) {
        if (!m_loop || m_log.entries.empty()) {
            return false;
        }
        // The next round starts a millisecond after the last frame of this one.
        m_roundStartUs += m_log.entries.back().offsetUs + 1000;
        m_index = 0;
    }
    frame = m_log.entries[m_index].frame;
    wantedAtUs = m_roundStartUs + m_log.entries[m_index].offsetUs;
    return true;
}

void CandumpReplay::pop() {
    ++m_index;
}
