#pragma once

// A log (candump, ASC, BLF, pcap) into frames of the store, and the store's frames out to a log.
//
// Thread: the user-interface thread, or a batch run.

#include "document/DocumentFile.h"
#include "capture/FrameStore.h"
#include "capture/TimeAnchors.h"
#include "filters/FilterState.h"
#include "interop/LogFrame.h"

#include <ctime>
#include <string>
#include <vector>

struct LogImportResult {
    enum Status { kOk, kCannotOpen, kReadFailed, kNoFrames, kOutOfMemory, kCancelled };
    Status status = kOk;
    std::string detail;  // the system's reason for kCannotOpen and kReadFailed
    LogReadResult read;  // what was read and skipped
    // Frames whose time went back (before the frame before them, or before the log's first
    // frame on a wall clock): each took the time of the frame before it.
    std::uint64_t movedOn = 0;
    std::uint64_t firstMovedOnLine = 0;  // the first one's line, 1-based
    // The times of day the log tells, for the new document; none when it tells none.
    std::vector<TimeAnchor> anchors;
    [[nodiscard]] bool ok() const { return status == kOk; }
};

// Reads the log at `path` into the empty `frames`, in file order, on the capture's clock. A file
// that cannot be read whole, or holds not one frame (an empty file included), is a failure;
// `frames` then holds nothing useful and the caller's document stays as it was.
[[nodiscard]] LogImportResult importLog(const std::string& path, LogFormat format,
                                        FrameStore& frames, Progress* progress);

struct LogExportOptions {
    LogFormat format = LogFormat::kCandump;
    std::string interfaceName = "can0";
    // The time anchors of the store's frames; without them the log keeps the capture's clock.
    std::vector<TimeAnchor> anchors;
    // Every frame means the frames below this count: those captured before the command.
    std::uint32_t frames = UINT32_MAX;
};

struct LogExportResult {
    bool ok = true;
    std::string error;
    std::uint64_t frames = 0;
    std::uint64_t unwritable = 0;  // frames left out: identifiers beyond their format's range
    [[nodiscard]] explicit operator bool() const { return ok; }
};

// Writes the frames of the rows (store positions), or with `rows` null every frame of the store.
// The ASC header is dated `when`, or with anchors the first anchor's moment.
[[nodiscard]] LogExportResult exportLog(const std::string& path, const LogExportOptions& options,
                                        const FrameStore& store, const DisplayIndexList* rows,
                                        std::time_t when, Progress* progress);
