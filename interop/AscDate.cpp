#include "interop/AscDate.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < line.size() && words.size() < 16) {
        while (at < line.size() && (line[at] == ' ' || line[at] == '\t' || line[at] == '\r')) ++at;
        const std::size_t start = at;
        while (at < line.size() && line[at] != ' ' && line[at] != '\t' && line[at] != '\r') ++at;
        if (at > start) words.push_back(line.substr(start, at - start));
    }
    return words;
}

// 1 to `maxDigits` decimal digits.
bool number(std::string_view text, std::size_t maxDigits, int& value) {
    if (text.empty() || text.size() > maxDigits) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

int monthOf(std::string_view word) {
    for (int m = 0; m < 12; ++m) {
        if (word.size() >= 3 && sameNoCase(word.substr(0, 3), kMonths[m])) return m;
    }
    return -1;
}

// "10:13:20", "10:13:20.123" (up to six fraction digits taken).
bool clockTime(std::string_view text, int& h, int& m, int& s, int& micros) {
    const std::size_t c1 = text.find(':');
    const std::size_t c2 = c1 == std::string_view::npos ? c1 : text.find(':', c1 + 1);
    if (c2 == std::string_view::npos) return false;
    std::string_view seconds = text.substr(c2 + 1);
    std::string_view fraction;
    if (const std::size_t dot = seconds.find('.'); dot != std::string_view::npos) {
        fraction = seconds.substr(dot + 1);
        seconds = seconds.substr(0, dot);
        if (fraction.empty() || fraction.size() > 9) return false;
    }
    if (!number(text.substr(0, c1), 2, h) || !number(text.substr(c1 + 1, c2 - c1 - 1), 2, m) ||
        !number(seconds, 2, s)) {
        return false;
    }
    micros = 0;
    for (std::size_t i = 0; i < 6; ++i) {
        int digit = 0;
        if (i < fraction.size() && !number(fraction.substr(i, 1), 1, digit)) return false;
        micros = micros * 10 + digit;
    }
    for (std::size_t i = 6; i < fraction.size(); ++i) {
        if (fraction[i] < '0' || fraction[i] > '9') return false;
    }
    return h <= 23 && m <= 59 && s <= 60;
}

}  // namespace

bool isAscTriggerBlockLine(std::string_view line) {
    const std::vector<std::string_view> words = wordsOf(line);
    return words.size() >= 2 && sameNoCase(words[0], "begin") &&
           sameNoCase(words[1], "triggerblock");
}

std::optional<std::int64_t> ascHeaderDateUs(std::string_view line) {
    std::vector<std::string_view> words = wordsOf(line);
    std::size_t at = 0;
    if (!words.empty() && sameNoCase(words[0], "date")) {
        at = 1;
    } else if (isAscTriggerBlockLine(line)) {
        at = 2;
    } else {
        return std::nullopt;
    }
    // A weekday may come first; the month is what the date hangs on.
    if (at < words.size() && monthOf(words[at]) < 0) ++at;
    if (words.size() < at + 4) return std::nullopt;
    std::tm t{};
    t.tm_mon = monthOf(words[at]);
    int day = 0, hour = 0, minute = 0, second = 0, micros = 0, year = 0;
    if (t.tm_mon < 0 || !number(words[at + 1], 2, day) || day < 1 || day > 31 ||
        !clockTime(words[at + 2], hour, minute, second, micros)) {
        return std::nullopt;
    }
    std::size_t yearAt = at + 3;
    const std::string_view half = words[yearAt];
    if (sameNoCase(half, "am") || sameNoCase(half, "pm")) {
        if (hour < 1 || hour > 12) return std::nullopt;
        hour = hour % 12 + (sameNoCase(half, "pm") ? 12 : 0);
        ++yearAt;
    }
    if (yearAt >= words.size() || !number(words[yearAt], 4, year) || year < 1970) {
        return std::nullopt;
    }
    t.tm_year = year - 1900;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(when) * 1'000'000 + micros;
}

std::string formatAscDate(std::int64_t us) {
    std::int64_t seconds = us / 1'000'000;
    std::int64_t micros = us % 1'000'000;
    if (micros < 0) {
        micros += 1'000'000;
        --seconds;
    }
    const auto when = static_cast<std::time_t>(seconds);
    std::tm t{};
    localtime_r(&when, &t);
    // In English whatever the locale: readers parse these words.
    const int hour12 = t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12;
    char date[96];
    std::snprintf(date, sizeof date, "%s %s %02d %02d:%02d:%02d.%03d %s %d", kDays[t.tm_wday % 7],
                  kMonths[t.tm_mon % 12], t.tm_mday, hour12, t.tm_min, t.tm_sec,
                  static_cast<int>(micros / 1000), t.tm_hour < 12 ? "am" : "pm", t.tm_year + 1900);
    return date;
}
