#include "tests/support/VirtualCanHub.h"

#include <chrono>
#include <csignal>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
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
