#pragma once

// The program's menus, toolbar and accelerators as data; the GUI builds its widgets from them and
// a language library may replace the item texts.

#include <string>
#include <vector>

struct MenuItem {
    std::string text;  // "&Item\tShortcut"; empty for a separator
    unsigned id = 0;   // 0 for a popup or a separator
    std::vector<MenuItem> items;
    [[nodiscard]] bool separator() const { return text.empty() && id == 0; }
};

// Resource 128 (no document open) and 130 (a document is open).
[[nodiscard]] std::vector<MenuItem> mainMenu(bool documentOpen);

// Popup menus of the navigation tree: 199 (a data list), 201 (a y(t) window), 203 (a y(x) window)
// and 209 (the root and its nodes).
[[nodiscard]] MenuItem popupMenu(unsigned resourceId);

// The toolbar's buttons in order; 0 stands for a separator.
[[nodiscard]] const std::vector<unsigned>& toolbarButtons();

struct Accelerator {
    unsigned id;
    const char* keys;  // as QKeySequence reads them, e.g. "Ctrl+Alt+C"
};
// Resource 130; the first six are resource 128.
[[nodiscard]] const std::vector<Accelerator>& accelerators();

// A language library's menu texts replace the own ones while installed (null: the own).
using MenuTextLookup = const char* (*)(unsigned id, const char* englishText);
void installMenuTextLookup(MenuTextLookup lookup);
// The text of a menu item in the language in use.
[[nodiscard]] std::string menuText(unsigned id, const char* englishText);
