#pragma once

// Korvane without a window: exports or prints a document file's rows, with the document's own
// filter applied, for scripts.
//
//   Korvane --export OUT.txt [--reading can|devicenet|canopen] DOC.krv
//   Korvane --print-to OUT.pdf [--reading can|devicenet|canopen] DOC.krv

// The exit status of a batch run, or -1 when the arguments ask for the program's window.
int runBatch(int argc, char** argv);

extern const char kUsage[];
