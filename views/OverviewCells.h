#pragma once

// The overview window's columns and cell texts, made on request from a row of the bus overview:
// the window keeps no text of its own. The CAN reading has nine columns; the DeviceNet and
// CANopen readings add the name their reading gives the identifier.
//
// Thread: the user-interface thread (texts come from the string table in use).

#include "overview/BusOverview.h"
#include "overview/OverviewOrder.h"
#include "views/DataListCells.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

enum class OverviewField {
    kIdentifier,
    kType,
    kCount,
    kLength,
    kData,
    kTime,
    kMeanPeriod,
    kMinPeriod,
    kMaxPeriod,
    // The message name of a loaded CAN database belongs after the reading's name, as a column of
    // every reading, once the databases can name an identifier.
    kReadingName,
};

[[nodiscard]] std::span<const OverviewField> overviewColumns(ProtocolReading reading);
// The string table id of a column's header.
[[nodiscard]] std::uint32_t overviewHeaderId(OverviewField field, ProtocolReading reading);
// The order a click on the column sorts by; none for the reading's name, which sorts by its text.
[[nodiscard]] std::optional<OverviewColumn> overviewSortColumn(OverviewField field);

// The text of one cell. The identifier follows the program's Hex/Decimal choice; data bytes are
// hexadecimal as in the data list; times and periods as the data list's time column and in
// milliseconds. Rows keep their times in microseconds (OverviewClock::kMicroseconds).
[[nodiscard]] std::string overviewCell(const OverviewRow& row, OverviewField field, bool hex,
                                       ProtocolReading reading);
// A row as Copy puts it on the clipboard: its cells separated by tabs.
[[nodiscard]] std::string overviewLine(const OverviewRow& row, bool hex, ProtocolReading reading);

// How strongly byte `i` of the data cell is marked as changed at `now`: 1 right after it took a
// new value, fading to 0 over kChangeFadeUs.
inline constexpr std::uint64_t kChangeFadeUs = 1'000'000;
[[nodiscard]] double changeStrength(const OverviewRow& row, int i, std::uint64_t now);
