#include "views/DataListPrinter.h"

#include "framework/ReplacedFile.h"
#include "resources/StringTable.h"
#include "views/CheckedWriteDevice.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

DataListPrinter::DataListPrinter(ProtocolReading reading, const DisplayIndexList& rows,
                                 const FrameStore& store, const QFont& bodyFont)
    : m_reading(reading), m_rows(rows), m_store(store), m_bodyFont(bodyFont) {}

std::uint32_t DataListPrinter::rowCount() const {
    return static_cast<std::uint32_t>(m_rows.size());
}

QFont DataListPrinter::bodyFontFor(QPaintDevice& device) const {
    QFont font(m_bodyFont, &device);
    // The description's size is in screen pixels; the printer gets half of it in points.
    const int size =
        m_bodyFont.pixelSize() > 0 ? m_bodyFont.pixelSize() : m_bodyFont.pointSize() * 96 / 72;
    font.setPixelSize(std::max(1, scaleBodyFont(size, device.logicalDpiY())));
    return font;
}

QFont DataListPrinter::titleFontFor(QPaintDevice& device) const {
    QFont font(m_bodyFont, &device);
    font.setPixelSize(std::max(1, titleFontHeight(device.logicalDpiY())));
    return font;
}

PrintMetrics DataListPrinter::metrics(QPrinter& printer) const {
    return metricsOn(printer, printer.resolution());
}

PrintMetrics DataListPrinter::metricsOn(QPagedPaintDevice& device, int resolution) const {
    const QFontMetrics body(bodyFontFor(device), &device);
    const QRect page = device.pageLayout().paintRectPixels(resolution);
    return PrintMetrics::compute(page.width(), page.height(), body.height(),
                                 body.averageCharWidth(), rowCount());
}

bool DataListPrinter::print(QPrinter& printer, Progress* progress) const {
    std::uint32_t first = 1, last = std::numeric_limits<std::uint32_t>::max();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = static_cast<std::uint32_t>(printer.fromPage());
        last = static_cast<std::uint32_t>(printer.toPage());
    }
    return printPages(printer, printer.resolution(), first, last, progress);
}

bool DataListPrinter::printPages(QPagedPaintDevice& device, int resolution, std::uint32_t first,
                                 std::uint32_t last, Progress* progress) const {
    const PrintMetrics m = metricsOn(device, resolution);
    last = std::min(m.pageCount, last);
    QPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    const QFont body = bodyFontFor(device);
    const QFont title = titleFontFor(device);
    const int L = 0, T = 0, R = m.pageWidth, B = m.pageHeight;
    const auto text = [&painter](int x, int y, const QString& s) {
        painter.drawText(QRect(x, y, 1 << 20, painter.fontMetrics().height()),
                         Qt::AlignLeft | Qt::AlignTop, s);
    };
    const QString header = QString::fromStdString(strings::loadString(printHeaderId(m_reading)));
    const std::uint32_t rows = rowCount();
    const std::uint32_t storeCount = m_store.count();
    if (progress != nullptr && last >= first) progress->begin(strings::kPrinting);
    ProgressSteps steps(progress, last >= first ? last - first + 1 : 0);
    for (std::uint32_t page = first; page <= last; ++page) {
        steps.at(page - first);
        if (steps.cancelled()) {
            // A printer's job is dropped; a file's temporary is never put in place.
            if (auto* printer = dynamic_cast<QPrinter*>(&device)) printer->abort();
            painter.end();
            if (progress != nullptr) progress->end();
            return false;
        }
        if (page != first) device.newPage();
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
    if (progress != nullptr && last >= first) progress->end();
    return true;
}

DataListPrinter::FileResult DataListPrinter::printToPdf(const std::string& path,
                                                       Progress* progress) const {
    const auto failed = [](const std::string& why) { return FileResult{false, why}; };
    // A device or a pipe (/dev/stdout, say) cannot be replaced: it is written straight.
    struct stat st {};
    const bool straight = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    std::optional<ReplacedFile> replaced;
    int fd = -1;
    if (straight) {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
        if (fd < 0) return failed(std::strerror(errno));
    } else {
        replaced.emplace(path);
        if (replaced->fd() < 0) return failed(replaced->error());
        fd = replaced->fd();
    }
    CheckedWriteDevice device(fd);
    bool drawn = false;
    {
        // The pages a high-resolution PDF printer makes: its paper, margins and resolution.
        QPrinter model(QPrinter::HighResolution);
        model.setOutputFormat(QPrinter::PdfFormat);
        QPdfWriter writer(&device);
        writer.setResolution(model.resolution());
        writer.setPageLayout(model.pageLayout());
        drawn = printPages(writer, writer.resolution(), 1,
                           std::numeric_limits<std::uint32_t>::max(), progress);
    }
    if (progress != nullptr && progress->cancelled()) {
        if (straight) ::close(fd);
        return failed("cancelled");
    }
    const bool written = device.finish();
    if (straight) ::close(fd);
    if (!written) return failed(std::string("writing failed: ") + std::strerror(device.error()));
    if (!drawn) return failed("nothing could be drawn");
    if (replaced && !replaced->commit()) return failed(replaced->error());
    return {};
}
