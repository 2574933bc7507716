#pragma once

// Prints the data list's rows on a QPrinter (a printer) or into a PDF file: title, column header,
// one line per row, footer "- Page %d of %d -".

#include "filters/FilterState.h"
#include "framework/Progress.h"
#include "views/PrintLayout.h"

#include <QFont>

#include <string>

class QPagedPaintDevice;
class QPaintDevice;
class QPrinter;

class DataListPrinter {
public:
    // `bodyFont` is the body font description (the list's font); printing scales it.
    DataListPrinter(ProtocolReading reading, const DisplayIndexList& rows, const FrameStore& store,
                    const QFont& bodyFont);

    // The metrics on that printer: the page count is known before printing.
    [[nodiscard]] PrintMetrics metrics(QPrinter& printer) const;
    // Prints every page (or the printer's page range); false when nothing could be drawn or the
    // progress was cancelled (the print run is then aborted).
    bool print(QPrinter& printer, Progress* progress = nullptr) const;

    struct FileResult {
        bool ok = true;
        std::string error;  // why, for the user
    };
    // Prints every page, as on a high-resolution PDF printer, into the file at `path`: written
    // beside it and put in its place only when every byte was written (see ReplacedFile.h); a
    // device or a pipe there is written straight. Any failure leaves the old file untouched.
    // A cancelled progress leaves it untouched too.
    [[nodiscard]] FileResult printToPdf(const std::string& path, Progress* progress = nullptr) const;

private:
    QFont bodyFontFor(QPaintDevice& device) const;
    QFont titleFontFor(QPaintDevice& device) const;
    [[nodiscard]] PrintMetrics metricsOn(QPagedPaintDevice& device, int resolution) const;
    bool printPages(QPagedPaintDevice& device, int resolution, std::uint32_t first,
                    std::uint32_t last, Progress* progress) const;
    [[nodiscard]] std::uint32_t rowCount() const;

    ProtocolReading m_reading;
    const DisplayIndexList& m_rows;
    const FrameStore& m_store;
    QFont m_bodyFont;
};
