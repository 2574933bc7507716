#include "views/DataListCells.h"

#include <gtest/gtest.h>

namespace {

CapturedFrame frame(std::uint32_t id, std::uint8_t format, std::uint8_t length,
                    std::uint32_t status = 0) {
    CapturedFrame f;
    f.identifier = id;
    f.format = format;
    f.length = length;
    f.status = status;
    f.loading = 7;
    f.minutes = 69;
    f.seconds = 54;
    f.millis = 303;
    f.micros = 5;
    for (int i = 0; i < 8; ++i) f.data[i] = static_cast<std::uint8_t>(0xA0 + i);
    return f;
}

std::vector<std::string> row(const CapturedFrame& f, ProtocolReading reading,
                             std::uint32_t r = 12) {
    std::vector<std::string> cells;
    for (int c = 0; c < static_cast<int>(dataListColumns(reading).size()); ++c) {
        cells.push_back(dataListCell(f, r, c, reading));
    }
    return cells;
}

using Cells = std::vector<std::string>;

}  // namespace

TEST(DataListCells, CanReading) {
    EXPECT_EQ(row(frame(0x7FF, 0, 2), ProtocolReading::kCan),
              (Cells{"12", "69-54-303-005", " 7", "7FF", "Standard", "2", "A0 A1 "}));
    EXPECT_EQ(row(frame(0x1FFFFFFF, 1, 0), ProtocolReading::kCan).at(3), "1FFFFFFF");
    EXPECT_EQ(row(frame(0x1FFFFFFF, 1, 0), ProtocolReading::kCan).at(4), "Extended");
    EXPECT_EQ(row(frame(0x100, 0, 0), ProtocolReading::kCan).at(6), "");
    EXPECT_EQ(row(frame(0x100, 0, 8, 1), ProtocolReading::kCan).at(6), "Remote Frame");
    // A length above 8 (from a damaged file) never shows bytes beyond the eight there are.
    EXPECT_EQ(row(frame(0x100, 0, 12), ProtocolReading::kCan).at(6), "A0 A1 A2 A3 A4 A5 A6 A7 ");
}

TEST(DataListCells, DeviceNetReading) {
    EXPECT_EQ(row(frame(0x41C, 0, 1), ProtocolReading::kDeviceNet),
              (Cells{"12", "69-54-303-005", "07", "41C", "Standard", "2", "20", "03", "04",
                     "Master's Exp Req Msg", "1", "A0 "}));
    EXPECT_EQ(row(frame(0x18FF1021, 1, 2), ProtocolReading::kDeviceNet),
              (Cells{"12", "69-54-303-005", "07", "18FF1021", "Extended", "--", "--", "--", "--",
                     "Invalid data", "2", "A0 A1 "}));
    const Cells remote = row(frame(0x7F0, 0, 0, 1), ProtocolReading::kDeviceNet);
    EXPECT_EQ(remote.at(5), "4");
    EXPECT_EQ(remote.at(8), "30");
    EXPECT_EQ(remote.at(9), "Invalid data");
    EXPECT_EQ(remote.at(11), "Remote Frame");
    EXPECT_EQ(row(frame(0x7F0, 0, 0), ProtocolReading::kDeviceNet).at(9),
              "Invalid CAN Identifiers");
}

TEST(DataListCells, CanOpenReadingAndStatusTwo) {
    EXPECT_EQ(
        row(frame(0x5FF, 0, 1), ProtocolReading::kCanOpen),
        (Cells{"12", "69-54-303-005", "07", "5FF", "Standard", "B", "7F", "SDO (tx)", "1", "A0 "}));
    EXPECT_EQ(row(frame(0x5FF, 1, 1), ProtocolReading::kCanOpen).at(7), "Invalid data");
    EXPECT_EQ(row(frame(0x5FF, 1, 1), ProtocolReading::kCanOpen).at(5), "--");
    // Status 2 is neither kind: its bytes show, except in the CANopen reading.
    const auto odd = frame(0x181, 0, 1, 2);
    EXPECT_EQ(row(odd, ProtocolReading::kCan).at(6), "A0 ");
    EXPECT_EQ(row(odd, ProtocolReading::kDeviceNet).at(11), "A0 ");
    EXPECT_EQ(row(odd, ProtocolReading::kCanOpen).at(9), "Remote Frame");
    EXPECT_EQ(row(frame(0x701, 0, 0, 1), ProtocolReading::kCanOpen).at(7), "NMT Error Control");
}

TEST(DataListCells, ColumnWidths) {
    EXPECT_EQ(dataListColumnWidths(ProtocolReading::kCan, 1018),
              (std::vector<int>{150, 200, 100, 100, 100, 100, 250}));
    const auto co = dataListColumnWidths(ProtocolReading::kCanOpen, 1018);
    EXPECT_EQ(co.size(), 10u);
    EXPECT_EQ(co[0], 50);  // 5 % of the whole width
    EXPECT_EQ(co[1], 100);
    EXPECT_EQ(dataListColumnWidths(ProtocolReading::kDeviceNet, 1018).size(), 12u);
}

TEST(DataListCells, RowsThatAreGoneShowNothing) {
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    store.append(frame(0x123, 0, 1));
    FilterStep(filter, store, flags);
    EXPECT_EQ(dataListCellText(filter, store, flags, 0, 3, ProtocolReading::kCan), "123");
    EXPECT_EQ(dataListCellText(filter, store, flags, 1, 3, ProtocolReading::kCan), "");
    // Cleared before the list heard of it: the row still counts, the frame is gone.
    store.clear();
    EXPECT_EQ(dataListCellText(filter, store, flags, 0, 3, ProtocolReading::kCan), "");
    store.append(frame(0x123, 0, 1));
    flags.set(ApplicationFlags::kClearing);
    EXPECT_EQ(dataListCellText(filter, store, flags, 0, 3, ProtocolReading::kCan), "");
}
