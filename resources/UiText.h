#pragma once

// A text of the user interface (a dialog's caption or label, a tree node) in the language in use:
// the loaded language library's text where it has one, else the English given.

#include <string>

[[nodiscard]] std::string uiText(const char* english);
