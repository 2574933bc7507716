#pragma once

// Korvane --export-overview OUT.csv DOC.krv: one row per identifier of a document as CSV, every
// frame counted, without a window.

// The exit status (0 written, 1 failed), or -1 when the arguments do not ask for it.
int runOverviewBatch(int argc, char** argv);
