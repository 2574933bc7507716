#pragma once

#include <QIcon>

// 16 x 16 images of the toolbar buttons (by command id) and of the navigation tree (0 to 8).
[[nodiscard]] QIcon commandIcon(unsigned id);
[[nodiscard]] QIcon treeIcon(int index);
// Korvane's own icon, for its windows and the desktop.
[[nodiscard]] QIcon applicationIcon();
