#include "overview/ReplaySender.h"

#include "interop/BusTiming.h"

#include <algorithm>
#include <cstring>

namespace {

// The message for a log frame; false when the adapter could not carry its identifier.
bool toMessage(const LogFrame& f, TxMessage& m) {
    if (f.identifier > (f.extended ? 0x1FFFFFFFu : 0x7FFu)) return false;
    m = TxMessage{};
    m.remote = f.remote ? 1 : 0;
    m.format = f.extended ? 1 : 0;
    m.length = f.length > 8 ? 8 : f.length;
    m.identifier = f.identifier;
    std::memcpy(m.data, f.data, 8);
    return true;
}

}  // namespace

ReplaySender::ReplaySender(VexaDevice& device, std::unique_ptr<ReplaySource> source,
                           const ReplayOptions& options, const ReplaySenderSettings& settings,
                           std::unique_ptr<ReplayClock> clock)
    : m_device(device),
      m_source(std::move(source)),
      m_schedule(*m_source, options),
      m_settings(settings),
      m_clock(clock ? std::move(clock) : std::make_unique<SteadyReplayClock>()) {}

ReplaySender::~ReplaySender() {
    stop();
}

bool ReplaySender::start() {
    if (m_thread.joinable() || state() != ReplayProgress::State::kReady) return false;
    m_state.store(static_cast<int>(ReplayProgress::State::kRunning), std::memory_order_release);
    m_thread = std::thread([this] { run(); });
    return true;
}

void ReplaySender::stop() {
    m_stop.store(true);
    m_clock->wake();
    if (m_thread.joinable()) m_thread.join();
}

void ReplaySender::wait() {
    if (m_thread.joinable()) m_thread.join();
}

ReplayProgress ReplaySender::progress() const {
    ReplayProgress p;
    p.state = state();
    p.sent = m_sent.load();
    p.refused = m_refused.load();
    p.unsendable = m_unsendable.load();
    p.retries = m_retries.load();
    p.pass = m_pass.load();
    p.passFraction = m_passFraction.load();
    p.latestUs = m_latestUs.load();
    std::lock_guard lock(m_errorMutex);
    p.error = m_error;
    return p;
}

void ReplaySender::finish(ReplayProgress::State state, std::string error) {
    {
        std::lock_guard lock(m_errorMutex);
        m_error = std::move(error);
    }
    m_state.store(static_cast<int>(state), std::memory_order_release);
}

void ReplaySender::run() {
    m_state.store(static_cast<int>(ReplayProgress::State::kRunning), std::memory_order_release);
    const std::uint64_t startUs = m_clock->nowUs();
    unsigned refusedInRow = 0;
    LogFrame frame;
    std::uint64_t dueUs = 0;
    while (!m_stop.load() && m_schedule.peek(frame, dueUs)) {
        m_pass.store(m_schedule.pass());
        const std::uint64_t at = startUs + dueUs;
        if (m_clock->nowUs() < at) m_clock->waitUntil(at);
        if (m_stop.load()) break;
        TxMessage message;
        if (!toMessage(frame, message)) {
            ++m_unsendable;
        } else {
            const std::uint64_t frameUs =
                busTimeUs(canFrameBits(frame.identifier, frame.extended, frame.remote, frame.length,
                                       frame.data),
                          m_settings.baudKbps);
            const Outcome outcome = sendWithRetries(message, frameUs);
            if (outcome == Outcome::kStopped) break;
            if (outcome == Outcome::kSent) {
                ++m_sent;
                refusedInRow = 0;
                const std::uint64_t now = m_clock->nowUs();
                if (now > at && now - at > m_latestUs.load()) m_latestUs.store(now - at);
            } else {
                ++m_refused;
                if (++refusedInRow >= std::max(m_settings.giveUpAfter, 1u)) {
                    m_schedule.pop();
                    m_passFraction.store(m_schedule.passProgress());
                    finish(
                        ReplayProgress::State::kFailed,
                        "the adapter refused " + std::to_string(refusedInRow) + " frames in a row");
                    return;
                }
            }
        }
        m_schedule.pop();
        m_passFraction.store(m_schedule.passProgress());
    }
    if (m_stop.load()) {
        finish(ReplayProgress::State::kStopped, {});
    } else if (!m_schedule.error().empty()) {
        finish(ReplayProgress::State::kFailed, m_schedule.error());
    } else {
        finish(ReplayProgress::State::kFinished, {});
    }
}

ReplaySender::Outcome ReplaySender::sendWithRetries(const TxMessage& message,
                                                    std::uint64_t frameUs) {
    std::uint64_t pause = std::clamp(frameUs, kMinPauseUs, kMaxPauseUs);
    const std::uint64_t deadline = m_clock->nowUs() + m_settings.retryBudgetUs;
    for (;;) {
        bool sent = false;
        if (m_commandLock != nullptr) {
            std::lock_guard lock(*m_commandLock);
            sent = m_device.sendSingleData(message);
        } else {
            sent = m_device.sendSingleData(message);
        }
        if (sent) return Outcome::kSent;
        if (m_stop.load()) return Outcome::kStopped;
        const std::uint64_t now = m_clock->nowUs();
        if (now >= deadline) return Outcome::kRefused;
        ++m_retries;
        m_clock->waitUntil(std::min(now + pause, deadline));
        if (m_stop.load()) return Outcome::kStopped;
        pause = std::min(pause * 2, kMaxPauseUs);
    }
}
