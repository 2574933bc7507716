#include "adapter/SharedBus.h"

#include <algorithm>
#include <deque>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t microsSince(Clock::time_point origin) {
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - origin).count());
}

struct Timed {
    BusFrame frame;
    std::uint64_t atUs;  // bus time of the hub
};

}  // namespace

struct SharedBus::Hub {
    std::mutex mutex;
    const Clock::time_point origin = Clock::now();
    std::unique_ptr<BusSource> source;
    bool sourceDone = false;
    // The source's frames that some port has not yet passed; entry i has index `base + i`.
    std::deque<Timed> sourceLog;
    std::uint64_t base = 0;
    std::vector<Port*> ports;
    Stats stats;

    void trimSourceLog();
};

class SharedBus::Port final : public BusSource {
public:
    explicit Port(std::shared_ptr<Hub> hub)
        : m_hub(std::move(hub)), m_offsetUs(microsSince(m_hub->origin)) {
        std::lock_guard lock(m_hub->mutex);
        // A port that joins after another has already taken frames from the source hears those
        // that are still to come, not those already on the bus.
        const auto& log = m_hub->sourceLog;
        const auto ahead = std::find_if(log.begin(), log.end(),
                                        [this](const Timed& t) { return t.atUs >= m_offsetUs; });
        m_cursor = m_hub->base + static_cast<std::uint64_t>(ahead - log.begin());
        m_hub->ports.push_back(this);
    }
    ~Port() override {
        std::lock_guard lock(m_hub->mutex);
        std::erase(m_hub->ports, this);
        m_hub->trimSourceLog();
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override {
        std::lock_guard lock(m_hub->mutex);
        Hub& hub = *m_hub;
        if (m_cursor < hub.base) m_cursor = hub.base;  // fell behind: the dropped ones are gone
        if (m_cursor == hub.base + hub.sourceLog.size() && !hub.sourceDone && hub.source) {
            BusFrame f;
            std::uint64_t at = 0;
            if (!hub.source->next(f, at)) {
                hub.sourceDone = true;
            } else if (at < kIdleUs) {
                hub.source->pop();
                hub.sourceLog.push_back({f, at});
                ++hub.stats.sourceFrames;
                if (hub.sourceLog.size() > kMaxBacklog) {
                    hub.sourceLog.pop_front();
                    ++hub.base;
                    ++hub.stats.framesDropped;
                }
            }
        }
        const Timed* fromSource = m_cursor < hub.base + hub.sourceLog.size()
                                      ? &hub.sourceLog[m_cursor - hub.base]
                                      : nullptr;
        const Timed* fromPeer = m_inbox.empty() ? nullptr : &m_inbox.front();
        if (fromSource == nullptr && fromPeer == nullptr) {
            m_offered = Offered::kIdle;
            frame = BusFrame{};
            wantedAtUs = kIdleUs;
            return true;
        }
        const bool peer =
            fromPeer != nullptr && (fromSource == nullptr || fromPeer->atUs <= fromSource->atUs);
        const Timed& t = peer ? *fromPeer : *fromSource;
        m_offered = peer ? Offered::kPeer : Offered::kSource;
        frame = t.frame;
        wantedAtUs = t.atUs > m_offsetUs ? t.atUs - m_offsetUs : 0;
        return true;
    }

    void pop() override {
        std::lock_guard lock(m_hub->mutex);
        if (m_offered == Offered::kPeer && !m_inbox.empty()) {
            m_inbox.pop_front();
        } else if (m_offered == Offered::kSource) {
            ++m_cursor;
            m_hub->trimSourceLog();
        }
        m_offered = Offered::kIdle;
    }

    // The first adapter to capture starts a source that waits for it (a replay), on the hub's
    // clock.
    void captureStarted(std::uint64_t busUs) override {
        std::lock_guard lock(m_hub->mutex);
        if (m_hub->source) m_hub->source->captureStarted(busUs + m_offsetUs);
    }

    void transmitted(const BusFrame& frame) override { handOn(frame, nullptr); }
    void transmittedAt(const BusFrame& frame, std::uint64_t endUs) override {
        handOn(frame, &endUs);
    }

    [[nodiscard]] std::uint64_t cursor() const { return m_cursor; }

private:
    enum class Offered { kIdle, kSource, kPeer };

    // To every other port, at the hub time the frame ended (on this port's bus clock), never
    // later than now; without that time, now.
    void handOn(const BusFrame& frame, const std::uint64_t* endUs) {
        std::lock_guard lock(m_hub->mutex);
        const std::uint64_t now = microsSince(m_hub->origin);
        const std::uint64_t at = endUs != nullptr ? std::min(*endUs + m_offsetUs, now) : now;
        for (Port* other : m_hub->ports) {
            if (other == this) continue;
            other->m_inbox.push_back({frame, at});
            ++m_hub->stats.peerFrames;
            if (other->m_inbox.size() > kMaxBacklog) {
                other->m_inbox.pop_front();
                ++m_hub->stats.framesDropped;
            }
        }
    }

    std::shared_ptr<Hub> m_hub;
    const std::uint64_t m_offsetUs;  // this adapter's bus time is the hub's less this
    std::uint64_t m_cursor = 0;      // next source log index; guarded by the hub's lock
    std::deque<Timed> m_inbox;       // frames the other adapters sent; guarded by the hub's lock
    Offered m_offered = Offered::kIdle;

    friend struct SharedBus::Hub;
};

void SharedBus::Hub::trimSourceLog() {
    std::uint64_t lowest = base + sourceLog.size();
    for (const Port* p : ports) lowest = std::min(lowest, std::max(p->cursor(), base));
    while (base < lowest) {
        sourceLog.pop_front();
        ++base;
    }
}

SharedBus::SharedBus(std::unique_ptr<BusSource> source) : m_hub(std::make_shared<Hub>()) {
    m_hub->source = std::move(source);
}

SharedBus::~SharedBus() = default;

std::unique_ptr<BusSource> SharedBus::join() {
    return std::make_unique<Port>(m_hub);
}

SharedBus::Stats SharedBus::stats() const {
    std::lock_guard lock(m_hub->mutex);
    return m_hub->stats;
}
