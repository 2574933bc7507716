#include "platform/LocaleData.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace platform {

namespace {

struct Language {
    LANGID id;
    const char* abbreviation;
    const char* posix;  // language_TERRITORY; a bare language for the neutral entries
    const char* english;
    const char* localized;
};

// Our locale table: the languages the program knows by name.
constexpr Language kLanguages[] = {
    {0x0409, "ENU", "en_US", "English (United States)", "English (United States)"},
    {0x0809, "ENG", "en_GB", "English (United Kingdom)", "English (United Kingdom)"},
    {0x0009, "ENU", "en", "English", "English"},
    {0x0407, "DEU", "de_DE", "German (Germany)", "Deutsch (Deutschland)"},
    {0x0807, "DES", "de_CH", "German (Switzerland)", "Deutsch (Schweiz)"},
    {0x0007, "DEU", "de", "German", "Deutsch"},
    {0x040C, "FRA", "fr_FR", "French (France)", "Fran\u00e7ais (France)"},
    {0x080C, "FRB", "fr_BE", "French (Belgium)", "Fran\u00e7ais (Belgique)"},
    {0x0C0C, "FRC", "fr_CA", "French (Canada)", "Fran\u00e7ais (Canada)"},
    {0x000C, "FRA", "fr", "French", "Fran\u00e7ais"},
    {0x0804, "CHS", "zh_CN", "Chinese (Simplified)", "\u4e2d\u6587(\u7b80\u4f53)"},
    {0x1004, "ZHI", "zh_SG", "Chinese (Singapore)", "\u4e2d\u6587(\u65b0\u52a0\u5761)"},
    {0x0404, "CHT", "zh_TW", "Chinese (Traditional)", "\u4e2d\u6587(\u7e41\u9ad4)"},
    {0x0C04, "ZHH", "zh_HK", "Chinese (Hong Kong)", "\u4e2d\u6587(\u9999\u6e2f)"},
    {0x0004, "CHS", "zh", "Chinese", "\u4e2d\u6587"},
    {0x0411, "JPN", "ja_JP", "Japanese", "\u65e5\u672c\u8a9e"},
    {0x0011, "JPN", "ja", "Japanese", "\u65e5\u672c\u8a9e"},
};

const Language* find(LANGID id) {
    for (const Language& l : kLanguages) {
        if (l.id == id) return &l;
    }
    return nullptr;
}

std::string variable(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

LANGID firstOf(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::string value = variable(name);
        if (std::string(name) == "LANGUAGE") {
            value = value.substr(0, value.find(':'));  // a list: its first entry
        }
        if (value.empty()) continue;
        return languageOfLocale(value);
    }
    return 0;
}

}  // namespace

std::string abbreviation(LANGID id) {
    const Language* l = find(id);
    return l != nullptr ? l->abbreviation : "";
}

std::string posixName(LANGID id) {
    const Language* l = find(id);
    return l != nullptr ? l->posix : "";
}

std::string englishName(LANGID id) {
    const Language* l = find(id);
    return l != nullptr ? l->english : "";
}

std::string localizedName(LANGID id) {
    const Language* l = find(id);
    return l != nullptr ? l->localized : "";
}

LANGID languageOfLocale(const std::string& locale) {
    std::string name = locale.substr(0, locale.find_first_of(".@"));
    if (name.empty()) return 0;
    // The portable locale asks for no translation: the program's own language.
    if (name == "C" || name == "POSIX") return 0x0409;
    // zh_CN, zh-CN and zh_cn all name the same language.
    std::replace(name.begin(), name.end(), '-', '_');
    const auto underscore = name.find('_');
    std::transform(
        name.begin(), name.begin() + static_cast<std::ptrdiff_t>(std::min(underscore, name.size())),
        name.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (underscore != std::string::npos) {
        std::transform(name.begin() + static_cast<std::ptrdiff_t>(underscore), name.end(),
                       name.begin() + static_cast<std::ptrdiff_t>(underscore),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    }
    for (const Language& l : kLanguages) {
        if (name == l.posix) return l.id;
    }
    // A territory we do not list: the language itself, as its usual country speaks it.
    const std::string language = name.substr(0, underscore);
    for (const Language& l : kLanguages) {
        const std::string posix = l.posix;
        if (posix.size() > 2 && posix.substr(0, posix.find('_')) == language) return l.id;
    }
    return 0;
}

LANGID GetUserDefaultUILanguage() {
    return firstOf({"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"});
}
LANGID GetSystemDefaultUILanguage() {
    return firstOf({"LANG"});
}
LANGID GetUserDefaultLangID() {
    return firstOf({"LC_ALL", "LC_MESSAGES", "LANG"});
}
LANGID GetSystemDefaultLangID() {
    return firstOf({"LANG"});
}

}  // namespace platform
