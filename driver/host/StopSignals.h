#pragma once

// SIGINT and SIGTERM, taken on a thread of their own from the host's first moment: whatever the
// main thread is doing when one comes (opening a source, unplugging adapters), it is seen at
// once, and a host that has not finished its orderly end within its grace of it ends anyway
// with kForcedExit, so no source can keep the host running after it was told to stop.
//
// The grace is kDefaultGrace unless the environment's ADP4021D_STOP_GRACE_MS gives another
// (0 to 600000): a build under sanitizers may need longer for an orderly end.
//
// Threads: construct on the main thread before any other thread starts (threads inherit the
// blocked signals); the other calls from the main thread.

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>

class StopSignals {
public:
    static constexpr std::chrono::milliseconds kDefaultGrace{750};
    static constexpr std::chrono::milliseconds kMaxGrace{600'000};
    // The exit status of a host ended at the end of its grace, apart from the failures' 1 and 2.
    static constexpr int kForcedExit = 124;
    static constexpr char kGraceVariable[] = "ADP4021D_STOP_GRACE_MS";

    // The grace `text` asks for, in milliseconds; none when it is not a number in range.
    [[nodiscard]] static std::optional<std::chrono::milliseconds> parseGrace(const char* text);

    // A grace variable that does not parse is an error for the caller to tell; the default
    // is used meanwhile.
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    [[nodiscard]] std::chrono::milliseconds grace() const { return m_grace; }
    [[nodiscard]] bool graceValid() const { return m_graceValid; }

    // The stop signal, once one came; 0 while none did after `limit`.
    [[nodiscard]] int waitFor(std::chrono::milliseconds limit);
    [[nodiscard]] int wait();
    // The orderly end is over: no forced end after this.
    void finished();

private:
    void run();

    sigset_t m_signals;
    std::chrono::milliseconds m_grace = kDefaultGrace;
    bool m_graceValid = true;
    std::mutex m_mutex;  // the members below
    std::condition_variable m_changed;
    int m_signal = 0;
    bool m_finished = false;
    std::thread m_thread;
};
