#include "platform/MultimediaTimer.h"

#include <ctime>

namespace platform {

MultimediaTimer::~MultimediaTimer() {
    stop();
}

bool MultimediaTimer::start(std::chrono::microseconds period, std::function<void()> callback) {
    if (m_thread.joinable() || period.count() <= 0) {
        return false;
    }
    m_callback = std::move(callback);
    m_stop.store(false);
    m_thread = std::thread([this, period] { run(period); });
    return true;
}

void MultimediaTimer::stop() {
    if (!m_thread.joinable()) {
        return;
    }
    m_stop.store(true);
    m_thread.join();
}

void MultimediaTimer::run(std::chrono::microseconds period) {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now() + period;
    while (!m_stop.load(std::memory_order_relaxed)) {
        const auto ns =
            std::chrono::duration_cast<std::chrono::nanoseconds>(next.time_since_epoch()).count();
        timespec due{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) != 0) {
        }
        if (m_stop.load(std::memory_order_relaxed)) {
            break;
        }
        m_callback();
        next += period;
        const auto now = Clock::now();
        if (now > next + period) {
            next = now;
        }
    }
}

}  // namespace platform
