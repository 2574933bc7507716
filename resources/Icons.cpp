#include "resources/Icons.h"

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
    const char* name = nullptr;
    switch (id) {
        case ID_FILE_NEW: name = "new"; break;
        case ID_FILE_OPEN: name = "open"; break;
        case ID_FILE_SAVE: name = "save"; break;
        case ID_DATALIST_CAN: name = "can"; break;
        case ID_DATALIST_DEVICENET: name = "devicenet"; break;
        case ID_DATALIST_CANOPEN: name = "canopen"; break;
        case ID_FUNCTIONS_CAPTURE: name = "capture"; break;
        case ID_FUNCTIONS_STOP: name = "stop"; break;
        case ID_DATALIST_FOLLOW: name = "follow"; break;
        case ID_DATALIST_FILTER: name = "filter"; break;
        case ID_FUNCTIONS_CLEARALL: name = "clear"; break;
        case ID_FUNCTIONS_MANUAL_MESSAGE: name = "manual"; break;
        case ID_AUTO_CONFIGURE: name = "configure"; break;
        case ID_AUTO_START: name = "auto-start"; break;
        case ID_AUTO_STOP: name = "auto-stop"; break;
        case ID_FUNCTIONS_EXPORT: name = "export"; break;
        case ID_HELP_TOPICS: name = "help"; break;
        default: return {};
    }
    return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)));
}

QIcon applicationIcon() {
    return QIcon(QStringLiteral(":/icons/korvane.svg"));
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
