#pragma once

// Runs the driver host adp4021d as a child process for end-to-end tests, in its own runtime
// folder, and waits until it serves the expected number of device interfaces.

#include <string>
#include <vector>

#include <sys/types.h>

class HostProcess {
public:
    HostProcess(const std::string& program, const std::string& runtimeDir,
                std::vector<std::string> arguments, int interfaces = 1);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    // SIGTERM, then waits; the exit status (-1 if it had to be killed).
    int stop();

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};
