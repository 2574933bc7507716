#pragma once

// Runs the driver host adp4021d as a child process for end-to-end tests, in its own runtime
// folder, and waits until it serves the expected number of device interfaces.
//
// The host's orderly end may take kStopGraceMs here (unless the environment already says how
// long): a loaded machine or a sanitizer build is slower to unplug than the host's own default
// allows, and these tests expect an orderly end. stop() waits longer than that.

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

class HostProcess {
public:
    static constexpr const char* kStopGraceMs = "4000";

    HostProcess(const std::string& program, const std::string& runtimeDir,
                std::vector<std::string> arguments, int interfaces = 1);
    ~HostProcess();
    HostProcess(const HostProcess&) = delete;
    HostProcess& operator=(const HostProcess&) = delete;

    [[nodiscard]] bool ready() const { return m_ready; }
    [[nodiscard]] pid_t pid() const { return m_pid; }
    // SIGTERM, then waits; the exit status (-1 if it had to be killed).
    int stop();

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

// The host started without waiting for it, for tests of how it starts and ends: `arguments`
// follow the program's name, its stderr goes to `errors`, and its stop grace is `graceMs`, or
// the host's own default when that is null, whatever the environment says.
pid_t startHost(const std::string& program, std::vector<std::string> arguments,
                const std::string& errors, const char* graceMs);
// Its exit status once it ended; -1 when it ended by a signal, or had not ended after `limit`
// and was killed.
int waitForHost(pid_t pid, std::chrono::milliseconds limit);
