#include "platform/UserSettings.h"

#include "platform/ProfileFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

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

bool UserSettings::ensureFolder(std::string& error) {
    const std::string path = folder();
    // Missing folders are made private; existing parents are not judged (they may be /tmp).
    for (std::size_t pos = path.find('/', 1);; pos = path.find('/', pos + 1)) {
        const std::string partial = path.substr(0, pos);
        if (!partial.empty() && ::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make the settings folder " + partial + ": " + std::strerror(errno);
            return false;
        }
        if (pos == std::string::npos) break;
    }
    // Unlike the runtime folder of sockets, only writing by others matters here: whoever can
    // write the settings could choose what the program opens and how it lays out its windows.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        error = "cannot examine the settings folder " + path + ": " + std::strerror(errno);
    } else if (!S_ISDIR(st.st_mode)) {
        error = "the settings folder " + path + " is not a directory";
    } else if (st.st_uid != ::geteuid()) {
        error = "the settings folder " + path + " belongs to user " + std::to_string(st.st_uid) +
                ", not to this user";
    } else if ((st.st_mode & 022) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = "the settings folder " + path + " has mode " + mode + " and others may write to it";
    } else {
        return true;
    }
    return false;
}

std::string UserSettings::besideProgramOrInFolder(const std::string& programDirectory,
                                                  const std::string& name) {
    std::string beside = programDirectory + "/" + name;
    const bool exists = ::access(beside.c_str(), F_OK) == 0;
    if (exists ? ::access(beside.c_str(), W_OK) == 0
               : ::access(programDirectory.c_str(), W_OK | X_OK) == 0) {
        return beside;
    }
    // Made now, so that the first write there finds its folder. A folder others may write to is
    // not used for this file either; the writes beside the program then fail and are told.
    std::string error;
    if (!ensureFolder(error)) {
        reportProfileWriteFailure(error);
        return beside;
    }
    return folder() + "/" + name;
}

int UserSettings::GetProfileInt(const std::string& section, const std::string& entry,
                                int defaultValue) const {
    const std::string text =
        GetPrivateProfileStringA(m_key + "\\" + section, entry, "", 16, filePath());
    return text.empty() ? defaultValue : profileNumber(text);
}

bool UserSettings::WriteProfileInt(const std::string& section, const std::string& entry,
                                   int value) {
    std::string error;
    if (!ensureFolder(error)) {
        reportProfileWriteFailure(error);
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
    std::string error;
    if (!ensureFolder(error)) {
        reportProfileWriteFailure(error);
        return false;
    }
    return WritePrivateProfileStringA(m_key + "\\" + section, entry, value, filePath());
}

}  // namespace platform
