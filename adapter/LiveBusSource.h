#pragma once

// What every real bus under the adapter shares: the frames heard on the bus wait in a bounded
// queue, stamped with the adapter's clock, until the bus thread takes them; the interface's
// presence; the counters the host reports; and the log the host writes.
//
// Threads: deliver(), setPresent() and the counters from the source's own I/O thread; next(),
// pop() and the other BusSource calls from the adapter's threads; present() and stats() from any.

#include "adapter/BusFrame.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

struct LiveBusStats {
    std::uint64_t framesHeard = 0;    // data and remote frames taken from the bus
    std::uint64_t framesDropped = 0;  // heard with no room left in the queue
    std::uint64_t framesSent = 0;     // the adapter's own frames handed to the interface
    std::uint64_t framesNotSent = 0;  // the interface could not take them
    std::uint64_t errorFrames = 0;    // error frames: counted, never stored as data
    std::uint64_t framesSkipped = 0;  // frames the adapter cannot carry (CAN FD, over 8 bytes)
    std::uint64_t linesRejected = 0;  // input that did not parse
    std::uint64_t errorReplies = 0;   // the interface answered a command with an error
    std::uint64_t overruns = 0;       // the interface reported frames lost before us
    std::uint64_t losses = 0;         // times the interface went away
};

class LiveBusSource : public BusSource {
public:
    using Clock = std::chrono::steady_clock;
    using Log = std::function<void(const std::string&)>;

    static constexpr std::size_t kQueueFrames = 65536;

    // `log` takes one line (without its end); null writes to stderr.
    explicit LiveBusSource(Log log);
    ~LiveBusSource() override = default;
    LiveBusSource(const LiveBusSource&) = delete;
    LiveBusSource& operator=(const LiveBusSource&) = delete;

    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;
    [[nodiscard]] bool live() const override { return true; }
    void powerOn(Clock::time_point at) override;
    [[nodiscard]] bool present() const override { return m_present.load(); }

    [[nodiscard]] LiveBusStats stats() const;
    // The counters as one line for the host's log.
    [[nodiscard]] std::string statsLine() const;

protected:
    // A frame heard on the bus that ended at `endedAt`.
    void deliver(const BusFrame& frame, Clock::time_point endedAt);
    void setPresent(bool present);
    void log(const std::string& line) const;
    // Changes a counter under the lock.
    void count(std::uint64_t LiveBusStats::*counter, std::uint64_t n = 1);

private:
    struct Stamped {
        BusFrame frame;
        std::uint64_t atUs;
    };

    const Log m_log;
    std::atomic<bool> m_present{true};
    mutable std::mutex m_mutex;  // guards the members below
    std::deque<Stamped> m_queue;
    Clock::time_point m_powerOn{};
    bool m_powered = false;
    std::uint64_t m_lastUs = 0;
    LiveBusStats m_stats;
};
