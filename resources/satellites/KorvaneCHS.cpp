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
    {5300, "\u5df2\u6709\u4e00\u4e2a\u76f8\u540c\u6761\u4ef6\u7684\u9879\u3002"},
    {5301, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 8 \u4e2a\u5b57\u7b26\u3002"},
    {5302, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5303, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X7FF \u8303\u56f4\u5185\u3002"},
    {5304, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X1FFFFFFF \u8303\u56f4\u5185\u3002"},
    {5305, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 9 \u4e2a\u5b57\u7b26\u3002"},
    {5306, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 2047 \u8303\u56f4\u5185\u3002"},
    {5307, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 536870911 \u8303\u56f4\u5185\u3002"},
    {5308, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 0XFF \u8303\u56f4\u5185\u3002"},
    {5309, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 255 \u8303\u56f4\u5185\u3002"},
    {5310, "\u5b57\u7b26\u5fc5\u987b\u5728 0 ~ F \u8303\u56f4\u5185\u3002"},
    {5311, "ID \u5fc5\u987b\u5728 0 ~ 0X3F \u8303\u56f4\u5185"},
    {5312, "\u5b57\u7b26\u5fc5\u987b\u5728 0 ~ 9 \u8303\u56f4\u5185\u3002"},
    {5313, "ID \u5fc5\u987b\u5728 0 ~ 63 \u8303\u56f4\u5185"},
    {5314, "\u5b57\u7b26\u5fc5\u987b\u5728 0 ~ F \u8303\u56f4\u5185\u3002"},
    {5315, "ID \u5fc5\u987b\u5728 0 ~ 0X%02x \u8303\u56f4\u5185"},
    {5316, "ID \u5fc5\u987b\u5728 0 ~ %d \u8303\u56f4\u5185"},
    {5317, "COB-ID \u5fc5\u987b\u5728 0 ~ 0X7FF \u8303\u56f4\u5185\u3002"},
    {5318, "%x,COB-ID \u5b57\u7b26\u4e32\u65e0\u6548\u3002"},
    {5319, "COB-ID \u5fc5\u987b\u5728 0 ~ 2047 \u8303\u56f4\u5185\u3002"},
    {5320, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 0XFF \u8303\u56f4\u5185\uff01"},
    {5321, "\u6b63\u5728\u8fc7\u6ee4\u6570\u636e"},
    {6000, "\u65e0\u6548\u6570\u636e"},
    {6001, "\u8fdc\u7a0b\u5e27"},
    {6002, "\u6807\u51c6\u5e27"},
    {6003, "\u6269\u5c55\u5e27"},
    {7002, "\u6b63\u5728\u5bfc\u51fa\u6570\u636e"},
    {7012, "\u6b63\u5728\u4fdd\u5b58\u6570\u636e"},
    {7013, "\u6b63\u5728\u8f7d\u5165\u6570\u636e"},    // The transmission dialogs and commands.
    {2020, "\u5e8f\u53f7"},
    {5002,
     "\u53d1\u9001 MultiCAN \u6570\u636e \\\"\u505c"
     "\u6b62\\\" \u547d\u4ee4\u51fa\u9519\u3002"},
    {5003,
     "\u6ca1\u6709\u8981\u53d1\u9001\u7684\u6570\u636e\u3002\n\n\u8bf7"
     "\u5148\u5c06\u6570\u636e\u4e0b\u8f7d\u5230\u8bbe\u5907\u3002"},
    {5004,
     "\u591a\u5e27\u53d1\u9001\u5931\u8d25\uff0c\n\n\u8bf7\u68c0\u67e5\uff1a\n1-\u8bbe"
     "\u5907\u7684\u8fde\u63a5\u3002\n2-\u8bbe\u5907\u7684\u914d\u7f6e\u3002"},
    {5005, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 0XFF \u8303\u56f4\u5185\u3002"},
    {5006, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5007, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 255 \u8303\u56f4\u5185\u3002"},
    {5008, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5009, "\u6570\u636e\u6700\u591a\u4e3a 8 \u9879\u3002"},
    {5010,
     "\u4e0b\u8f7d\u6570\u636e\u5931\u8d25\u3002\n\n\u8bf7\u68c0\u67e5\uff1a\n1 \u8bbe"
     "\u5907\u7684\u8fde\u63a5\uff1b\n2 \u8bbe\u5907\u7684\u914d\u7f6e\uff1b"},
    {5011, "\u6ca1\u6709\u53ef\u4e0b\u8f7d\u7684\u6709\u6548\u6570\u636e\u3002"},
    {5016, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X7FF \u8303\u56f4\u5185\u3002"},
    {5017, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X1FFFFFFF \u8303\u56f4\u5185\u3002"},
    {5018, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5019, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 8 \u4e2a\u5b57\u7b26\u3002"},
    {5020, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 2047 \u8303\u56f4\u5185\u3002"},
    {5021, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 536870911 \u8303\u56f4\u5185\u3002"},
    {5022, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5023, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 9 \u4e2a\u5b57\u7b26\u3002"},
    {5074, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 0XFF \u8303\u56f4\u5185\u3002"},
    {5075, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5076, "\u6570\u503c\u5fc5\u987b\u5728 0 ~ 255 \u8303\u56f4\u5185\u3002"},
    {5077, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5078,
     "\u53d1\u9001\u7b2c\u4e00\u6761\u62a5\u6587\u5931\u8d25\u3002\n\n\u8bf7\u68c0\u67e5"
     "\uff1a\n1.ADP4021 \u7684\u8fde\u63a5\u3002\n2.ADP4021 \u7684\u914d\u7f6e\u3002"},
    {5079,
     "\u53d1\u9001\u7b2c\u4e8c\u6761\u62a5\u6587\u5931\u8d25\u3002\n\n\u8bf7\u68c0\u67e5"
     "\uff1a\n1.ADP4021 \u7684\u8fde\u63a5\u3002\n2.ADP4021 \u7684\u914d\u7f6e\u3002"},
    {5080, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X7FF \u8303\u56f4\u5185\u3002"},
    {5081, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 0X1FFFFFFF \u8303\u56f4\u5185\u3002"},
    {5082, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5083, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 8 \u4e2a\u5b57\u7b26\u3002"},
    {5084, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 2047 \u8303\u56f4\u5185\u3002"},
    {5085, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5728 0 ~ 536870911 \u8303\u56f4\u5185\u3002"},
    {5086, "\u65e0\u6548\u5b57\u7b26\u3002"},
    {5087, "\u6807\u8bc6\u7b26\u5fc5\u987b\u5c11\u4e8e 9 \u4e2a\u5b57\u7b26\u3002"},
    {5122, "\u95f4\u9694(ms)\u548c\u5468\u671f(ms)\u5fc5\u987b\u5927\u4e8e 0\u3002"},
    {5230, "\u53d1\u9001\u5931\u8d25"},
    {5231, "\u53d1\u9001\u5931\u8d25"},
    {7013, "\u6b63\u5728\u8f7d\u5165\u6570\u636e"},
    // Logs of other CAN tools.
    {5260, "\u65e5\u5fd7\u4e2d\u6709 %1 \u884c\u88ab\u8df3\u8fc7\uff08%2\uff09\u3002\n\u7b2c\u4e00\u4e2a\u88ab\u8df3\u8fc7\u7684\u662f\u7b2c %3 \u884c\uff1a%4\u3002"},
    {5261, "\u9519\u8bef\u5e27"},
    {5262, "CAN FD \u5e27"},
    {5263, "\u4e0d\u662f CAN \u5e27"},
    {5264, "\u65e0\u6cd5\u89e3\u6790"},
    {5265, "\u884c\u8fc7\u957f"},
    {5266, "\u5728\u6587\u4ef6\u672b\u5c3e\u88ab\u622a\u65ad"},
    {5267, "\u65e0\u6cd5\u6253\u5f00\u65e5\u5fd7\uff1a\n%1"},
    {5268, "\u65e0\u6cd5\u5b8c\u6574\u8bfb\u53d6\u65e5\u5fd7\uff0c\u672a\u5bfc\u5165\uff1a\n%1"},
    {5269, "\u6587\u4ef6\u4e2d\u6ca1\u6709\u53ef\u5bfc\u5165\u7684 CAN \u5e27\u3002\n%1"},
    {5270, "\u5185\u5b58\u4e0d\u8db3\uff1a\u65e5\u5fd7\u672a\u5bfc\u5165\u3002"},
    {5271, "\u65e0\u6cd5\u5199\u5165\u65e5\u5fd7\uff1a%1\n\u539f\u6709\u6587\u4ef6\u672a\u88ab\u6539\u52a8\u3002"},
    {5272, "%1 \u5e27\u88ab\u7565\u53bb\uff1a\u5176\u6807\u8bc6\u7b26\u4e0e\u5e27\u683c\u5f0f\u4e0d\u7b26\u3002"},
    {5273, "\u63a5\u53e3\u540d\u79f0\u5fc5\u987b\u7531 1 \u5230 15 \u4e2a\u5b57\u6bcd\u3001\u6570\u5b57\u3001'_'\u3001'-' \u6216 '.' \u7ec4\u6210\u3002"},
    {32916, "\u7528 candump \u6216 ASC \u65e5\u5fd7\u65b0\u5efa\u6587\u6863\n\u5bfc\u5165"},
    {32917, "\u5c06\u5e27\u5199\u4e3a candump \u6216 ASC \u65e5\u5fd7\n\u5bfc\u51fa\u4e3a\u65e5\u5fd7"},
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
    {"Ready", "\u5c31\u7eea"},    // The transmission dialogs.
    {"Manual Message", "\u624b\u52a8\u53d1\u9001"},
    {"Configure Automatic Message", "\u914d\u7f6e\u81ea\u52a8\u53d1\u9001"},
    {"Hex", "\u5341\u516d\u8fdb\u5236"},
    {"Decimal", "\u5341\u8fdb\u5236"},
    {"Format:", "\u683c\u5f0f\uff1a"},
    {"Buffer 1", "\u7f13\u51b2\u533a 1"},
    {"Buffer 2", "\u7f13\u51b2\u533a 2"},
    {"Identifier:", "\u6807\u8bc6\u7b26\uff1a"},
    {"Size:", "\u957f\u5ea6\uff1a"},
    {"Data:", "\u6570\u636e\uff1a"},
    {"Frame:", "\u5e27\uff1a"},
    {"Data Frame", "\u6570\u636e\u5e27"},
    {"Remote Frame", "\u8fdc\u7a0b\u5e27"},
    {"Send Buffer 1", "\u53d1\u9001\u7f13\u51b2\u533a 1"},
    {"Send Buffer 2", "\u53d1\u9001\u7f13\u51b2\u533a 2"},
    {"Cancel", "\u53d6\u6d88"},
    {"Add", "\u6dfb\u52a0"},
    {"Edit", "\u4fee\u6539"},
    {"Delete", "\u5220\u9664"},
    {"Note: Maximum number of items is 8", "\u6ce8\u610f\uff1a\u6700\u591a 8 \u9879"},
    {"Interval (ms):", "\u95f4\u9694 (ms)\uff1a"},
    {"Cycle (ms):", "\u5468\u671f (ms)\uff1a"},
    {"Download", "\u4e0b\u8f7d"},
    {"Filter in CAN Protocol", "CAN \u534f\u8bae\u8fc7\u6ee4"},
    {"Filter in DeviceNet Protocol", "DeviceNet \u534f\u8bae\u8fc7\u6ee4"},
    {"Filter in CANopen Protocol", "CANopen \u534f\u8bae\u8fc7\u6ee4"},
    {"Advanced Identifier", "\u9ad8\u7ea7\u6807\u8bc6\u7b26"},
    {"Set filter condition", "\u8bbe\u7f6e\u8fc7\u6ee4\u6761\u4ef6"},
    {"Show", "\u663e\u793a"},
    {"Hide", "\u9690\u85cf"},
    {"Mode:", "\u6a21\u5f0f\uff1a"},
    {"Advanced...", "\u9ad8\u7ea7..."},
    {"MAC ID:", "MAC ID\uff1a"},
    {"Source ID:", "\u6e90 ID\uff1a"},
    {"Destination ID:", "\u76ee\u7684 ID\uff1a"},
    {"Method 1:", "\u65b9\u6cd5 1\uff1a"},
    {"Method 2:", "\u65b9\u6cd5 2\uff1a"},
    {"Group:", "\u7ec4\uff1a"},
    {"Message ID:", "\u62a5\u6587 ID\uff1a"},
    {"COB-ID:", "COB-ID\uff1a"},
    {"FunCode:", "\u529f\u80fd\u7801\uff1a"},
    {"Node-ID:", "\u8282\u70b9 ID\uff1a"},
    {"Index", "\u5e8f\u53f7"},
    {"Protocol", "\u534f\u8bae"},
    {"Identifier", "\u6807\u8bc6\u7b26"},
    {"Type", "\u7c7b\u578b"},
    {"Length", "\u957f\u5ea6"},
    {"Data", "\u6570\u636e"},
    {"Group", "\u7ec4"},
    {"Message ID", "\u62a5\u6587 ID"},
    {"Source ID", "\u6e90 ID"},
    {"Destination ID", "\u76ee\u7684 ID"},
    {"Description", "\u63cf\u8ff0"},
    {"FCode", "\u529f\u80fd\u7801"},
    {"Node-ID", "\u8282\u70b9 ID"},
    {"&Import...", "\u5bfc\u5165(&I)..."},
    {"Export As &Log...", "\u5bfc\u51fa\u4e3a\u65e5\u5fd7(&L)..."},
    {"Export As Log", "\u5bfc\u51fa\u4e3a\u65e5\u5fd7"},
    {"Rows", "\u884c"},
    {"The rows the data list shows", "\u6570\u636e\u5217\u8868\u663e\u793a\u7684\u884c"},
    {"All frames", "\u5168\u90e8\u5e27"},
    {"Format", "\u683c\u5f0f"},
    {"candump log (*.log)", "candump \u65e5\u5fd7 (*.log)"},
    {"ASC log (*.asc)", "ASC \u65e5\u5fd7 (*.asc)"},
    {"Interface name:", "\u63a5\u53e3\u540d\u79f0\uff1a"},
    {"Logs (*.log *.asc)", "\u65e5\u5fd7 (*.log *.asc)"},
    {"Import", "\u5bfc\u5165"},
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
