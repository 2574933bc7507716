#pragma once

// The time a replay keeps: microseconds from a fixed point, and a wait that wake() cuts short so
// that Stop is prompt. Tests put a clock of their own in its place.
//
// Thread: the replay's thread waits; wake() comes from any thread.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class ReplayClock {
public:
    virtual ~ReplayClock() = default;
    [[nodiscard]] virtual std::uint64_t nowUs() = 0;
    // Returns at `us`, or earlier once wake() has been called (then at once, for good).
    virtual void waitUntil(std::uint64_t us) = 0;
    virtual void wake() = 0;
};

class SteadyReplayClock final : public ReplayClock {
public:
    std::uint64_t nowUs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                              std::chrono::steady_clock::now() - m_origin)
                                              .count());
    }
    void waitUntil(std::uint64_t us) override {
        std::unique_lock lock(m_mutex);
        m_wakeup.wait_until(lock, m_origin + std::chrono::microseconds(us),
                            [this] { return m_woken; });
    }
    void wake() override {
        {
            std::lock_guard lock(m_mutex);
            m_woken = true;
        }
        m_wakeup.notify_all();
    }

private:
    const std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
    std::mutex m_mutex;
    std::condition_variable m_wakeup;
    bool m_woken = false;
};
