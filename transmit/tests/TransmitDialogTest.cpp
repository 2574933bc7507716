// The two transmission dialogs on screen: what the user types and clicks reaches the logic, and
// the controls follow it.

#include "widgets/ConditionTableCtrl.h"
#include "transmit/AutoMessageDialog.h"
#include "transmit/ManualMessageDialog.h"
#include "transmit/tests/TransmitFakes.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class TransmitDialogTest : public ::testing::Test {
protected:
    std::vector<std::uint32_t> shownIds() const {
        std::vector<std::uint32_t> ids;
        for (const auto& m : m_messages.shown()) ids.push_back(m.stringId);
        return ids;
    }
    SendingDevice m_device;
    DeviceCommands m_commands{m_device};
    FrameStore m_store;
    CaptureState m_state;
    MessageRecorder m_messages;
    bool m_hex = true;
};

void type(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    QTest::keyClicks(edit, text);
}

}  // namespace

TEST_F(TransmitDialogTest, ManualMessageTypingSizesAndSending) {
    std::array<ManualBuffer, 2> buffers{};
    ManualMessage logic(buffers, m_hex, 1, {m_commands, m_store, m_state, m_messages});
    ManualMessageDialog dialog(logic);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(dialog.hexButton()->isChecked());

    dialog.identifierEdit(0)->clear();
    type(dialog.identifierEdit(0), "800");
    EXPECT_EQ(dialog.identifierEdit(0)->text(), "80");
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>({5080}));

    // A full data edit hands the focus to the next one.
    dialog.dataEdit(0, 0)->selectAll();
    type(dialog.dataEdit(0, 0), "AB");
    EXPECT_TRUE(dialog.dataEdit(0, 1)->hasFocus());
    EXPECT_EQ(dialog.dataEdit(0, 1)->selectedText(), "0");

    dialog.sizeList(0)->setCurrentIndex(2);
    EXPECT_TRUE(dialog.dataEdit(0, 1)->isEnabled());
    EXPECT_FALSE(dialog.dataEdit(0, 2)->isEnabled());
    dialog.remoteButton(1)->setChecked(true);
    EXPECT_FALSE(dialog.dataEdit(1, 0)->isEnabled());

    QTest::mouseClick(dialog.sendButton(0), Qt::LeftButton);
    ASSERT_EQ(m_device.sent.size(), 1u);
    EXPECT_EQ(m_device.sent[0].identifier, 0x80u);
    EXPECT_EQ(m_device.sent[0].length, 2);
    EXPECT_EQ(m_device.sent[0].data[0], 0xAB);
    EXPECT_TRUE(dialog.isVisible());  // stays open after a send
    EXPECT_EQ(m_store.count(), 1u);

    dialog.decimalButton()->setChecked(true);
    EXPECT_FALSE(m_hex);
    EXPECT_EQ(dialog.identifierEdit(0)->text(), "128");
    EXPECT_EQ(dialog.dataEdit(0, 0)->text(), "171");
    EXPECT_EQ(dialog.dataEdit(0, 0)->maxLength(), 3);

    // An edit left empty reads 0.
    dialog.identifierEdit(1)->setFocus();
    dialog.identifierEdit(1)->clear();
    dialog.identifierEdit(0)->setFocus();
    EXPECT_EQ(dialog.identifierEdit(1)->text(), "0");
}

TEST_F(TransmitDialogTest, AutoMessageListSelectionAndDownload) {
    std::vector<AutoMessageItem> items;
    std::uint32_t interval = 0, cycle = 3;
    AutoMessageSetup logic({items, interval, cycle}, m_hex, 2, {m_commands, m_state, m_messages});
    AutoMessageDialog dialog(logic);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_FALSE(dialog.editButton()->isEnabled());
    EXPECT_EQ(dialog.intervalSpin()->value(), 0);

    dialog.identifierEdit()->selectAll();
    type(dialog.identifierEdit(), "1ABCDEF");
    QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
    QTest::mouseClick(dialog.addButton(), Qt::LeftButton);
    ConditionTableCtrl* list = dialog.itemList();
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->item(0, 1)->text(), "Extended");
    EXPECT_EQ(list->item(0, 2)->text(), "1ABCDEF");
    EXPECT_TRUE(list->isChecked(1));

    // Clicking a row selects it and marks its colour.
    const QRect row1 = list->visualItemRect(list->item(1, 2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row1.center());
    EXPECT_TRUE(dialog.editButton()->isEnabled());
    EXPECT_EQ(list->rowColour(1).value_or(0), 0xEFEFEFu);
    EXPECT_EQ(list->rowColour(0).value_or(0), 0xFFFFFFu);
    QTest::mouseClick(dialog.deleteButton(), Qt::LeftButton);
    EXPECT_EQ(list->rowCount(), 1);
    EXPECT_FALSE(dialog.editButton()->isEnabled());
    EXPECT_FALSE(dialog.deleteButton()->isEnabled());

    // The check box reaches the item.
    list->item(0, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(items[0].flags & 0x10u, 0u);
    list->item(0, 0)->setCheckState(Qt::Checked);

    dialog.accept();  // interval 0
    EXPECT_EQ(shownIds().back(), 5122u);
    EXPECT_TRUE(m_device.downloads.empty());
    dialog.intervalSpin()->setValue(20);
    EXPECT_EQ(interval, 20u);  // stored at every change
    dialog.accept();
    ASSERT_EQ(m_device.downloads.size(), 1u);
    EXPECT_EQ(m_device.downloads[0].messages.at(0).identifier, 0x1ABCDEFu);
    EXPECT_EQ(m_device.downloads[0].cycle, 3);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
