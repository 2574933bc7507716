#include "tests/support/HostProcess.h"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include <sys/wait.h>
#include <unistd.h>

HostProcess::HostProcess(const std::string& program, const std::string& runtimeDir,
                         std::vector<std::string> arguments, int interfaces) {
    arguments.insert(arguments.begin(), {program, "--runtime-dir", runtimeDir});
    m_pid = ::fork();
    if (m_pid == 0) {
        std::vector<char*> argv;
        argv.reserve(arguments.size() + 1);
        for (auto& a : arguments) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    const auto folder =
        std::filesystem::path(runtimeDir) / "interfaces" / "{A71602A8-A799-44DC-805F-7FF25F30BEDB}";
    for (int i = 0; i < 500 && !m_ready; ++i) {
        std::error_code ec;
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
            // A ".new" socket is still being put in place and cannot be opened yet.
            n += e.is_socket() && e.path().extension() != ".new" ? 1 : 0;
        }
        m_ready = n >= interfaces;
        if (!m_ready) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
}

HostProcess::~HostProcess() {
    stop();
}

int HostProcess::stop() {
    if (m_pid <= 0) {
        return -1;
    }
    ::kill(m_pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 500; ++i) {
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return -1;
}
