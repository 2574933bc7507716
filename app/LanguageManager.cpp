#include "app/LanguageManager.h"

#include "platform/UserSettings.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"

#include <QDir>

using namespace platform;

namespace {

constexpr char kRegistryKey[] = "Local AppWizard-Generated Applications\\Korvane";
constexpr char kSettingsSection[] = "Settings";
constexpr char kLanguageEntry[] = "LanguageId";

// The library whose texts the program shows now; the string and menu tables ask it first.
const ResourceLibrary* g_active = nullptr;

const char* activeString(std::uint32_t id) {
    return g_active != nullptr ? g_active->string(id) : nullptr;
}

const char* activeMenuText(unsigned /*id*/, const char* english) {
    return g_active != nullptr ? g_active->text(english) : nullptr;
}

}  // namespace

SystemLanguageEnvironment::SystemLanguageEnvironment(std::string programDirectory)
    : m_directory(std::move(programDirectory)) {}

LANGID SystemLanguageEnvironment::settingLanguageId() {
    return static_cast<LANGID>(
        UserSettings(kRegistryKey).GetProfileInt(kSettingsSection, kLanguageEntry, 0));
}

void SystemLanguageEnvironment::writeSettingLanguageId(LANGID id) {
    UserSettings(kRegistryKey).WriteProfileInt(kSettingsSection, kLanguageEntry, id);
}

LANGID SystemLanguageEnvironment::userUILanguage() {
    return GetUserDefaultUILanguage();
}
LANGID SystemLanguageEnvironment::systemUILanguage() {
    return GetSystemDefaultUILanguage();
}
LANGID SystemLanguageEnvironment::userDefaultLangID() {
    return GetUserDefaultLangID();
}
LANGID SystemLanguageEnvironment::systemDefaultLangID() {
    return GetSystemDefaultLangID();
}

std::vector<std::string> SystemLanguageEnvironment::satelliteFiles() {
    std::vector<std::string> files;
    for (const QString& name :
         QDir(QString::fromStdString(m_directory))
             .entryList({QStringLiteral("Korvane???.so")}, QDir::Files, QDir::Name)) {
        files.push_back(name.toStdString());
    }
    return files;
}

std::unique_ptr<ResourceLibrary> SystemLanguageEnvironment::loadLibrary(
    const std::string& fileName) {
    return ResourceLibrary::load(m_directory + "/" + fileName);
}

LanguageManager::LanguageManager(LanguageEnvironment& environment) : m_environment(environment) {}

LanguageManager::~LanguageManager() {
    unload();
}

void LanguageManager::chooseLanguage() {
    for (LANGID candidate : {m_environment.settingLanguageId(), m_environment.userUILanguage(),
                             m_environment.systemUILanguage(), m_environment.userDefaultLangID(),
                             m_environment.systemDefaultLangID(), kOwnLanguage}) {
        if (tryLanguage(candidate)) return;
    }
}

bool LanguageManager::tryLanguage(LANGID id) {
    if (id == 0) return false;
    if (load(id)) return true;
    const unsigned primary = PRIMARYLANGID(id);
    const unsigned sub = SUBLANGID(id);
    if (sub != 0 && load(MAKELANGID(primary, 0))) return true;
    return sub != 1 && load(MAKELANGID(primary, 1));
}

bool LanguageManager::load(LANGID id) {
    m_attempts.push_back(id);
    if (id == kOwnLanguage) {
        unload();
        m_current = id;
        return true;
    }
    const std::string abbreviation = platform::abbreviation(id);
    if (abbreviation.empty()) return false;
    auto library = m_environment.loadLibrary("Korvane" + abbreviation + ".so");
    if (!library) return false;
    unload();
    m_library = std::move(library);
    m_current = id;
    install();
    return true;
}

void LanguageManager::install() {
    g_active = m_library.get();
    strings::installStringLookup(m_library ? &activeString : nullptr);
    installMenuTextLookup(m_library ? &activeMenuText : nullptr);
}

void LanguageManager::unload() {
    if (g_active == m_library.get()) {
        g_active = nullptr;
        strings::installStringLookup(nullptr);
        installMenuTextLookup(nullptr);
    }
    m_library.reset();
}

std::string LanguageManager::displayName(LANGID id) {
    const std::string english = englishName(id);
    if (!english.empty()) return english + " (" + abbreviation(id) + ")";
    std::string local = localizedName(id);
    if (!local.empty()) return local;
    return std::to_string(id) + " - ???";
}

std::vector<LanguageManager::MenuEntry> LanguageManager::buildMenu() {
    m_available.clear();
    if (kOwnLanguage != 0) m_available.push_back(kOwnLanguage);
    for (const std::string& file : m_environment.satelliteFiles()) {
        if (const auto library = m_environment.loadLibrary(file)) {
            if (library->translationId() != 0) m_available.push_back(library->translationId());
        }
    }
    std::vector<MenuEntry> entries;
    for (std::size_t i = 0; i < m_available.size() && i < 256; ++i) {
        entries.push_back(
            {m_available[i], displayName(m_available[i]), m_available[i] == m_current});
    }
    return entries;
}

std::string LanguageManager::selectLanguage(std::size_t index, const std::string& applicationName) {
    if (index >= m_available.size()) return {};
    const LANGID chosen = m_available[index];
    m_environment.writeSettingLanguageId(chosen);
    // The chosen language's own text, then back to the language in use until the restart.
    const LANGID previous = m_current;
    load(chosen);
    std::string text = strings::loadString(strings::kPleaseRestart);
    load(previous);
    const auto at = text.find("%1");
    if (at != std::string::npos) text.replace(at, 2, applicationName);
    return text;
}
