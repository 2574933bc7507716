#include "views/DataListModel.h"

#include "candb/SignalText.h"
#include "resources/StringTable.h"

DataListModel::DataListModel(ProgramState& state, QObject* parent)
    : QAbstractTableModel(parent), m_state(state), m_source(currentSource()) {}

DataListModel::Source DataListModel::currentSource() const {
    return {m_state.store.generation(), m_state.filter.displayIndexList.generation()};
}

void DataListModel::setReading(ProtocolReading reading) {
    const int before = columnCount();
    if (before > 0) {
        beginRemoveColumns({}, 0, before - 1);
        m_reading = reading;
        endRemoveColumns();
    }
    m_reading = reading;
    beginInsertColumns({}, 0, readingColumns() + (m_signalsShown ? 1 : 0) - 1);
    endInsertColumns();
}

int DataListModel::signalsColumn() const {
    return m_signalsShown ? readingColumns() : -1;
}

void DataListModel::databasesChanged() {
    const bool shown = !m_state.databases.empty();
    if (shown && !m_signalsShown) {
        beginInsertColumns({}, readingColumns(), readingColumns());
        m_signalsShown = true;
        endInsertColumns();
    } else if (!shown && m_signalsShown) {
        beginRemoveColumns({}, readingColumns(), readingColumns());
        m_signalsShown = false;
        endRemoveColumns();
    } else if (shown && m_shownRows > 0) {
        Q_EMIT dataChanged(index(0, readingColumns()), index(rowCount() - 1, readingColumns()));
    }
}

void DataListModel::setRows(std::uint32_t rows, bool keepShown) {
    m_source = currentSource();
    if (keepShown && rows == m_shownRows) {
        return;
    }
    if (keepShown && rows > m_shownRows) {
        beginInsertRows({}, static_cast<int>(m_shownRows), static_cast<int>(rows) - 1);
        m_shownRows = rows;
        endInsertRows();
        return;
    }
    beginResetModel();
    m_shownRows = rows;
    endResetModel();
}

bool DataListModel::followDisplayList() {
    if (m_state.flags.test(ApplicationFlags::kClearing)) {
        if (m_shownRows == 0) return false;
        setRows(0, true);
        return true;
    }
    const auto rows = static_cast<std::uint32_t>(m_state.filter.displayIndexList.size());
    // The count alone cannot tell another store's rows from these: its generation can.
    const bool sameSource = currentSource() == m_source;
    if (sameSource && rows == m_shownRows) return false;
    setRows(rows, sameSource);
    return true;
}

void DataListModel::resetRows() {
    setRows(static_cast<std::uint32_t>(m_state.filter.displayIndexList.size()), false);
}

int DataListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(std::min<std::uint32_t>(m_shownRows, INT32_MAX));
}

int DataListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : readingColumns() + (m_signalsShown ? 1 : 0);
}

QVariant DataListModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::ToolTipRole && index.isValid() && index.column() == kTimeColumn) {
        const std::string day =
            dataListTimeOfDay(m_state.filter, m_state.store, m_state.flags, m_state.capture.anchors,
                              static_cast<std::uint32_t>(index.row()));
        return day.empty() ? QVariant() : QVariant(QString::fromStdString(day));
    }
    // The Signals cell's tool tip is its whole text, which a narrow column cuts short.
    const bool signalsTip =
        role == Qt::ToolTipRole && index.isValid() && index.column() == signalsColumn();
    if ((role != Qt::DisplayRole && !signalsTip) || !index.isValid()) {
        return {};
    }
    if (index.column() == signalsColumn()) {
        const auto position = dataListPosition(m_state.filter, m_state.store, m_state.flags,
                                               static_cast<std::uint32_t>(index.row()));
        if (!position ||
            !m_state.databases.decoder()->decode(m_state.store.at(*position), m_decoded)) {
            return {};
        }
        return QString::fromStdString(signalSummary(m_decoded));
    }
    return QString::fromStdString(dataListCellText(m_state.filter, m_state.store, m_state.flags,
                                                   static_cast<std::uint32_t>(index.row()),
                                                   index.column(), m_reading));
}

QVariant DataListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const auto columns = dataListColumns(m_reading);
    if (role == Qt::DisplayRole && orientation == Qt::Horizontal && section == signalsColumn()) {
        return QString::fromStdString(strings::loadString(strings::kSignalsColumn));
    }
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(columns.size())) {
        return {};
    }
    return QString::fromStdString(
        strings::loadString(columns[static_cast<std::size_t>(section)].headerId));
}
