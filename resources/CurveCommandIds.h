#pragma once

// Command ids of the chart windows, their popups and the curve information list ("ListCtrlMF").

inline constexpr unsigned ID_YX_CURVE = 32851;
inline constexpr unsigned ID_YX_DELETE = 32852;
inline constexpr unsigned ID_YX_RENAME = 32854;
inline constexpr unsigned ID_YT_DELETE = 32850;
inline constexpr unsigned ID_YT_CURVE = 32860;
inline constexpr unsigned ID_YT_RENAME = 32862;
inline constexpr unsigned ID_INFO_NAME = 32863;
inline constexpr unsigned ID_INFO_COLOR = 32864;
inline constexpr unsigned ID_INFO_SHOW = 32865;
inline constexpr unsigned ID_INFO_AXIS = 32866;
inline constexpr unsigned ID_INFO_IDENTIFIER = 32867;
inline constexpr unsigned ID_INFO_MINVALUE = 32869;
inline constexpr unsigned ID_INFO_MININDEX = 32870;
inline constexpr unsigned ID_INFO_MAXVALUE = 32871;
inline constexpr unsigned ID_INFO_MAXINDEX = 32872;
inline constexpr unsigned ID_INFO_MOUSEVALUE = 32873;
inline constexpr unsigned ID_INFO_GRIDLINES = 32878;
// File > Export Curve Values...
inline constexpr unsigned ID_FILE_EXPORT_CURVES = 32887;
