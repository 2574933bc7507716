#include "views/OverviewModel.h"

#include "candb/SignalDecoder.h"
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
    updateSortTexts(0);
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

void OverviewModel::setDecoder(std::shared_ptr<const SignalDecoder> decoder) {
    if (decoder == m_decoder) return;
    const bool before = namesMessages();
    const bool after = ::namesMessages(decoder.get());
    const auto withNames = overviewColumns(m_reading, true);
    const int column = static_cast<int>(
        std::find(withNames.begin(), withNames.end(), OverviewField::kMessageName) -
        withNames.begin());
    if (after && !before) {
        beginInsertColumns({}, column, column);
        m_decoder = std::move(decoder);
        endInsertColumns();
    } else if (before && !after) {
        beginRemoveColumns({}, column, column);
        m_decoder = std::move(decoder);
        if (m_sortField == OverviewField::kMessageName) {
            m_sortField = OverviewField::kIdentifier;
            m_descending = false;
        }
        endRemoveColumns();
    } else {
        m_decoder = std::move(decoder);
        if (after && !m_order.empty()) {
            Q_EMIT dataChanged(index(0, column), index(rowCount() - 1, column));
        }
    }
    updateSortTexts(0);
    resort();
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
    m_sortTexts.clear();
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
    const std::uint64_t since = m_versionShown;
    const bool changed = m_overview.version() != since;
    if (changed) {
        m_versionShown = m_overview.version();
        updateSortTexts(since);
        resort();
    }
    const std::uint64_t then = m_now;
    m_now = now;
    // Marks fade and rows go quiet with time alone, so a new "now" may repaint rows too.
    if ((changed || now != then) && !m_order.empty()) announceChanges(since, then, now);
    return done;
}

void OverviewModel::announceChanges(std::uint64_t sinceVersion, std::uint64_t then,
                                    std::uint64_t now) {
    const std::vector<OverviewRow>& rows = m_overview.rows();
    const int last = columnCount() - 1;
    int first = -1;  // the start of the run of changed table rows
    const int count = rowCount();
    for (int t = 0; t <= count; ++t) {
        bool redraw = false;
        if (t < count) {
            const OverviewRow& r = rows[m_order[static_cast<std::size_t>(t)]];
            redraw = r.version > sinceVersion || r.quiet(then) != r.quiet(now);
            for (int i = 0; i < 8 && !redraw; ++i) {
                redraw = r.changedWithin(i, then, kChangeFadeUs) ||
                         r.changedWithin(i, now, kChangeFadeUs);
            }
        }
        if (redraw && first < 0) first = t;
        if (!redraw && first >= 0) {
            Q_EMIT dataChanged(index(first, 0), index(t - 1, last));
            first = -1;
        }
    }
}

void OverviewModel::updateSortTexts(std::uint64_t since) {
    if (overviewSortColumn(m_sortField)) {
        m_sortTexts.clear();
        return;
    }
    const std::vector<OverviewRow>& rows = m_overview.rows();
    const bool all = since == 0 || m_sortTexts.size() > rows.size();
    const std::size_t known = all ? 0 : m_sortTexts.size();
    m_sortTexts.resize(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        // A DeviceNet name follows the data; a message name only the databases.
        if (all || r >= known || rows[r].version > since) {
            m_sortTexts[r] = overviewCell(rows[r], m_sortField, m_hex, m_reading, decoder());
        }
    }
}

bool OverviewModel::textBefore(std::uint32_t x, std::uint32_t y) const {
    const std::string& a = m_sortTexts[x];
    const std::string& b = m_sortTexts[y];
    // Rows no database names come last either way, as empty cells do.
    if (a.empty() != b.empty()) return b.empty();
    const int c = m_descending ? b.compare(a) : a.compare(b);
    return c < 0 || (c == 0 && x < y);
}

std::vector<std::uint32_t> OverviewModel::order() const {
    const std::vector<OverviewRow>& rows = m_overview.rows();
    if (const auto column = overviewSortColumn(m_sortField)) {
        return overviewOrder(rows, *column, m_descending);
    }
    std::vector<std::uint32_t> sorted(rows.size());
    for (std::size_t r = 0; r < sorted.size(); ++r) sorted[r] = static_cast<std::uint32_t>(r);
    std::sort(sorted.begin(), sorted.end(),
              [this](std::uint32_t a, std::uint32_t b) { return textBefore(a, b); });
    return sorted;
}

bool OverviewModel::sorted() const {
    if (const auto column = overviewSortColumn(m_sortField)) {
        return overviewSorted(m_overview.rows(), m_order, *column, m_descending);
    }
    for (std::size_t i = 1; i < m_order.size(); ++i) {
        if (!textBefore(m_order[i - 1], m_order[i])) return false;
    }
    return true;
}

void OverviewModel::resort(bool always) {
    if (!always && sorted()) return;
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
    updateSortTexts(0);
    resort();
}

int OverviewModel::sortColumn() const {
    const auto shown = columns();
    const auto at = std::find(shown.begin(), shown.end(), m_sortField);
    return at == shown.end() ? 0 : static_cast<int>(at - shown.begin());
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
    const auto shown = columns();
    if (column < 0 || static_cast<std::size_t>(column) >= shown.size()) {
        return OverviewField::kIdentifier;
    }
    return shown[static_cast<std::size_t>(column)];
}

bool OverviewModel::changeStrengths(int row, std::uint8_t strengths[8]) const {
    const OverviewRow* r = rowAt(row);
    if (r == nullptr || r->lastRemote) return false;
    for (int i = 0; i < 8; ++i) {
        strengths[i] =
            static_cast<std::uint8_t>(std::clamp(changeStrength(*r, i, m_now) * 255.0, 0.0, 255.0));
    }
    return true;
}

int OverviewModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_order.size());
}

int OverviewModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns().size());
}

QVariant OverviewModel::data(const QModelIndex& index, int role) const {
    const OverviewRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    if (row == nullptr) return {};
    const OverviewField f = field(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return QString::fromStdString(overviewCell(*row, f, m_hex, m_reading, decoder()));
        case Qt::TextAlignmentRole:
            return QVariant::fromValue((rightAligned(f) ? Qt::AlignRight : Qt::AlignLeft) |
                                       Qt::AlignVCenter);
        case Qt::ForegroundRole:
            if (row->quiet(m_now)) return quietColour();
            return {};
        case kQuietRole:
            return row->quiet(m_now);
        case kChangeRole: {
            std::uint8_t strengths[8];
            if (f != OverviewField::kData || !changeStrengths(index.row(), strengths)) return {};
            return QByteArray(reinterpret_cast<const char*>(strengths), 8);
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
