#include "candb/SignalText.h"

#include <charconv>

std::string shownNumber(double value) {
    char text[kMaxNumberText];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 15);
    std::string out(text, end.ptr);
    if (out == "-0") out = "0";
    return out;
}

namespace {

void appendValue(std::string& out, const SignalValue& v) {
    if (const std::string* label = labelOf(*v.signal, v.raw)) {
        out += *label;
        return;
    }
    out += shownNumber(v.value);
    if (!v.signal->unit.empty()) {
        out += ' ';
        out += v.signal->unit;
    }
}

}  // namespace

std::string signalSummary(const DecodedFrame& frame) {
    if (frame.message() == nullptr) return {};
    std::string out = frame.message()->name;
    const char* separator = ": ";
    for (const SignalValue& v : frame.values()) {
        out += separator;
        separator = " ";
        out += v.signal->name;
        out += '=';
        appendValue(out, v);
    }
    return out;
}

std::vector<SignalLine> signalLines(const DecodedFrame& frame) {
    std::vector<SignalLine> lines;
    for (const SignalValue& v : frame.values()) {
        const CanSignal& s = *v.signal;
        SignalLine line;
        line.name = s.name;
        line.value = shownNumber(v.value);
        if (!s.unit.empty()) line.value += ' ' + s.unit;
        char raw[kMaxNumberText];
        line.raw.assign(raw, writeRaw(raw, s, v.raw));
        if (const std::string* label = labelOf(s, v.raw)) line.label = *label;
        // A range of [0|0] says the database gives none.
        if (s.minimum != 0 || s.maximum != 0) {
            line.minimum = shownNumber(s.minimum);
            line.maximum = shownNumber(s.maximum);
        }
        line.comment = s.comment;
        lines.push_back(std::move(line));
    }
    return lines;
}
