#pragma once

// The text export of the data list's rows, one writer per reading: a header, one fixed-column
// line per row, a closing line; CR LF line ends.
//
// Thread: the user-interface thread, or a batch run.

#include "filters/FilterState.h"
#include "framework/Progress.h"
#include "views/DataListCells.h"

#include <ctime>
#include <string>

struct ExportResult {
    enum Status { kOk, kCannotOpen, kWriteFailed, kCancelled };
    Status status = kOk;
    std::string detail;  // the system's reason
    [[nodiscard]] bool ok() const { return status == kOk; }
};

// Writes the rows of `rows` (store positions) to `path`, dated `when`.
ExportResult exportText(const std::string& path, ProtocolReading reading,
                        const DisplayIndexList& rows, const FrameStore& store, std::time_t when,
                        Progress* progress);

// One row's text, without its line end; returns its length. `out` holds at least 256 bytes.
int exportRow(char* out, ProtocolReading reading, const CapturedFrame& frame, std::uint32_t row);

// "CANData", "DeviceNetData" or "CANopenData".
[[nodiscard]] const char* exportDefaultName(ProtocolReading reading);
