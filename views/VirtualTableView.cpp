#include "views/VirtualTableView.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>

VirtualTableView::VirtualTableView(QWidget* parent)
    : QAbstractScrollArea(parent), m_header(new QHeaderView(Qt::Horizontal, this)) {
    m_header->setSectionsClickable(false);
    m_header->setHighlightSections(false);
    m_header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_header->setStretchLastSection(false);
    m_rowHeight = fontMetrics().height() + 4;
    setFocusPolicy(Qt::StrongFocus);
    verticalScrollBar()->setSingleStep(1);
    connect(m_header, &QHeaderView::sectionResized, this, [this] {
        updateScrollBars();
        viewport()->update();
    });
}

void VirtualTableView::setModel(QAbstractItemModel* model) {
    m_model = model;
    m_header->setModel(model);
    const auto refresh = [this] {
        updateScrollBars();
        viewport()->update();
    };
    connect(model, &QAbstractItemModel::rowsInserted, this, refresh);
    connect(model, &QAbstractItemModel::rowsRemoved, this, refresh);
    connect(model, &QAbstractItemModel::modelReset, this, [this, refresh] {
        m_current = -1;
        m_anchor = -1;
        refresh();
    });
    connect(model, &QAbstractItemModel::columnsInserted, this, refresh);
    connect(model, &QAbstractItemModel::columnsRemoved, this, refresh);
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { viewport()->update(); });
    connect(model, &QAbstractItemModel::headerDataChanged, this, [this] { viewport()->update(); });
    refresh();
}

int VirtualTableView::rowCount() const {
    return m_model != nullptr ? m_model->rowCount() : 0;
}

int VirtualTableView::firstVisibleRow() const {
    return verticalScrollBar()->value();
}

int VirtualTableView::visibleRowCount() const {
    return std::max(1, viewport()->height() / m_rowHeight);
}

void VirtualTableView::updateScrollBars() {
    const int headerHeight = m_header->sizeHint().height();
    setViewportMargins(0, headerHeight, 0, 0);
    m_header->setGeometry(viewport()->x(), viewport()->y() - headerHeight, viewport()->width(),
                          headerHeight);
    const int visible = visibleRowCount();
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setRange(0, std::max(0, rowCount() - visible));
    const int contentWidth = m_header->length();
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
}

void VirtualTableView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void VirtualTableView::scrollContentsBy(int dx, int) {
    if (dx != 0) {
        m_header->setOffset(horizontalScrollBar()->value());
    }
    viewport()->update();
}

void VirtualTableView::scrollToRow(int row) {
    QScrollBar* bar = verticalScrollBar();
    if (row < bar->value()) {
        bar->setValue(row);
    } else if (row >= bar->value() + visibleRowCount()) {
        bar->setValue(row - visibleRowCount() + 1);
    }
}

void VirtualTableView::scrollToBottom() {
    updateScrollBars();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void VirtualTableView::setGridLines(bool on) {
    m_gridLines = on;
    viewport()->update();
}

std::pair<int, int> VirtualTableView::selectedRows() const {
    const int rows = rowCount();
    if (m_current < 0 || m_current >= rows) return {-1, -1};
    const int anchor = m_anchor >= 0 && m_anchor < rows ? m_anchor : m_current;
    return {std::min(anchor, m_current), std::max(anchor, m_current)};
}

void VirtualTableView::setCurrent(int row, bool extend) {
    const int rows = rowCount();
    if (rows == 0) return;
    m_current = std::clamp(row, 0, rows - 1);
    if (!extend || m_anchor < 0) m_anchor = m_current;
    scrollToRow(m_current);
    viewport()->update();
}

void VirtualTableView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (m_model == nullptr) return;
    const int first = firstVisibleRow();
    const int last = std::min(rowCount(), first + visibleRowCount() + 1);
    const int columns = m_model->columnCount();
    const QPalette& pal = palette();
    const auto [selFirst, selLast] = selectedRows();
    for (int r = first; r < last; ++r) {
        const int y = (r - first) * m_rowHeight;
        const bool selected = r >= selFirst && r <= selLast;
        if (selected) {
            p.fillRect(QRect(0, y, viewport()->width(), m_rowHeight), pal.highlight());
        }
        p.setPen(selected ? pal.highlightedText().color() : pal.text().color());
        for (int c = 0; c < columns; ++c) {
            const int x = m_header->sectionViewportPosition(c);
            const int w = m_header->sectionSize(c);
            if (x + w < 0 || x > viewport()->width()) continue;
            const QString text = m_model->data(m_model->index(r, c)).toString();
            const QRect cell(x + 3, y, w - 6, m_rowHeight);
            p.drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                       p.fontMetrics().elidedText(text, Qt::ElideRight, cell.width()));
        }
    }
    if (m_gridLines) {
        const int bottom = (last - first) * m_rowHeight;
        p.setPen(pal.mid().color());
        for (int y = m_rowHeight - 1; y < bottom; y += m_rowHeight) {
            p.drawLine(0, y, viewport()->width(), y);
        }
        for (int c = 0; c < columns; ++c) {
            const int x = m_header->sectionViewportPosition(c) + m_header->sectionSize(c) - 1;
            p.drawLine(x, 0, x, bottom);
        }
    }
}

QModelIndex VirtualTableView::indexAt(QPoint point) const {
    if (m_model == nullptr || point.y() < 0) return {};
    const int row = firstVisibleRow() + point.y() / m_rowHeight;
    const int column = m_header->logicalIndexAt(point.x());
    if (row >= rowCount() || column < 0) return {};
    return m_model->index(row, column);
}

bool VirtualTableView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QAbstractScrollArea::viewportEvent(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text =
        index.isValid() ? m_model->data(index, Qt::ToolTipRole).toString() : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), text, viewport());
    }
    return true;
}

void VirtualTableView::mousePressEvent(QMouseEvent* event) {
    const int row = firstVisibleRow() + static_cast<int>(event->position().y()) / m_rowHeight;
    if (row < rowCount()) {
        setCurrent(row, (event->modifiers() & Qt::ShiftModifier) != 0);
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void VirtualTableView::keyPressEvent(QKeyEvent* event) {
    const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
    switch (event->key()) {
        case Qt::Key_Up:
            setCurrent(m_current - 1, extend);
            break;
        case Qt::Key_Down:
            setCurrent(m_current + 1, extend);
            break;
        case Qt::Key_PageUp:
            setCurrent(m_current - visibleRowCount(), extend);
            break;
        case Qt::Key_PageDown:
            setCurrent(m_current + visibleRowCount(), extend);
            break;
        case Qt::Key_Home:
            setCurrent(0, extend);
            break;
        case Qt::Key_End:
            setCurrent(rowCount() - 1, extend);
            scrollToBottom();
            if (m_onEnd) m_onEnd();
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
}
