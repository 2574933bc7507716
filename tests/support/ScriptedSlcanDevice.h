#pragma once

// An slcan adapter played by a test on a pseudo-terminal: it records every command that arrives
// (without its CR) and answers each as the test scripts it, by default as a well-behaved adapter
// would. The serial device is reached through a symbolic link that stays the same when the
// adapter is unplugged and plugged in again (a new pseudo-terminal each time).
//
// Threads: a reader thread of its own; every public call from any thread.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class ScriptedSlcanDevice {
public:
    // The answer to one command, bytes as they go on the line ("\r", "\a", "z\r", ...).
    using Responder = std::function<std::string(const std::string& command)>;

    // The link is made at `linkPath`.
    explicit ScriptedSlcanDevice(std::string linkPath);
    ~ScriptedSlcanDevice();
    ScriptedSlcanDevice(const ScriptedSlcanDevice&) = delete;
    ScriptedSlcanDevice& operator=(const ScriptedSlcanDevice&) = delete;

    [[nodiscard]] const std::string& path() const { return m_link; }
    [[nodiscard]] bool ok() const { return m_master >= 0; }

    // Answers as a working adapter: CR for C, S0-S8, Z0/Z1, O, L; a version and a serial
    // number; "F00"; "z" for a frame; BEL for anything else.
    static std::string defaultAnswer(const std::string& command);
    void setResponder(Responder responder);

    [[nodiscard]] std::vector<std::string> commands() const;
    void clearCommands();
    // Waits until `count` commands have come; false after `timeoutMs`.
    bool waitForCommands(std::size_t count, int timeoutMs = 3000) const;

    // Puts bytes on the line towards the host, as if the adapter sent them.
    void send(const std::string& bytes);

    // The adapter leaves (its pseudo-terminal closes) and comes back (a new one behind the link).
    void unplug();
    bool replug();

private:
    bool openTerminal();
    void readLoop();

    const std::string m_link;
    int m_master = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_reader;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    Responder m_responder;
    std::vector<std::string> m_commands;
    std::string m_partial;
};
