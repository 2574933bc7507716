// The row of eight data edits: named edits, what is typed, and the focus handed on.

#include "widgets/DataEditRow.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

#include <vector>

namespace {

constexpr std::array<int, 8> kIds = {1033, 1018, 1019, 1020, 1021, 1022, 1023, 1024};

}  // namespace

TEST(DataEditRow, TheEditsAreNamedSizedAndPlacedOneColumnEach) {
    QWidget dialog;
    auto* grid = new QGridLayout(&dialog);
    DataEditRow row(kIds, 40, &dialog);
    row.placeIn(grid, 3, 1);
    EXPECT_EQ(row.edit(0)->objectName(), "1033");
    EXPECT_EQ(row.edit(7)->objectName(), "1024");
    EXPECT_EQ(row.edit(3)->width(), 40);
    EXPECT_EQ(grid->itemAtPosition(3, 1)->widget(), row.edit(0));
    EXPECT_EQ(grid->itemAtPosition(3, 8)->widget(), row.edit(7));
    EXPECT_EQ(dialog.findChild<QLineEdit*>("1020"), row.edit(3));
}

TEST(DataEditRow, WhatIsTypedIsToldAndAFullByteHandsTheFocusOnWithItsTextSelected) {
    QWidget dialog;
    auto* grid = new QGridLayout(&dialog);
    DataEditRow row(kIds, 0, &dialog);
    row.placeIn(grid, 0, 0);
    row.setMaxLength(2);
    std::vector<std::pair<int, QString>> typed;
    row.onTyped([&typed, &row](int byte, const QString& text) {
        typed.emplace_back(byte, text);
        if (text.size() == 2) row.handOn(byte);
    });
    row.edit(2)->setText("7F");
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    row.edit(1)->setFocus();
    QTest::keyClicks(row.edit(1), "ab");
    EXPECT_EQ(typed, (std::vector<std::pair<int, QString>>{{1, "a"}, {1, "ab"}}));
    EXPECT_TRUE(row.edit(2)->hasFocus());
    EXPECT_EQ(row.edit(2)->selectedText(), "7F");
    EXPECT_EQ(row.edit(1)->maxLength(), 2);

    // The last byte keeps the focus.
    row.edit(7)->setFocus();
    row.handOn(7);
    EXPECT_TRUE(row.edit(7)->hasFocus());
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
