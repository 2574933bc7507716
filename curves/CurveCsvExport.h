#pragma once

// The samples of one chart window as CSV, so that curve values can be taken into other tools.
//
//   y(t): frame,time_ms,curve,value       one row per sample, frame order, slots 0-3 in a frame
//   y(x): frame_x,frame_y,curve,x,y       one row per pairing, curve by curve
//
// Values are read as the chart reads them (signed or unsigned by the curve's Signed bit), before
// any halving for drawing; a curve of a database signal gives the signal's physical value, in the
// shortest text that reads back to the same double. The file is written as the documents are (see
// ReplacedFile.h): beside the target, and renamed over it only when whole.
//
// A run given a progress reports to it and stops at its next step when it is cancelled; the old
// file then stays as it was.
//
// Thread: any; the store is read up to the count at the start.

#include "capture/FrameStore.h"
#include "curves/CurveRecords.h"
#include "curves/CurveSignal.h"
#include "framework/Progress.h"

#include <cstdio>
#include <string>

struct CsvResult {
    bool ok = true;
    std::string error;
    std::size_t rows = 0;
    bool cancelled = false;  // stopped by the progress; nothing was written
};

// A field quoted as CSV requires (comma, quote, line end), quotes doubled.
[[nodiscard]] std::string csvField(const std::string& text);

// Writes the rows to an open stream. `values` and `xValues` are the slots' signals (of the value or
// Y, and of X), none when not given.
std::size_t writeCurveValues(std::FILE* out, const CurveWindowRecord& window,
                             const FrameStore& store, const CurveSignals& values = {},
                             const CurveSignals& xValues = {}, Progress* progress = nullptr);
[[nodiscard]] CsvResult exportCurveValues(const std::string& path, const CurveWindowRecord& window,
                                          const FrameStore& store, const CurveSignals& values = {},
                                          const CurveSignals& xValues = {},
                                          Progress* progress = nullptr);
