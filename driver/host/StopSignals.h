#pragma once

// SIGINT and SIGTERM, taken on a thread of their own from the host's first moment: whatever the
// main thread is doing when one comes (opening a source, unplugging adapters), it is seen at
// once, and a host that has not finished its orderly end within kGrace of it ends anyway, so no
// source can keep the host running after it was told to stop.
//
// Threads: construct on the main thread before any other thread starts (threads inherit the
// blocked signals); the other calls from the main thread.

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

class StopSignals {
public:
    static constexpr std::chrono::milliseconds kGrace{750};

    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The stop signal, once one came; 0 while none did after `limit`.
    [[nodiscard]] int waitFor(std::chrono::milliseconds limit);
    [[nodiscard]] int wait();
    // The orderly end is over: no forced end after this.
    void finished();

private:
    void run();

    sigset_t m_signals;
    std::mutex m_mutex;  // the members below
    std::condition_variable m_changed;
    int m_signal = 0;
    bool m_finished = false;
    std::thread m_thread;
};
