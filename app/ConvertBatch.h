#pragma once

// Korvane --convert IN OUT: between .krv, candump .log, .asc, .blf and .pcap files (.pcapng
// read too), without a window.

// Exit status: 0 when OUT was written (skipped lines are reported on standard error), 1 when not.
int runConvert(const char* in, const char* out);
