#pragma once

// The texts of the condition table that each filter dialog shows: one row per condition of the
// shared list, whatever its protocol, in the dialog's own columns. The list control only displays
// these rows.

#include "filters/FilterCondition.h"
#include "widgets/ConditionTableRow.h"

#include <string>
#include <vector>

enum class ConditionTableKind { kCan, kDeviceNet, kCanOpen };

[[nodiscard]] std::vector<std::string> conditionTableHeaders(ConditionTableKind kind);
// Column widths in percent of the control's client width less 15 pixels.
[[nodiscard]] std::vector<int> conditionTablePercents(ConditionTableKind kind);
// Column widths in pixels for a control whose client area is `clientWidth` wide.
[[nodiscard]] std::vector<int> conditionTableWidths(ConditionTableKind kind, int clientWidth);
[[nodiscard]] std::vector<ConditionTableRow> fillConditionTable(
    ConditionTableKind kind, const std::vector<FilterCondition>& conditions, bool hex);
