#pragma once

// The columns and cell texts of the curve information list: which columns are present and in which
// order, the rows of the active chart window and what each cell says.
//
// Thread: the user-interface thread.

#include "curves/CurveRecords.h"
#include "curves/CurveScan.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

class CurveInfoColumns {
public:
    // In the order of their titles (strings 10001..10010).
    enum Column {
        kName,
        kAxis,
        kColor,
        kShow,
        kIdn,
        kMouseValue,
        kMinValue,
        kMinIndex,
        kMaxValue,
        kMaxIndex,
        kCount
    };

    CurveInfoColumns();
    [[nodiscard]] bool shown(Column c) const { return m_shown[c]; }
    // Present columns, left to right.
    [[nodiscard]] const std::vector<Column>& order() const { return m_order; }
    // Flips a column; a shown one goes to the right end, and the four statistics columns keep
    // their order behind whatever else is there.
    void toggle(Column c);
    bool gridLines = false;

    // The column a "ListCtrlMF" command toggles.
    [[nodiscard]] static std::optional<Column> forCommand(unsigned id);
    [[nodiscard]] static std::string title(Column c);

private:
    std::array<bool, kCount> m_shown{};
    std::vector<Column> m_order;
};

struct CurveInfoRow {
    std::string name;
    std::string axis;  // "Y" or "X"
    int slot;
    bool operator==(const CurveInfoRow&) const = default;
};

// One row per defined y(t) curve; two per y(x) curve, "Y" before "X".
[[nodiscard]] std::vector<CurveInfoRow> infoRows(const CurveWindowRecord& record);

// The cell of a column for one row, "" when the curve has no such value yet. Mouse values are the
// view's and not made here.
[[nodiscard]] std::string infoCell(CurveInfoColumns::Column column, const CurveWindowRecord& record,
                                   const CurveInfoRow& row, const CurveStatistics* statistics);
