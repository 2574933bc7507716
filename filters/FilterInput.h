#pragma once

// Typed numbers of the filter dialogs: reading a field in Hex or Decimal, the check that runs on
// every change of an entry field, and the data bytes with their size and frame kind.
//
// Thread: the user-interface thread.

#include "filters/FilterCondition.h"
#include "framework/MessageService.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

struct ParsedNumber {
    enum Status { kEmpty, kOk, kBadCharacter, kTooLarge };
    Status status = kEmpty;
    std::uint32_t value = 0;
};

// Reads `text` in the radix; values above `limit` are kTooLarge however many digits they have.
[[nodiscard]] ParsedNumber parseNumber(const std::string& text, bool hex, std::uint32_t limit);

// A number written as the dialogs show it: "%X" or "%d".
[[nodiscard]] std::string numberText(std::uint32_t value, bool hex);

// What is wrong with a typed text: a string-table text, or a text made from one; nothing (0) when
// the text is good.
struct Complaint {
    Complaint(std::uint32_t id = 0) : stringId(id) {}  // NOLINT: a plain id is a complaint
    explicit Complaint(std::string madeText) : text(std::move(madeText)) {}
    [[nodiscard]] bool any() const { return stringId != 0 || !text.empty(); }
    std::uint32_t stringId = 0;
    std::string text;
};

// The check an entry field runs on every change: `check` says what is wrong with a text. After a
// message the last character is removed and the shorter text is checked again, as the field does
// when its text is set. Returns the text the field keeps.
using TextCheck = std::function<Complaint(const std::string& text)>;
[[nodiscard]] std::string checkTyped(std::string text, const TextCheck& check,
                                     MessageService& messages,
                                     MessageIcon icon = MessageIcon::kNone);

// `text` (a string-table text with one "%02x" or "%d") with `value` in place of the conversion.
[[nodiscard]] std::string withNumber(const std::string& text, std::uint32_t value);

inline std::string upperCase(std::string text) {
    for (char& ch : text) {
        if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    }
    return text;
}

// The "Frame:", "Size:" and "Data:" controls that the CAN and CANopen dialogs share.
class FrameFields {
public:
    struct Messages {
        std::uint32_t badCharacter;
        std::uint32_t hexRange;
        std::uint32_t decimalRange;
    };
    explicit FrameFields(Messages messages) : m_texts(messages) {}

    void reset();
    // Item 0 is "ALL", item k a length of k - 1.
    void selectSize(int item) { m_sizeItem = item < 0 || item > 9 ? 0 : item; }
    [[nodiscard]] int sizeItem() const { return m_sizeItem; }
    void setRemote(bool remote) { m_remote = remote; }
    [[nodiscard]] bool remote() const { return m_remote; }
    // Byte i may be typed: a data frame whose size leaves room for it.
    [[nodiscard]] bool dataEnabled(int byte) const;
    [[nodiscard]] const std::string& dataText(int byte) const { return m_text[byte]; }
    [[nodiscard]] static int dataLimit(bool hex) { return hex ? 2 : 3; }

    struct Typed {
        std::string text;        // what the edit keeps
        bool moveFocus = false;  // the byte is complete: the next edit takes the focus
    };
    // The user changed the text of data edit `byte` (upper-case edit).
    Typed typeData(int byte, const std::string& text, bool hex, MessageService& messages);
    // Every non-empty data edit in the new radix.
    void rewrite(bool hex);

    // Writes the frame kind, length and data flags into `c`.
    void apply(FilterCondition& c) const;
    // Takes them from `c` (a row of the table).
    void load(const FilterCondition& c, bool hex);

private:
    Messages m_texts;
    int m_sizeItem = 0;
    bool m_remote = false;
    std::array<std::string, 8> m_text;
    std::array<std::uint8_t, 8> m_value{};
};
