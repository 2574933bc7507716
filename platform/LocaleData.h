#pragma once

// Stand-in for the system's locale data and its language functions: language ids as the program's
// home platform numbers them, their three-letter abbreviations and names, and the interface
// languages of the user and the system, read from the process locale (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG).

#include <cstdint>
#include <string>

namespace platform {

using LANGID = std::uint16_t;

[[nodiscard]] constexpr LANGID MAKELANGID(unsigned primary, unsigned sub) {
    return static_cast<LANGID>(sub << 10 | primary);
}
[[nodiscard]] constexpr unsigned PRIMARYLANGID(LANGID id) {
    return id & 0x3FF;
}
[[nodiscard]] constexpr unsigned SUBLANGID(LANGID id) {
    return id >> 10;
}

// "" when the language is not in the table.
[[nodiscard]] std::string abbreviation(LANGID id);
[[nodiscard]] std::string englishName(LANGID id);
[[nodiscard]] std::string localizedName(LANGID id);
// The POSIX name of a language ("zh_CN"); "" when the language is not in the table.
[[nodiscard]] std::string posixName(LANGID id);

// A POSIX locale name ("zh_CN.UTF-8", "de") as a language id; "C" and "POSIX" (with any
// codeset) are English (United States); 0 when unknown.
[[nodiscard]] LANGID languageOfLocale(const std::string& locale);

[[nodiscard]] LANGID GetUserDefaultUILanguage();    // LANGUAGE, LC_ALL, LC_MESSAGES, LANG
[[nodiscard]] LANGID GetSystemDefaultUILanguage();  // LANG
[[nodiscard]] LANGID GetUserDefaultLangID();        // LC_ALL, LC_MESSAGES, LANG
[[nodiscard]] LANGID GetSystemDefaultLangID();      // LANG

}  // namespace platform
