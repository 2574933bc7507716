#include "filters/FilterInput.h"

#include "resources/StringTable.h"
#include "resources/TextFormat.h"

ParsedNumber parseNumber(const std::string& text, bool hex, std::uint32_t limit) {
    if (text.empty()) return {};
    std::uint64_t value = 0;
    bool tooLarge = false;
    for (const char ch : text) {
        int digit = -1;
        if (ch >= '0' && ch <= '9') {
            digit = ch - '0';
        } else if (hex && ch >= 'A' && ch <= 'F') {
            digit = ch - 'A' + 10;
        }
        if (digit < 0) return {ParsedNumber::kBadCharacter, 0};
        // Saturates: a long text must not wrap round into range.
        value = value * (hex ? 16u : 10u) + static_cast<unsigned>(digit);
        if (value > limit) {
            tooLarge = true;
            value = std::uint64_t{limit} + 1;
        }
    }
    if (tooLarge) return {ParsedNumber::kTooLarge, 0};
    return {ParsedNumber::kOk, static_cast<std::uint32_t>(value)};
}

std::string numberText(std::uint32_t value, bool hex) {
    return hex ? strprintf("%X", value) : strprintf("%u", value);
}

std::string checkTyped(std::string text, const TextCheck& check, MessageService& messages,
                       MessageIcon icon) {
    while (!text.empty()) {
        const Complaint complaint = check(text);
        if (!complaint.any()) break;
        if (complaint.text.empty()) {
            messages.showMessage(complaint.stringId, icon);
        } else {
            messages.showText(complaint.text, icon);
        }
        text.pop_back();
    }
    return text;
}

std::string withNumber(const std::string& text, std::uint32_t value) {
    // Only the two conversions the texts use are filled in: a translated text is no format string.
    for (const auto& [conversion, made] :
         {std::pair<std::string, std::string>{"%02x", strprintf("%02x", value)},
          std::pair<std::string, std::string>{"%d", strprintf("%u", value)}}) {
        const auto at = text.find(conversion);
        if (at != std::string::npos) {
            return text.substr(0, at) + made + text.substr(at + conversion.size());
        }
    }
    return text;
}

void FrameFields::reset() {
    m_sizeItem = 0;
    m_remote = false;
    m_text = {};
    m_value = {};
}

bool FrameFields::dataEnabled(int byte) const {
    if (m_remote) return false;
    return m_sizeItem == 0 || byte < m_sizeItem - 1;
}

FrameFields::Typed FrameFields::typeData(int byte, const std::string& typed, bool hex,
                                         MessageService& messages) {
    if (byte < 0 || byte > 7) return {typed, false};
    const std::string text = checkTyped(
        upperCase(typed),
        [&](const std::string& t) -> Complaint {
            const ParsedNumber n = parseNumber(t, hex, 0xFF);
            if (n.status == ParsedNumber::kBadCharacter) return m_texts.badCharacter;
            if (n.status == ParsedNumber::kTooLarge) {
                return hex ? m_texts.hexRange : m_texts.decimalRange;
            }
            if (n.status == ParsedNumber::kOk) m_value[byte] = static_cast<std::uint8_t>(n.value);
            return 0;
        },
        messages);
    m_text[byte] = text;
    return {text, static_cast<int>(text.size()) >= dataLimit(hex) && text == upperCase(typed)};
}

void FrameFields::rewrite(bool hex) {
    for (int i = 0; i < 8; ++i) {
        if (!m_text[i].empty()) {
            m_text[i] = numberText(m_value[i], hex);
        }
    }
}

void FrameFields::apply(FilterCondition& c) const {
    c.remote = m_remote ? 1 : 0;
    if (m_sizeItem >= 1) {
        const auto length = static_cast<std::uint32_t>(m_sizeItem - 1);
        c.flags |= FCF_LENGTH;
        c.formatAndLength = (c.formatAndLength & ~0xFF00u) | (length << 8);
    }
    for (int i = 0; i < 8; ++i) {
        if (!m_text[i].empty()) {
            c.flags |= fcfData(i);
            c.data[i] = m_value[i];
        }
    }
    if (c.has(FCF_LENGTH)) {
        for (int i = c.length(); i < 8; ++i) c.flags &= ~fcfData(i);
    }
}

void FrameFields::load(const FilterCondition& c, bool hex) {
    m_remote = c.remote != 0;
    // A length beyond 8 from a foreign file shows as "ALL" rather than as no item at all.
    m_sizeItem = c.has(FCF_LENGTH) && c.length() <= 8 ? c.length() + 1 : 0;
    for (int i = 0; i < 8; ++i) {
        m_value[i] = c.data[i];
        m_text[i].clear();
        if (c.has(fcfData(i))) {
            m_text[i] = hex ? strprintf("%02X", c.data[i]) : strprintf("%03d", c.data[i]);
        }
    }
}
