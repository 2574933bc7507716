#pragma once

// The data list's column widths: the listed share of the list's width, widened to what the
// header and the widest typical cell need in the list's font, unless the user has dragged a
// column to a width of its own, which is kept for that reading between runs.
//
// Thread: the user-interface thread.

#include "views/DataListCells.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class QFontMetrics;

class ColumnWidths {
public:
    // How wide a text is in the list's font, in pixels.
    using Measure = std::function<int(const QString&)>;

    // The texts a column must show whole: its header and the widest typical cell.
    [[nodiscard]] static QStringList samples(ProtocolReading reading, int column);
    // Widths for a list `width` pixels wide: each column the larger of its listed share and what
    // its samples need (plus the cell's margins), unless `chosen` holds a width (> 0) for it.
    // When that is more than the list holds, columns above their need give way, down to it.
    [[nodiscard]] static std::vector<int> fitted(ProtocolReading reading, int width,
                                                 const Measure& measure,
                                                 const std::vector<int>& chosen = {});

    // The user's widths of a reading as kept in the settings ("120,0,80": 0 for none).
    [[nodiscard]] static std::string encode(const std::vector<int>& chosen);
    [[nodiscard]] static std::vector<int> decode(const std::string& text, std::size_t columns);

    // Cell text margin on each side, as the list paints it.
    static constexpr int kCellMargin = 3;
    // A dragged width is kept only within sane bounds.
    static constexpr int kMinChosen = 8;
    static constexpr int kMaxChosen = 4000;
};
