#include "tests/support/VirtualCanHub.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

VirtualCanHub::VirtualCanHub() : m_port(freePort()) {}

VirtualCanHub::~VirtualCanHub() {
    stop();
}

int VirtualCanHub::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) == 0) {
        port = ntohs(a.sin_port);
    }
    ::close(fd);
    return port;
}

std::string VirtualCanHub::interfaceName() const {
    return "tcp://127.0.0.1:" + std::to_string(m_port) + "/can0";
}

bool VirtualCanHub::start() {
    stop();
    m_pid = ::fork();
    if (m_pid == 0) {
        const std::string name = interfaceName();
        ::execl(VIRTUALCAN_HUB_PATH, VIRTUALCAN_HUB_PATH, name.c_str(), nullptr);
        ::_exit(127);
    }
    for (int i = 0; i < 300; ++i) {
        if (accepts(m_port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

void VirtualCanHub::stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

std::string VirtualCanHub::program() {
    return VIRTUALCAN_HUB_PATH;
}

VirtualCanMember::VirtualCanMember(int port) {
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

VirtualCanMember::~VirtualCanMember() {
    if (m_fd >= 0) ::close(m_fd);
}

bool VirtualCanMember::send(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
        const ssize_t n = ::send(m_fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n <= 0) return false;
        at += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<std::string> VirtualCanMember::lines(std::size_t count, int limitMs) {
    std::vector<std::string> out;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        m_partial.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = m_partial.find('\n')) != std::string::npos;) {
            out.push_back(m_partial.substr(0, nl));
            m_partial.erase(0, nl + 1);
        }
    }
    return out;
}

bool VirtualCanMember::closedByPeer(int limitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        pollfd p{m_fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return false;
        char buffer[4096];
        const ssize_t n = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && errno == ECONNRESET)) return true;
        if (n < 0) return false;
    }
}
