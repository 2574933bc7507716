#include "views/PrintFont.h"

#include <QFontDatabase>
#include <QFontInfo>

double printBodyPoints(ProtocolReading reading) {
    // A fixed-pitch character is about 0.6 em wide and a portrait A4 page leaves about 530 pt:
    // CAN lines run to about 85 characters, CANopen to about 100, DeviceNet to about 155.
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return 5.5;
        case ProtocolReading::kCanOpen:
            return 8;
        default:
            return 9;
    }
}

QFont printBodyFont(ProtocolReading reading) {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFont(QStringLiteral("DejaVu Sans Mono"));
        font.setStyleHint(QFont::Monospace, QFont::PreferDefault);
    }
    font.setFixedPitch(true);
    font.setPixelSize(static_cast<int>(2 * printBodyPoints(reading)));
    return font;
}
