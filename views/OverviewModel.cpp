#include "views/OverviewModel.h"

#include "resources/StringTable.h"

#include <QColor>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool rightAligned(OverviewField field) {
    switch (field) {
        case OverviewField::kCount:
        case OverviewField::kLength:
        case OverviewField::kMeanPeriod:
        case OverviewField::kMinPeriod:
        case OverviewField::kMaxPeriod:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool OverviewModel::FilterSeen::same(const FilterState& filter) const {
    return mode == filter.mode && activeWord == filter.activeWord &&
           conditions.size() == filter.conditions.size() &&
           (conditions.empty() || std::memcmp(conditions.data(), filter.conditions.data(),
                                              conditions.size() * sizeof(FilterCondition)) == 0);
}

OverviewModel::OverviewModel(const OverviewSources& sources, QObject* parent)
    : QAbstractTableModel(parent), m_sources(sources) {
    m_storeGeneration = m_sources.store.generation();
}

void OverviewModel::setReading(ProtocolReading reading) {
    if (reading == m_reading) return;
    beginResetModel();
    m_reading = reading;
    // The reading's name column comes and goes; a sort by it falls back to the identifier.
    if (m_sortField == OverviewField::kReadingName && reading == ProtocolReading::kCan) {
        m_sortField = OverviewField::kIdentifier;
        m_descending = false;
    }
    m_order = order();
    endResetModel();
}

void OverviewModel::setHex(bool hex) {
    if (hex == m_hex) return;
    m_hex = hex;
    if (!m_order.empty()) {
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

void OverviewModel::setOnlyFiltered(bool onlyFiltered) {
    if (onlyFiltered == m_onlyFiltered) return;
    m_onlyFiltered = onlyFiltered;
    restart();
}

bool OverviewModel::inputReplaced() const {
    if (m_sources.store.generation() != m_storeGeneration) return true;
    if (!m_onlyFiltered) return false;
    return m_sources.filter.displayIndexList.size() < m_overview.consumed() ||
           !m_filterSeen.same(m_sources.filter);
}

void OverviewModel::restart() {
    beginResetModel();
    m_overview.reset();
    m_order.clear();
    m_storeGeneration = m_sources.store.generation();
    m_filterSeen = {m_sources.filter.conditions, m_sources.filter.mode,
                    m_sources.filter.activeWord};
    m_versionShown = m_overview.version();
    endResetModel();
}

bool OverviewModel::refresh(std::uint64_t now, std::size_t maxFrames) {
    // Clear All and Open empty the store on this thread; nothing is read meanwhile.
    if (m_sources.flags.test(ApplicationFlags::kClearing)) return true;
    if (inputReplaced()) restart();
    const bool done =
        m_onlyFiltered
            ? m_overview.updateRows(m_sources.store, m_sources.filter.displayIndexList, maxFrames)
            : m_overview.update(m_sources.store, maxFrames);
    const std::size_t rows = m_overview.size();
    if (rows > m_order.size()) {
        beginInsertRows({}, static_cast<int>(m_order.size()), static_cast<int>(rows) - 1);
        for (auto r = static_cast<std::uint32_t>(m_order.size()); r < rows; ++r) {
            m_order.push_back(r);
        }
        endInsertRows();
    }
    const bool changed = m_overview.version() != m_versionShown;
    if (changed) {
        m_versionShown = m_overview.version();
        resort();
    }
    // Marks fade and rows go quiet with time alone, so a new "now" repaints too.
    if ((changed || now != m_now) && !m_order.empty()) {
        m_now = now;
        Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
    m_now = now;
    return done;
}

std::vector<std::uint32_t> OverviewModel::order() const {
    const std::vector<OverviewRow>& rows = m_overview.rows();
    if (const auto column = overviewSortColumn(m_sortField)) {
        return overviewOrder(rows, *column, m_descending);
    }
    std::vector<std::uint32_t> sorted = overviewOrder(rows, OverviewColumn::kIdentifier, false);
    std::vector<std::string> names(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        names[r] = overviewCell(rows[r], m_sortField, m_hex, m_reading);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [&](std::uint32_t a, std::uint32_t b) {
        return m_descending ? names[b] < names[a] : names[a] < names[b];
    });
    return sorted;
}

void OverviewModel::resort() {
    std::vector<std::uint32_t> sorted = order();
    if (sorted == m_order) return;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The selection and the current row stay with their identifiers.
    std::vector<int> tableRowOf(sorted.size(), 0);
    for (std::size_t t = 0; t < sorted.size(); ++t) tableRowOf[sorted[t]] = static_cast<int>(t);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before) {
        const std::uint32_t row = m_order[static_cast<std::size_t>(i.row())];
        after.push_back(index(tableRowOf[row], i.column()));
    }
    m_order = std::move(sorted);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void OverviewModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= columnCount()) return;
    m_sortField = field(column);
    m_descending = order == Qt::DescendingOrder;
    resort();
}

const OverviewRow* OverviewModel::rowAt(int row) const {
    if (row < 0 || static_cast<std::size_t>(row) >= m_order.size()) return nullptr;
    return &m_overview.rows()[m_order[static_cast<std::size_t>(row)]];
}

int OverviewModel::tableRow(std::uint32_t identifier, bool extended) const {
    const std::ptrdiff_t row = m_overview.find(identifier, extended);
    if (row < 0) return -1;
    const auto at = std::find(m_order.begin(), m_order.end(), static_cast<std::uint32_t>(row));
    return at == m_order.end() ? -1 : static_cast<int>(at - m_order.begin());
}

OverviewField OverviewModel::field(int column) const {
    const auto columns = overviewColumns(m_reading);
    if (column < 0 || static_cast<std::size_t>(column) >= columns.size()) {
        return OverviewField::kIdentifier;
    }
    return columns[static_cast<std::size_t>(column)];
}

int OverviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int OverviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(overviewColumns(m_reading).size());
}

QVariant OverviewModel::data(const QModelIndex& index, int role) const {
    const OverviewRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr) return {};
    const OverviewField f = field(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(overviewCell(*row, f, m_hex, m_reading));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue((rightAligned(f) ? Qt::AlignRight : Qt::AlignLeft) |
                                       Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (row->quiet(m_now)) return QColor(0x9A, 0x9A, 0x9A);
            return {};
        case kQuietRole:
            return row->quiet(m_now);
        case kChangeRole: {
            if (f != OverviewField::kData || row->lastRemote) return {};
            QByteArray strengths(8, '\0');
            for (int i = 0; i < 8; ++i) {
                strengths[i] = static_cast<char>(static_cast<unsigned char>(
                    std::clamp(changeStrength(*row, i, m_now) * 255.0, 0.0, 255.0)));
            }
            return strengths;
        }
        default:
            return {};
    }
}

QVariant OverviewModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 ||
        section >= columnCount()) {
        return {};
    }
    return QString::fromStdString(strings::loadString(overviewHeaderId(field(section), m_reading)));
}
