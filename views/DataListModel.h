#pragma once

// The data list's model: a row count and the cell texts of the current reading, made on request.
// It stores nothing per row.
//
// Thread: the user-interface thread.

#include "app/ProgramState.h"
#include "views/DataListCells.h"

#include <QAbstractTableModel>

class DataListModel final : public QAbstractTableModel {
public:
    explicit DataListModel(ProgramState& state, QObject* parent = nullptr);

    [[nodiscard]] ProtocolReading reading() const { return m_reading; }
    // Rebuilds the columns; the rows stay.
    void setReading(ProtocolReading reading);
    [[nodiscard]] std::uint32_t shownRows() const { return m_shownRows; }
    // Grows the row count without touching the rows already there; 0 empties the list.
    void setShownRows(std::uint32_t rows);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    ProgramState& m_state;
    ProtocolReading m_reading = ProtocolReading::kCan;
    std::uint32_t m_shownRows = 0;
};
