#pragma once

// Stand-in for the periodic multimedia timer (timeSetEvent): a thread of its own that calls the
// callback every period, keeping to absolute deadlines so that the average rate does not drift.
// A tick that runs late is followed at once by the next one due; ticks missed by more than one
// period are dropped rather than fired in a burst.
//
// Thread: start and stop from one owner thread; the callback runs on the timer's thread.

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace platform {

class MultimediaTimer {
public:
    MultimediaTimer() = default;
    ~MultimediaTimer();
    MultimediaTimer(const MultimediaTimer&) = delete;
    MultimediaTimer& operator=(const MultimediaTimer&) = delete;

    // timeSetEvent(period, resolution, callback, TIME_PERIODIC). False when already running.
    bool start(std::chrono::microseconds period, std::function<void()> callback);
    // Returns once the timer thread has ended; a tick in progress finishes first.
    void stop();

    [[nodiscard]] bool running() const { return m_thread.joinable(); }

private:
    void run(std::chrono::microseconds period);

    std::function<void()> m_callback;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace platform
