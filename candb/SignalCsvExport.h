#pragma once

// Every decoded signal value of a store's frames as CSV, one row per value, in frame order and,
// within a frame, in the database's signal order:
//
//   frame,time_ms,identifier,message,signal,raw,value,unit,label
//
// `frame` is the 0-based frame index, `time_ms` the frame's time as the caller computes it (the
// curve export's), `identifier` "0x" and uppercase hex, `raw` the raw integer (a float signal's
// own value), `value` the physical value in the shortest text that reads back to the same double,
// `label` the value description of the raw value or empty. Fields are quoted as CSV needs.
//
// Rows are formatted by hand into large blocks, which a thread of the writer's own hands to the
// stream while the next block fills: an export writes tens of millions of rows, gigabytes.
//
// Thread: any; the store is read up to its count at the start. One write() at a time.

#include "candb/SignalDecoder.h"
#include "capture/FrameStore.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// A frame's time in milliseconds, as the other exports give it.
using FrameTimeFunction = std::uint64_t (*)(const CapturedFrame& frame);

struct SignalExportResult {
    bool ok = true;
    std::string error;
    std::uint64_t rows = 0;
    std::uint64_t frames = 0;  // frames a database names
    std::uint64_t unfit = 0;   // values their frames were too short for
    std::uint64_t remote = 0;  // remote frames a database names: they carry no values
};

// A field quoted as CSV requires (comma, quote, line end), quotes doubled.
[[nodiscard]] std::string signalCsvField(const std::string& text);

class SignalCsvWriter {
public:
    // The decoder must outlive the writer.
    SignalCsvWriter(const SignalDecoder& decoder, FrameTimeFunction time);

    // The header and the rows of frames [0, store.count()) to an open stream. ok is false when
    // the stream reports an error.
    SignalExportResult write(std::FILE* out, const FrameStore& store) const;

private:
    struct SignalText {
        std::string name;                 // quoted, then ','
        std::string unit;                 // ',' quoted ','
        std::vector<std::string> labels;  // quoted, one per value description
    };

    const SignalDecoder& m_decoder;
    FrameTimeFunction m_time;
    std::vector<std::string> m_messageText;  // per message: ",0x1A5,Name,"
    std::vector<std::size_t> m_firstSignal;  // per message: into m_signalText
    std::vector<SignalText> m_signalText;
};

// Writes the CSV to `path`, beside it first and renamed over it once complete; a device or pipe
// (/dev/stdout) is written straight.
[[nodiscard]] SignalExportResult exportSignalValues(const std::string& path,
                                                    const SignalDecoder& decoder,
                                                    const FrameStore& store,
                                                    FrameTimeFunction time);
