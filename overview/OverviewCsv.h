#pragma once

// The overview of a whole document as CSV, for scripts (Korvane --export-overview):
//
//   identifier,format,count,first_ms,last_ms,mean_period_ms,min_period_ms,max_period_ms,
//   last_length,last_data
//
// One row per identifier in order of first appearance, every frame counted. The identifier in
// upper-case hexadecimal; format "standard" or "extended"; times in milliseconds with the clock's
// wraps counted, as curve values are exported; mean = (last - first) / (count - 1) with three
// decimals, min and max over consecutive frames; the three periods empty for a single frame;
// last_data the last frame's bytes in hexadecimal, separated by spaces, empty for a remote frame.
//
// Thread: any; the store is read up to its count at the start.

#include "capture/FrameStore.h"
#include "overview/BusOverview.h"

#include <cstdio>
#include <string>

struct OverviewCsvResult {
    bool ok = true;
    std::string error;
    std::size_t rows = 0;
};

// The rows of an overview kept in milliseconds (OverviewClock::kMilliseconds), header first.
std::size_t writeOverviewCsv(std::FILE* out, const BusOverview& overview);

// Builds the overview of every frame of `store` and writes it to `path`, replacing the file only
// when it is whole. Fails without writing when the store holds more identifiers than an overview
// keeps.
[[nodiscard]] OverviewCsvResult exportOverviewCsv(const std::string& path, const FrameStore& store);
