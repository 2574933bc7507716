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
    {6000, "\u65e0\u6548\u6570\u636e"},
    {6001, "\u8fdc\u7a0b\u5e27"},
    {6002, "\u6807\u51c6\u5e27"},
    {6003, "\u6269\u5c55\u5e27"},
    {7002, "\u6b63\u5728\u5bfc\u51fa\u6570\u636e"},
    {7012, "\u6b63\u5728\u4fdd\u5b58\u6570\u636e"},
    {7013, "\u6b63\u5728\u8f7d\u5165\u6570\u636e"},
    {5115, "[\u5206-\u79d2-\u6beb\u79d2]"},
    {5116, "\u5e8f\u53f7"},
    {5117, "\u540d\u79f0"},
    {5118, "\u6807\u8bc6\u7b26(\u5341\u516d\u8fdb\u5236)"},
    {5119, "\u663e\u793a"},
    {5120, "\u989c\u8272"},
    {5121, "Y \u8f74\u5206\u8fa8\u7387"},
    {5124, "\u5e8f\u53f7"},
    {5125, "\u540d\u79f0"},
    {5126, "\u540c\u6b65(\u5341\u516d\u8fdb\u5236)"},
    {5127, "X-\u6807\u8bc6\u7b26(\u5341\u516d\u8fdb\u5236)"},
    {5128, "Y-\u6807\u8bc6\u7b26(\u5341\u516d\u8fdb\u5236)"},
    {5129, "\u663e\u793a"},
    {5130, "\u989c\u8272"},
    {5131, "\u5206\u8fa8\u7387"},
    {5340, "\u6b64\u89c6\u56fe\u6700\u591a\u652f\u6301 4 \u6761\u66f2\u7ebf\u3002"},
    {5341, "\u540d\u79f0\u65e0\u6548\u3002"},
    {5342, "\u5df2\u6709\u540c\u540d\u66f2\u7ebf\uff0c\t\u8bf7\u8f93\u5165\u5176\u4ed6\u540d\u79f0\u3002"},
    {5343, "X \u8f74\u6807\u8bc6\u7b26\u65e0\u6548\u3002"},
    {5344, "Y \u8f74\u6807\u8bc6\u7b26\u65e0\u6548\u3002"},
    {5345, "Y \u8f74\u6700\u5c0f\u503c\u65e0\u6548\u3002"},
    {5346, "Y \u539f\u70b9\u7684\u503c\u65e0\u6548\u3002"},
    {5347, "X \u8f74\u6700\u5c0f\u503c\u65e0\u6548\u3002"},
    {5348, "X \u539f\u70b9\u7684\u503c\u65e0\u6548\u3002"},
    {5349, "\u5206\u8fa8\u7387\u4e0d\u80fd\u4e3a\u7a7a\u3002"},
    {5350, "\u65f6\u95f4\u8303\u56f4\u7684\u6700\u5c0f\u503c\u65e0\u6548\u3002"},
    {5351, "\u6570\u636e\u4e0d\u80fd\u8d85\u8fc7\u56db\u4e2a\u5b57\u8282\u3002"},
    {5352, "\u540c\u6b65\u4fe1\u53f7\u7684\u503c\u65e0\u6548\u3002"},
    {5353, "\u5fc5\u987b\u8f93\u5165\u540d\u79f0\u3002"},
    {5354, "\u786e\u5b9a\u8981\u5220\u9664\u6b64\u89c6\u56fe\u5417\uff1f"},
    {5355, "\u8bf7\u8f93\u5165\u5176\u4ed6\u540d\u79f0\u3002"},
    {5356, "\u8bf7\u5148\u6fc0\u6d3b\u4e00\u4e2a\u66f2\u7ebf\u7a97\u53e3\u3002"},
    {10001, "\u540d\u79f0"},
    {10002, "\u8f74"},
    {10003, "\u989c\u8272"},
    {10004, "\u663e\u793a"},
    {10005, "\u6807\u8bc6\u7b26"},
    {10006, "\u9f20\u6807\u503c"},
    {10007, "\u6700\u5c0f\u503c"},
    {10008, "\u6700\u5c0f\u503c\u5e8f\u53f7"},
    {10009, "\u6700\u5927\u503c"},
    {10010, "\u6700\u5927\u503c\u5e8f\u53f7"},
    {10011, "\u542f\u7528"},
    {10012, "\u7981\u7528"},
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
    // Chart windows, curve dialogs and the curve information list.
    {"New Curve Window", "\u65b0\u5efa\u66f2\u7ebf\u7a97\u53e3"},
    {"Type:", "\u7c7b\u578b\uff1a"},
    {"Name:", "\u540d\u79f0\uff1a"},
    {"Rename", "\u91cd\u547d\u540d"},
    {"y(t) Curve", "y(t) \u66f2\u7ebf"},
    {"y(x) Curve", "y(x) \u66f2\u7ebf"},
    {"Identifier(Hex):", "\u6807\u8bc6\u7b26(\u5341\u516d\u8fdb\u5236)\uff1a"},
    {"Y Org:", "Y \u539f\u70b9\uff1a"},
    {"X Org:", "X \u539f\u70b9\uff1a"},
    {"Resolution:", "\u5206\u8fa8\u7387\uff1a"},
    {"Data:", "\u6570\u636e\uff1a"},
    {"Signed", "\u6709\u7b26\u53f7"},
    {"Reverse", "\u53cd\u5e8f"},
    {"Time Resolution:", "\u65f6\u95f4\u5206\u8fa8\u7387\uff1a"},
    {"Auto Move:", "\u81ea\u52a8\u79fb\u52a8\uff1a"},
    {"Enable", "\u542f\u7528"},
    {"Disable", "\u7981\u7528"},
    {"Y Axis:", "Y \u8f74\uff1a"},
    {"Show:", "\u663e\u793a\uff1a"},
    {"Color:", "\u989c\u8272\uff1a"},
    {"Add", "\u6dfb\u52a0"},
    {"Edit", "\u7f16\u8f91"},
    {"Delete", "\u5220\u9664"},
    {"Multi", "\u591a\u8f74"},
    {"Single", "\u5355\u8f74"},
    {"Y Axis", "Y \u8f74"},
    {"X Axis", "X \u8f74"},
    {"Curve", "\u66f2\u7ebf"},
    {"Synchronizing Signal(Hex):", "\u540c\u6b65\u4fe1\u53f7(\u5341\u516d\u8fdb\u5236)\uff1a"},
    {"Export &Curve Values...", "\u5bfc\u51fa\u66f2\u7ebf\u6570\u503c(&C)..."},
    {"Name", "\u540d\u79f0"},
    {"Color", "\u989c\u8272"},
    {"Show", "\u663e\u793a"},
    {"Axis", "\u8f74"},
    {"Identifier", "\u6807\u8bc6\u7b26"},
    {"MinValue", "\u6700\u5c0f\u503c"},
    {"MinIndex", "\u6700\u5c0f\u503c\u5e8f\u53f7"},
    {"MaxValue", "\u6700\u5927\u503c"},
    {"MaxIndex", "\u6700\u5927\u503c\u5e8f\u53f7"},
    {"MouseValue", "\u9f20\u6807\u503c"},
    {"Grid Lines", "\u7f51\u683c\u7ebf"},
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
