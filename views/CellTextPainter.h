#pragma once

// Draws the short texts of a table's cells without laying each one out anew: a live table
// repaints the same few dozen cells five times a second, with numbers that differ every time.
// Printable ASCII (digits, hex letters, separators) goes straight to the font's glyphs, looked up
// once per font, since it needs no shaping; any other text (a translated word, a name) is laid out
// once and kept, up to a bound.
//
// Thread: the user-interface thread.

#include <QFont>
#include <QHash>
#include <QRawFont>
#include <QStaticText>
#include <QString>

#include <array>
#include <vector>

class QPainter;
class QRectF;

class CellTextPainter {
public:
    // Laid-out texts kept at most; beyond, the cache starts again.
    static constexpr qsizetype kMaxKept = 4096;

    // Draws `text` on one line within `rect` in the painter's pen and `font`, placed as
    // `alignment` says (left, right or centred; always centred vertically), as a text layout
    // would place it. False, drawing nothing, when it does not fit: the caller elides it.
    bool draw(QPainter& painter, const QFont& font, const QRectF& rect, Qt::Alignment alignment,
              const QString& text);

    // The width `text` takes in `font`.
    [[nodiscard]] qreal width(const QFont& font, const QString& text);

private:
    void follow(const QFont& font);
    // True with the glyphs of `text` in m_glyphs and m_positions (from x = 0) when every
    // character is printable ASCII that the font has.
    bool asciiGlyphs(const QString& text, qreal& width);
    const QStaticText& laidOut(const QString& text);

    QFont m_font;
    bool m_ready = false;
    QRawFont m_raw;
    qreal m_ascent = 0;
    qreal m_height = 0;
    std::array<quint32, 128> m_index{};  // 0: drawn the other way
    std::array<qreal, 128> m_advance{};
    std::vector<quint32> m_glyphs;  // kept between texts: no allocation per cell
    std::vector<QPointF> m_positions;
    QHash<QString, QStaticText> m_kept;
};
