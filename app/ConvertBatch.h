#pragma once

// Korvane --convert IN OUT: between .krv, candump .log and .asc files, without a window.

// Exit status: 0 when OUT was written (skipped lines are reported on standard error), 1 when not.
int runConvert(const char* in, const char* out);
