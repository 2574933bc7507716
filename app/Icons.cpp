#include "app/Icons.h"

#include "resources/CommandIds.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

namespace {

// A small glyph: letters on a rounded tile of one colour.
QIcon glyph(const QString& text, QColor colour) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(colour.darker(140));
    p.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    QFont font = p.font();
    font.setPixelSize(text.size() > 1 ? 8 : 11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return QIcon(pixmap);
}

QIcon standard(QStyle::StandardPixmap which) {
    return QApplication::style()->standardIcon(which);
}

}  // namespace

QIcon commandIcon(unsigned id) {
    switch (id) {
        case ID_FILE_NEW:
            return standard(QStyle::SP_FileIcon);
        case ID_FILE_OPEN:
            return standard(QStyle::SP_DialogOpenButton);
        case ID_FILE_SAVE:
            return standard(QStyle::SP_DialogSaveButton);
        case ID_DATALIST_CAN:
            return glyph("C", QColor(0x2E, 0x6D, 0xB4));
        case ID_DATALIST_DEVICENET:
            return glyph("D", QColor(0x3A, 0x8F, 0x3A));
        case ID_DATALIST_CANOPEN:
            return glyph("O", QColor(0xB4, 0x6D, 0x2E));
        case ID_FUNCTIONS_CAPTURE:
            return standard(QStyle::SP_MediaPlay);
        case ID_FUNCTIONS_STOP:
            return standard(QStyle::SP_MediaStop);
        case ID_DATALIST_FILTER:
            return glyph("F", QColor(0x6A, 0x4C, 0x9C));
        case ID_FUNCTIONS_CLEARALL:
            return standard(QStyle::SP_DialogResetButton);
        case ID_FUNCTIONS_MANUAL_MESSAGE:
            return glyph("M", QColor(0x99, 0x33, 0x33));
        case ID_AUTO_CONFIGURE:
            return glyph("AC", QColor(0x55, 0x55, 0x55));
        case ID_AUTO_START:
            return glyph("AS", QColor(0x2E, 0x8B, 0x57));
        case ID_AUTO_STOP:
            return glyph("AT", QColor(0xB2, 0x22, 0x22));
        case ID_FUNCTIONS_EXPORT:
            return glyph("E", QColor(0x44, 0x66, 0x88));
        case ID_HELP_TOPICS:
            return glyph("?", QColor(0x2E, 0x6D, 0xB4));
        default:
            return {};
    }
}

QIcon treeIcon(int index) {
    switch (index) {
        case 0:
            return standard(QStyle::SP_ComputerIcon);
        case 1:
            return standard(QStyle::SP_DirIcon);
        case 2:
            return glyph("yx", QColor(0xB4, 0x6D, 0x2E));
        case 3:
            return glyph("yt", QColor(0x2E, 0x6D, 0xB4));
        case 6:
            return standard(QStyle::SP_FileDialogDetailedView);
        default:
            return standard(QStyle::SP_FileIcon);
    }
}
