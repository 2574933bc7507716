#include "adapter/LogReplay.h"

#include <cstring>

ReplayLog loadReplayLog(LogReader& reader) {
    ReplayLog log;
    LogFrame f;
    std::uint64_t first = 0, previous = 0;
    while (reader.next(f)) {
        if (log.entries.empty()) first = previous = f.timeUs;
        const std::uint64_t at = f.timeUs < previous ? previous : f.timeUs;
        previous = at;
        BusFrame b;
        b.identifier = f.identifier;
        b.extended = f.extended;
        b.remote = f.remote;
        b.length = f.length;
        std::memcpy(b.data, f.data, sizeof b.data);
        log.entries.push_back({at - first, b});
    }
    log.read = reader.result();
    return log;
}

ReplayLog loadReplayLog(const std::string& path) {
    const auto reader =
        makeLogReader(fileKindOf(path) == FileKind::kAsc ? LogFormat::kAsc : LogFormat::kCandump);
    if (!reader->openFile(path)) {
        ReplayLog log;
        log.read = reader->result();
        return log;
    }
    return loadReplayLog(*reader);
}

LogReplay::LogReplay(ReplayLog log, bool loop) : m_log(std::move(log)), m_loop(loop) {}

bool LogReplay::next(BusFrame& frame, std::uint64_t& wantedAtUs) {
    if (m_index >= m_log.entries.size()) {
        if (!m_loop || m_log.entries.empty()) {
            return false;
        }
        // The next round starts a millisecond after the last frame of this one.
        m_roundStartUs += m_log.entries.back().offsetUs + 1000;
        m_index = 0;
    }
    frame = m_log.entries[m_index].frame;
    wantedAtUs = m_roundStartUs + m_log.entries[m_index].offsetUs;
    return true;
}

void LogReplay::pop() {
    ++m_index;
}
