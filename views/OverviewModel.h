#pragma once

// The overview window's table: one row per identifier of the bus overview, in the order the
// user sorted by, with the cell texts made on request. A timer feeds it: refresh() takes the
// frames appended since (or the filter's new rows when only filtered frames count), adds the new
// identifiers as rows, sorts again when the order no longer holds and says which rows changed:
// those that took frames, those whose marks are fading and those that went quiet or woke up. The
// view repaints the ones of those it shows. A store emptied or replaced, a filter rebuilt with
// other conditions or a switch between every frame and the filtered ones starts the table afresh.
// With a CAN database the table has a message name column (see OverviewCells.h).
//
// Thread: the user-interface thread, while the capture thread appends to the store.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "filters/FilterState.h"
#include "overview/BusOverview.h"
#include "views/OverviewCells.h"

#include <QAbstractTableModel>
#include <QColor>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct OverviewSources {
    const FrameStore& store;
    const FilterState& filter;
    const ApplicationFlags& flags;
};

class OverviewModel final : public QAbstractTableModel {
public:
    // The data column's marks: a QByteArray of eight strengths, 0 to 255 (see changeStrength).
    static constexpr int kChangeRole = Qt::UserRole + 1;
    // True for a row not seen for more than three mean periods.
    static constexpr int kQuietRole = Qt::UserRole + 2;
    // The text colour of such a row.
    [[nodiscard]] static QColor quietColour() { return {0x9A, 0x9A, 0x9A}; }

    explicit OverviewModel(const OverviewSources& sources, QObject* parent = nullptr);

    [[nodiscard]] ProtocolReading reading() const { return m_reading; }
    void setReading(ProtocolReading reading);
    [[nodiscard]] bool hex() const { return m_hex; }
    void setHex(bool hex);
    [[nodiscard]] bool onlyFiltered() const { return m_onlyFiltered; }
    void setOnlyFiltered(bool onlyFiltered);
    // The document's databases (null or without databases: no message name column). A decoder
    // other than the one held names the messages again.
    void setDecoder(std::shared_ptr<const SignalDecoder> decoder);
    [[nodiscard]] const SignalDecoder* decoder() const { return m_decoder.get(); }
    [[nodiscard]] bool namesMessages() const { return ::namesMessages(m_decoder.get()); }
    // The column the rows are sorted by, and how.
    [[nodiscard]] int sortColumn() const;
    [[nodiscard]] Qt::SortOrder sortOrder() const {
        return m_descending ? Qt::DescendingOrder : Qt::AscendingOrder;
    }

    // Takes at most `maxFrames` frames (or filter rows) appended since the last refresh, with
    // `now` on the frames' clock for the marks and quiet rows. True when everything there is has
    // been taken.
    bool refresh(std::uint64_t now, std::size_t maxFrames = SIZE_MAX);
    [[nodiscard]] std::uint64_t now() const { return m_now; }

    [[nodiscard]] const BusOverview& overview() const { return m_overview; }
    // The overview's row shown in table row `row`, or null.
    [[nodiscard]] const OverviewRow* rowAt(int row) const;
    // The table row of an identifier, or -1.
    [[nodiscard]] int tableRow(std::uint32_t identifier, bool extended) const;
    [[nodiscard]] OverviewField field(int column) const;
    // How strongly each byte of table row `row`'s data is marked at now(), 0 to 255; false for a
    // row without data to mark.
    bool changeStrengths(int row, std::uint8_t strengths[8]) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

private:
    // The filter the rows were taken through, to tell a rebuilt filter.
    struct FilterSeen {
        std::vector<FilterCondition> conditions;
        FilterMode mode = FilterMode::kShow;
        std::uint16_t activeWord = 0;
        [[nodiscard]] bool same(const FilterState& filter) const;
    };

    [[nodiscard]] bool inputReplaced() const;
    void restart();
    // Sorts again; unless `always`, only when the order no longer holds.
    void resort(bool always = false);
    [[nodiscard]] bool sorted() const;
    [[nodiscard]] std::vector<std::uint32_t> order() const;
    // The sort texts of a column sorted by its text: all of them, or those of the rows that took
    // frames since `version`.
    void updateSortTexts(std::uint64_t since);
    [[nodiscard]] bool textBefore(std::uint32_t x, std::uint32_t y) const;
    // Says which table rows changed between `then` and `now`.
    void announceChanges(std::uint64_t sinceVersion, std::uint64_t then, std::uint64_t now);
    [[nodiscard]] std::span<const OverviewField> columns() const {
        return overviewColumns(m_reading, namesMessages());
    }

    OverviewSources m_sources;
    BusOverview m_overview;
    std::vector<std::uint32_t> m_order;  // table row -> overview row
    std::shared_ptr<const SignalDecoder> m_decoder;
    std::vector<std::string> m_sortTexts;  // per overview row, while sorted by a text
    ProtocolReading m_reading = ProtocolReading::kCan;
    bool m_hex = true;
    bool m_onlyFiltered = false;
    OverviewField m_sortField = OverviewField::kIdentifier;
    bool m_descending = false;
    std::uint64_t m_now = 0;
    std::uint64_t m_versionShown = 0;
    std::uint64_t m_storeGeneration = 0;
    FilterSeen m_filterSeen;
};
