#pragma once

// A report list of conditions or items: a check box in the first column, grid lines, full-row
// selection, and a background colour per row that the owner sets (the clicked row is marked that
// way). The owner refills it whole after every change; it keeps no data of its own beyond the
// texts it shows and the row colours.
//
// Thread: the user-interface thread.

#include "widgets/ConditionTableRow.h"

#include <QTableWidget>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class ConditionTableCtrl final : public QTableWidget {
public:
    // Column widths are `percents` of the client width less `reservedPixels` (room for the
    // scroll bar), each truncated to a whole pixel.
    ConditionTableCtrl(const std::vector<std::string>& headers, std::vector<int> percents,
                       int reservedPixels = 15, QWidget* parent = nullptr);

    // Replaces every row. Row colours stay with their row indices.
    void setRows(const std::vector<ConditionTableRow>& rows);
    [[nodiscard]] bool isChecked(int row) const;
    // The check box of every row, in row order.
    [[nodiscard]] std::vector<bool> checkStates() const;
    void setHeaders(const std::vector<std::string>& headers);

    // Stores the colour (0xRRGGBB) of `row` and repaints it.
    void setRowColour(int row, unsigned rgb);
    [[nodiscard]] std::optional<unsigned> rowColour(int row) const;
    // The clicked row gets kSelectedRowColour, every other row kRowColour.
    void markRow(int row);
    void scrollToLastRow();
    [[nodiscard]] std::vector<int> columnWidths() const;

    // The user ticked or cleared a row's check box.
    std::function<void(int row, bool checked)> onCheckToggled;
    // The user clicked a row (anywhere on it, check box included).
    std::function<void(int row)> onRowClicked;
    // The user clicked the list below or beside its rows.
    std::function<void()> onClickedBesideRows;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void applyColumnWidths();
    void paintRow(int row);

    std::vector<int> m_percents;
    int m_reservedPixels;
    std::map<int, unsigned> m_rowColours;
    bool m_filling = false;
};
