#pragma once

// Replay of a candump log, "(sec.usec) iface ID#DATA" per line ("ID#R" or "ID#Rn" for a remote
// frame), at the log's own pace. Lines that cannot be used are counted and reported, not fatal.

#include "adapter/BusFrame.h"

#include <istream>
#include <string>
#include <vector>

struct CandumpLog {
    struct Entry {
        std::uint64_t offsetUs;  // since the log's first frame
        BusFrame frame;
    };
    struct Rejected {
        int line;
        std::string reason;
    };
    std::vector<Entry> entries;
    std::vector<Rejected> rejected;  // the first few, for the report
    std::size_t rejectedCount = 0;
};

[[nodiscard]] CandumpLog parseCandump(std::istream& in);

class CandumpReplay final : public BusSource {
public:
    CandumpReplay(CandumpLog log, bool loop);
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;

private:
    CandumpLog m_log;
    bool m_loop;
    std::size_t m_index = 0;
    std::uint64_t m_roundStartUs = 0;
};
