#include "tests/support/HostProcess.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char kGraceVariable[] = "ADP4021D_STOP_GRACE_MS";

// Forks and runs the program; `errors` empty keeps stderr. `grace` is a whole environment entry,
// or null for none.
pid_t spawn(const std::string& program, std::vector<std::string> arguments,
            const std::string& errors, const char* grace) {
    arguments.insert(arguments.begin(), program);
    // Made before the fork: the child of a process with threads may not allocate.
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 1);
    for (auto& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> env;
    const std::size_t nameLength = std::strlen(kGraceVariable);
    for (char** e = environ; *e != nullptr; ++e) {
        const bool isGrace =
            std::strncmp(*e, kGraceVariable, nameLength) == 0 && (*e)[nameLength] == '=';
        if (!isGrace) env.push_back(*e);
    }
    std::string entry = grace != nullptr ? grace : "";
    if (!entry.empty()) env.push_back(entry.data());
    env.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!errors.empty()) {
            const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd >= 0) ::dup2(fd, STDERR_FILENO);
        }
        ::execve(program.c_str(), argv.data(), env.data());
        ::_exit(127);
    }
    return pid;
}

}  // namespace

HostProcess::HostProcess(const std::string& program, const std::string& runtimeDir,
                         std::vector<std::string> arguments, int interfaces) {
    arguments.insert(arguments.begin(), {"--runtime-dir", runtimeDir});
    const char* given = std::getenv(kGraceVariable);
    const std::string grace =
        std::string(kGraceVariable) + "=" + (given != nullptr ? given : kStopGraceMs);
    m_pid = spawn(program, std::move(arguments), {}, grace.c_str());
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
    const int status = waitForHost(m_pid, std::chrono::milliseconds(5000));
    m_pid = -1;
    return status;
}

pid_t startHost(const std::string& program, std::vector<std::string> arguments,
                const std::string& errors, const char* graceMs) {
    const std::string grace =
        graceMs != nullptr ? std::string(kGraceVariable) + "=" + graceMs : std::string();
    return spawn(program, std::move(arguments), errors, grace.empty() ? nullptr : grace.c_str());
}

int waitForHost(pid_t pid, std::chrono::milliseconds limit) {
    int status = 0;
    const auto end = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) != pid) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
