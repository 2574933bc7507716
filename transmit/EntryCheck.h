#pragma once

// The checks both transmission dialogs make on every change of an identifier or a data byte edit:
// the characters, the length and the range, each with the message of the dialog it belongs to.
// An offending character is taken out again and what is left is checked once more, so an edit
// never keeps an invalid text.
//
// Plain functions; any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The message of each check, by radix. The two dialogs share the rules but not the ids.
struct DataMessages {
    std::uint32_t hexRange, hexCharacter, decimalRange, decimalCharacter;
};
struct IdentifierMessages {
    std::uint32_t hexStandard, hexExtended, hexCharacter, hexLength;
    std::uint32_t decimalStandard, decimalExtended, decimalCharacter, decimalLength;
};

inline constexpr DataMessages kManualDataMessages{5074, 5075, 5076, 5077};
inline constexpr IdentifierMessages kManualIdentifierMessages{5080, 5081, 5082, 5083,
                                                              5084, 5085, 5086, 5087};
inline constexpr DataMessages kAutoDataMessages{5005, 5006, 5007, 5008};
inline constexpr IdentifierMessages kAutoIdentifierMessages{5016, 5017, 5018, 5019,
                                                            5020, 5021, 5022, 5023};

// The largest identifier of a device frame type (1 standard, 2 extended).
[[nodiscard]] constexpr std::uint32_t maxIdentifier(int frameType) {
    return frameType == 2 ? 0x1FFFFFFFu : 0x7FFu;
}
// The message that an identifier is out of range for the frame type.
[[nodiscard]] std::uint32_t identifierRangeMessage(const IdentifierMessages& messages, bool hex,
                                                   int frameType);

// What an edit holds after a change was checked.
struct EntryOutcome {
    std::string text;                     // the text the edit keeps
    std::size_t cursor = 0;               // where the cursor stays
    std::uint32_t value = 0;              // the value of `text` (0 when empty)
    std::vector<std::uint32_t> messages;  // shown in this order, one per removed character
};

// `text` is the edit's new text and `cursor` the position just after the character typed.
[[nodiscard]] EntryOutcome checkIdentifierEntry(std::string text, std::size_t cursor, bool hex,
                                                int frameType, const IdentifierMessages& messages);
[[nodiscard]] EntryOutcome checkDataEntry(std::string text, std::size_t cursor, bool hex,
                                          const DataMessages& messages);

// A data edit is full at 2 hexadecimal or 3 decimal characters; the focus then moves on.
[[nodiscard]] constexpr std::size_t dataEntryLimit(bool hex) {
    return hex ? 2 : 3;
}

// Numbers as the dialogs show them: "%X" or "%d".
[[nodiscard]] std::string formatNumber(std::uint32_t value, bool hex);

// An edit left empty shows "0".
[[nodiscard]] inline std::string textOnLeaving(const std::string& text) {
    return text.empty() ? std::string("0") : text;
}
