#pragma once

// The samples of one chart window as CSV, so that curve values can be taken into other tools.
//
//   y(t): frame,time_ms,curve,value       one row per sample, frame order, slots 0-3 in a frame
//   y(x): frame_x,frame_y,curve,x,y       one row per pairing, curve by curve
//
// Values are read as the chart reads them (signed or unsigned by the curve's Signed bit), before
// any halving for drawing. The file is written as the documents are (see ReplacedFile.h): beside
// the target, and renamed over it only when whole.
//
// Thread: any; the store is read up to the count at the start.

#include "capture/FrameStore.h"
#include "curves/CurveRecords.h"

#include <cstdio>
#include <string>

struct CsvResult {
    bool ok = true;
    std::string error;
    std::size_t rows = 0;
};

// A field quoted as CSV requires (comma, quote, line end), quotes doubled.
[[nodiscard]] std::string csvField(const std::string& text);

// Writes the rows to an open stream.
std::size_t writeCurveValues(std::FILE* out, const CurveWindowRecord& window,
                             const FrameStore& store);
[[nodiscard]] CsvResult exportCurveValues(const std::string& path, const CurveWindowRecord& window,
                                          const FrameStore& store);
