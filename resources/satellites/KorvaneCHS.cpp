// The Simplified Chinese language library: while it is loaded its texts replace the program's
// own strings, menus and dialog texts.

#include "resources/Satellite.h"

#include <cstring>

namespace {

struct StringEntry {
    std::uint32_t id;
    const char* text;
};

constexpr StringEntry kStrings[] = {
    {119, "\u8bf7\u91cd\u65b0\u542f\u52a8 %1"},
    {2001, "CAN-\u5e8f\u53f7"},
    {2002, "\u65f6\u95f4(\u5206-\u79d2-\u6beb\u79d2-\u5fae\u79d2)"},
    {2003, "\u8d1f\u8f7d\u7387(%)"},
    {2004, "\u6807\u8bc6\u7b26"},
    {2005, "\u7c7b\u578b"},
    {2006, "\u957f\u5ea6"},
    {2007, "\u6570\u636e"},
    {2008, "DeviceNet-\u5e8f\u53f7"},
    {2009, "\u7ec4"},
    {2010, "\u6e90 ID"},
    {2011, "\u76ee\u7684 ID"},
    {2012, "\u62a5\u6587 ID"},
    {2013, "\u63cf\u8ff0"},
    {2014, "CANopen-\u5e8f\u53f7"},
    {2016, "\u529f\u80fd\u7801"},
    {2017, "\u8282\u70b9 ID"},
    {2018, "\u63cf\u8ff0"},
    {5000,
     "\u8bbe\u5907\u9519\u8bef\uff0c\n\n\u8bf7\u68c0\u67e5\uff1a\n1-"
     "\u8bbe\u5907\u7684\u8fde\u63a5\u3002\n2-\u8bbe\u5907\u7684\u914d\u7f6e\u3002"},
    {5001, "\u8bbe\u5907\u65e0\u6cd5\u8fd0\u884c\uff0c\n\u8bf7\u518d\u8bd5\u4e00\u6b21\u3002"},
    {5025, "ADP4021 \u901a\u4fe1\u9519\u8bef\u3002"},
    {5026,
     "\u8bbe\u5907\u8bbe\u7f6e\u5931\u8d25\u3002\n\n\u8bf7\u68c0\u67e5\uff1a\n1.ADP4021 "
     "\u7684\u8fde\u63a5\u3002"},
    {5123, "\u8bbe\u5907\u6b63\u5728\u91c7\u96c6\u6570\u636e\uff0c\u8bf7\u5148\u505c\u6b62\u3002"},
    {5132, "\u6b64\u7a97\u53e3\u4e0d\u80fd\u5173\u95ed\u3002"},
    {5133, "\u8bf7\u5148\u505c\u6b62\u8bbe\u5907\u3002"},
    {5202, "\u8bbe\u7f6e\u4fe1\u606f"},
    {5203, "\u4e0d\u80fd\u521b\u5efa\u4e24\u4e2a\u6587\u6863\uff01"},
    {5206, "\u8bf7\u7a0d\u5019 ......"},
    {5240,
     "\u4e0e\u9002\u914d\u5668\u7684\u8fde\u63a5\u5df2\u65ad\u5f00\uff1a\u91c7\u96c6\u5df2"
     "\u505c\u6b62\u3002\n\u5df2\u91c7\u96c6\u7684\u5e27\u4ecd\u7136\u4fdd\u7559\u3002"},
    {5241,
     "\u91c7\u96c6\u7684\u5e27\u5c1a\u672a\u4fdd\u5b58\u3002\n\u4ecd\u8981\u5168\u90e8"
     "\u6e05\u9664\u5417\uff1f"},
    {5242, "\u4e0e\u9002\u914d\u5668\u7684\u8fde\u63a5\u5df2\u65ad\u5f00"},
    {5243, "\u4e22\u5931\uff1a%1"},
    {6000, "\u65e0\u6548\u6570\u636e"},
    {6001, "\u8fdc\u7a0b\u5e27"},
    {6002, "\u6807\u51c6\u5e27"},
    {6003, "\u6269\u5c55\u5e27"},
    {7002, "\u6b63\u5728\u5bfc\u51fa\u6570\u636e"},
    {7012, "\u6b63\u5728\u4fdd\u5b58\u6570\u636e"},
    {7013, "\u6b63\u5728\u8f7d\u5165\u6570\u636e"},
    {5244, "\u8981\u4fdd\u5b58\u5bf9 %1 \u7684\u4fee\u6539\u5417\uff1f"},
    {5245, "\u65e0\u6cd5\u4fdd\u5b58\u6587\u6863\uff1a%1\n\u539f\u6709\u6587\u4ef6\u4fdd\u6301\u4e0d\u53d8\u3002"},
    {32788, "\u628a\u6570\u636e\u5217\u8868\u7684\u884c\u5bfc\u51fa\u5230\u6587\u672c\u6587\u4ef6\n\u5bfc\u51fa"},
    {32789, "\u5f00\u59cb\u4ece\u603b\u7ebf\u91c7\u96c6\u5e27\n\u91c7\u96c6"},
    {32790, "\u505c\u6b62\u91c7\u96c6\n\u505c\u6b62"},
    {32791, "\u53d1\u9001\u624b\u52a8\u8f93\u5165\u7684\u5e27\n\u624b\u52a8\u53d1\u9001"},
    {32793, "\u6e05\u9664\u5168\u90e8\u5df2\u91c7\u96c6\u7684\u5e27\n\u5168\u90e8\u6e05\u9664"},
    {32794, "\u914d\u7f6e\u5faa\u73af\u53d1\u9001\u7684\u5e27\u7ec4\n\u914d\u7f6e"},
    {32795, "\u5f00\u59cb\u5faa\u73af\u53d1\u9001\n\u5f00\u59cb"},
    {32796, "\u505c\u6b62\u5faa\u73af\u53d1\u9001\n\u505c\u6b62"},
    {32797, "\u8bbe\u7f6e\u9002\u914d\u5668\n\u8bbe\u7f6e"},
    {32799, "\u6309 CAN \u89e3\u8bfb\u5e27\nCAN"},
    {32800, "\u6309 DeviceNet \u89e3\u8bfb\u5e27\nDeviceNet"},
    {32801, "\u6309 CANopen \u89e3\u8bfb\u5e27\nCANopen"},
    {32802, "\u8fc7\u6ee4\u6570\u636e\u5217\u8868\u4e2d\u7684\u5e27\n\u8fc7\u6ee4"},
    {32803, "\u663e\u793a\u9002\u914d\u5668\u7684\u72b6\u6001\u548c\u56fa\u4ef6\n\u8bbe\u5907\u4fe1\u606f"},
    {32830, "\u6253\u5f00\u5e2e\u52a9\n\u5e2e\u52a9\u4e3b\u9898"},
    {32920, "\u5e27\u5230\u8fbe\u65f6\u59cb\u7ec8\u663e\u793a\u6700\u65b0\u4e00\u884c\uff08\u6309 End \u952e\u6062\u590d\uff09\n\u8ddf\u968f\u6700\u65b0\u884c"},
    {57600, "\u65b0\u5efa\u6587\u6863\n\u65b0\u5efa"},
    {57601, "\u6253\u5f00\u5df2\u6709\u6587\u6863\n\u6253\u5f00"},
    {57603, "\u4fdd\u5b58\u5f53\u524d\u6587\u6863\n\u4fdd\u5b58"},
    {57607, "\u6253\u5370\u6570\u636e\u5217\u8868\u7684\u884c\n\u6253\u5370"},
    {57634, "\u628a\u9009\u4e2d\u7684\u884c\u590d\u5236\u4e3a\u6587\u672c\u884c\n\u590d\u5236\u884c"},
    {57664, "\u663e\u793a\u7a0b\u5e8f\u4fe1\u606f\u3001\u7248\u672c\u53f7\u548c\u7248\u6743\n\u5173\u4e8e"},
    {57665, "\u9000\u51fa\u5e94\u7528\u7a0b\u5e8f\n\u9000\u51fa"},
    {5088, "\u65e0\u6cd5\u521b\u5efa\u6253\u5370\u673a\u8bbe\u5907\u4e0a\u4e0b\u6587"},
    {5089, "\u6253\u5f00\u6587\u4ef6\u65f6\u51fa\u9519\u3002"},
    {5200, "\u5185\u5b58\u4e0d\u8db3\uff1a\u91c7\u96c6\u5df2\u505c\u6b62\u3002\n\u5df2\u91c7\u96c6\u7684\u5e27\u4ecd\u7136\u4fdd\u7559\uff1b\u8bf7\u5148\u4fdd\u5b58\uff0c\u7136\u540e\u6e05\u9664\u5217\u8868\u518d\u91cd\u65b0\u91c7\u96c6\u3002"},
    {5204, "\u9519\u8bef"},
    {5207, "***\u9519\u8bef\uff1a\u65e0\u6cd5\u53d6\u5f97\u6b63\u786e\u7684\u8bed\u8a00\u4ee3\u7801\uff01"},
};

struct TextEntry {
    const char* english;
    const char* text;
};

// Menus, dialog captions and labels.
constexpr TextEntry kTexts[] = {
    {"&File", "\u6587\u4ef6(&F)"},
    {"&New...\tCtrl+N", "\u65b0\u5efa(&N)...\tCtrl+N"},
    {"&Open...\tCtrl+O", "\u6253\u5f00(&O)...\tCtrl+O"},
    {"&Save\tCtrl+S", "\u4fdd\u5b58(&S)\tCtrl+S"},
    {"Save &As...", "\u53e6\u5b58\u4e3a(&A)..."},
    {"&Export...", "\u5bfc\u51fa(&E)..."},
    {"&Print...", "\u6253\u5370(&P)..."},
    {"Print Pre&view", "\u6253\u5370\u9884\u89c8(&V)"},
    {"P&rint Setup...", "\u6253\u5370\u8bbe\u7f6e(&R)..."},
    {"E&xit\tCtrl+X", "\u9000\u51fa(&X)\tCtrl+X"},
    {"&View", "\u67e5\u770b(&V)"},
    {"&Toolbar", "\u5de5\u5177\u680f(&T)"},
    {"&Status Bar", "\u72b6\u6001\u680f(&S)"},
    {"Curve Information", "\u66f2\u7ebf\u4fe1\u606f"},
    {"Sampling Point Information", "\u91c7\u6837\u70b9\u4fe1\u606f"},
    {"F&unctions", "\u529f\u80fd(&U)"},
    {"&Capture\tCtrl+F2", "\u91c7\u96c6(&C)\tCtrl+F2"},
    {"S&top\tCtrl+F3", "\u505c\u6b62(&T)\tCtrl+F3"},
    {"C&lear All\tCtrl+Delete", "\u5168\u90e8\u6e05\u9664(&L)\tCtrl+Delete"},
    {"&Manual Message...\tCtrl+M", "\u624b\u52a8\u53d1\u9001(&M)...\tCtrl+M"},
    {"&Automatic Message", "\u81ea\u52a8\u53d1\u9001(&A)"},
    {"C&onfigure...\tCtrl+Alt+C", "\u914d\u7f6e(&O)...\tCtrl+Alt+C"},
    {"&Start\tCtrl+Alt+S", "\u5f00\u59cb(&S)\tCtrl+Alt+S"},
    {"S&top\tCtrl+Alt+T", "\u505c\u6b62(&T)\tCtrl+Alt+T"},
    {"&Data List", "\u6570\u636e\u5217\u8868(&D)"},
    {"&Filter... \tCtrl+F", "\u8fc7\u6ee4(&F)... \tCtrl+F"},
    {"Font...", "\u5b57\u4f53..."},
    {"GridLines", "\u7f51\u683c\u7ebf"},
    {"&Options", "\u9009\u9879(&O)"},
    {"S&etup...\tCtrl+E", "\u8bbe\u7f6e(&E)...\tCtrl+E"},
    {"Device Information...", "\u8bbe\u5907\u4fe1\u606f..."},
    {"Language", "\u8bed\u8a00"},
    {"&Window", "\u7a97\u53e3(&W)"},
    {"&Cascade", "\u5c42\u53e0(&C)"},
    {"&Tile", "\u5e73\u94fa(&T)"},
    {"&Arrange Icons", "\u6392\u5217\u56fe\u6807(&A)"},
    {"&Help", "\u5e2e\u52a9(&H)"},
    {"Help Topics\tF1", "\u5e2e\u52a9\u4e3b\u9898\tF1"},
    {"&About Korvane...", "\u5173\u4e8e Korvane(&A)..."},
    {"CAN protocol", "CAN \u534f\u8bae"},
    {"DeviceNet protocol", "DeviceNet \u534f\u8bae"},
    {"CANopen protocol", "CANopen \u534f\u8bae"},
    {"Filter...", "\u8fc7\u6ee4..."},
    {"New Window", "\u65b0\u5efa\u7a97\u53e3"},
    {"Device Setup", "\u8bbe\u5907\u8bbe\u7f6e"},
    {"Configure Parameters", "\u914d\u7f6e\u53c2\u6570"},
    {"USB Device:", "USB \u8bbe\u5907\uff1a"},
    {"Work Mode:", "\u5de5\u4f5c\u6a21\u5f0f\uff1a"},
    {"Baud Rate(Kbps):", "\u6ce2\u7279\u7387(Kbps)\uff1a"},
    {"Frame Type:", "\u5e27\u7c7b\u578b\uff1a"},
    {"Device Information", "\u8bbe\u5907\u4fe1\u606f"},
    {"Status:", "\u72b6\u6001\uff1a"},
    {"Firmware:", "\u56fa\u4ef6\uff1a"},
    {"Data List", "\u6570\u636e\u5217\u8868"},
    {"About Korvane", "\u5173\u4e8e Korvane"},
    {"Ready", "\u5c31\u7eea"},
    {"Lost frames:", "\u4e22\u5931\u5e27\u6570\uff1a"},
    {"Run", "\u8fd0\u884c"},
    {"Stop", "\u505c\u6b62"},
    {"Monitor ACK mode", "\u76d1\u542c\u5e94\u7b54\u6a21\u5f0f"},
    {"Monitor Non-ACK mode", "\u76d1\u542c\u4e0d\u5e94\u7b54\u6a21\u5f0f"},
    {"Standard", "\u6807\u51c6\u5e27"},
    {"Extend", "\u6269\u5c55\u5e27"},
    {"Toolbar", "\u5de5\u5177\u680f"},
    {"Close", "\u5173\u95ed"},
    {"All Files (*.*)", "\u6240\u6709\u6587\u4ef6 (*.*)"},
    {"Korvane Text Files (*.txt)", "Korvane \u6587\u672c\u6587\u4ef6 (*.txt)"},
    {"CAN-bus monitor and analyser for the ADP4021 USB-to-CAN adapter.", "\u7528\u4e8e ADP4021 USB-CAN \u9002\u914d\u5668\u7684 CAN \u603b\u7ebf\u76d1\u89c6\u4e0e\u5206\u6790\u8f6f\u4ef6\u3002"},
    {"Help: Help Topics (F1) in the Help menu.", "\u5e2e\u52a9\uff1a\u201c\u5e2e\u52a9\u201d\u83dc\u5355\u4e2d\u7684\u201c\u5e2e\u52a9\u4e3b\u9898\u201d(F1)\u3002"},
    {"Fo&llow Newest Row", "\u8ddf\u968f\u6700\u65b0\u884c(&L)"},
    {"C&opy Rows	Ctrl+Ins", "\u590d\u5236\u884c(&O)	Ctrl+Ins"},
    {"Curve", "\u66f2\u7ebf"},
    {"Delete", "\u5220\u9664"},
    {"Rename", "\u91cd\u547d\u540d"},
    {"Untitled", "\u65e0\u6807\u9898"},
};

}  // namespace

extern "C" {

__attribute__((visibility("default"))) std::uint16_t KorvaneTranslationId() {
    return 0x0804;
}

__attribute__((visibility("default"))) const char* KorvaneString(std::uint32_t id) {
    for (const StringEntry& e : kStrings) {
        if (e.id == id) return e.text;
    }
    return nullptr;
}

__attribute__((visibility("default"))) const char* KorvaneText(const char* english) {
    for (const TextEntry& e : kTexts) {
        if (std::strcmp(e.english, english) == 0) return e.text;
    }
    return nullptr;
}

}  // extern "C"
