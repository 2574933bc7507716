#pragma once

// Replay of a candump or ASC log at the log's own pace. Lines that give no frame are counted and
// reported by the reader, not fatal.

#include "adapter/BusFrame.h"
#include "interop/LogReader.h"

#include <string>
#include <vector>

struct ReplayLog {
    struct Entry {
        std::uint64_t offsetUs;  // since the log's first frame
        BusFrame frame;
    };
    std::vector<Entry> entries;
    LogReadResult read;  // what the reader skipped, and whether the file could be read
};

// Reads the whole log; a frame earlier than the one before it goes on the bus right after that
// one.
[[nodiscard]] ReplayLog loadReplayLog(LogReader& reader);
// The file at `path`, an ASC log by its extension ".asc", else a candump log.
[[nodiscard]] ReplayLog loadReplayLog(const std::string& path);

class LogReplay final : public BusSource {
public:
    LogReplay(ReplayLog log, bool loop);
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;

private:
    ReplayLog m_log;
    bool m_loop;
    std::size_t m_index = 0;
    std::uint64_t m_roundStartUs = 0;
};
