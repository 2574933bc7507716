#include "widgets/ConditionTableCtrl.h"

#include <QHeaderView>
#include <QMouseEvent>

#include <algorithm>

ConditionTableCtrl::ConditionTableCtrl(const std::vector<std::string>& headers,
                                       std::vector<int> percents, int reservedPixels,
                                       QWidget* parent)
    : QTableWidget(parent), m_percents(std::move(percents)), m_reservedPixels(reservedPixels) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(true);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHeaders(headers);
    connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (m_filling || item->column() != 0 || !onCheckToggled) return;
        onCheckToggled(item->row(), item->checkState() == Qt::Checked);
    });
    connect(this, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (onRowClicked) onRowClicked(row);
    });
}

void ConditionTableCtrl::setHeaders(const std::vector<std::string>& headers) {
    setColumnCount(static_cast<int>(headers.size()));
    QStringList labels;
    for (const std::string& h : headers) labels << QString::fromStdString(h);
    setHorizontalHeaderLabels(labels);
    applyColumnWidths();
}

void ConditionTableCtrl::setRows(const std::vector<ConditionTableRow>& rows) {
    m_filling = true;
    setRowCount(0);
    setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const ConditionTableRow& row = rows[static_cast<std::size_t>(r)];
        const int cells = std::min(columnCount(), static_cast<int>(row.cells.size()));
        for (int c = 0; c < columnCount(); ++c) {
            auto* item = new QTableWidgetItem(
                c < cells ? QString::fromStdString(row.cells[static_cast<std::size_t>(c)])
                          : QString());
            // Narrow columns elide long texts; the tip shows them whole.
            if (c >= 2) item->setToolTip(item->text());
            Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
            if (c == 0) {
                flags |= Qt::ItemIsUserCheckable;
                item->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
            }
            item->setFlags(flags);
            setItem(r, c, item);
        }
        paintRow(r);
    }
    m_filling = false;
}

bool ConditionTableCtrl::isChecked(int row) const {
    const QTableWidgetItem* first = item(row, 0);
    return first != nullptr && first->checkState() == Qt::Checked;
}

std::vector<bool> ConditionTableCtrl::checkStates() const {
    std::vector<bool> states;
    states.reserve(static_cast<std::size_t>(rowCount()));
    for (int r = 0; r < rowCount(); ++r) states.push_back(isChecked(r));
    return states;
}

void ConditionTableCtrl::setRowColour(int row, unsigned rgb) {
    m_rowColours[row] = rgb & 0xFFFFFF;
    paintRow(row);
}

std::optional<unsigned> ConditionTableCtrl::rowColour(int row) const {
    const auto it = m_rowColours.find(row);
    return it == m_rowColours.end() ? std::nullopt : std::optional<unsigned>(it->second);
}

void ConditionTableCtrl::markRow(int row) {
    for (int r = 0; r < rowCount(); ++r) {
        setRowColour(r, r == row ? kSelectedRowColour : kRowColour);
    }
}

void ConditionTableCtrl::paintRow(int row) {
    if (row < 0 || row >= rowCount()) return;
    const auto colour = rowColour(row);
    const bool wasFilling = m_filling;
    m_filling = true;  // a background change is no check toggle
    for (int c = 0; c < columnCount(); ++c) {
        if (QTableWidgetItem* cell = item(row, c)) {
            cell->setBackground(colour ? QBrush(QColor::fromRgb(*colour)) : QBrush());
        }
    }
    m_filling = wasFilling;
}

void ConditionTableCtrl::scrollToLastRow() {
    if (rowCount() > 0) scrollToItem(item(rowCount() - 1, 0));
}

std::vector<int> ConditionTableCtrl::columnWidths() const {
    const int width = std::max(viewport()->width() - m_reservedPixels, 0);
    std::vector<int> widths;
    for (int p : m_percents) widths.push_back(width * p / 100);
    return widths;
}

void ConditionTableCtrl::applyColumnWidths() {
    const std::vector<int> widths = columnWidths();
    for (int c = 0; c < std::min(columnCount(), static_cast<int>(widths.size())); ++c) {
        setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    }
}

void ConditionTableCtrl::resizeEvent(QResizeEvent* event) {
    QTableWidget::resizeEvent(event);
    applyColumnWidths();
}

void ConditionTableCtrl::mousePressEvent(QMouseEvent* event) {
    QTableWidget::mousePressEvent(event);
    if (!indexAt(event->position().toPoint()).isValid() && onClickedBesideRows) {
        onClickedBesideRows();
    }
}
