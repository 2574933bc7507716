#pragma once

// The text of list rows as the clipboard receives them: the export's line of each row, one
// line per row.
//
// Thread: the user-interface thread.

#include "filters/FilterState.h"
#include "views/DataListCells.h"

#include <cstdint>
#include <string>

// Rows first..last (inclusive) of `rows`; rows beyond the list, or beyond kMaxCopiedRows, are
// left out.
[[nodiscard]] std::string copiedRows(ProtocolReading reading, const DisplayIndexList& rows,
                                     const FrameStore& store, std::uint32_t first,
                                     std::uint32_t last);

inline constexpr std::uint32_t kMaxCopiedRows = 1'000'000;
