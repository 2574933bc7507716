#include "resources/UiText.h"

#include "resources/Menus.h"

std::string uiText(const char* english) {
    return menuText(0, english);
}
