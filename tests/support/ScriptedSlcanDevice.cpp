#include "tests/support/ScriptedSlcanDevice.h"

#include <chrono>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

ScriptedSlcanDevice::ScriptedSlcanDevice(std::string linkPath)
    : m_link(std::move(linkPath)), m_responder(&ScriptedSlcanDevice::defaultAnswer) {
    openTerminal();
}

ScriptedSlcanDevice::~ScriptedSlcanDevice() {
    unplug();
    ::unlink(m_link.c_str());
}

bool ScriptedSlcanDevice::openTerminal() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        if (master >= 0) ::close(master);
        return false;
    }
    const char* slave = ::ptsname(master);
    // Raw from the start: a CR must reach the host as a CR.
    const int s = ::open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (s >= 0) {
        termios t{};
        ::tcgetattr(s, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(s, TCSANOW, &t);
        ::close(s);
    }
    ::unlink(m_link.c_str());
    if (::symlink(slave, m_link.c_str()) != 0 || ::pipe2(m_wake, O_CLOEXEC) != 0) {
        ::close(master);
        return false;
    }
    m_master = master;
    m_reader = std::thread([this] { readLoop(); });
    return true;
}

void ScriptedSlcanDevice::unplug() {
    if (m_master < 0) return;
    const char stop = 0;
    (void)!::write(m_wake[1], &stop, 1);
    m_reader.join();
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    ::close(m_master);
    m_master = -1;
    std::lock_guard lock(m_mutex);
    m_partial.clear();
}

bool ScriptedSlcanDevice::replug() {
    unplug();
    return openTerminal();
}

std::string ScriptedSlcanDevice::defaultAnswer(const std::string& c) {
    if (c == "C" || c == "O" || c == "L" || c == "Z0" || c == "Z1") return "\r";
    if (c.size() == 2 && c[0] == 'S' && c[1] >= '0' && c[1] <= '8') return "\r";
    if (c == "V") return "V1013\r";
    if (c == "N") return "NA1B2\r";
    if (c == "F") return "F00\r";
    if (!c.empty() && (c[0] == 't' || c[0] == 'T' || c[0] == 'r' || c[0] == 'R')) return "z\r";
    return "\a";
}

void ScriptedSlcanDevice::setResponder(Responder responder) {
    std::lock_guard lock(m_mutex);
    m_responder = std::move(responder);
}

std::vector<std::string> ScriptedSlcanDevice::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

void ScriptedSlcanDevice::clearCommands() {
    std::lock_guard lock(m_mutex);
    m_commands.clear();
}

bool ScriptedSlcanDevice::waitForCommands(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_commands.size() >= count; });
}

void ScriptedSlcanDevice::send(const std::string& bytes) {
    if (m_master >= 0) {
        (void)!::write(m_master, bytes.data(), bytes.size());
    }
}

void ScriptedSlcanDevice::readLoop() {
    char buffer[512];
    for (;;) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) {
            // Nobody has the serial side open: wait for the host to come.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        std::string answers;
        {
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                if (buffer[i] != '\r') {
                    m_partial += buffer[i];
                    continue;
                }
                m_commands.push_back(m_partial);
                answers += m_responder(m_partial);
                m_partial.clear();
            }
        }
        m_changed.notify_all();
        if (!answers.empty()) {
            (void)!::write(m_master, answers.data(), answers.size());
        }
    }
}
