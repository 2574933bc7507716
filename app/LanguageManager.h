#pragma once

// Chooses the language of the user interface and keeps its resource library loaded: the setting
// "LanguageId", then the user's and the system's languages, then the program's own; a language
// whose library is missing falls back to its primary language. Builds the "Language" menu and
// records a new choice, which takes effect at the next start.
//
// Thread: the user-interface thread.

#include "platform/LocaleData.h"
#include "platform/ResourceLibrary.h"

#include <memory>
#include <string>
#include <vector>

using platform::LANGID;

// Where the manager looks: the settings, the process locale and the program's folder. Tests
// script it.
class LanguageEnvironment {
public:
    virtual ~LanguageEnvironment() = default;
    virtual LANGID settingLanguageId() = 0;
    virtual void writeSettingLanguageId(LANGID id) = 0;
    virtual LANGID userUILanguage() = 0;
    virtual LANGID systemUILanguage() = 0;
    virtual LANGID userDefaultLangID() = 0;
    virtual LANGID systemDefaultLangID() = 0;
    // The library files beside the program: "Korvane???.so", in name order.
    virtual std::vector<std::string> satelliteFiles() = 0;
    // Opens the library file of that name beside the program.
    virtual std::unique_ptr<platform::ResourceLibrary> loadLibrary(const std::string& fileName) = 0;
};

// The real environment: user settings, process locale and the program's folder.
class SystemLanguageEnvironment final : public LanguageEnvironment {
public:
    explicit SystemLanguageEnvironment(std::string programDirectory);
    LANGID settingLanguageId() override;
    void writeSettingLanguageId(LANGID id) override;
    LANGID userUILanguage() override;
    LANGID systemUILanguage() override;
    LANGID userDefaultLangID() override;
    LANGID systemDefaultLangID() override;
    std::vector<std::string> satelliteFiles() override;
    std::unique_ptr<platform::ResourceLibrary> loadLibrary(const std::string& fileName) override;

private:
    std::string m_directory;
};

class LanguageManager {
public:
    static constexpr LANGID kOwnLanguage = 0x0409;  // the program file's own resources

    explicit LanguageManager(LanguageEnvironment& environment);
    ~LanguageManager();

    // Start-up: the first candidate that loads becomes the current language.
    void chooseLanguage();
    // Tries one candidate with its fall-backs; false when none of them loads.
    bool tryLanguage(LANGID id);
    [[nodiscard]] LANGID current() const { return m_current; }
    [[nodiscard]] const platform::ResourceLibrary* library() const { return m_library.get(); }
    // The ids tried so far, in order (for the record of how a language was found).
    [[nodiscard]] const std::vector<LANGID>& attempts() const { return m_attempts; }

    struct MenuEntry {
        LANGID language;
        std::string text;
        bool checked;
    };
    // The "Language" popup: the own language, then every library found.
    std::vector<MenuEntry> buildMenu();
    // Records the choice of menu entry `index` and returns the chosen language's "Please restart"
    // text with %1 replaced by `applicationName`; "" for an index beyond the menu.
    std::string selectLanguage(std::size_t index, const std::string& applicationName);

    // "Chinese (Simplified) (CHS)"; the localized name, or "%u - ???", where there is none.
    [[nodiscard]] static std::string displayName(LANGID id);

private:
    bool load(LANGID id);
    void unload();
    void install();

    LanguageEnvironment& m_environment;
    LANGID m_current = 0;
    std::vector<LANGID> m_available;
    std::unique_ptr<platform::ResourceLibrary> m_library;
    std::vector<LANGID> m_attempts;
};
