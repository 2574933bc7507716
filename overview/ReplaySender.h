#pragma once

// Puts a replay on the bus: each frame when the schedule says it is due, through the library's
// single-frame send.
//
// The adapter refuses a send while its transmit FIFO is full (the bus is slower than the replay
// asks). A refused frame is tried again after a pause that starts at about one frame's bus time
// and doubles up to kMaxPauseUs, so the FIFO has room again; a frame still refused when its retry
// budget is spent is counted as refused and the replay goes on, and after giveUpAfter such frames
// in a row the adapter counts as gone and the replay fails. A frame that cannot be sent at all
// (an identifier beyond its format's range) is counted as unsendable. Nothing is dropped without
// being counted; frames left when Stop comes are simply not sent.
//
// Threads: start(), stop() and progress() on the user-interface thread; the frames are read and
// sent on the replay's own thread. The library takes commands from one thread at a time, so while
// a replay runs the program sends its other commands under the same lock (setCommandLock) or not
// at all.

#include "capture/VexaDevice.h"
#include "overview/ReplayClock.h"
#include "overview/ReplaySchedule.h"
#include "overview/ReplaySource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

struct ReplayProgress {
    enum class State { kReady, kRunning, kFinished, kStopped, kFailed };

    State state = State::kReady;
    std::uint64_t sent = 0;
    std::uint64_t refused = 0;     // still refused when their retry budget was spent
    std::uint64_t unsendable = 0;  // identifiers beyond their format's range
    std::uint64_t retries = 0;     // refused sends that were tried again
    std::uint64_t pass = 0;        // 1 for the first pass
    double passFraction = 0;       // how far the current pass has come, 0 to 1
    std::uint64_t latestUs = 0;    // the most a frame went out after it was due
    std::string error;             // why the replay failed

    [[nodiscard]] std::uint64_t notSent() const { return refused + unsendable; }
};

struct ReplaySenderSettings {
    unsigned baudKbps = 0;                    // the bus's bit rate, for the first pause; 0 unknown
    std::uint64_t retryBudgetUs = 2'000'000;  // per frame; the FIFO drains in 1 s at 10 kbit/s
    unsigned giveUpAfter = 3;                 // frames refused in a row
};

class ReplaySender {
public:
    static constexpr std::uint64_t kMinPauseUs = 200;
    static constexpr std::uint64_t kMaxPauseUs = 10'000;

    ReplaySender(VexaDevice& device, std::unique_ptr<ReplaySource> source,
                 const ReplayOptions& options, const ReplaySenderSettings& settings = {},
                 std::unique_ptr<ReplayClock> clock = nullptr);
    // Stops and waits for the replay's thread.
    ~ReplaySender();
    ReplaySender(const ReplaySender&) = delete;
    ReplaySender& operator=(const ReplaySender&) = delete;

    // Sends are made under this lock, which the program's other device commands take too.
    void setCommandLock(std::mutex* lock) { m_commandLock = lock; }

    // Starts the replay's thread; false when the replay has been started before.
    bool start();
    // Asks the replay to stop and waits until it has (within one send).
    void stop();
    // Waits until the replay has ended by itself (never, for a loop, before stop()).
    void wait();
    // Runs the whole replay on the calling thread (batch runs and tests).
    void run();

    [[nodiscard]] ReplayProgress progress() const;
    [[nodiscard]] bool running() const { return state() == ReplayProgress::State::kRunning; }

private:
    enum class Outcome { kSent, kRefused, kStopped };

    [[nodiscard]] ReplayProgress::State state() const {
        return static_cast<ReplayProgress::State>(m_state.load(std::memory_order_acquire));
    }
    Outcome sendWithRetries(const TxMessage& message, std::uint64_t frameUs);
    void finish(ReplayProgress::State state, std::string error);

    VexaDevice& m_device;
    std::unique_ptr<ReplaySource> m_source;
    ReplaySchedule m_schedule;
    const ReplaySenderSettings m_settings;
    std::unique_ptr<ReplayClock> m_clock;
    std::mutex* m_commandLock = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_state{static_cast<int>(ReplayProgress::State::kReady)};
    std::atomic<std::uint64_t> m_sent{0};
    std::atomic<std::uint64_t> m_refused{0};
    std::atomic<std::uint64_t> m_unsendable{0};
    std::atomic<std::uint64_t> m_retries{0};
    std::atomic<std::uint64_t> m_pass{0};
    std::atomic<double> m_passFraction{0};
    std::atomic<std::uint64_t> m_latestUs{0};
    mutable std::mutex m_errorMutex;
    std::string m_error;  // guarded by m_errorMutex
};
