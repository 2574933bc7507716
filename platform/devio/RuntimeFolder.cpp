#include "platform/devio/RuntimeFolder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace devio {

namespace {

enum class Check { kPrivate, kMissing, kRefused };

Check check(const std::string& path, std::string& error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) {
            return Check::kMissing;
        }
        error = "cannot examine the runtime folder " + path + ": " + std::strerror(errno);
        return Check::kRefused;
    }
    if (S_ISLNK(st.st_mode)) {
        error = "the runtime folder " + path + " is a symbolic link; refusing to use it";
    } else if (!S_ISDIR(st.st_mode)) {
        error = "the runtime folder " + path + " is not a directory; refusing to use it";
    } else if (st.st_uid != ::geteuid()) {
        error = "the runtime folder " + path + " belongs to user " + std::to_string(st.st_uid) +
                ", not to this user; refusing to use it";
    } else if ((st.st_mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
        error = "the runtime folder " + path + " has mode " + mode +
                " and others may use it (it must be 0700); refusing to use it";
    } else {
        return Check::kPrivate;
    }
    return Check::kRefused;
}

}  // namespace

bool isPrivateDirectory(const std::string& path, std::string& error) {
    const Check c = check(path, error);
    if (c == Check::kMissing) {
        error = "the runtime folder " + path + " does not exist";
    }
    return c == Check::kPrivate;
}

bool ensurePrivateDirectory(const std::string& path, std::string& error) {
    std::size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string partial = path.substr(0, pos);
        if (partial.empty()) {
            continue;
        }
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            error = "cannot make the runtime folder " + partial + ": " + std::strerror(errno);
            return false;
        }
    }
    return isPrivateDirectory(path, error);
}

bool checkPrivateChain(const std::string& root, const std::string& leaf, bool missingOk,
                       std::string& error) {
    if (leaf.compare(0, root.size(), root) != 0 ||
        (leaf.size() > root.size() && leaf[root.size()] != '/')) {
        error = leaf + " is not inside the runtime folder " + root;
        return false;
    }
    std::string path = root;
    std::size_t pos = root.size();
    for (;;) {
        switch (check(path, error)) {
            case Check::kRefused:
                return false;
            case Check::kMissing:
                if (!missingOk) {
                    error = "the runtime folder " + path + " does not exist";
                }
                return missingOk;
            case Check::kPrivate:
                break;
        }
        if (pos >= leaf.size()) {
            return true;
        }
        pos = leaf.find('/', pos + 1);
        path = leaf.substr(0, pos);
        if (pos == std::string::npos) {
            pos = leaf.size();
        }
    }
}

}  // namespace devio
