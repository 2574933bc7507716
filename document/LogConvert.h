#pragma once

// Converts between the document file (.krv), candump logs (.log), ASC logs (.asc), BLF logs
// (.blf) and pcap captures (.pcap; .pcapng is read too), chosen by the files' extensions. Every
// frame is carried over; a log becomes a new document.
//
// Thread: any one thread (a batch run).

#include "interop/LogFrame.h"

#include <ctime>
#include <string>

struct ConvertResult {
    bool ok = true;
    std::string error;    // why it failed, for the user
    std::string warning;  // lines skipped or frames left out, for the user
    std::uint64_t frames = 0;
};

// The ASC header is dated `when`.
[[nodiscard]] ConvertResult convertFile(const std::string& in, const std::string& out,
                                        std::time_t when);
