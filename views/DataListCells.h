#pragma once

// The data list's columns and cell texts in its three readings, made on request from the stored
// frame: the list keeps no text of its own.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "filters/FilterState.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

enum class ProtocolReading : std::int32_t { kCan = 0, kDeviceNet = 1, kCanOpen = 2 };

struct DataListColumn {
    std::uint32_t headerId;  // string table id of the header
    int percent;             // of the list's width less 18 pixels
    bool ofWholeWidth;       // the CANopen index column takes its share of the whole width
};

[[nodiscard]] std::span<const DataListColumn> dataListColumns(ProtocolReading reading);
[[nodiscard]] std::vector<int> dataListColumnWidths(ProtocolReading reading, int width);

// The text of one cell of a frame shown in row `row`.
[[nodiscard]] std::string dataListCell(const CapturedFrame& frame, std::uint32_t row, int column,
                                       ProtocolReading reading);

// The text of a cell of the list: nothing while the store is being emptied, and nothing for a row
// or a store position that is no longer there (a Clear All before the list has heard of it).
// Thread: the user-interface thread.
[[nodiscard]] std::string dataListCellText(const FilterState& filter, const FrameStore& store,
                                           const ApplicationFlags& flags, std::uint32_t row,
                                           int column, ProtocolReading reading);

// The store position of the frame shown in row `row`, or nullopt as for dataListCellText.
// Thread: the user-interface thread.
[[nodiscard]] std::optional<std::uint32_t> dataListPosition(const FilterState& filter,
                                                            const FrameStore& store,
                                                            const ApplicationFlags& flags,
                                                            std::uint32_t row);

// The tool tip of a row's time cell: the frame's time of day in local time, or nothing when the
// document has no time of day (an older file) or the row is gone.
// Thread: the user-interface thread.
[[nodiscard]] std::string dataListTimeOfDay(const FilterState& filter, const FrameStore& store,
                                            const ApplicationFlags& flags,
                                            const TimeAnchorList& anchors, std::uint32_t row);
