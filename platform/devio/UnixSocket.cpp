#include "platform/devio/UnixSocket.h"

#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace devio {

namespace {

bool makeAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        return false;
    }
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

}  // namespace

int connectUnixSocket(const std::string& path) {
    sockaddr_un address{};
    if (!makeAddress(path, address)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

int listenUnixSocket(const std::string& path) {
    // Bound and listening under a temporary name first, then renamed into place: a client that
    // sees the socket can always connect to it.
    const std::string temporary = path + ".new";
    sockaddr_un address{};
    if (!makeAddress(temporary, address)) {
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    struct stat st {};
    for (const std::string& stale : {path, temporary}) {
        if (::lstat(stale.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            ::unlink(stale.c_str());
        }
    }
    // The folder above is 0700, so the moment between bind and chmod exposes nothing; umask would
    // be the race-free way but it is process-wide and the host has other threads.
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::chmod(temporary.c_str(), 0600) != 0 || ::listen(fd, 16) != 0 ||
        ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace devio
