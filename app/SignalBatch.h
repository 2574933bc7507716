#pragma once

// Korvane --export-signals OUT.csv [--dbc DB.dbc [--dbc DB2.dbc ...]] DOC.krv: every decoded signal
// value of every frame of a document as CSV, without a window; without --dbc, with the databases
// the document keeps.

// The exit status (0 written, 1 failed), or -1 when the arguments do not ask for it.
int runSignalBatch(int argc, char** argv);
