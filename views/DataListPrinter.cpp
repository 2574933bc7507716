#include "views/DataListPrinter.h"

#include "resources/StringTable.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

DataListPrinter::DataListPrinter(ProtocolReading reading, const DisplayIndexList& rows,
                                 const FrameStore& store, const QFont& bodyFont)
    : m_reading(reading), m_rows(rows), m_store(store), m_bodyFont(bodyFont) {}

std::uint32_t DataListPrinter::rowCount() const {
    return static_cast<std::uint32_t>(m_rows.size());
}

QFont DataListPrinter::bodyFontFor(QPrinter& printer) const {
    QFont font(m_bodyFont, &printer);
    // The description's size is in screen pixels; the printer gets half of it in points.
    const int size =
        m_bodyFont.pixelSize() > 0 ? m_bodyFont.pixelSize() : m_bodyFont.pointSize() * 96 / 72;
    font.setPixelSize(std::max(1, scaleBodyFont(size, printer.logicalDpiY())));
    return font;
}

QFont DataListPrinter::titleFontFor(QPrinter& printer) const {
    QFont font(m_bodyFont, &printer);
    font.setPixelSize(std::max(1, titleFontHeight(printer.logicalDpiY())));
    return font;
}

PrintMetrics DataListPrinter::metrics(QPrinter& printer) const {
    const QFontMetrics body(bodyFontFor(printer), &printer);
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    return PrintMetrics::compute(page.width(), page.height(), body.height(),
                                 body.averageCharWidth(), rowCount());
}

bool DataListPrinter::print(QPrinter& printer) const {
    const PrintMetrics m = metrics(printer);
    QPainter painter;
    if (!painter.begin(&printer)) {
        return false;
    }
    const QFont body = bodyFontFor(printer);
    const QFont title = titleFontFor(printer);
    const int L = 0, T = 0, R = m.pageWidth, B = m.pageHeight;
    const auto text = [&painter](int x, int y, const QString& s) {
        painter.drawText(QRect(x, y, 1 << 20, painter.fontMetrics().height()),
                         Qt::AlignLeft | Qt::AlignTop, s);
    };
    std::uint32_t first = 1, last = m.pageCount;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = static_cast<std::uint32_t>(printer.fromPage());
        last = std::min(m.pageCount, static_cast<std::uint32_t>(printer.toPage()));
    }
    const QString header = QString::fromStdString(strings::loadString(printHeaderId(m_reading)));
    const std::uint32_t rows = rowCount();
    const std::uint32_t storeCount = m_store.count();
    for (std::uint32_t page = first; page <= last; ++page) {
        if (page != first) printer.newPage();
        painter.setFont(title);
        text(static_cast<int>(0.3 * R), T + 400, QString::fromStdString(strings::loadString(7010)));
        painter.drawLine(L + 150, T + 600, R - 150, T + 600);
        painter.setFont(body);
        text(L + 150, T + 620, header);
        int k = 1;
        for (std::uint32_t r = m.firstRow(page); r < m.endRow(page, rows); ++r, ++k) {
            const std::uint32_t position = m_rows.at(r);
            if (position >= storeCount) continue;  // gone since the list was filled
            text(L + 150, m.lineY(T, k),
                 QString::fromStdString(printLine(m_reading, m_store.at(position), r)));
        }
        painter.setFont(title);
        text(static_cast<int>(0.5 * R - 100), B - 480,
             QString::fromStdString(printFooter(page, m.pageCount)));
        painter.drawLine(L + 150, B - 500, R - 150, B - 500);
    }
    painter.end();
    return true;
}
