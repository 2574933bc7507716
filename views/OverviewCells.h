#pragma once

// The overview window's columns and cell texts, made on request from a row of the bus overview:
// the window keeps no text of its own. The CAN reading has nine columns; the DeviceNet and
// CANopen readings add the name their reading gives the identifier, and while the document has a
// CAN database every reading adds the message name it gives the identifier.
//
// Thread: the user-interface thread (texts come from the string table in use).

#include "overview/BusOverview.h"
#include "overview/OverviewOrder.h"
#include "views/DataListCells.h"

class SignalDecoder;

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
    kReadingName,
    // The first database that names the identifier; empty when none does.
    kMessageName,
};

// `messageNames`: the document has a CAN database, and the message name follows the identifier's
// type (or the reading's name).
[[nodiscard]] std::span<const OverviewField> overviewColumns(ProtocolReading reading,
                                                             bool messageNames = false);
// True when `decoder` holds a database, so the message names are shown.
[[nodiscard]] bool namesMessages(const SignalDecoder* decoder);
// The string table id of a column's header.
[[nodiscard]] std::uint32_t overviewHeaderId(OverviewField field, ProtocolReading reading);
// The order a click on the column sorts by; none for the reading's and the message's names, which
// sort by their texts.
[[nodiscard]] std::optional<OverviewColumn> overviewSortColumn(OverviewField field);

// The text of one cell. The identifier follows the program's Hex/Decimal choice; data bytes are
// hexadecimal as in the data list; times and periods as the data list's time column and in
// milliseconds. Rows keep their times in microseconds (OverviewClock::kMicroseconds). The message
// name comes from `decoder` (none without one).
[[nodiscard]] std::string overviewCell(const OverviewRow& row, OverviewField field, bool hex,
                                       ProtocolReading reading,
                                       const SignalDecoder* decoder = nullptr);
// A row as Copy puts it on the clipboard: its cells separated by tabs.
[[nodiscard]] std::string overviewLine(const OverviewRow& row, bool hex, ProtocolReading reading,
                                       const SignalDecoder* decoder = nullptr);

// How strongly byte `i` of the data cell is marked as changed at `now`: 1 right after it took a
// new value, fading to 0 over kChangeFadeUs.
inline constexpr std::uint64_t kChangeFadeUs = 1'000'000;
[[nodiscard]] double changeStrength(const OverviewRow& row, int i, std::uint64_t now);
