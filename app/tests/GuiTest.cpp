// The program's windows, headless, with a scripted adapter and a recorder for message boxes.

#include "app/MonitorApp.h"
#include "widgets/ProgressWindow.h"
#include "device/DeviceDialogs.h"
#include "framework/DocumentTemplate.h"
#include "platform/SingleInstance.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"
#include "tests/support/DeviceAnswers.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMdiArea>
#include <QTest>
#include <QTreeWidget>

#include <deque>
#include <filesystem>
#include <mutex>

#include <unistd.h>

namespace {

class FakeDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count,
                  ReceivedFrame* frames) override {
        std::lock_guard lock(m_mutex);
        a = b = 0;
        count = 0;
        if (m_batches.empty()) return true;  // the adapter answers every read
        const auto batch = std::move(m_batches.front());
        m_batches.pop_front();
        std::copy(batch.begin(), batch.end(), frames);
        a = b = 0;
        count = static_cast<std::int32_t>(batch.size());
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return present; }
    bool setVexa(int, int, int, int) override { return present; }
    bool getVexaInfo(Info& i) override {
        i = info;
        return present;
    }
    void queue(std::vector<ReceivedFrame> batch) {
        std::lock_guard lock(m_mutex);
        m_batches.push_back(std::move(batch));
    }
    std::atomic<bool> present{true};
    Info info;

private:
    std::mutex m_mutex;
    std::deque<std::vector<ReceivedFrame>> m_batches;
};

ReceivedFrame received(std::uint32_t id, std::uint8_t format = 0) {
    ReceivedFrame f{};
    f.identifier = id;
    f.format = format;
    f.length = 2;
    f.data[0] = 0x12;
    f.data[1] = 0x34;
    return f;
}

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
    }
    // The text of a cell as the list shows it.
    QString cell(int row, int column) {
        auto& model = m_frame->dataList()->model();
        return model.data(model.index(row, column)).toString();
    }
    std::vector<std::uint32_t> shownIds() {
        std::vector<std::uint32_t> ids;
        for (const auto& s : m_messages.shown()) ids.push_back(s.stringId);
        return ids;
    }
    // What the one-second and 800 ms timers do, without waiting for them.
    void tick() {
        m_frame->onTimer();
        if (m_frame->dataList() != nullptr) m_frame->dataList()->onTimer();
    }

    FakeDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(GuiTest, OnlyOneDocumentAndItsDataListCannotBeClosed) {
    m_frame->routeCommand(ID_FILE_NEW);
    ASSERT_NE(m_app.document(), nullptr);
    ASSERT_NE(m_frame->dataList(), nullptr);
    EXPECT_EQ(m_frame->dataListFrame()->windowTitle(), "dl");
    m_frame->routeCommand(ID_FILE_NEW);
    EXPECT_EQ(shownIds(), std::vector<std::uint32_t>{strings::kCannotCreateTwoDocuments});
    EXPECT_EQ(m_frame->mdiArea()->subWindowList().size(), 1);

    m_frame->dataListFrame()->close();
    EXPECT_EQ(shownIds().back(), strings::kCannotCloseWindow);
    EXPECT_TRUE(m_frame->dataListFrame()->isVisible());
    EXPECT_GE(m_frame->dataListFrame()->minimumWidth(), 320);
    EXPECT_GE(m_frame->dataListFrame()->minimumHeight(), 240);
}

TEST_F(GuiTest, CaptureBeforeSetupShowsTheDeviceError) {
    m_frame->routeCommand(ID_FILE_NEW);
    m_frame->routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, strings::kDeviceError);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    m_frame->updateCommandUI();
    EXPECT_TRUE(m_frame->action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_FALSE(m_frame->action(ID_FUNCTIONS_STOP)->isEnabled());
}

TEST_F(GuiTest, StatusPanesShowNullUntilTheAdapterIsSetUp) {
    tick();
    EXPECT_EQ(m_frame->statusPane(102), "CAN");
    EXPECT_EQ(m_frame->statusPane(109), "Standard");
    EXPECT_EQ(m_frame->statusPane(104), "NULL");
    m_app.state().device.baudRate = 250;
    m_app.state().device.frameType = 2;
    m_app.state().capture.deviceReady = 1;
    tick();
    EXPECT_EQ(m_frame->statusPane(104), "250kbps");
    EXPECT_EQ(m_frame->statusPane(109), "Extended");
    // A document's header rate of 0xFFFFFFFF, or 0, is no rate at all.
    for (const std::int32_t unknown : {-1, 0, 1024}) {
        m_app.state().device.baudRate = unknown;
        tick();
        EXPECT_EQ(m_frame->statusPane(104), "?kbps") << unknown;
    }
    // Every rate Setup offers, up to the adapter's most.
    for (const std::int32_t known : {10, 1001, 1023}) {
        m_app.state().device.baudRate = known;
        tick();
        EXPECT_EQ(m_frame->statusPane(104), QStringLiteral("%1kbps").arg(known));
    }
}

TEST_F(GuiTest, CapturedFramesReachTheListInEveryReading) {
    m_frame->routeCommand(ID_FILE_NEW);
    m_app.state().capture.deviceReady = 1;
    m_frame->routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 1u);
    m_device.queue({received(0x41C), received(0x5FF), received(0x18FF1021, 1)});
    for (int i = 0; i < 200 && m_app.state().store.count() < 3; ++i) QTest::qWait(5);
    tick();
    CViewDataList* view = m_frame->dataList();
    ASSERT_EQ(view->model().rowCount(), 3);
    EXPECT_EQ(cell(0, 3), "41C");
    EXPECT_EQ(cell(2, 6), "12 34 ");

    m_frame->routeCommand(ID_DATALIST_DEVICENET);
    EXPECT_EQ(view->model().rowCount(), 3);  // rows untouched, columns rebuilt
    EXPECT_EQ(view->model().columnCount(), 12);
    EXPECT_EQ(view->model().headerData(0, Qt::Horizontal).toString(), "DeviceNet-Index");
    EXPECT_EQ(cell(0, 9), "Master's Exp Req Msg");
    EXPECT_EQ(cell(2, 5), "--");
    EXPECT_EQ(cell(2, 9), "Invalid data");
    m_frame->updateCommandUI();
    EXPECT_FALSE(m_frame->action(ID_DATALIST_DEVICENET)->isEnabled());
    EXPECT_TRUE(m_frame->action(ID_DATALIST_CAN)->isEnabled());

    m_frame->routeCommand(ID_DATALIST_CANOPEN);
    EXPECT_EQ(view->model().columnCount(), 10);
    EXPECT_EQ(cell(1, 7), "SDO (tx)");

    // Setup is refused while capturing; Clear All too.
    m_frame->routeCommand(ID_OPTIONS_SETUP);
    EXPECT_EQ(shownIds().back(), strings::kDeviceCapturing);
    m_frame->routeCommand(ID_FUNCTIONS_CLEARALL);
    EXPECT_EQ(shownIds().back(), strings::kStopDeviceFirst);
    m_frame->routeCommand(ID_FUNCTIONS_STOP);
    m_messages.setAnswer(true);  // yes, the unsaved frames may go
    m_frame->routeCommand(ID_FUNCTIONS_CLEARALL);
    EXPECT_EQ(shownIds().back(), strings::kClearUnsavedFrames);
    EXPECT_EQ(m_app.state().store.count(), 0u);
    EXPECT_EQ(cell(0, 3), "");  // before the list hears of it, the rows show nothing
    tick();
    EXPECT_EQ(view->model().rowCount(), 0);
    EXPECT_TRUE(m_app.document()->IsModified());
}

TEST_F(GuiTest, TreePopupsAndTheReadingCommandsOfTheDataListItem) {
    QTreeWidget* tree = m_frame->tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), "Korvane V2.00");
    ASSERT_EQ(root->childCount(), 5);  // Data List, y(t), y(x), the CAN databases and Overview
    QTreeWidgetItem* dataListNode = root->child(0);
    EXPECT_EQ(m_frame->treeRightClick(dataListNode), 0u);  // no document yet
    m_frame->routeCommand(ID_FILE_NEW);
    ASSERT_EQ(dataListNode->childCount(), 1);
    EXPECT_EQ(m_frame->treeRightClick(dataListNode), 209u);
    EXPECT_EQ(m_frame->treeRightClick(dataListNode->child(0)), 199u);
    EXPECT_EQ(m_frame->treeRightClick(root->child(2)), 209u);
    EXPECT_EQ(m_frame->newWindowKind(), ChartKind::kYx);
    EXPECT_EQ(m_frame->treeRightClick(root->child(1)), 209u);
    EXPECT_EQ(m_frame->newWindowKind(), ChartKind::kYt);
    m_frame->routeCommand(ID_POPUP_CANOPEN);
    EXPECT_EQ(m_frame->dataList()->reading(), ProtocolReading::kCanOpen);
}

TEST_F(GuiTest, BarsHideWithTheirCloseButtonAndComeBackFromTheViewMenu) {
    CCoolBar* bar = m_frame->leftBar();
    ASSERT_TRUE(bar->isVisible());
    auto* close = bar->titleBarWidget()->findChild<QWidget*>("closeButton");
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
    m_frame->routeCommand(ID_VIEW_CURVE_INFORMATION);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->windowTitle(), "ciw");
    EXPECT_EQ(m_frame->bottomBar()->windowTitle(), "spiw");
}

TEST_F(GuiTest, SetupDialogStaysOpenWhenTheAdapterRefuses) {
    const std::string ini = (std::filesystem::temp_directory_path() / "gui-Configure.ini").string();
    std::filesystem::remove(ini);
    m_device.present = false;
    DeviceSetup setup(m_frame->deviceCommands(), m_app.state().device, m_app.state().capture, m_messages, ini);
    DeviceSetupDialog dialog(setup);
    dialog.show();
    EXPECT_EQ(dialog.usbDevice()->count(), 0);
    EXPECT_EQ(dialog.workMode()->currentText(), "Monitor ACK mode");
    EXPECT_EQ(dialog.baudRate()->currentText(), "500");
    EXPECT_EQ(dialog.frameType()->currentText(), "Standard");
    dialog.accept();
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_EQ(shownIds().back(), strings::kFailToSetupDevice);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(std::filesystem::exists(ini));

    m_device.present = true;
    dialog.onTimer();
    ASSERT_TRUE(processUntil([&] { return dialog.usbDevice()->count() == 1; }));
    EXPECT_EQ(dialog.usbDevice()->currentText(), "ADP4021");
    dialog.accept();
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(m_app.state().capture.deviceReady.load(), 1u);
    std::filesystem::remove(ini);
}

TEST_F(GuiTest, DeviceInformationShowsTheAdaptersAnswer) {
    m_device.info.status = 2;
    m_device.info.baudRate = 500;
    m_device.info.version = 0x0105;
    DeviceInformation information(m_frame->deviceCommands(), m_messages);
    information.open();
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    DeviceInformationDialog dialog(information);
    EXPECT_EQ(dialog.status(), "Stop");
    EXPECT_EQ(dialog.baudRate(), "500");
    EXPECT_EQ(dialog.firmware(), "V1.05");
}

TEST(SingleInstance, ASecondStartAsksTheFirstToShowItselfAndEnds) {
    char folder[] = "/tmp/korvane-instance-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    qputenv("KORVANE_RUNTIME_DIR", folder);
    int raised = 0;
    {
        platform::SingleInstance first(QStringLiteral("KorvaneTest"));
        ASSERT_TRUE(first.acquire([&raised] { ++raised; }));
        platform::SingleInstance second(QStringLiteral("KorvaneTest"));
        EXPECT_FALSE(second.acquire([] {}));
        for (int i = 0; i < 100 && raised == 0; ++i) QTest::qWait(10);
        EXPECT_EQ(raised, 1);
    }
    // Once the first has gone, a new start is the first again.
    platform::SingleInstance third(QStringLiteral("KorvaneTest"));
    EXPECT_TRUE(third.acquire([] {}));
    qunsetenv("KORVANE_RUNTIME_DIR");
    std::filesystem::remove_all(folder);
}

TEST(ProgressWindowTest, PercentageTurnsWhiteFrom51) {
    ProgressWindow window(nullptr);
    window.begin(strings::kSavingData);
    EXPECT_EQ(window.windowTitle(), "Saving data");
    window.setPercent(50);
    EXPECT_EQ(window.percentText(), "50%");
    EXPECT_EQ(window.percentColour(), QColor(Qt::black));
    window.setPercent(51);
    EXPECT_EQ(window.percentColour(), QColor(Qt::white));
    EXPECT_EQ(window.percent(), 51);
    window.end();
    EXPECT_FALSE(window.isVisible());
}

TEST(DocumentTemplates, TheDocumentStringNamesFilterAndExtension) {
    const DocumentTemplate& t = kDocumentTemplates[0];
    EXPECT_EQ(t.resourceId, 130u);
    EXPECT_EQ(t.newDocumentName(), "Untitled");
    EXPECT_EQ(t.filterName(), "Korvane Files (*.krv)");
    EXPECT_EQ(t.extension(), ".krv");
    EXPECT_EQ(kDocumentTemplates[2].view, DocumentTemplate::kYxChart);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The tests see English texts and keep their settings to themselves, whatever the machine's.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    const auto config =
        std::filesystem::temp_directory_path() / ("korvane-gui-" + std::to_string(::getpid()));
    qputenv("KORVANE_CONFIG_DIR", QByteArray::fromStdString(config.string()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return status;
}
