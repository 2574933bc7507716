// The condition list widget: check boxes, row colours and the three notifications.

#include "widgets/ConditionTableCtrl.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

namespace {

std::vector<ConditionTableRow> threeRows() {
    return {{true, {"0", "CAN", "7FF"}}, {false, {"1", "CAN", "****"}}, {true, {"2", "CANopen"}}};
}

TEST(ConditionTableCtrl, RowsShowTheirCellsAndCheckBoxesAndAShortRowLeavesCellsEmpty) {
    ConditionTableCtrl table({"Index", "Protocol", "Identifier"}, {20, 30, 50});
    table.setRows(threeRows());
    ASSERT_EQ(table.rowCount(), 3);
    EXPECT_EQ(table.item(0, 2)->text(), "7FF");
    EXPECT_EQ(table.item(2, 2)->text(), "");
    EXPECT_EQ(table.checkStates(), (std::vector<bool>{true, false, true}));
    table.setRows({{false, {"0"}}});
    EXPECT_EQ(table.rowCount(), 1);
    EXPECT_FALSE(table.isChecked(0));
    EXPECT_FALSE(table.isChecked(5));
}

TEST(ConditionTableCtrl, ColumnWidthsAreFractionsOfTheClientWidthLessTheReserve) {
    ConditionTableCtrl table({"A", "B"}, {25, 75}, 15);
    table.resize(400, 200);
    table.show();
    const int client = table.viewport()->width();
    EXPECT_EQ(table.columnWidths(),
              (std::vector<int>{(client - 15) * 25 / 100, (client - 15) * 75 / 100}));
    EXPECT_EQ(table.columnWidth(1), (client - 15) * 75 / 100);
}

TEST(ConditionTableCtrl, MarkingARowColoursItAndWhitensTheOthersAcrossARefill) {
    ConditionTableCtrl table({"Index", "Protocol", "Identifier"}, {20, 30, 50});
    table.setRows(threeRows());
    EXPECT_FALSE(table.rowColour(1).has_value());
    table.markRow(1);
    EXPECT_EQ(table.rowColour(1), kSelectedRowColour);
    EXPECT_EQ(table.rowColour(0), kRowColour);
    EXPECT_EQ(table.item(1, 2)->background().color(), QColor(0xEF, 0xEF, 0xEF));
    table.setRows(threeRows());
    EXPECT_EQ(table.item(1, 0)->background().color(), QColor(0xEF, 0xEF, 0xEF));
    EXPECT_EQ(table.item(2, 1)->background().color(), QColor(Qt::white));
}

TEST(ConditionTableCtrl, ClicksAndTicksReachTheOwnerButRefillsDoNot) {
    ConditionTableCtrl table({"Index", "Protocol", "Identifier"}, {20, 30, 50});
    table.resize(400, 300);
    table.show();
    std::vector<std::pair<int, bool>> toggled;
    std::vector<int> clicked;
    int beside = 0;
    table.onCheckToggled = [&](int row, bool on) { toggled.emplace_back(row, on); };
    table.onRowClicked = [&](int row) { clicked.push_back(row); };
    table.onClickedBesideRows = [&] { ++beside; };
    table.setRows(threeRows());
    EXPECT_TRUE(toggled.empty());

    const QRect second = table.visualItemRect(table.item(1, 2));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(clicked, std::vector<int>{1});
    table.item(1, 0)->setCheckState(Qt::Checked);
    EXPECT_EQ(toggled, (std::vector<std::pair<int, bool>>{{1, true}}));
    table.markRow(2);
    EXPECT_EQ(toggled.size(), 1u);

    QTest::mouseClick(table.viewport(), Qt::LeftButton, {},
                      QPoint(5, table.viewport()->height() - 5));
    EXPECT_EQ(beside, 1);
    EXPECT_EQ(clicked.size(), 1u);
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
