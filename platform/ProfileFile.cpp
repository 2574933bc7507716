#include "platform/ProfileFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::mutex g_failureMutex;
ProfileWriteFailureHandler g_onWriteFailure;
bool g_failureReported = false;

std::string reason(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// The lines of the file at `path` (none when it does not exist). False, with `error`, when it
// exists but is no regular file, is too large or cannot be read.
bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error) {
    lines.clear();
    // Non-blocking, so that opening a FIFO returns at once and fstat can refuse it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return true;
        error = reason("cannot read", path);
        return false;
    }
    // Judged on the descriptor that is read, so nothing can be put in its place in between.
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) != 0) {
        error = reason("cannot examine", path);
    } else if (!S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
    } else if (static_cast<std::size_t>(st.st_size) > kMaxProfileBytes) {
        error = path + " is larger than " + std::to_string(kMaxProfileBytes) + " bytes";
    } else {
        // A file that grows while it is read is still read no further than the limit.
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                error = reason("cannot read", path);
                break;
            }
            if (n == 0) break;
            text.append(buffer, static_cast<std::size_t>(n));
            if (text.size() > kMaxProfileBytes) {
                error = path + " is larger than " + std::to_string(kMaxProfileBytes) + " bytes";
                break;
            }
        }
    }
    ::close(fd);
    if (!error.empty()) return false;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return true;
}

bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool failed(const std::string& why) {
    reportProfileWriteFailure(why);
    return false;
}

bool isSection(const std::string& line, std::string* name = nullptr) {
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
    if (name != nullptr) *name = trim(t.substr(1, t.size() - 2));
    return true;
}

bool keyOf(const std::string& line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty();
}

}  // namespace

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, std::size_t maxChars,
                                     const std::string& path) {
    std::vector<std::string> lines;
    std::string error;
    // A file that may not be read reads as missing.
    readLines(path, lines, error);
    bool inSection = false;
    for (const std::string& line : lines) {
        std::string name, k, v;
        if (isSection(line, &name)) {
            inSection = sameName(name, section);
        } else if (inSection && keyOf(line, k, v) && sameName(k, key)) {
            return v.substr(0, maxChars);
        }
    }
    return defaultValue.substr(0, maxChars);
}

bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& value, const std::string& path) {
    std::vector<std::string> lines;
    std::string error;
    // What could not be read would be lost by writing over it.
    if (!readLines(path, lines, error)) {
        return failed(error);
    }
    const std::string entry = key + "=" + value;
    bool inSection = false, written = false;
    std::size_t sectionEnd = std::string::npos;
    for (std::size_t i = 0; i < lines.size() && !written; ++i) {
        std::string name, k, v;
        if (isSection(lines[i], &name)) {
            if (inSection) break;
            inSection = sameName(name, section);
            if (inSection) sectionEnd = i + 1;
        } else if (inSection) {
            if (keyOf(lines[i], k, v) && sameName(k, key)) {
                lines[i] = entry;
                written = true;
            } else if (!trim(lines[i]).empty()) {
                sectionEnd = i + 1;
            }
        }
    }
    if (!written) {
        if (sectionEnd == std::string::npos) {
            lines.push_back("[" + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(sectionEnd), entry);
        }
    }
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return failed(reason("cannot write", temporary));
    }
    std::string why = writeAll(fd, text) ? std::string() : reason("cannot write", temporary);
    if (::close(fd) != 0 && why.empty()) {
        why = reason("cannot write", temporary);
    }
    if (!why.empty()) {
        std::remove(temporary.c_str());
        return failed(why);
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        why = reason("cannot replace", path);
        std::remove(temporary.c_str());
        return failed(why);
    }
    return true;
}

int profileNumber(const std::string& text) {
    return std::atoi(text.c_str());
}

void setProfileWriteFailureHandler(ProfileWriteFailureHandler handler) {
    const std::lock_guard lock(g_failureMutex);
    g_onWriteFailure = std::move(handler);
    g_failureReported = false;
}

void reportProfileWriteFailure(const std::string& why) {
    ProfileWriteFailureHandler handler;
    {
        const std::lock_guard lock(g_failureMutex);
        if (!g_onWriteFailure || g_failureReported) return;
        g_failureReported = true;
        handler = g_onWriteFailure;
    }
    handler(why);
}

}  // namespace platform
