#pragma once

// Korvane --export-curves OUT.csv --window NAME DOC.krv: the samples of one chart window of a
// document as CSV, without a window.

// The exit status (0 written, 1 failed), or -1 when the arguments do not ask for it.
int runCurveBatch(int argc, char** argv);
