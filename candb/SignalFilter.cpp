#include "candb/SignalFilter.h"

#include "candb/ExtensionPayload.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

std::vector<std::uint8_t> SignalFilterList::encode() const {
    if (lines.empty()) return {};
    PayloadWriter w;
    w.u32(kLayout);
    w.u32(static_cast<std::uint32_t>(lines.size()));
    for (const std::string& l : lines) w.text(l);
    return w.take();
}

bool SignalFilterList::decode(std::span<const std::uint8_t> payload, std::string& error) {
    PayloadReader r(payload);
    const std::uint32_t layout = r.u32();
    const std::uint32_t count = r.u32();
    if (!r.ok() || layout == 0 || layout > kLayout) {
        error = "its signal filter has no valid header";
        return false;
    }
    if (count > kMaxLines || std::uint64_t{count} * 4 > r.remaining()) {
        error = "its signal filter counts more lines than it holds";
        return false;
    }
    std::vector<std::string> read;
    for (std::uint32_t i = 0; i < count; ++i) read.push_back(r.text(kMaxLine));
    if (!r.ok() || r.remaining() != 0) {
        error = "its signal filter does not read";
        return false;
    }
    lines = std::move(read);
    return true;
}

namespace {

enum class Op : std::uint8_t { kLess, kLessEqual, kGreater, kGreaterEqual, kEqual, kNotEqual };

struct Target {
    std::uint32_t message;
    std::uint32_t signal;
    std::uint64_t labelRaw;  // for a comparison with a value description
};

struct Condition {
    int message = -1;  // a message condition: the decoder's number
    std::vector<Target> targets;
    bool byLabel = false;
    Op op = Op::kEqual;
    double value = 0;
    Op upperOp = Op::kLessEqual;  // a range's upper end, when `ranged`
    double upper = 0;
    bool ranged = false;
};

bool compare(double v, Op op, double x) {
    switch (op) {
        case Op::kLess:
            return v < x;
        case Op::kLessEqual:
            return v <= x;
        case Op::kGreater:
            return v > x;
        case Op::kGreaterEqual:
            return v >= x;
        case Op::kEqual:
            return v == x;
        case Op::kNotEqual:
            return v != x;
    }
    return false;
}

// The line cut into names, numbers and operators.
struct Token {
    enum Kind { kName, kNumber, kOp } kind;
    std::string text;
    double number = 0;
    Op op = Op::kEqual;
};

bool nameChar(char c, bool first) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           (!first && ((c >= '0' && c <= '9') || c == '.'));
}

std::optional<std::vector<Token>> tokens(std::string_view line) {
    std::vector<Token> out;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (nameChar(c, true)) {
            std::size_t j = i + 1;
            while (j < line.size() && nameChar(line[j], false)) ++j;
            out.push_back({Token::kName, std::string(line.substr(i, j - i))});
            i = j;
        } else if ((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.') {
            double v = 0;
            const char* begin = line.data() + i + (c == '+' ? 1 : 0);
            const auto [end, ec] = std::from_chars(begin, line.data() + line.size(), v);
            if (ec != std::errc() || !std::isfinite(v)) return std::nullopt;
            const std::size_t j = static_cast<std::size_t>(end - line.data());
            out.push_back({Token::kNumber, std::string(line.substr(i, j - i)), v});
            i = j;
        } else {
            static constexpr std::pair<const char*, Op> kOps[] = {
                {"<=", Op::kLessEqual}, {">=", Op::kGreaterEqual}, {"==", Op::kEqual},
                {"!=", Op::kNotEqual},  {"<", Op::kLess},          {">", Op::kGreater},
                {"=", Op::kEqual}};
            bool found = false;
            for (const auto& [text, op] : kOps) {
                if (line.substr(i).starts_with(text)) {
                    out.push_back({Token::kOp, text, 0, op});
                    i += std::char_traits<char>::length(text);
                    found = true;
                    break;
                }
            }
            if (!found) return std::nullopt;
        }
    }
    return out;
}

Op mirrored(Op op) {
    switch (op) {
        case Op::kLess:
            return Op::kGreater;
        case Op::kLessEqual:
            return Op::kGreaterEqual;
        case Op::kGreater:
            return Op::kLess;
        case Op::kGreaterEqual:
            return Op::kLessEqual;
        default:
            return op;
    }
}

}  // namespace

struct SignalFilterMatcher::Compiled {
    std::vector<Condition> conditions;
};

SignalFilterMatcher::~SignalFilterMatcher() = default;

SignalFilterMatcher::Result SignalFilterMatcher::compile(
    const std::vector<std::string>& lines, std::shared_ptr<const SignalDecoder> decoder) {
    Result result;
    auto compiled = std::make_unique<Compiled>();
    const auto fail = [&](SignalFilterError error, std::size_t line, std::string name = {},
                          std::string value = {}) {
        result.error = error;
        result.line = line;
        result.name = std::move(name);
        result.value = std::move(value);
        return result;
    };
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const auto t = tokens(lines[n]);
        if (!t) return fail(SignalFilterError::kSyntax, n);
        if (t->empty()) continue;
        Condition c;
        std::string name;
        const Token* valueToken = nullptr;
        const auto& k = *t;
        if (k.size() == 1 && k[0].kind == Token::kName) {
            for (std::size_t m = 0; m < decoder->messageCount(); ++m) {
                if (decoder->message(m).name == k[0].text) c.message = static_cast<int>(m);
            }
            if (c.message < 0) return fail(SignalFilterError::kUnknownMessage, n, k[0].text);
            compiled->conditions.push_back(std::move(c));
            continue;
        }
        if (k.size() == 3 && k[0].kind == Token::kName && k[1].kind == Token::kOp &&
            k[2].kind != Token::kOp) {
            name = k[0].text;
            c.op = k[1].op;
            valueToken = &k[2];
        } else if (k.size() == 3 && k[0].kind == Token::kNumber && k[1].kind == Token::kOp &&
                   k[2].kind == Token::kName) {
            name = k[2].text;
            c.op = mirrored(k[1].op);
            valueToken = &k[0];
        } else if (k.size() == 5 && k[0].kind == Token::kNumber && k[1].kind == Token::kOp &&
                   k[2].kind == Token::kName && k[3].kind == Token::kOp &&
                   k[4].kind == Token::kNumber &&
                   (k[1].op == Op::kLess || k[1].op == Op::kLessEqual) &&
                   (k[3].op == Op::kLess || k[3].op == Op::kLessEqual)) {
            name = k[2].text;
            c.op = mirrored(k[1].op);
            valueToken = &k[0];
            c.ranged = true;
            c.upperOp = k[3].op;
            c.upper = k[4].number;
        } else {
            return fail(SignalFilterError::kSyntax, n);
        }
        c.byLabel = valueToken->kind == Token::kName;
        c.value = valueToken->number;
        if (c.byLabel && c.op != Op::kEqual && c.op != Op::kNotEqual) {
            return fail(SignalFilterError::kLabelOperator, n, name, valueToken->text);
        }
        // "Message.Signal" names one message's signal; a bare name any message's.
        std::string messageName;
        std::string signalName = name;
        if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
            messageName = name.substr(0, dot);
            signalName = name.substr(dot + 1);
        }
        bool named = false;
        for (std::size_t m = 0; m < decoder->messageCount(); ++m) {
            const CanMessage& message = decoder->message(m);
            if (!messageName.empty() && message.name != messageName) continue;
            for (std::size_t s = 0; s < message.signals.size(); ++s) {
                const CanSignal& signal = message.signals[s];
                if (signal.name != signalName) continue;
                named = true;
                Target target{static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(s), 0};
                if (c.byLabel) {
                    const auto label = std::find_if(
                        signal.values.begin(), signal.values.end(),
                        [&](const ValueDescription& d) { return d.text == valueToken->text; });
                    if (label == signal.values.end()) continue;
                    target.labelRaw = label->raw;
                }
                c.targets.push_back(target);
            }
        }
        if (!named) return fail(SignalFilterError::kUnknownSignal, n, name);
        if (c.targets.empty()) {
            return fail(SignalFilterError::kUnknownLabel, n, name, valueToken->text);
        }
        compiled->conditions.push_back(std::move(c));
    }
    auto matcher = std::shared_ptr<SignalFilterMatcher>(new SignalFilterMatcher);
    matcher->m_decoder = std::move(decoder);
    matcher->m_compiled = std::move(compiled);
    result.matcher = std::move(matcher);
    return result;
}

bool SignalFilterMatcher::matches(const CapturedFrame& frame) const {
    const int message = m_decoder->find(frame.identifier, frame.format == 1);
    if (message < 0) return false;
    for (const Condition& c : m_compiled->conditions) {
        if (c.message >= 0) {
            if (c.message == message) return true;
            continue;
        }
        for (const Target& t : c.targets) {
            if (t.message != static_cast<std::uint32_t>(message)) continue;
            SignalValue v;
            if (!m_decoder->decodeSignal(frame, t.message, t.signal, v)) continue;
            if (c.byLabel) {
                if ((v.raw == t.labelRaw) == (c.op == Op::kEqual)) return true;
                continue;
            }
            if (compare(v.value, c.op, c.value) &&
                (!c.ranged || compare(v.value, c.upperOp, c.upper))) {
                return true;
            }
        }
    }
    return false;
}
