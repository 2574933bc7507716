#include "platform/devio/UnixSocket.h"

#include <cerrno>
#include <chrono>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
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

int connectUnixSocket(const std::string& path, int timeoutMs) {
    sockaddr_un address{};
    if (!makeAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        return -1;
    }
    // A local socket whose backlog is full answers EAGAIN at once rather than completing later,
    // so the attempt is simply repeated until the time runs out.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            break;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN || std::chrono::steady_clock::now() >= end) {
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return -1;
        }
        ::poll(nullptr, 0, 5);
    }
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
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
    if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
        // A socket someone still answers on belongs to a live host: never take it over.
        const int probe = connectUnixSocket(path, 200);
        if (probe >= 0 || errno == EAGAIN) {
            if (probe >= 0) {
                ::close(probe);
            }
            ::close(fd);
            errno = EADDRINUSE;
            return -1;
        }
    }
    for (const std::string& stale : {path, temporary}) {
        if (::lstat(stale.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) {
            ::unlink(stale.c_str());
        }
    }
    // bind() gives the new file the socket's own mode less the umask, so setting the mode on the
    // descriptor first leaves no moment at which the file is open to others, and nothing is
    // changed by path (a path that another process could have swapped for a symlink).
    if (::fchmod(fd, 0600) != 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 64) != 0 || ::rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temporary.c_str());
        ::close(fd);
        errno = saved;
        return -1;
    }
    return fd;
}

}  // namespace devio
