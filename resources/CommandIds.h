#pragma once

// Command ids of the menus, toolbar and accelerators: the framework's (57600 and up) and the
// program's own (32788 to 32886).

inline constexpr unsigned ID_FILE_NEW = 57600;
inline constexpr unsigned ID_FILE_OPEN = 57601;
inline constexpr unsigned ID_FILE_CLOSE = 57602;
inline constexpr unsigned ID_FILE_SAVE = 57603;
inline constexpr unsigned ID_FILE_SAVE_AS = 57604;
inline constexpr unsigned ID_FILE_PRINT_SETUP = 57606;
inline constexpr unsigned ID_FILE_PRINT = 57607;
inline constexpr unsigned ID_FILE_PRINT_DIRECT = 57608;
inline constexpr unsigned ID_FILE_PRINT_PREVIEW = 57609;
inline constexpr unsigned ID_FILE_MRU_FILE1 = 57616;
inline constexpr unsigned ID_EDIT_UNDO = 57643;
inline constexpr unsigned ID_EDIT_COPY = 57634;
inline constexpr unsigned ID_WINDOW_ARRANGE = 57649;
inline constexpr unsigned ID_WINDOW_CASCADE = 57650;
inline constexpr unsigned ID_WINDOW_TILE_HORZ = 57651;
inline constexpr unsigned ID_APP_ABOUT = 57664;
inline constexpr unsigned ID_APP_EXIT = 57665;
inline constexpr unsigned ID_HELP = 57670;
inline constexpr unsigned ID_VIEW_TOOLBAR = 59392;
inline constexpr unsigned ID_VIEW_STATUS_BAR = 59393;

inline constexpr unsigned ID_FUNCTIONS_EXPORT = 32788;
inline constexpr unsigned ID_FUNCTIONS_CAPTURE = 32789;
inline constexpr unsigned ID_FUNCTIONS_STOP = 32790;
inline constexpr unsigned ID_FUNCTIONS_MANUAL_MESSAGE = 32791;
inline constexpr unsigned ID_FUNCTIONS_CLEARALL = 32793;
inline constexpr unsigned ID_AUTO_CONFIGURE = 32794;
inline constexpr unsigned ID_AUTO_START = 32795;
inline constexpr unsigned ID_AUTO_STOP = 32796;
inline constexpr unsigned ID_OPTIONS_SETUP = 32797;
inline constexpr unsigned ID_DATALIST_CAN = 32799;
inline constexpr unsigned ID_DATALIST_DEVICENET = 32800;
inline constexpr unsigned ID_DATALIST_CANOPEN = 32801;
inline constexpr unsigned ID_DATALIST_FILTER = 32802;
inline constexpr unsigned ID_OPTIONS_DEVICE_INFORMATION = 32803;
inline constexpr unsigned ID_DATALIST_FONT = 32810;
inline constexpr unsigned ID_DATALIST_GRIDLINES = 32811;
inline constexpr unsigned ID_OPTIONS_LANGUAGE = 32828;
inline constexpr unsigned ID_HELP_TOPICS = 32830;
inline constexpr unsigned ID_POPUP_DEVICENET = 32835;
inline constexpr unsigned ID_POPUP_CANOPEN = 32836;
inline constexpr unsigned ID_POPUP_CAN = 32839;
inline constexpr unsigned ID_POPUP_FILTER = 32843;
inline constexpr unsigned ID_POPUP_NEW_WINDOW = 32859;
inline constexpr unsigned ID_VIEW_CURVE_INFORMATION = 32880;
inline constexpr unsigned ID_VIEW_SAMPLING_POINT_INFORMATION = 32881;
// Ours: logs of other CAN tools in and out.
inline constexpr unsigned ID_FILE_IMPORT_LOG = 32916;
inline constexpr unsigned ID_FILE_EXPORT_LOG = 32917;
inline constexpr unsigned ID_DATALIST_FOLLOW = 32920;
// Ours: CAN databases and their signals.
inline constexpr unsigned ID_FILE_ADD_CAN_DATABASE = 32970;
inline constexpr unsigned ID_CANDB_REMOVE = 32971;
inline constexpr unsigned ID_VIEW_SIGNALS = 32972;
inline constexpr unsigned ID_LANGUAGE_FIRST = 28416;
inline constexpr unsigned ID_LANGUAGE_LAST = 28671;
