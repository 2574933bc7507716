#pragma once

// One row of a condition table: its check box and the texts of its cells. The owner makes the
// rows; the table only shows them.

#include <string>
#include <vector>

struct ConditionTableRow {
    bool checked = false;            // the row's check box
    std::vector<std::string> cells;  // "Index", "Protocol", then the dialog's own columns
};

// Row background colours of the table: the clicked row, and every other row.
inline constexpr unsigned kSelectedRowColour = 0xEFEFEF;
inline constexpr unsigned kRowColour = 0xFFFFFF;
