#pragma once

// The main window's place, size and bar layout between runs. Without a stored layout, or with
// one that no longer fits a screen, the window opens at a size taken from the screen.
//
// Thread: the user-interface thread.

#include <QRect>
#include <QSize>

class QMainWindow;

// The size a first start uses on a screen whose free area is `available`.
[[nodiscard]] QSize defaultWindowSize(const QRect& available);
// Restores the stored layout, else sizes and centres the window for its screen.
void restoreWindowLayout(QMainWindow& window);
void saveWindowLayout(const QMainWindow& window);
