#include "transmit/EntryCheck.h"

#include "resources/TextFormat.h"

#include <algorithm>
#include <optional>

namespace {

bool allDigits(const std::string& text, bool hex) {
    return std::all_of(text.begin(), text.end(), [hex](char c) {
        return (c >= '0' && c <= '9') ||
               (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
    });
}

// Only called on texts of at most 9 decimal or 8 hexadecimal digits, which fit 32 bits.
std::uint32_t parse(const std::string& text, bool hex) {
    std::uint32_t value = 0;
    for (char c : text) {
        const std::uint32_t digit = c <= '9' ? static_cast<std::uint32_t>(c - '0')
                                             : static_cast<std::uint32_t>((c | 0x20) - 'a' + 10);
        value = value * (hex ? 16 : 10) + digit;
    }
    return value;
}

// Runs `check` until the text passes, taking out the character before the cursor after each
// complaint.
template <typename Check>
EntryOutcome settle(std::string text, std::size_t cursor, bool hex, Check&& check) {
    EntryOutcome out;
    cursor = std::min(cursor, text.size());
    for (;;) {
        const std::optional<std::uint32_t> complaint = check(text);
        if (!complaint) break;
        out.messages.push_back(*complaint);
        if (text.empty()) break;  // cannot happen: an empty text passes every check
        if (cursor == 0) cursor = text.size();
        text.erase(cursor - 1, 1);
        --cursor;
    }
    out.value = allDigits(text, hex) ? parse(text, hex) : 0;
    out.text = std::move(text);
    out.cursor = cursor;
    return out;
}

}  // namespace

std::uint32_t identifierRangeMessage(const IdentifierMessages& m, bool hex, int frameType) {
    if (frameType == 2) return hex ? m.hexExtended : m.decimalExtended;
    return hex ? m.hexStandard : m.decimalStandard;
}

EntryOutcome checkIdentifierEntry(std::string text, std::size_t cursor, bool hex, int frameType,
                                  const IdentifierMessages& m) {
    return settle(std::move(text), cursor, hex,
                  [&](const std::string& t) -> std::optional<std::uint32_t> {
                      if (t.size() > (hex ? 8u : 9u)) return hex ? m.hexLength : m.decimalLength;
                      if (!allDigits(t, hex)) return hex ? m.hexCharacter : m.decimalCharacter;
                      if (parse(t, hex) > maxIdentifier(frameType)) {
                          return identifierRangeMessage(m, hex, frameType);
                      }
                      return std::nullopt;
                  });
}

EntryOutcome checkDataEntry(std::string text, std::size_t cursor, bool hex, const DataMessages& m) {
    return settle(std::move(text), cursor, hex,
                  [&](const std::string& t) -> std::optional<std::uint32_t> {
                      if (!allDigits(t, hex)) return hex ? m.hexCharacter : m.decimalCharacter;
                      // A pasted text may be longer than the edit's limit.
                      if (t.size() > dataEntryLimit(hex) || parse(t, hex) > 0xFF) {
                          return hex ? m.hexRange : m.decimalRange;
                      }
                      return std::nullopt;
                  });
}

std::string formatNumber(std::uint32_t value, bool hex) {
    return hex ? strprintf("%X", value) : strprintf("%u", value);
}
