#pragma once

// Command ids of the bus overview: Window > Overview and Functions > Replay.... They are numbered
// in the overview's own range of the string table, where their prompts are.

inline constexpr unsigned ID_WINDOW_OVERVIEW = 5568;
inline constexpr unsigned ID_FUNCTIONS_REPLAY = 5569;
