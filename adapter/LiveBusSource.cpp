#include "adapter/LiveBusSource.h"

#include <cinttypes>
#include <cstdio>

LiveBusSource::LiveBusSource(Log log) : m_log(std::move(log)) {}

bool LiveBusSource::next(BusFrame& frame, std::uint64_t& wantedAtUs) {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty()) {
        return false;
    }
    frame = m_queue.front().frame;
    wantedAtUs = m_queue.front().atUs;
    return true;
}

void LiveBusSource::pop() {
    std::lock_guard lock(m_mutex);
    if (!m_queue.empty()) {
        m_queue.pop_front();
    }
}

void LiveBusSource::powerOn(Clock::time_point at) {
    std::lock_guard lock(m_mutex);
    // What was heard before belongs to no adapter's bus time.
    m_queue.clear();
    m_powerOn = at;
    m_powered = true;
    m_lastUs = 0;
}

void LiveBusSource::deliver(const BusFrame& frame, Clock::time_point endedAt) {
    std::lock_guard lock(m_mutex);
    ++m_stats.framesHeard;
    if (!m_powered || endedAt < m_powerOn) {
        return;
    }
    if (m_queue.size() >= kQueueFrames) {
        ++m_stats.framesDropped;
        return;
    }
    const auto us = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(endedAt - m_powerOn).count());
    // Frames leave the bus in order; a clock read a little early must not reorder them.
    m_lastUs = std::max(m_lastUs, us);
    m_queue.push_back({frame, m_lastUs});
}

void LiveBusSource::setPresent(bool present) {
    if (m_present.exchange(present) && !present) {
        count(&LiveBusStats::losses);
    }
}

void LiveBusSource::log(const std::string& line) const {
    if (m_log) {
        m_log(line);
    } else {
        std::fprintf(stderr, "adp4021d: %s\n", line.c_str());
    }
}

void LiveBusSource::count(std::uint64_t LiveBusStats::*counter, std::uint64_t n) {
    std::lock_guard lock(m_mutex);
    m_stats.*counter += n;
}

LiveBusStats LiveBusSource::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

std::string LiveBusSource::statsLine() const {
    const LiveBusStats s = stats();
    char line[400];
    std::snprintf(line, sizeof line,
                  "heard %" PRIu64 ", dropped %" PRIu64 ", sent %" PRIu64 ", not sent %" PRIu64
                  ", error frames %" PRIu64 ", skipped %" PRIu64 ", lines rejected %" PRIu64
                  ", error replies %" PRIu64 ", overruns %" PRIu64 ", lost %" PRIu64 " time(s)",
                  s.framesHeard, s.framesDropped, s.framesSent, s.framesNotSent, s.errorFrames,
                  s.framesSkipped, s.linesRejected, s.errorReplies, s.overruns, s.losses);
    return line;
}
