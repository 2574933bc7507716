#include "app/WindowLayout.h"

#include "platform/ProgramSettings.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>

#include <algorithm>

namespace {

constexpr char kSection[] = "Window";
// The size the data list needs to show every column of the CAN reading whole.
constexpr QSize kPreferred(1340, 800);
constexpr QSize kSmallest(800, 560);

QByteArray stored(const char* entry) {
    const std::string hex = programSettings().GetProfileString(kSection, entry);
    return QByteArray::fromHex(QByteArray::fromStdString(hex));
}

}  // namespace

QSize defaultWindowSize(const QRect& available) {
    // The preferred size where the screen has room, else nearly all of it (the columns want
    // width more than height), never below the least the window can be used at.
    const int width =
        std::max(kSmallest.width(), std::min(kPreferred.width(), available.width() - 16));
    const int height =
        std::max(kSmallest.height(), std::min(kPreferred.height(), available.height() * 9 / 10));
    return {width, height};
}

void restoreWindowLayout(QMainWindow& window) {
    const QByteArray geometry = stored("Geometry");
    if (geometry.isEmpty() || !window.restoreGeometry(geometry)) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect available =
            screen != nullptr ? screen->availableGeometry() : QRect(QPoint(0, 0), kPreferred);
        const QSize size = defaultWindowSize(available);
        window.resize(size);
        window.move(available.center() - QPoint(size.width() / 2, size.height() / 2));
    }
    const QByteArray state = stored("State");
    if (!state.isEmpty()) window.restoreState(state);
}

void saveWindowLayout(const QMainWindow& window) {
    platform::UserSettings settings = programSettings();
    settings.WriteProfileString(kSection, "Geometry", window.saveGeometry().toHex().toStdString());
    settings.WriteProfileString(kSection, "State", window.saveState().toHex().toStdString());
}
