#include "platform/UserSettings.h"

#include "platform/ProfileFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
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

namespace {

// Whether this process can make files in `folder`, tried with a file made and removed at once:
// permission bits do not tell (root passes them in /proc, where nothing can be made, and a
// read-only mount refuses everyone).
bool canMakeFilesIn(const std::string& folder) {
    std::string probe = folder + "/.korvane-probe-XXXXXX";
    const int fd = ::mkstemp(probe.data());
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(probe.c_str());
    return true;
}

// The text of a regular file of at most kMaxProfileBytes; false for anything else.
bool readSmallFile(const std::string& path, std::string& text) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    text.clear();
    char buffer[16384];
    while (ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        ok = text.size() <= kMaxProfileBytes;
    }
    ::close(fd);
    return ok;
}

// Puts a copy of `from` at `to` unless something is there already; a failure is reported.
void copyIfMissing(const std::string& from, const std::string& to) {
    struct stat st {};
    std::string text;
    if (::lstat(to.c_str(), &st) == 0 || errno != ENOENT || !readSmallFile(from, text)) return;
    std::string temporary = to + ".copy-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    std::string why = ok ? std::string() : std::strerror(errno);
    if (fd >= 0 && ::close(fd) != 0 && why.empty()) why = std::strerror(errno);
    // A link, not a rename: a copy another instance made meanwhile is kept.
    if (why.empty() && ::link(temporary.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        why = std::strerror(errno);
    }
    if (fd >= 0) ::unlink(temporary.c_str());
    if (!why.empty()) reportProfileWriteFailure("cannot copy " + from + " to " + to + ": " + why);
}

}  // namespace

std::string UserSettings::besideProgramOrInFolder(const std::string& programDirectory,
                                                  const std::string& name) {
    std::string beside = programDirectory + "/" + name;
    struct stat st {};
    const bool exists = ::stat(beside.c_str(), &st) == 0;
    // A write replaces the file through a new one beside it, so the folder must take new files;
    // a file its owner made read-only is left alone.
    if (canMakeFilesIn(programDirectory) &&
        (!exists || ::faccessat(AT_FDCWD, beside.c_str(), W_OK, AT_EACCESS) == 0)) {
        return beside;
    }
    // Made now, so that the first write there finds its folder. A folder others may write to is
    // not used for this file either; the writes beside the program then fail and are told.
    std::string error;
    if (!ensureFolder(error)) {
        reportProfileWriteFailure(error);
        return beside;
    }
    std::string inFolder = folder() + "/" + name;
    // What was shipped beside an installed program is where the user's own copy starts.
    if (exists) copyIfMissing(beside, inFolder);
    return inFolder;
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
