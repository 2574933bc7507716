#include "views/PrintLayout.h"
#include "views/TextExport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

CapturedFrame frame(std::uint32_t id, std::uint8_t format, std::vector<std::uint8_t> data,
                    std::uint32_t status = 0) {
    CapturedFrame f;
    f.identifier = id;
    f.format = format;
    f.length = static_cast<std::uint8_t>(data.size());
    std::copy(data.begin(), data.end(), f.data);
    f.status = status;
    f.loading = 7;
    f.minutes = 1;
    f.seconds = 2;
    f.millis = 3;
    f.micros = 4;
    return f;
}

class TextExportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        m_path = (std::filesystem::temp_directory_path() /
                  ("export-" + std::to_string(::getpid()) + ".txt"))
                     .string();
    }
    void TearDown() override { std::filesystem::remove(m_path); }

    std::string exported(ProtocolReading reading, const std::vector<CapturedFrame>& frames) {
        FrameStore store;
        FilterState filter;
        ApplicationFlags flags;
        for (const auto& f : frames) store.append(f);
        FilterStep(filter, store, flags);
        const ExportResult r = exportText(m_path, reading, filter.displayIndexList, store,
                                          1'700'000'000, nullptr);  // 2023-11-14 22:13:20 UTC
        EXPECT_TRUE(r.ok());
        std::ifstream in(m_path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static std::string header(int amount, const std::string& columns, int hyphens) {
        return "Message comes from Korvane software.\r\n"
               "Korvane CAN-bus monitor and analyser for the ADP4021 USB-to-CAN adapter.\r\n"
               "Date/time: 2023-11-14 22:13:20\r\n\r\n"
               "Message amount: " +
               std::to_string(amount) + "\r\n\r\n" + columns + "\r\n" +
               std::string(static_cast<std::size_t>(hyphens), '-') + "\r\n";
    }

    std::string m_path;
};

const std::string kCanColumns = "CANIndex Time(m-s-ms-us) Loading(%) IDN    Type  Len   Data";
const std::string kDnColumns =
    "DNIndex Time(m-s-ms-us) Ld(%) IDN Type Grp Src Des Msg Description                       Len  "
    " Data";
const std::string kCoColumns =
    "CopIndex Time(m-s-ms-us) Loading(%) IDN    Type   FC   NID   Description         Len   Data";

}  // namespace

TEST_F(TextExportTest, CanLayout) {
    const std::string expected =
        header(4, kCanColumns, 77) +
        "0000000    01-02-003-004    07    012      Standard    2    01 02 \r\n"
        "0000001    01-02-003-004    07    1FFFFFFF Extended    0    \r\n"
        "0000002    01-02-003-004    07    100      Standard    2    Remote Frame\r\n"
        "0000003    01-02-003-004    07    080      Standard    1    AA \r\n" +
        std::string(83, '-') + "\r\nEnd of message logs.";
    EXPECT_EQ(
        exported(ProtocolReading::kCan, {frame(0x12, 0, {1, 2}), frame(0x1FFFFFFF, 1, {}),
                                         frame(0x100, 0, {5, 6}, 1), frame(0x080, 0, {0xAA}, 2)}),
        expected);
}

// A description cell: its leading spaces and text, padded to the group's width.
std::string described(const std::string& lead, const std::string& text, std::size_t width) {
    std::string cell = lead + text;
    cell.resize(width, ' ');
    return cell;
}

TEST_F(TextExportTest, DeviceNetLayoutInEveryGroup) {
    const std::string row = "  01-02-003-004   07       ";
    const std::string expected =
        header(7, kDnColumns, 114) +
        // group 1, message 1, source 1
        "0000000" + row + "041   Standard  1  01   --     01" + described("    ", "--------", 37) +
        "  1  11 \r\n" +
        // group 2, message 4: source in data byte 0, destination in the identifier
        "0000001" + row + "41C   Standard  2  05   03     04  " +
        described("  ", "Master's Exp Req Msg", 35) + "  1  C5 \r\n" +
        // group 2, message 0: no destination
        "0000002" + row + "408   Standard  2  01   --     00  " +
        described("  ", "Master's I/O Bit-Strobe Cmd Msg", 35) + "  0  \r\n" +
        // group 3, message 6
        "0000003" + row + "7BF   Standard  3  3F   2A     06" +
        described("    ", "Unconn Exp Req Msg", 37) + "  1  2A \r\n" +
        // group 4, message 0x2E with the export's spelling
        "0000004" + row + "7EE   Standard  4  --   --     2E" +
        described("    ", "Offline Ownership Res Msg", 35) + "    0  \r\n" +
        // group 2, message 6 with its export wording, a remote frame
        "0000005" + row + "40E   Standard  2  00   01     06    Grp2 Only Unconn Exp Req Msg(rsd)" +
        "  0  Remote Frame\r\n" +
        // an extended remote frame shows its data bytes
        "0000006  01-02-003-004   07     18FF1021Extended  -  --   --     --    Invalid data" +
        std::string(27, ' ') + "2  01 02 \r\n" + std::string(115, '-') + "\r\nEnd of message logs";
    EXPECT_EQ(exported(ProtocolReading::kDeviceNet,
                       {frame(0x041, 0, {0x11}), frame(0x41C, 0, {0xC5}), frame(0x408, 0, {}),
                        frame(0x7BF, 0, {0x2A}), frame(0x7EE, 0, {}), frame(0x40E, 0, {}, 1),
                        frame(0x18FF1021, 1, {1, 2}, 1)}),
              expected);
}

TEST_F(TextExportTest, CanOpenLayout) {
    const std::string expected =
        header(4, kCoColumns, 109) +
        "0000000    01-02-003-004   07    5FF      Standard    B    7F    SDO (tx)             1   "
        " 01 \r\n"
        "0000001    01-02-003-004   07    600      Standard    C    00    ------               0   "
        " \r\n"
        "0000002    01-02-003-004   07    1FFFFFFF Extended    -    --    Invalid data    0    \r\n"
        "0000003    01-02-003-004   07    701      Standard    E    01    NMT Error Control    0   "
        " Remote Frame\r\n" +
        std::string(109, '-') + "\r\nEnd of message logs";
    EXPECT_EQ(
        exported(ProtocolReading::kCanOpen, {frame(0x5FF, 0, {1}), frame(0x600, 0, {}),
                                             frame(0x1FFFFFFF, 1, {}), frame(0x701, 0, {}, 1)}),
        expected);
}

TEST_F(TextExportTest, NoRowsStillMakeAWholeFile) {
    EXPECT_EQ(exported(ProtocolReading::kCan, {}),
              header(0, kCanColumns, 77) + std::string(83, '-') + "\r\nEnd of message logs.");
}

TEST_F(TextExportTest, AFileThatCannotBeOpenedIsReported) {
    FrameStore store;
    DisplayIndexList rows;
    const ExportResult r =
        exportText("/nonexistent-folder/x.txt", ProtocolReading::kCan, rows, store, 0, nullptr);
    EXPECT_EQ(r.status, ExportResult::kCannotOpen);
}

TEST_F(TextExportTest, AFullDiskIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    for (int i = 0; i < 50'000; ++i) store.append(frame(0x100, 0, {1, 2, 3, 4, 5, 6, 7, 8}));
    FilterStep(filter, store, flags);
    const ExportResult r =
        exportText("/dev/full", ProtocolReading::kCan, filter.displayIndexList, store, 0, nullptr);
    EXPECT_EQ(r.status, ExportResult::kWriteFailed);
}

TEST(PrintLayout, LinesOfTheThreeReadings) {
    const CapturedFrame std12 = frame(0x12, 0, {1, 2});
    EXPECT_EQ(printLine(ProtocolReading::kCan, std12, 0),
              "0000000 :    01-02-003-004    07    012  Standard    2    01 02 ");
    EXPECT_EQ(printLine(ProtocolReading::kDeviceNet, frame(0x41C, 0, {0xC5}), 3),
              "0000003    01-02-003-004   07    41C  Standard    2    05    03    04    Master's "
              "Exp Req Msg" +
                  std::string(54 - 24, ' ') + "    1    C5 ");
    EXPECT_EQ(printLine(ProtocolReading::kDeviceNet, frame(0x1ABCDEF, 1, {}, 1), 1),
              "0000001 :    01-02-003-004    07    1ABCDEF  Extended    --    --    --    --    "
              "Invalid data" +
                  std::string(42, ' ') + "0    Remote Frame");
    EXPECT_EQ(printLine(ProtocolReading::kCanOpen, frame(0x600, 0, {}), 9),
              "0000009    01-02-003-004   07    600  Standard    C    00    ------" +
                  std::string(16, ' ') + "    0    ");
    EXPECT_EQ(printFooter(2, 7), "- Page 2 of 7 -");
}

TEST(PrintLayout, PageCountAndLinePositions) {
    // 6000 device units high, lines of 100: 55 lines a page.
    const PrintMetrics m = PrintMetrics::compute(4800, 6000, 100, 40, 55);
    EXPECT_EQ(m.linesPerPage, 55);
    EXPECT_EQ(m.pageCount, 2u);  // exactly a page of rows: an empty second page
    EXPECT_EQ(m.charsPerLine, 112);
    EXPECT_EQ(m.endRow(1, 55), 55u);
    EXPECT_EQ(m.firstRow(2), 55u);
    EXPECT_EQ(m.endRow(2, 55), 55u);
    EXPECT_EQ(m.lineY(0, 1), 680 + (6000 - 100 - 1300) / 55);
    EXPECT_EQ(PrintMetrics::compute(4800, 6000, 100, 40, 0).pageCount, 1u);
    // A page too small for five lines, or a font of no height, divides by nothing.
    const PrintMetrics tiny = PrintMetrics::compute(0, 3, 0, 0, 3);
    EXPECT_GE(tiny.linesPerPage, 1);
    EXPECT_EQ(tiny.pageCount, 4u);
    EXPECT_EQ(scaleBodyFont(13, 600), 6 * 600 / 72);
    EXPECT_EQ(titleFontHeight(600), 100);
}
