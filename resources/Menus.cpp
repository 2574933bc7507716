#include "resources/Menus.h"

#include "resources/CommandIds.h"
#include "resources/CurveCommandIds.h"
#include "resources/OverviewCommandIds.h"

#include <atomic>

namespace {

std::atomic<MenuTextLookup> g_lookup{nullptr};

MenuItem item(const char* text, unsigned id) {
    return {menuText(id, text), id, {}};
}

MenuItem popup(const char* text, std::vector<MenuItem> items) {
    return {menuText(0, text), 0, std::move(items)};
}

MenuItem separator() {
    return {};
}

}  // namespace

std::vector<MenuItem> mainMenu(bool documentOpen) {
    std::vector<MenuItem> file = {
        item("&New...\tCtrl+N", ID_FILE_NEW),
        item("&Open...\tCtrl+O", ID_FILE_OPEN),
        item("&Import...", ID_FILE_IMPORT_LOG),
    };
    if (documentOpen) {
        file.push_back(item("&Save\tCtrl+S", ID_FILE_SAVE));
        file.push_back(item("Save &As...", ID_FILE_SAVE_AS));
        file.push_back(item("Add CAN &Database...", ID_FILE_ADD_CAN_DATABASE));
        file.push_back(separator());
        file.push_back(item("&Export...", ID_FUNCTIONS_EXPORT));
        file.push_back(item("Export As &Log...", ID_FILE_EXPORT_LOG));
        file.push_back(item("Export &Curve Values...", ID_FILE_EXPORT_CURVES));
        file.push_back(separator());
        file.push_back(item("&Print...", ID_FILE_PRINT));
        file.push_back(item("Print Pre&view", ID_FILE_PRINT_PREVIEW));
    }
    file.push_back(item("P&rint Setup...", ID_FILE_PRINT_SETUP));
    file.push_back(separator());
    file.push_back(item("E&xit\tCtrl+X", ID_APP_EXIT));

    std::vector<MenuItem> menu = {popup("&File", file)};
    menu.push_back(
        popup("&View", {item("&Toolbar", ID_VIEW_TOOLBAR), item("&Status Bar", ID_VIEW_STATUS_BAR),
                        item("Curve Information", ID_VIEW_CURVE_INFORMATION),
                        item("Sampling Point Information", ID_VIEW_SAMPLING_POINT_INFORMATION),
                        item("Si&gnals", ID_VIEW_SIGNALS)}));
    if (documentOpen) {
        menu.push_back(popup(
            "F&unctions",
            {item("&Capture\tCtrl+F2", ID_FUNCTIONS_CAPTURE),
             item("S&top\tCtrl+F3", ID_FUNCTIONS_STOP),
             item("C&lear All\tCtrl+Delete", ID_FUNCTIONS_CLEARALL), separator(),
             item("&Manual Message...\tCtrl+M", ID_FUNCTIONS_MANUAL_MESSAGE),
             popup("&Automatic Message", {item("C&onfigure...\tCtrl+Alt+C", ID_AUTO_CONFIGURE),
                                          item("&Start\tCtrl+Alt+S", ID_AUTO_START),
                                          item("S&top\tCtrl+Alt+T", ID_AUTO_STOP)}),
             separator(), item("&Replay...", ID_FUNCTIONS_REPLAY)}));
        menu.push_back(
            popup("&Data List",
                  {item("C&AN\tCtrl+C", ID_DATALIST_CAN),
                   item("&DeviceNet\tCtrl+D", ID_DATALIST_DEVICENET),
                   item("CANo&pen\tCtrl+P", ID_DATALIST_CANOPEN), separator(),
                   item("&Filter... \tCtrl+F", ID_DATALIST_FILTER), separator(),
                   item("Fo&llow Newest Row", ID_DATALIST_FOLLOW),
                   item("C&opy Rows\tCtrl+Ins", ID_EDIT_COPY), separator(),
                   item("Font...", ID_DATALIST_FONT), item("GridLines", ID_DATALIST_GRIDLINES)}));
    }
    menu.push_back(popup("&Options", {item("S&etup...\tCtrl+E", ID_OPTIONS_SETUP),
                                      item("Device Information...", ID_OPTIONS_DEVICE_INFORMATION),
                                      separator(), item("Language", ID_OPTIONS_LANGUAGE)}));
    if (documentOpen) {
        menu.push_back(popup(
            "&Window", {item("&Cascade", ID_WINDOW_CASCADE), item("&Tile", ID_WINDOW_TILE_HORZ),
                        item("&Arrange Icons", ID_WINDOW_ARRANGE), separator(),
                        item("&Overview", ID_WINDOW_OVERVIEW)}));
    }
    menu.push_back(popup("&Help", {item("Help Topics\tF1", ID_HELP_TOPICS), separator(),
                                   item("&About Korvane...", ID_APP_ABOUT)}));
    return menu;
}

MenuItem popupMenu(unsigned resourceId) {
    switch (resourceId) {
        case 199:
            return popup(
                "ListPopupMenu",
                {item("CAN protocol", ID_POPUP_CAN), item("DeviceNet protocol", ID_POPUP_DEVICENET),
                 item("CANopen protocol", ID_POPUP_CANOPEN), item("Filter...", ID_POPUP_FILTER)});
        case 201:
            return popup("ViewChartPopupMenu",
                         {item("Curve", 32860), item("Delete", 32850), item("Rename", 32862)});
        case 203:
            return popup("ViewChart2PopupMenu",
                         {item("Curve", 32851), item("Delete", 32852), item("Rename", 32854)});
        case 211:
            return popup("CanDatabasePopupMenu", {item("&Remove", ID_CANDB_REMOVE)});
        default:
            return popup("Click y(t)", {item("New Window", ID_POPUP_NEW_WINDOW)});
    }
}

const std::vector<unsigned>& toolbarButtons() {
    static const std::vector<unsigned> buttons = {
        ID_FILE_NEW,
        ID_FILE_OPEN,
        ID_FILE_SAVE,
        0,
        ID_DATALIST_CAN,
        ID_DATALIST_DEVICENET,
        ID_DATALIST_CANOPEN,
        0,
        ID_FUNCTIONS_CAPTURE,
        ID_FUNCTIONS_STOP,
        ID_DATALIST_FOLLOW,
        0,
        ID_DATALIST_FILTER,
        0,
        ID_FUNCTIONS_CLEARALL,
        0,
        ID_FUNCTIONS_MANUAL_MESSAGE,
        ID_AUTO_CONFIGURE,
        0,
        ID_AUTO_START,
        ID_AUTO_STOP,
        0,
        ID_FUNCTIONS_EXPORT,
        0,
        ID_HELP_TOPICS,
    };
    return buttons;
}

const std::vector<Accelerator>& accelerators() {
    static const std::vector<Accelerator> table = {
        {ID_FILE_NEW, "Ctrl+N"},           {ID_FILE_OPEN, "Ctrl+O"},
        {ID_FILE_SAVE, "Ctrl+S"},          {ID_HELP_TOPICS, "F1"},
        {ID_APP_EXIT, "Ctrl+X"},           {ID_EDIT_UNDO, "Ctrl+Z"},
        {ID_DATALIST_CAN, "Ctrl+C"},       {ID_DATALIST_DEVICENET, "Ctrl+D"},
        {ID_DATALIST_CANOPEN, "Ctrl+P"},   {ID_OPTIONS_SETUP, "Ctrl+E"},
        {ID_DATALIST_FILTER, "Ctrl+F"},    {ID_FUNCTIONS_MANUAL_MESSAGE, "Ctrl+M"},
        {ID_AUTO_CONFIGURE, "Ctrl+Alt+C"}, {ID_AUTO_START, "Ctrl+Alt+S"},
        {ID_AUTO_STOP, "Ctrl+Alt+T"},      {ID_FUNCTIONS_CLEARALL, "Ctrl+Del"},
        {ID_FUNCTIONS_CAPTURE, "Ctrl+F2"}, {ID_FUNCTIONS_STOP, "Ctrl+F3"},
        // Ctrl+C reads the list as CAN, so copying takes the platform's other copy key.
        {ID_EDIT_COPY, "Ctrl+Ins"},
    };
    return table;
}

void installMenuTextLookup(MenuTextLookup lookup) {
    g_lookup.store(lookup);
}

std::string menuText(unsigned id, const char* englishText) {
    if (const MenuTextLookup lookup = g_lookup.load()) {
        if (const char* translated = lookup(id, englishText)) return translated;
    }
    return englishText;
}
