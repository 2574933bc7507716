#include "platform/UserSettings.h"

#include "platform/ProfileFile.h"
#include "platform/devio/DevioServer.h"

#include <cstdlib>

namespace platform {

UserSettings::UserSettings(std::string registryKey) : m_key(std::move(registryKey)) {}

std::string UserSettings::folder() {
    if (const char* dir = std::getenv("KORVANE_CONFIG_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/korvane";
    }
    const char* home = std::getenv("HOME");
    return std::string(home != nullptr ? home : "/tmp") + "/.config/korvane";
}

std::string UserSettings::filePath() const {
    return folder() + "/settings.ini";
}

int UserSettings::GetProfileInt(const std::string& section, const std::string& entry,
                                int defaultValue) const {
    const std::string text =
        GetPrivateProfileStringA(m_key + "\\" + section, entry, "", 16, filePath());
    return text.empty() ? defaultValue : profileNumber(text);
}

bool UserSettings::WriteProfileInt(const std::string& section, const std::string& entry,
                                   int value) {
    if (!devio::makePrivateDirectories(folder())) {
        return false;
    }
    return WritePrivateProfileStringA(m_key + "\\" + section, entry, std::to_string(value),
                                      filePath());
}

std::string UserSettings::GetProfileString(const std::string& section, const std::string& entry,
                                           const std::string& defaultValue) const {
    return GetPrivateProfileStringA(m_key + "\\" + section, entry, defaultValue, kMaxValueChars,
                                    filePath());
}

bool UserSettings::WriteProfileString(const std::string& section, const std::string& entry,
                                      const std::string& value) {
    // A line end in a value would start a new key of the file.
    if (value.find_first_of("\r\n") != std::string::npos || value.size() > kMaxValueChars) {
        return false;
    }
    if (!devio::makePrivateDirectories(folder())) {
        return false;
    }
    return WritePrivateProfileStringA(m_key + "\\" + section, entry, value, filePath());
}

}  // namespace platform
