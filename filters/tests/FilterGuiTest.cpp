// The filter dialogs in the program, headless: a condition added through the widgets, OK, and
// the data list's rows (and the batch export of the saved document) follow.

#include "app/MonitorApp.h"
#include "filters/CAdvancedIdentifierDlg.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class IdleDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }
};

CapturedFrame frame(std::uint32_t id, std::uint8_t byte0 = 0, std::uint8_t format = 0) {
    CapturedFrame f{};
    f.identifier = id;
    f.format = format;
    f.length = 1;
    f.data[0] = byte0;
    return f;
}

// Runs `drive` on the modal dialog the next command opens.
void whenModal(std::function<void(QWidget*)> drive) {
    QTimer::singleShot(0, [drive = std::move(drive)] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        drive(modal);
        // A failed check must not leave the test waiting on an open dialog.
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible()) {
            dialog->reject();
        }
    });
}

void choose(QComboBox* box, int item) {
    box->setCurrentIndex(item);
    Q_EMIT box->activated(item);
}

void click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

class FilterGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
        m_frame->routeCommand(ID_FILE_NEW);
        m_view = m_frame->dataList();
        ASSERT_NE(m_view, nullptr);
    }
    void capture(std::initializer_list<CapturedFrame> frames) {
        for (const CapturedFrame& f : frames) m_app.state().store.append(f);
        tick();
    }
    void tick() {
        m_frame->onTimer();
        m_view->onTimer();
    }
    int rows() { return m_view->model().rowCount(); }
    // "Identifier" (CAN) or "COB-ID" (CANopen).
    QString identifierCell(int row) {
        auto& model = m_view->model();
        return model.data(model.index(row, 3)).toString();
    }

    IdleDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
    CViewDataList* m_view = nullptr;
};

TEST_F(FilterGuiTest, CanDialogCustomAndAdvancedIdentifiersFilterTheList) {
    capture({frame(0x100), frame(0x101), frame(0x102), frame(0x101, 7), frame(0x7FF)});
    ASSERT_EQ(rows(), 5);
    m_frame->updateCommandUI();
    EXPECT_TRUE(m_frame->action(ID_DATALIST_FILTER)->isEnabled());
    ASSERT_NE(m_frame->action(ID_POPUP_FILTER), nullptr);
    EXPECT_TRUE(m_frame->action(ID_POPUP_FILTER)->isEnabled());
    m_app.document()->SetModifiedFlag(false);
    m_app.state().capture.pendingChanges = 0;

    whenModal([](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterCanDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_FALSE(dialog->editButton()->isEnabled());
        EXPECT_TRUE(dialog->advancedButton()->isHidden());
        choose(dialog->identifierList(), 2);  // "Custom"
        EXPECT_FALSE(dialog->identifierEdit()->isHidden());
        QTest::keyClicks(dialog->identifierEdit(), "101");
        EXPECT_EQ(dialog->identifierEdit()->text(), "101");
        EXPECT_EQ(dialog->logic().customIdentifier(), 0x101u);
        click(dialog->addButton());
        EXPECT_EQ(dialog->logic().list().conditions().size(), 1u);
        ASSERT_EQ(dialog->table().rowCount(), 1);
        EXPECT_EQ(dialog->table().item(0, 2)->text(), "101");
        click(dialog->okButton());
    });
    m_frame->routeCommand(ID_DATALIST_FILTER);
    ASSERT_EQ(rows(), 2);
    EXPECT_EQ(identifierCell(0), "101");
    tick();
    EXPECT_TRUE(m_app.document()->IsModified());

    // Cancel after adding and deleting leaves the filter and the rows as they were.
    whenModal([](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterCanDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->table().rowCount(), 1);  // the program's list again
        EXPECT_EQ(dialog->identifierList()->currentIndex(), 0);
        click(dialog->addButton());
        click(dialog->addButton());  // a duplicate: refused
        EXPECT_EQ(dialog->table().rowCount(), 2);
        dialog->table().onRowClicked(0);
        click(dialog->deleteButton());
        EXPECT_EQ(dialog->table().rowCount(), 1);
        dialog->reject();
    });
    m_frame->routeCommand(ID_DATALIST_FILTER);
    EXPECT_EQ(m_app.state().filter.conditions.size(), 1u);
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(m_messages.shown().back().stringId, strings::kSameCondition);

    // Bit 0 must be 1: through "Advanced Identifier", replacing the custom row by Edit.
    whenModal([](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterCanDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->table().onRowClicked(0);
        EXPECT_TRUE(dialog->editButton()->isEnabled());
        choose(dialog->identifierList(), 1);  // "Advanced"
        EXPECT_FALSE(dialog->advancedButton()->isHidden());
        whenModal([](QWidget* inner) {
            auto* advanced = dynamic_cast<CAdvancedIdentifierDlg*>(inner);
            ASSERT_NE(advanced, nullptr);
            EXPECT_TRUE(advanced->bitButton(12)->isHidden());  // standard frames: 11 bits
            click(advanced->bitButton(1));
            click(advanced->bitButton(1));
            EXPECT_EQ(advanced->bitState(1)->text(), "1");
            advanced->accept();
        });
        click(dialog->advancedButton());
        click(dialog->editButton());
        EXPECT_EQ(dialog->table().item(0, 2)->text(), "XXXXXXXXXX1");
        click(dialog->okButton());
    });
    m_frame->routeCommand(ID_DATALIST_FILTER);
    EXPECT_EQ(rows(), 3);  // 0x101 twice and 0x7FF
    EXPECT_EQ(m_app.state().advancedIdClicks.counters[0] % 3, 1u);
}

TEST_F(FilterGuiTest, DeviceNetDialogGroupAndMessageFilterTheList) {
    // 0x41C: group 2, MAC 3, message 4. 0x5FF: group 2, message 7. 0x7F0: group 4.
    capture({frame(0x41C), frame(0x5FF), frame(0x41C), frame(0x7F0), frame(0x41C, 1, 1)});
    m_frame->routeCommand(ID_DATALIST_DEVICENET);
    whenModal([](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterDeviceNetDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->method1Radio()->isChecked());
        EXPECT_FALSE(dialog->method2List()->isEnabled());
        choose(dialog->groupList(), 1);  // group 2
        EXPECT_EQ(dialog->messageIdList()->count(), 9);
        choose(dialog->messageIdList(), 5);  // message ID 4
        // A master's request carries its destination in the identifier.
        dialog->destinationList()->lineEdit()->selectAll();
        QTest::keyClicks(dialog->destinationList()->lineEdit(), "3");
        click(dialog->addButton());
        ASSERT_EQ(dialog->table().rowCount(), 1);
        EXPECT_EQ(dialog->table().item(0, 3)->text(), "4");
        choose(dialog->groupList(), 3);  // group 4: no MAC IDs
        EXPECT_FALSE(dialog->sourceList()->isEnabled());
        EXPECT_FALSE(dialog->destinationList()->isEnabled());
        click(dialog->okButton());
    });
    m_frame->routeCommand(ID_DATALIST_FILTER);
    EXPECT_EQ(rows(), 2);  // not the extended frame
    EXPECT_EQ(m_app.state().filter.conditions.at(0).dnDestMac, 3u);
}

TEST_F(FilterGuiTest, CanOpenDialogFromThePopupAndTheBatchExportOfTheSavedDocument) {
    capture({frame(0x181), frame(0x1A0), frame(0x201), frame(0x581), frame(0x1FF)});
    m_frame->routeCommand(ID_DATALIST_CANOPEN);
    whenModal([](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterCanOpenDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->hexRadio()->isChecked());
        click(dialog->method2Radio());
        EXPECT_FALSE(dialog->cobIdList()->isEnabled());
        choose(dialog->functionCodeList(), 4);  // function code 3
        click(dialog->decimalRadio());
        EXPECT_EQ(dialog->functionCodeList()->itemText(11), "10");
        click(dialog->hideRadio());
        click(dialog->addButton());
        ASSERT_EQ(dialog->table().rowCount(), 1);
        EXPECT_EQ(dialog->table().item(0, 2)->text(), "left4(X) = 3");
        click(dialog->okButton());
    });
    m_frame->routeCommand(ID_POPUP_FILTER);
    EXPECT_FALSE(m_app.state().hexDisplay);  // the program-wide radix
    ASSERT_EQ(rows(), 2);                     // Hide: 0x201 and 0x581
    EXPECT_EQ(identifierCell(0), "201");
    EXPECT_EQ(identifierCell(1), "581");

    // Frames captured later are filtered as they come.
    capture({frame(0x190), frame(0x602)});
    EXPECT_EQ(rows(), 3);

    const fs::path folder =
        fs::temp_directory_path() / ("korvane-filter-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::string doc = (folder / "f.krv").string();
    const std::string out = (folder / "f.txt").string();
    ASSERT_TRUE(m_app.saveDocument(QString::fromStdString(doc)));
    const std::string command =
        std::string(KORVANE_PATH) + " --export '" + out + "' --reading canopen '" + doc + "' 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::ifstream in(out, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    fs::remove_all(folder);
    EXPECT_NE(text.find("Message amount: 3\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find(" 201 "), std::string::npos);
    EXPECT_NE(text.find(" 602 "), std::string::npos);
    EXPECT_EQ(text.find(" 181 "), std::string::npos);
}

TEST_F(FilterGuiTest, TypingFillsAByteThenMovesOnAndALeftCobIdIsWrittenInTheRadix) {
    m_frame->routeCommand(ID_DATALIST_CANOPEN);
    whenModal([this](QWidget* modal) {
        auto* dialog = dynamic_cast<CFilterCanOpenDlg*>(modal);
        ASSERT_NE(dialog, nullptr);
        dialog->activateWindow();
        dialog->dataEdit(0)->setFocus();
        QTest::keyClicks(dialog->dataEdit(0), "ab");
        EXPECT_EQ(dialog->dataEdit(0)->text(), "AB");
        EXPECT_EQ(dialog->focusWidget(), dialog->dataEdit(1));
        QTest::keyClicks(dialog->dataEdit(1), "G");
        EXPECT_EQ(dialog->dataEdit(1)->text(), "");
        EXPECT_EQ(m_messages.shown().back().stringId, strings::kInvalidCharacter);
        choose(dialog->sizeList(), 2);  // length 1: only byte 0
        EXPECT_TRUE(dialog->dataEdit(0)->isEnabled());
        EXPECT_FALSE(dialog->dataEdit(1)->isEnabled());
        click(dialog->remoteFrameRadio());
        EXPECT_FALSE(dialog->dataEdit(0)->isEnabled());

        dialog->cobIdList()->setFocus();
        dialog->cobIdList()->lineEdit()->selectAll();
        QTest::keyClicks(dialog->cobIdList()->lineEdit(), "07F");
        // Headless windows are never active: the focus leaves the combo by hand.
        QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(dialog->cobIdList(), &left);
        EXPECT_EQ(dialog->cobIdList()->currentText(), "7F");
        click(dialog->decimalRadio());
        EXPECT_EQ(dialog->cobIdList()->currentText(), "127");
        EXPECT_EQ(dialog->dataEdit(0)->text(), "171");
        EXPECT_EQ(dialog->dataEdit(0)->maxLength(), 3);
        dialog->reject();
    });
    m_frame->routeCommand(ID_DATALIST_FILTER);
    EXPECT_FALSE(m_app.state().hexDisplay);
    EXPECT_TRUE(m_app.state().filter.conditions.empty());
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    const auto config = std::filesystem::temp_directory_path() /
                        ("korvane-filtergui-" + std::to_string(::getpid()));
    qputenv("KORVANE_CONFIG_DIR", QByteArray::fromStdString(config.string()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return status;
}
