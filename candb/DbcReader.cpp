#include "candb/DbcReader.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isWordChar(char c) {
    return isLetter(c) || isDigit(c);
}

enum class Tok : std::uint8_t { kEnd, kIdent, kNumber, kString, kPunct, kOther, kOpenString };

struct Token {
    Tok kind = Tok::kEnd;
    std::string_view text;  // a string's bytes between its quotes, escapes still in
    std::uint64_t line = 1;
    std::uint64_t endLine = 1;  // differs from `line` for a text over several lines
    bool lineStart = true;      // a line end (or the file's start) comes before it
};

// Splits the text into tokens on demand, so memory does not grow with the file. Strings may span
// lines; "//" starts a comment to the line's end.
class Lexer {
public:
    explicit Lexer(std::string_view text) : m_s(text) { m_peeked = scan(); }
    [[nodiscard]] const Token& peek() const { return m_peeked; }
    Token next() {
        const Token t = m_peeked;
        m_lastEnd = t.kind == Tok::kEnd ? m_lastEnd : t.endLine;
        m_peeked = scan();
        return t;
    }
    // Where the last token taken ended: a statement cut short is reported there, not on the
    // line of whatever follows it.
    [[nodiscard]] std::uint64_t lastEndLine() const { return m_lastEnd; }
    // The token after the next one.
    [[nodiscard]] Token peekSecond() const {
        Lexer probe = *this;
        probe.next();
        return probe.peek();
    }

private:
    Token scan();

    std::string_view m_s;
    std::size_t m_pos = 0;
    std::uint64_t m_line = 1;
    bool m_lineStart = true;
    std::uint64_t m_lastEnd = 1;
    Token m_peeked;
};

Token Lexer::scan() {
    const std::size_t n = m_s.size();
    while (m_pos < n) {
        const char c = m_s[m_pos];
        if (c == '\n') {
            ++m_line;
            m_lineStart = true;
            ++m_pos;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++m_pos;
        } else if (c == '/' && m_pos + 1 < n && m_s[m_pos + 1] == '/') {
            while (m_pos < n && m_s[m_pos] != '\n') ++m_pos;
        } else {
            break;
        }
    }
    Token t;
    t.line = m_line;
    t.endLine = m_line;
    t.lineStart = m_lineStart;
    if (m_pos >= n) return t;
    m_lineStart = false;
    const std::size_t start = m_pos;
    const char c = m_s[m_pos];
    const char before = m_pos > 0 ? m_s[m_pos - 1] : ' ';
    const auto digitAt = [&](std::size_t i) { return i < n && isDigit(m_s[i]); };
    // A sign starts a number only after a separator: "3-5" is a range, "(1,-40)" an offset.
    const bool signedNumber =
        (c == '-' || c == '+') && !isWordChar(before) &&
        (digitAt(m_pos + 1) || (m_pos + 2 < n && m_s[m_pos + 1] == '.' && digitAt(m_pos + 2)));
    if (isLetter(c)) {
        while (m_pos < n && isWordChar(m_s[m_pos])) ++m_pos;
        t.kind = Tok::kIdent;
    } else if (isDigit(c) || signedNumber || (c == '.' && digitAt(m_pos + 1))) {
        if (c == '-' || c == '+') ++m_pos;
        // Letters too, so that "12ab" is one token that does not parse; a sign only after an
        // exponent's 'e'.
        while (m_pos < n) {
            const char d = m_s[m_pos];
            const bool exponentSign =
                (d == '-' || d == '+') && (m_s[m_pos - 1] == 'e' || m_s[m_pos - 1] == 'E');
            if (!exponentSign && !isWordChar(d) && d != '.') break;
            ++m_pos;
        }
        t.kind = Tok::kNumber;
    } else if (c == '"') {
        ++m_pos;
        const std::size_t body = m_pos;
        const std::uint64_t line = m_line;
        while (m_pos < n && m_s[m_pos] != '"') {
            if (m_s[m_pos] == '\\' && m_pos + 1 < n) ++m_pos;
            if (m_s[m_pos] == '\n') ++m_line;
            ++m_pos;
        }
        if (m_pos >= n) {
            t.kind = Tok::kOpenString;
            t.text = m_s.substr(body);
            t.line = line;
            return t;
        }
        t.kind = Tok::kString;
        t.text = m_s.substr(body, m_pos - body);
        t.endLine = m_line;
        ++m_pos;
        return t;
    } else {
        ++m_pos;
        t.kind = std::strchr(":;,|@()[]+-", c) != nullptr && c != '\0' ? Tok::kPunct : Tok::kOther;
    }
    t.text = m_s.substr(start, m_pos - start);
    return t;
}

bool validUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int more = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + static_cast<std::size_t>(more) >= s.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
            if ((d & 0xC0) != 0x80) return false;
            cp = cp << 6 | (d & 0x3F);
        }
        static constexpr std::uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (cp < kLeast[more] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(more) + 1;
    }
    return true;
}

bool parseDouble(std::string_view s, double& v) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size() && std::isfinite(v);
}

template <typename T>
bool parseUnsigned(std::string_view s, T& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return ec == std::errc() && end == s.data() + s.size();
}

// An integer value (a value description's key, a multiplexer value) as 64-bit two's complement:
// -1 and 18446744073709551615 give the same bits. "3.0" is taken for 3.
bool parseRaw(std::string_view s, std::uint64_t& raw) {
    if (!s.empty() && s[0] == '+') s.remove_prefix(1);
    if (!s.empty() && s[0] == '-') {
        std::uint64_t magnitude = 0;
        if (parseUnsigned(s.substr(1), magnitude) && magnitude <= (std::uint64_t{1} << 63)) {
            raw = ~magnitude + 1;
            return true;
        }
    } else if (parseUnsigned(s, raw)) {
        return true;
    }
    double d = 0;
    if (!parseDouble(s, d) || d != std::floor(d) || d < -9.2233720368547758e18 ||
        d >= 1.8446744073709552e19) {
        return false;
    }
    raw = d < 0 ? static_cast<std::uint64_t>(static_cast<std::int64_t>(d))
                : static_cast<std::uint64_t>(d);
    return true;
}

struct Refusal {
    std::uint64_t line;
    std::string detail;
};

std::string quoted(const Token& t) {
    switch (t.kind) {
        case Tok::kEnd:
            return "the end of the file";
        case Tok::kString:
            return "a text";
        case Tok::kOther: {
            const auto c = static_cast<unsigned char>(t.text[0]);
            if (c < 0x20 || c >= 0x7F) {
                static const char kHex[] = "0123456789ABCDEF";
                return std::string("the byte 0x") + kHex[c >> 4] + kHex[c & 15];
            }
            break;
        }
        default:
            break;
    }
    return "'" + std::string(t.text.substr(0, 40)) + "'";
}

bool knownKeyword(std::string_view w) {
    static const std::string_view kKnown[] = {
        "VERSION", "NS_",     "BS_",         "BU_", "VAL_TABLE_", "BO_",          "SG_",
        "CM_",     "BA_DEF_", "BA_DEF_DEF_", "BA_", "VAL_",       "SIG_VALTYPE_", "SG_MUL_VAL_"};
    return std::find(std::begin(kKnown), std::end(kKnown), w) != std::end(kKnown);
}

// What a statement the reader does not know looks like: "BO_TX_BU_", "SIG_GROUP_", "FILTER".
bool keywordLike(std::string_view w) {
    if (w.empty() || !(w[0] >= 'A' && w[0] <= 'Z')) return false;
    return std::all_of(w.begin(), w.end(),
                       [](char c) { return (c >= 'A' && c <= 'Z') || isDigit(c) || c == '_'; });
}

}  // namespace

class DbcParser {
public:
    DbcParser(std::string_view text, DbcReadResult& result)
        : m_lex(text), m_result(result), m_utf8(validUtf8(text)) {}

    void run();
    std::shared_ptr<CanDatabase> take() { return std::move(m_db); }

private:
    // A signal's multiplexing as written, resolved once the whole file is read.
    struct SignalSource {
        std::uint64_t line = 0;
        bool multiplexed = false;  // mN
        std::uint64_t muxValue = 0;
        bool extended = false;  // SG_MUL_VAL_ names its multiplexer
        std::string muxName;
        std::vector<MuxRange> ranges;
        std::uint64_t extendedLine = 0;
    };

    [[noreturn]] void refuse(std::uint64_t line, std::string detail) const {
        throw Refusal{line, std::move(detail)};
    }
    // One more entry of a kind the file decides the number of; refused beyond the bound.
    void count(std::uint64_t line, std::size_t& counter, std::size_t limit, const char* what) {
        if (++counter > limit)
            refuse(line, std::string("more ") + what + " than a database can hold");
    }
    void entry(std::uint64_t line) { count(line, m_entries, DbcReader::kMaxEntries, "entries"); }
    void warn(std::uint64_t line, DbcWarningKind kind, std::string detail) {
        ++m_result.counts[static_cast<std::size_t>(kind)];
        if (m_result.warnings.size() < DbcReadResult::kWarningsKept) {
            m_result.warnings.push_back({line, kind, std::move(detail)});
        }
    }

    Token expect(Tok kind, std::string_view what, std::string_view where);
    void expectPunct(char c, std::string_view where);
    bool takePunct(char c) {
        if (m_lex.peek().kind == Tok::kPunct && m_lex.peek().text[0] == c) {
            m_lex.next();
            return true;
        }
        return false;
    }
    bool onSameLine() const { return m_lex.peek().kind != Tok::kEnd && !m_lex.peek().lineStart; }
    void skipLine() {
        while (onSameLine()) m_lex.next();
    }
    [[nodiscard]] std::string text(const Token& t) const;
    double number(std::string_view where);
    double limit(std::string_view where);  // a minimum or maximum

    // Finds the message a reference names by its identifier as written; null (with a warning
    // unless the message was skipped on purpose) when there is none.
    CanMessage* message(std::uint32_t written, std::uint64_t line);
    // The signal of a message by name (the first of that name); -1 with a warning when there is
    // none. A table, so that references cost the same however many signals a message has.
    int signalIndex(const CanMessage& m, std::string_view name, std::uint64_t line);
    [[nodiscard]] int findSignal(const CanMessage& m, std::string_view name) const;
    [[nodiscard]] std::string nameKey(const CanMessage& m, std::string_view name) const {
        return std::to_string(&m - m_db->m_messages.data()) + ':' + std::string(name);
    }

    void statement(const Token& keyword);
    void nameSpace();
    void nodes();
    void valueTable();
    void messageHeader(const Token& keyword);
    void signalLine(const Token& keyword);
    void comment();
    void attributeDefinition();
    void attributeDefault();
    void attributeValue();
    void valueDescriptions();
    std::vector<ValueDescription> descriptionPairs(std::string_view where);
    void signalValueType();
    void multiplexerValues();
    void finish();
    void resolveMultiplexing(CanMessage& m, std::vector<SignalSource>& sources);

    Lexer m_lex;
    DbcReadResult& m_result;
    const bool m_utf8;
    std::shared_ptr<CanDatabase> m_db = std::make_shared<CanDatabase>();

    std::unordered_map<std::uint32_t, std::size_t> m_byWritten;  // BO_ identifier → message
    std::unordered_set<std::uint32_t> m_skipped;                 // messages left out on purpose
    std::vector<std::vector<SignalSource>> m_sources;            // per message, per signal
    // The message SG_ lines belong to: an index, kNone before the first BO_, kDropped after a
    // BO_ that was left out.
    static constexpr std::size_t kNone = SIZE_MAX;
    static constexpr std::size_t kDropped = SIZE_MAX - 1;
    std::size_t m_current = kNone;
    std::size_t m_signals = 0;
    std::size_t m_entries = 0;
    std::unordered_map<std::string, int> m_signalNames;  // nameKey() → index in its message
    std::unordered_set<std::string> m_leftOut;           // nameKey() of signals left out
};

Token DbcParser::expect(Tok kind, std::string_view what, std::string_view where) {
    const std::uint64_t before = m_lex.lastEndLine();
    const Token t = m_lex.next();
    if (t.kind == kind) return t;
    if (t.kind == Tok::kOpenString) refuse(t.line, "a text that is never closed");
    refuse(t.lineStart ? before : t.line,
           std::string(where) + " needs " + std::string(what) + ", found " + quoted(t));
}

void DbcParser::expectPunct(char c, std::string_view where) {
    const std::uint64_t before = m_lex.lastEndLine();
    const Token t = m_lex.next();
    if (t.kind == Tok::kPunct && t.text[0] == c) return;
    refuse(t.lineStart ? before : t.line,
           std::string(where) + " needs '" + c + "', found " + quoted(t));
}

std::string DbcParser::text(const Token& t) const {
    std::string out;
    out.reserve(t.text.size());
    for (std::size_t i = 0; i < t.text.size(); ++i) {
        char c = t.text[i];
        if (c == '\\' && i + 1 < t.text.size() && (t.text[i + 1] == '"' || t.text[i + 1] == '\\')) {
            c = t.text[++i];
        }
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 && !m_utf8) {  // Latin-1 to UTF-8
            out += static_cast<char>(0xC0 | u >> 6);
            out += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            out += c;
        }
    }
    return out;
}

double DbcParser::limit(std::string_view where) {
    const Token t = expect(Tok::kNumber, "a number", where);
    double v = 0;
    if (parseDouble(t.text, v)) return v;
    // A bound beyond doubles (a long text field's maximum, 4.4E+481) is an infinite one; one
    // below them is zero.
    std::string_view digits = t.text;
    const bool negative = !digits.empty() && digits[0] == '-';
    if (!digits.empty() && (digits[0] == '-' || digits[0] == '+')) digits.remove_prefix(1);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
    if (ec == std::errc::result_out_of_range && end == digits.data() + digits.size()) {
        const std::size_t e = digits.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < digits.size() && digits[e + 1] == '-';
        const double magnitude = tiny ? 0.0 : HUGE_VAL;
        return negative ? -magnitude : magnitude;
    }
    refuse(t.line, std::string(where) + ": " + quoted(t) + " is not a number");
}

double DbcParser::number(std::string_view where) {
    const Token t = expect(Tok::kNumber, "a number", where);
    double v = 0;
    if (!parseDouble(t.text, v))
        refuse(t.line, std::string(where) + ": " + quoted(t) + " is not a number");
    return v;
}

CanMessage* DbcParser::message(std::uint32_t written, std::uint64_t line) {
    const auto it = m_byWritten.find(written);
    if (it != m_byWritten.end()) return &m_db->m_messages[it->second];
    if (m_skipped.count(written) == 0) {
        warn(line, DbcWarningKind::kUnknownReference,
             "no message has the identifier " + std::to_string(written));
    }
    return nullptr;
}

int DbcParser::findSignal(const CanMessage& m, std::string_view name) const {
    const auto it = m_signalNames.find(nameKey(m, name));
    return it == m_signalNames.end() ? -1 : it->second;
}

int DbcParser::signalIndex(const CanMessage& m, std::string_view name, std::uint64_t line) {
    if (const int i = findSignal(m, name); i >= 0) return i;
    if (m_leftOut.count(nameKey(m, name)) != 0) return -1;  // already reported
    warn(line, DbcWarningKind::kUnknownReference,
         "message " + m.name + " has no signal " + std::string(name));
    return -1;
}

void DbcParser::run() {
    if (m_lex.peek().kind == Tok::kEnd) refuse(1, "the file holds no DBC keyword");
    bool first = true;
    while (m_lex.peek().kind != Tok::kEnd) {
        const Token t = m_lex.next();
        if (t.kind == Tok::kOpenString) refuse(t.line, "a text that is never closed");
        if (t.kind == Tok::kIdent && knownKeyword(t.text)) {
            statement(t);
        } else if (t.kind == Tok::kIdent && keywordLike(t.text) && !first) {
            warn(t.line, DbcWarningKind::kUnknownKeyword, std::string(t.text));
            // Passed over up to the next statement the reader knows or that looks like one.
            while (m_lex.peek().kind != Tok::kEnd) {
                const Token& p = m_lex.peek();
                if (p.kind == Tok::kOpenString) refuse(p.line, "a text that is never closed");
                if (p.lineStart && p.kind == Tok::kIdent && keywordLike(p.text)) {
                    break;
                }
                m_lex.next();
            }
        } else {
            refuse(t.line, quoted(t) + " is not a DBC keyword");
        }
        first = false;
    }
    finish();
}

void DbcParser::statement(const Token& keyword) {
    const std::string_view k = keyword.text;
    if (k != "SG_" && k != "BO_") m_current = kNone;  // signals follow their message
    if (k == "VERSION") {
        m_db->m_version = text(expect(Tok::kString, "a quoted version", "VERSION"));
    } else if (k == "NS_") {
        nameSpace();
    } else if (k == "BS_") {
        takePunct(':');
        skipLine();  // the bit timing is the adapter's business
    } else if (k == "BU_") {
        nodes();
    } else if (k == "VAL_TABLE_") {
        valueTable();
    } else if (k == "BO_") {
        messageHeader(keyword);
    } else if (k == "SG_") {
        signalLine(keyword);
    } else if (k == "CM_") {
        comment();
    } else if (k == "BA_DEF_") {
        attributeDefinition();
    } else if (k == "BA_DEF_DEF_") {
        attributeDefault();
    } else if (k == "BA_") {
        attributeValue();
    } else if (k == "VAL_") {
        valueDescriptions();
    } else if (k == "SIG_VALTYPE_") {
        signalValueType();
    } else if (k == "SG_MUL_VAL_") {
        multiplexerValues();
    }
}

void DbcParser::nameSpace() {
    takePunct(':');
    skipLine();
    // The list of keywords the file may use, one to a line.
    while (m_lex.peek().kind == Tok::kIdent && m_lex.peek().lineStart) {
        const Token after = m_lex.peekSecond();
        if (after.kind != Tok::kEnd && !after.lineStart) break;
        m_lex.next();
    }
}

void DbcParser::nodes() {
    takePunct(':');
    while (onSameLine()) {
        const Token t = expect(Tok::kIdent, "node names", "BU_");
        entry(t.line);
        m_db->m_nodes.emplace_back(t.text);
    }
}

void DbcParser::valueTable() {
    const Token name = expect(Tok::kIdent, "a name", "VAL_TABLE_");
    m_db->m_valueTables.push_back({std::string(name.text), descriptionPairs("VAL_TABLE_")});
}

std::vector<ValueDescription> DbcParser::descriptionPairs(std::string_view where) {
    std::vector<ValueDescription> values;
    while (!takePunct(';')) {
        const Token v = expect(Tok::kNumber, "a value or ';'", where);
        const Token s = expect(Tok::kString, "a quoted description", where);
        std::uint64_t raw = 0;
        if (!parseRaw(v.text, raw)) {
            warn(v.line, DbcWarningKind::kIgnoredValue,
                 std::string(v.text) + " is not an integer value");
            continue;
        }
        entry(v.line);
        values.push_back({raw, text(s)});
    }
    // One text per value, the first given.
    std::stable_sort(
        values.begin(), values.end(),
        [](const ValueDescription& a, const ValueDescription& b) { return a.raw < b.raw; });
    values.erase(std::unique(values.begin(), values.end(),
                             [](const ValueDescription& a, const ValueDescription& b) {
                                 return a.raw == b.raw;
                             }),
                 values.end());
    return values;
}

void DbcParser::messageHeader(const Token& keyword) {
    const Token id = expect(Tok::kNumber, "an identifier", "BO_");
    std::uint32_t written = 0;
    if (!parseUnsigned(id.text, written))
        refuse(id.line, quoted(id) + " is not a message identifier");
    const Token name = expect(Tok::kIdent, "a message name", "BO_");
    expectPunct(':', "BO_");
    const Token size = expect(Tok::kNumber, "a size in bytes", "BO_");
    std::uint32_t bytes = 0;
    if (!parseUnsigned(size.text, bytes))
        refuse(size.line, quoted(size) + " is not a message size");
    std::string transmitter;
    if (onSameLine()) transmitter = expect(Tok::kIdent, "a transmitter", "BO_").text;
    skipLine();

    const bool extended = (written & 0x80000000u) != 0;
    const std::uint32_t identifier = written & 0x7FFFFFFFu;
    m_current = kDropped;
    if (identifier > (extended ? 0x1FFFFFFFu : 0x7FFu)) {
        // Such as the placeholder message some tools keep free signals in.
        warn(keyword.line, DbcWarningKind::kNotCan,
             std::string(name.text) + " has no CAN identifier (" + std::string(id.text) + ")");
        m_skipped.insert(written);
        return;
    }
    if (m_byWritten.count(written) != 0) {
        warn(keyword.line, DbcWarningKind::kDuplicate,
             std::string(name.text) + " repeats the identifier of " +
                 m_db->m_messages[m_byWritten[written]].name + "; the first is kept");
        return;
    }
    if (m_db->m_messages.size() >= DbcReader::kMaxMessages) {
        refuse(keyword.line, "more messages than a database can hold");
    }
    CanMessage m;
    m.identifier = identifier;
    m.extended = extended;
    m.name = name.text;
    m.size = bytes;
    m.transmitter = std::move(transmitter);
    m_current = m_db->m_messages.size();
    m_byWritten[written] = m_current;
    m_db->m_messages.push_back(std::move(m));
    m_sources.emplace_back();
}

void DbcParser::signalLine(const Token& keyword) {
    if (m_current == kNone) refuse(keyword.line, "SG_ does not follow a BO_ message");
    const char* const where = "SG_";
    CanSignal s;
    SignalSource source;
    source.line = keyword.line;
    s.name = expect(Tok::kIdent, "a signal name", where).text;
    if (m_lex.peek().kind == Tok::kIdent) {
        const Token mux = m_lex.next();
        std::string_view m = mux.text;
        if (m.size() >= 2 && m.back() == 'M' && m[0] == 'm') {
            s.isMultiplexer = true;
            m.remove_suffix(1);
        }
        if (m == "M") {
            s.isMultiplexer = true;
        } else if (m.size() >= 2 && m[0] == 'm' && parseUnsigned(m.substr(1), source.muxValue)) {
            source.multiplexed = true;
        } else {
            refuse(mux.line, quoted(mux) + " is not a multiplexer indicator (M, m0, m1M, ...)");
        }
    }
    expectPunct(':', where);
    const Token start = expect(Tok::kNumber, "a start bit", where);
    expectPunct('|', where);
    const Token length = expect(Tok::kNumber, "a length", where);
    expectPunct('@', where);
    const Token order = expect(Tok::kNumber, "a byte order (@0 or @1)", where);
    const Token sign = m_lex.next();
    std::uint32_t startBit = 0;
    std::uint32_t bits = 0;
    if (!parseUnsigned(start.text, startBit)) {
        refuse(start.line, quoted(start) + " is not a start bit");
    }
    if (!parseUnsigned(length.text, bits) || bits < 1) {
        refuse(length.line, "the length " + std::string(length.text) + " is not a number of bits");
    }
    if (order.text != "0" && order.text != "1") {
        refuse(order.line, "the byte order is @0 or @1, not @" + std::string(order.text));
    }
    if (sign.kind != Tok::kPunct || (sign.text[0] != '+' && sign.text[0] != '-')) {
        refuse(sign.line, "SG_ needs '+' or '-' after the byte order, found " + quoted(sign));
    }
    s.order = order.text == "1" ? ByteOrder::kIntel : ByteOrder::kMotorola;
    s.type = sign.text[0] == '-' ? ValueType::kSigned : ValueType::kUnsigned;
    expectPunct('(', where);
    s.factor = number(where);
    expectPunct(',', where);
    s.offset = number(where);
    expectPunct(')', where);
    expectPunct('[', where);
    s.minimum = limit(where);
    expectPunct('|', where);
    s.maximum = limit(where);
    expectPunct(']', where);
    s.unit = text(expect(Tok::kString, "a quoted unit", where));
    while (onSameLine()) {
        if (takePunct(',')) continue;
        const Token receiver = expect(Tok::kIdent, "receiver names", where);
        entry(receiver.line);
        s.receivers.emplace_back(receiver.text);
    }
    if (m_current == kDropped) return;
    CanMessage& m = m_db->m_messages[m_current];
    // Where the last bit lands, counting bytes in order and bits from the most significant. Text
    // fields of multi-frame transport protocols are longer than any frame: left out.
    const std::uint64_t last = s.order == ByteOrder::kIntel
                                   ? std::uint64_t{startBit} + bits - 1
                                   : std::uint64_t{startBit} / 8 * 8 + 7 - startBit % 8 + bits - 1;
    if (bits > 64 || last >= 512) {
        warn(keyword.line, DbcWarningKind::kNotInFrame,
             s.name + " has " + std::to_string(bits) + " bits from bit " +
                 std::to_string(startBit) + ", more than a CAN frame carries");
        m_leftOut.insert(nameKey(m, s.name));
        return;
    }
    s.startBit = static_cast<std::uint16_t>(startBit);
    s.length = static_cast<std::uint8_t>(bits);
    if (m.signals.size() >= DbcReader::kMaxSignalsPerMessage) {
        refuse(keyword.line, "message " + m.name + " has more signals than a message can hold");
    }
    count(keyword.line, m_signals, DbcReader::kMaxSignals, "signals");
    if (!m_signalNames.emplace(nameKey(m, s.name), static_cast<int>(m.signals.size())).second) {
        warn(keyword.line, DbcWarningKind::kDuplicate,
             "message " + m.name + " has a second signal " + s.name);
    }
    m.signals.push_back(std::move(s));
    m_sources[m_current].push_back(std::move(source));
}

void DbcParser::comment() {
    const char* const where = "CM_";
    const Token& p = m_lex.peek();
    if (p.kind == Tok::kString) {
        m_db->m_comment = text(m_lex.next());
    } else {
        const Token object = expect(Tok::kIdent, "BU_, BO_, SG_, EV_ or a text", where);
        const std::string_view o = object.text;
        if (o == "BU_" || o == "EV_") {
            expect(Tok::kIdent, "a name", where);
            expect(Tok::kString, "a quoted comment", where);
        } else if (o == "BO_" || o == "SG_") {
            const Token id = expect(Tok::kNumber, "a message identifier", where);
            std::uint32_t written = 0;
            if (!parseUnsigned(id.text, written))
                refuse(id.line, quoted(id) + " is not a message identifier");
            Token name;
            if (o == "SG_") name = expect(Tok::kIdent, "a signal name", where);
            const Token c = expect(Tok::kString, "a quoted comment", where);
            if (CanMessage* m = message(written, id.line)) {
                if (o == "BO_") {
                    m->comment = text(c);
                } else if (const int i = signalIndex(*m, name.text, name.line); i >= 0) {
                    m->signals[static_cast<std::size_t>(i)].comment = text(c);
                }
            }
        } else {
            refuse(object.line, "CM_ needs BU_, BO_, SG_, EV_ or a text, found " + quoted(object));
        }
    }
    expectPunct(';', where);
}

namespace {

bool attributeObject(std::string_view word, AttributeObject& object) {
    if (word == "BU_") {
        object = AttributeObject::kNode;
    } else if (word == "BO_") {
        object = AttributeObject::kMessage;
    } else if (word == "SG_") {
        object = AttributeObject::kSignal;
    } else if (word == "EV_") {
        object = AttributeObject::kEnvironment;
    } else {
        return false;
    }
    return true;
}

}  // namespace

void DbcParser::attributeDefinition() {
    const char* const where = "BA_DEF_";
    AttributeDefinition d;
    if (m_lex.peek().kind == Tok::kIdent) {
        const Token o = m_lex.next();
        if (!attributeObject(o.text, d.object)) {
            refuse(o.line, "BA_DEF_ needs BU_, BO_, SG_, EV_ or a quoted name, found " + quoted(o));
        }
    }
    d.name = text(expect(Tok::kString, "a quoted name", where));
    while (!takePunct(';')) {
        const Token t = m_lex.next();
        if (t.kind == Tok::kEnd || t.kind == Tok::kOpenString) {
            refuse(t.line, "BA_DEF_ " + d.name + " is never ended by ';'");
        }
        if (!d.type.empty() && !(t.kind == Tok::kPunct && t.text[0] == ',')) d.type += ' ';
        d.type += t.kind == Tok::kString ? "\"" + text(t) + "\"" : std::string(t.text);
    }
    entry(m_lex.lastEndLine());
    m_db->m_attributeDefinitions.push_back(std::move(d));
}

void DbcParser::attributeDefault() {
    const char* const where = "BA_DEF_DEF_";
    const std::string name = text(expect(Tok::kString, "a quoted name", where));
    const Token v = m_lex.next();
    if (v.kind != Tok::kNumber && v.kind != Tok::kString && v.kind != Tok::kIdent) {
        refuse(v.line, "BA_DEF_DEF_ " + name + " needs a value, found " + quoted(v));
    }
    expectPunct(';', where);
    for (AttributeDefinition& d : m_db->m_attributeDefinitions) {
        if (d.name == name) {
            d.defaultValue = v.kind == Tok::kString ? text(v) : std::string(v.text);
            return;
        }
    }
    warn(v.line, DbcWarningKind::kUnknownReference, "no BA_DEF_ defines " + name);
}

void DbcParser::attributeValue() {
    const char* const where = "BA_";
    AttributeValue a;
    a.name = text(expect(Tok::kString, "a quoted name", where));
    bool known = true;
    if (m_lex.peek().kind == Tok::kIdent) {
        const Token o = m_lex.next();
        if (!attributeObject(o.text, a.object)) {
            refuse(o.line, "BA_ needs BU_, BO_, SG_, EV_ or a value, found " + quoted(o));
        }
        if (a.object == AttributeObject::kNode || a.object == AttributeObject::kEnvironment) {
            a.node = expect(Tok::kIdent, "a name", where).text;
        } else {
            const Token id = expect(Tok::kNumber, "a message identifier", where);
            if (!parseUnsigned(id.text, a.message))
                refuse(id.line, quoted(id) + " is not a message identifier");
            if (a.object == AttributeObject::kSignal) {
                a.signal = expect(Tok::kIdent, "a signal name", where).text;
            }
            CanMessage* m = message(a.message, id.line);
            known = m != nullptr && (a.object == AttributeObject::kMessage ||
                                     signalIndex(*m, a.signal, id.line) >= 0);
        }
    }
    const Token v = m_lex.next();
    if (v.kind != Tok::kNumber && v.kind != Tok::kString && v.kind != Tok::kIdent) {
        refuse(v.line, "BA_ " + a.name + " needs a value, found " + quoted(v));
    }
    a.value = v.kind == Tok::kString ? text(v) : std::string(v.text);
    expectPunct(';', where);
    if (!known) return;
    entry(v.line);
    m_db->m_attributes.push_back(std::move(a));
}

void DbcParser::valueDescriptions() {
    const char* const where = "VAL_";
    if (m_lex.peek().kind == Tok::kIdent) {  // an environment variable's: not for frames
        m_lex.next();
        descriptionPairs(where);
        return;
    }
    const Token id = expect(Tok::kNumber, "a message identifier", where);
    std::uint32_t written = 0;
    if (!parseUnsigned(id.text, written))
        refuse(id.line, quoted(id) + " is not a message identifier");
    const Token name = expect(Tok::kIdent, "a signal name", where);
    std::vector<ValueDescription> values = descriptionPairs(where);
    if (CanMessage* m = message(written, id.line)) {
        if (const int i = signalIndex(*m, name.text, name.line); i >= 0) {
            m->signals[static_cast<std::size_t>(i)].values = std::move(values);
        }
    }
}

void DbcParser::signalValueType() {
    const char* const where = "SIG_VALTYPE_";
    const Token id = expect(Tok::kNumber, "a message identifier", where);
    std::uint32_t written = 0;
    if (!parseUnsigned(id.text, written))
        refuse(id.line, quoted(id) + " is not a message identifier");
    const Token name = expect(Tok::kIdent, "a signal name", where);
    takePunct(':');
    const Token type = expect(Tok::kNumber, "a value type (0, 1 or 2)", where);
    expectPunct(';', where);
    if (type.text != "0" && type.text != "1" && type.text != "2") {
        refuse(type.line, "the value type is 0, 1 or 2, not " + std::string(type.text));
    }
    CanMessage* m = message(written, id.line);
    const int i = m == nullptr ? -1 : signalIndex(*m, name.text, name.line);
    if (i < 0 || type.text == "0") return;
    CanSignal& s = m->signals[static_cast<std::size_t>(i)];
    const bool single = type.text == "1";
    if (s.length != (single ? 32 : 64)) {
        warn(type.line, DbcWarningKind::kIgnoredValue,
             s.name + " has " + std::to_string(s.length) + " bits, not the " +
                 (single ? "32 of a float" : "64 of a double") + "; read as an integer");
        return;
    }
    s.type = single ? ValueType::kFloat : ValueType::kDouble;
}

void DbcParser::multiplexerValues() {
    const char* const where = "SG_MUL_VAL_";
    const Token id = expect(Tok::kNumber, "a message identifier", where);
    std::uint32_t written = 0;
    if (!parseUnsigned(id.text, written))
        refuse(id.line, quoted(id) + " is not a message identifier");
    const Token name = expect(Tok::kIdent, "a signal name", where);
    const Token mux = expect(Tok::kIdent, "a multiplexer name", where);
    std::vector<MuxRange> ranges;
    do {
        const Token low = expect(Tok::kNumber, "a range low-high", where);
        Token high;
        if (m_lex.peek().kind == Tok::kNumber && m_lex.peek().text[0] == '-') {
            high = m_lex.next();  // "1 -3": the lexer took the dash for a sign
            high.text.remove_prefix(1);
        } else {
            expectPunct('-', where);
            high = expect(Tok::kNumber, "a range low-high", where);
        }
        MuxRange r;
        if (!parseUnsigned(low.text, r.low) || !parseUnsigned(high.text, r.high) ||
            r.low > r.high) {
            refuse(low.line, std::string(low.text) + "-" + std::string(high.text) +
                                 " is not a range of multiplexer values");
        }
        entry(low.line);
        ranges.push_back(r);
    } while (takePunct(','));
    expectPunct(';', where);
    CanMessage* m = message(written, id.line);
    const int i = m == nullptr ? -1 : signalIndex(*m, name.text, name.line);
    if (i < 0) return;
    SignalSource& source = m_sources[static_cast<std::size_t>(m - m_db->m_messages.data())]
                                    [static_cast<std::size_t>(i)];
    if (!source.extended) source.ranges.clear();
    source.extended = true;
    source.muxName = mux.text;
    source.extendedLine = id.line;
    source.ranges.insert(source.ranges.end(), ranges.begin(), ranges.end());
}

void DbcParser::resolveMultiplexing(CanMessage& m, std::vector<SignalSource>& sources) {
    int plain = -1;  // the first 'M' that is not itself multiplexed: what 'mN' refers to
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
        if (m.signals[i].isMultiplexer && !sources[i].multiplexed && !sources[i].extended) {
            plain = static_cast<int>(i);
            break;
        }
    }
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
        CanSignal& s = m.signals[i];
        SignalSource& source = sources[i];
        if (source.extended) {
            const int mux = findSignal(m, source.muxName);
            if (mux < 0 || !m.signals[static_cast<std::size_t>(mux)].isMultiplexer) {
                refuse(source.extendedLine, source.muxName + " is not a multiplexer of " + m.name);
            }
            s.multiplexer = mux;
            s.selectors = std::move(source.ranges);
        } else if (source.multiplexed) {
            if (plain < 0)
                refuse(source.line,
                       s.name + " is multiplexed but " + m.name + " has no multiplexer");
            s.multiplexer = plain;
            s.selectors = {{source.muxValue, source.muxValue}};
        }
    }
    // A chain of multiplexers must end: one that selects itself, however far round, is refused.
    // Each signal is walked once: 0 not yet, 1 on the chain being walked, 2 known to end.
    std::vector<std::uint8_t> state(m.signals.size(), 0);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < m.signals.size(); ++i) {
        chain.clear();
        std::size_t at = i;
        while (state[at] == 0) {
            state[at] = 1;
            chain.push_back(at);
            const int up = m.signals[at].multiplexer;
            if (up < 0) break;
            at = static_cast<std::size_t>(up);
        }
        // Back on the chain being walked, rather than stopped at its top: a loop.
        if (state[at] == 1 && m.signals[at].multiplexer >= 0) {
            const SignalSource& source = sources[at];
            refuse(source.extended ? source.extendedLine : source.line,
                   m.signals[at].name + " selects itself through its multiplexers");
        }
        for (const std::size_t c : chain) state[c] = 2;
    }
}

void DbcParser::finish() {
    std::optional<std::uint32_t> defaultCycle;
    const auto cycle = [](const std::string& v) -> std::optional<std::uint32_t> {
        double d = 0;
        if (!parseDouble(v, d) || d < 0 || d > 4294967295.0) return std::nullopt;
        return static_cast<std::uint32_t>(d);
    };
    for (const AttributeDefinition& d : m_db->m_attributeDefinitions) {
        if (d.name == "GenMsgCycleTime" && d.object == AttributeObject::kMessage) {
            defaultCycle = cycle(d.defaultValue);
        }
    }
    for (std::size_t i = 0; i < m_db->m_messages.size(); ++i) {
        CanMessage& m = m_db->m_messages[i];
        resolveMultiplexing(m, m_sources[i]);
        m.cycleTimeMs = defaultCycle;
        m_db->m_maxSignals = std::max(m_db->m_maxSignals, m.signals.size());
        m_db->m_byIdentifier[CanDatabase::key(m.identifier, m.extended)] = i;
    }
    for (const AttributeValue& a : m_db->m_attributes) {
        if (a.name == "GenMsgCycleTime" && a.object == AttributeObject::kMessage) {
            if (CanMessage* m = message(a.message, 0)) m->cycleTimeMs = cycle(a.value);
        }
    }
}

const char* dbcWarningText(DbcWarningKind kind) {
    switch (kind) {
        case DbcWarningKind::kUnknownKeyword:
            return "an unknown keyword";
        case DbcWarningKind::kUnknownReference:
            return "a reference to nothing in the file";
        case DbcWarningKind::kDuplicate:
            return "a repeated name or identifier";
        case DbcWarningKind::kNotCan:
            return "a message without a CAN identifier";
        case DbcWarningKind::kIgnoredValue:
            return "a value that cannot apply";
        case DbcWarningKind::kNotInFrame:
            return "a signal longer than a CAN frame";
    }
    return "";
}

std::string DbcReadResult::summary() const {
    const std::uint64_t n = warningCount();
    if (n == 0) return "";
    std::string text =
        std::to_string(n) + (n == 1 ? " statement was" : " statements were") + " passed over (";
    bool first = true;
    for (std::size_t k = 0; k < kDbcWarningKinds; ++k) {
        if (counts[k] == 0) continue;
        if (!first) text += ", ";
        first = false;
        text += std::to_string(counts[k]) + ": " + dbcWarningText(static_cast<DbcWarningKind>(k));
    }
    text += ")";
    if (!warnings.empty()) {
        const DbcWarning& w = warnings.front();
        text += "; the first is line " + std::to_string(w.line) + ": " + dbcWarningText(w.kind) +
                " (" + w.detail + ")";
    }
    return text + ".";
}

DbcReadResult DbcReader::read(std::string_view text) {
    DbcReadResult result;
    if (text.size() > kMaxFileBytes) {
        result.error = "the file is larger than any CAN database (" +
                       std::to_string(kMaxFileBytes >> 20) + " MB)";
        return result;
    }
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    DbcParser parser(text, result);
    try {
        parser.run();
    } catch (const Refusal& r) {
        result.ok = false;
        result.errorLine = r.line;
        result.error = "line " + std::to_string(r.line) + " does not parse: " + r.detail;
        return result;
    }
    result.ok = true;
    result.database = parser.take();
    return result;
}

DbcReadResult DbcReader::readFile(const std::string& path, std::string* text) {
    DbcReadResult result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.error = std::strerror(errno);
        return result;
    }
    struct stat st {};
    std::string bytes;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.error = "not a file";
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxFileBytes) {
        result.error = "the file is larger than any CAN database (" +
                       std::to_string(kMaxFileBytes >> 20) + " MB)";
    } else {
        // Read to the end, however the size changes meanwhile, but never past the bound.
        bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        for (;;) {
            if (got == bytes.size()) {
                if (bytes.size() > kMaxFileBytes) break;
                bytes.resize(std::min(bytes.size() * 2, kMaxFileBytes + 1));
            }
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                result.error = std::strerror(errno);
                break;
            }
            if (n == 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);
    }
    ::close(fd);
    if (!result.error.empty()) return result;
    result = read(bytes);
    if (text != nullptr) *text = std::move(bytes);
    return result;
}
