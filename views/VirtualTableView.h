#pragma once

// A report list for any number of rows: it keeps only the row count and asks the model for the
// texts of the rows it paints, so neither memory nor a redraw grows with the rows. Full-row
// selection, a header whose columns the user may resize, grid lines.
//
// Thread: the user-interface thread.

#include <QAbstractScrollArea>
#include <QModelIndex>

#include <functional>
#include <utility>

class QAbstractItemModel;
class QHeaderView;

class VirtualTableView : public QAbstractScrollArea {
public:
    explicit VirtualTableView(QWidget* parent = nullptr);

    void setModel(QAbstractItemModel* model);
    [[nodiscard]] QHeaderView* header() const { return m_header; }
    [[nodiscard]] int rowHeight() const { return m_rowHeight; }
    [[nodiscard]] int currentRow() const { return m_current; }
    // The selected rows, first and last; (-1, -1) when none. Shift extends a selection.
    [[nodiscard]] std::pair<int, int> selectedRows() const;
    // Called when End is pressed.
    void setEndKeyHandler(std::function<void()> handler) { m_onEnd = std::move(handler); }
    [[nodiscard]] int firstVisibleRow() const;
    [[nodiscard]] int visibleRowCount() const;
    void scrollToRow(int row);
    void scrollToBottom();
    void setGridLines(bool on);
    // The cell under a point of the viewport; invalid where there is none.
    [[nodiscard]] QModelIndex indexAt(QPoint point) const;

protected:
    // Tool tips come from the model's ToolTipRole of the cell under the mouse.
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateScrollBars();
    int rowCount() const;
    void setCurrent(int row, bool extend = false);

    QAbstractItemModel* m_model = nullptr;
    QHeaderView* m_header;
    int m_rowHeight = 18;
    int m_current = -1;
    int m_anchor = -1;
    std::function<void()> m_onEnd;
    bool m_gridLines = true;
};
