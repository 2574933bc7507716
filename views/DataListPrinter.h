#pragma once

// Prints the data list's rows on a QPrinter (a printer or a PDF file): title, column header, one
// line per row, footer "- Page %d of %d -".

#include "filters/FilterState.h"
#include "views/PrintLayout.h"

#include <QFont>

class QPrinter;

class DataListPrinter {
public:
    // `bodyFont` is the body font description (the list's font); printing scales it.
    DataListPrinter(ProtocolReading reading, const DisplayIndexList& rows, const FrameStore& store,
                    const QFont& bodyFont);

    // The metrics on that printer: the page count is known before printing.
    [[nodiscard]] PrintMetrics metrics(QPrinter& printer) const;
    // Prints every page (or the printer's page range); false when nothing could be drawn.
    bool print(QPrinter& printer) const;

private:
    QFont bodyFontFor(QPrinter& printer) const;
    QFont titleFontFor(QPrinter& printer) const;
    [[nodiscard]] std::uint32_t rowCount() const;

    ProtocolReading m_reading;
    const DisplayIndexList& m_rows;
    const FrameStore& m_store;
    QFont m_bodyFont;
};
