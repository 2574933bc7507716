#include "views/CellTextPainter.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QRectF>

#include <cmath>

void CellTextPainter::follow(const QFont& font) {
    if (m_ready && font == m_font) return;
    m_ready = true;
    m_font = font;
    m_kept.clear();
    m_raw = QRawFont::fromFont(font);
    const QFontMetricsF metrics(font);
    m_ascent = metrics.ascent();
    m_height = metrics.ascent() + metrics.descent();
    m_index.fill(0);
    m_advance.fill(0);
    if (!m_raw.isValid()) return;
    QString printable;
    for (char16_t c = 0x20; c < 0x7F; ++c) printable += QChar(c);
    const QList<quint32> indexes = m_raw.glyphIndexesForString(printable);
    if (indexes.size() != printable.size()) return;
    const QList<QPointF> advances = m_raw.advancesForGlyphIndexes(indexes);
    for (qsizetype i = 0; i < indexes.size() && i < advances.size(); ++i) {
        m_index[static_cast<std::size_t>(0x20 + i)] = indexes[i];
        m_advance[static_cast<std::size_t>(0x20 + i)] = advances[i].x();
    }
}

bool CellTextPainter::asciiGlyphs(const QString& text, qreal& width) {
    m_glyphs.clear();
    m_positions.clear();
    qreal x = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x80 || m_index[u] == 0) return false;
        m_glyphs.push_back(m_index[u]);
        m_positions.emplace_back(x, 0);
        x += m_advance[u];
    }
    width = x;
    return true;
}

const QStaticText& CellTextPainter::laidOut(const QString& text) {
    auto at = m_kept.find(text);
    if (at == m_kept.end()) {
        if (m_kept.size() >= kMaxKept) m_kept.clear();
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.setPerformanceHint(QStaticText::AggressiveCaching);
        laid.prepare(QTransform(), m_font);
        at = m_kept.insert(text, laid);
    }
    return *at;
}

qreal CellTextPainter::width(const QFont& font, const QString& text) {
    follow(font);
    qreal w = 0;
    if (asciiGlyphs(text, w)) return w;
    return laidOut(text).size().width();
}

bool CellTextPainter::draw(QPainter& painter, const QFont& font, const QRectF& rect,
                           Qt::Alignment alignment, const QString& text) {
    if (text.isEmpty()) return true;
    follow(font);
    qreal w = 0;
    const bool ascii = asciiGlyphs(text, w);
    const QStaticText* laid = ascii ? nullptr : &laidOut(text);
    if (laid != nullptr) w = laid->size().width();
    if (w > rect.width() + 0.5) return false;
    // Placed on whole pixels, as the text layout of an item view places its lines.
    const qreal free = rect.width() - std::ceil(w);
    qreal left = rect.left();
    if ((alignment & Qt::AlignRight) != 0) {
        left += free;
    } else if ((alignment & Qt::AlignHCenter) != 0) {
        left += std::floor(free / 2);
    }
    const qreal top = rect.top() + std::floor((rect.height() - std::round(m_height)) / 2);
    if (painter.font() != font) painter.setFont(font);
    if (laid != nullptr) {
        painter.drawStaticText(QPointF(left, top), *laid);
        return true;
    }
    QGlyphRun run;
    run.setRawFont(m_raw);
    run.setRawData(m_glyphs.data(), m_positions.data(), static_cast<int>(m_glyphs.size()));
    painter.drawGlyphRun(QPointF(left, top + m_ascent), run);
    return true;
}
