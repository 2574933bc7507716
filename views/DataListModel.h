#pragma once

// The data list's model: a row count and the cell texts of the current reading, made on request.
// It stores nothing per row. With a CAN database in the document a "Signals" column follows the
// reading's columns: the row's message and its decoded values, also made only for painted rows.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "candb/SignalDecoder.h"
#include "views/DataListCells.h"

#include <QAbstractTableModel>

class DataListModel final : public QAbstractTableModel {
public:
    explicit DataListModel(ProgramState& state, QObject* parent = nullptr);

    [[nodiscard]] ProtocolReading reading() const { return m_reading; }
    // Rebuilds the columns; the rows stay.
    void setReading(ProtocolReading reading);
    [[nodiscard]] std::uint32_t shownRows() const { return m_shownRows; }
    // Takes the rows of the display list as it is now: rows appended since are added without
    // touching those shown, but a store emptied or replaced since (Clear All, New, Open, Import)
    // or a display list made anew (a filter rebuilt) drops every row shown, even when the new
    // rows are as many. No rows while the store is
    // being emptied. True when the rows changed.
    bool followDisplayList();
    // Drops every row shown and takes the display list's, whatever followDisplayList() would.
    void resetRows();
    // The document's CAN databases changed: the Signals column comes, goes or is redrawn.
    void databasesChanged();
    // The Signals column's place, or -1 while the document has no database.
    [[nodiscard]] int signalsColumn() const;

    // The time column of every reading; its tool tip is the row's time of day.
    static constexpr int kTimeColumn = 1;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    // The store and the display list the shown rows were taken from, by their generations.
    struct Source {
        std::uint64_t storeGeneration = 0;
        std::uint64_t listGeneration = 0;
        bool operator==(const Source&) const = default;
    };
    [[nodiscard]] Source currentSource() const;
    // With `keepShown` a larger count adds rows behind those shown; otherwise the list starts
    // again from none.
    void setRows(std::uint32_t rows, bool keepShown);

    [[nodiscard]] int readingColumns() const {
        return static_cast<int>(dataListColumns(m_reading).size());
    }

    ProgramState& m_state;
    ProtocolReading m_reading = ProtocolReading::kCan;
    bool m_signalsShown = false;
    mutable DecodedFrame m_decoded;  // reused for every painted row
    std::uint32_t m_shownRows = 0;
    Source m_source;
};
