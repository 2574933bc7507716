// The overview window in the program: opened from the Window menu and the tree, its row menu's
// filter and y(t) window.

#include "app/ChartWindows.h"
#include "app/MonitorApp.h"
#include "app/OverviewWindows.h"
#include "app/ReplayDialog.h"
#include "curves/CurveDialogs.h"
#include "document/LogTime.h"
#include "resources/CommandIds.h"
#include "resources/OverviewCommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEventLoop>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTableView>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

// A quiet bus that takes every frame sent, remembering them, and counts the commands that
// overlapped another one (each takes a little while).
class QuietDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        a = b = count = 0;
        return true;
    }
    bool runVexa() override { return command(); }
    bool stopVexa() override { return command(); }
    bool vexaInit() override { return command(); }
    bool setVexa(int, int, int, int) override { return command(); }
    bool getVexaInfo(Info&) override { return false; }
    bool sendSingleData(const TxMessage& message) override {
        {
            std::lock_guard lock(m_mutex);
            m_sent.push_back(message.identifier);
        }
        return command();
    }
    std::vector<std::uint32_t> sent() {
        std::lock_guard lock(m_mutex);
        return m_sent;
    }
    std::atomic<int> overlaps{0};

private:
    bool command() {
        if (m_inside.fetch_add(1) != 0) ++overlaps;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        m_inside.fetch_sub(1);
        return true;
    }
    std::atomic<int> m_inside{0};
    std::mutex m_mutex;
    std::vector<std::uint32_t> m_sent;
};

CapturedFrame frame(std::uint32_t identifier, std::uint64_t us, std::uint8_t length = 2,
                    bool extended = false) {
    CapturedFrame f;
    setCaptureTime(f, us);
    f.identifier = identifier;
    f.format = extended ? 1 : 0;
    f.length = length;
    f.data[0] = 0x11;
    f.data[1] = 0x22;
    return f;
}

int overviewWindows(QMdiArea* area) {
    int n = 0;
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (dynamic_cast<OverviewView*>(w->widget()) != nullptr) ++n;
    }
    return n;
}

class OverviewGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir.toStdString());
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
    }
    void TearDown() override { std::filesystem::remove_all(m_dir.toStdString()); }

    // A document of frames of 0x181, 0x2A0 and the extended 0x181, opened.
    void openFrames() {
        FrameStore frames;
        for (int i = 0; i < 4; ++i) {
            frames.append(frame(0x181, static_cast<std::uint64_t>(i) * 10'000, 3));
            frames.append(frame(0x2A0, static_cast<std::uint64_t>(i) * 10'000 + 1));
        }
        frames.append(frame(0x181, 50'000, 2, true));
        const QString path = m_dir + "/frames.krv";
        ASSERT_TRUE(saveDocument(path.toStdString(), {}, frames, frames.count(), nullptr).ok);
        ASSERT_TRUE(m_app.openDocument(path));
    }
    OverviewView* overview() { return m_frame->overviewWindows()->view(); }
    QTreeWidgetItem* overviewItem() {
        QTreeWidgetItem* root = m_frame->tree()->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            if (root->child(i)->text(0) == "Overview") return root->child(i);
        }
        return nullptr;
    }

    QString m_dir = QDir::tempPath() + "/korvane-overview-gui-" + QString::number(::getpid());
    QuietDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(OverviewGuiTest, TheWindowMenuAndTheTreeOpenOneOverviewOfTheDocument) {
    ASSERT_NE(overviewItem(), nullptr);
    EXPECT_FALSE(m_frame->action(ID_WINDOW_OVERVIEW)->isEnabled());  // no document yet
    EXPECT_EQ(m_frame->treeRightClick(overviewItem()), 0u);
    openFrames();
    EXPECT_TRUE(m_frame->action(ID_WINDOW_OVERVIEW)->isEnabled());
    m_frame->action(ID_WINDOW_OVERVIEW)->trigger();
    ASSERT_NE(overview(), nullptr);
    EXPECT_EQ(overview()->model().rowCount(), 3);
    m_frame->treeDoubleClick(overviewItem());
    m_frame->action(ID_WINDOW_OVERVIEW)->trigger();
    EXPECT_EQ(overviewWindows(m_frame->mdiArea()), 1);
    EXPECT_EQ(m_frame->mdiArea()->activeSubWindow()->widget(), overview());

    // Data List's readings act on the data list, and the overview follows with its name column.
    m_frame->routeCommand(ID_DATALIST_DEVICENET);
    EXPECT_EQ(m_frame->dataList()->reading(), ProtocolReading::kDeviceNet);
    overview()->onTimer();
    EXPECT_EQ(overview()->model().columnCount(), 10);
    m_frame->routeCommand(ID_DATALIST_CAN);
    overview()->onTimer();

    // Copy Rows takes the overview's selected rows while it is the active window.
    overview()->table()->selectRow(overview()->model().tableRow(0x2A0, false));
    m_frame->routeCommand(ID_EDIT_COPY);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "2A0\tStandard\t4\t2\t11 22\t00-00-030-001\t10.000\t10.000\t10.000\n");
}

TEST_F(OverviewGuiTest, FilterOnThisIdentifierShowsItsRowsInTheDataList) {
    openFrames();
    OverviewView* view = m_frame->overviewWindows()->showOverview();
    const OverviewRow* row = view->model().rowAt(view->model().tableRow(0x181, false));
    ASSERT_NE(row, nullptr);
    m_frame->overviewWindows()->filterOn(*row);
    const FilterState& filter = m_app.state().filter;
    EXPECT_EQ(filter.mode, FilterMode::kShow);
    ASSERT_EQ(filter.conditions.size(), 1u);
    ASSERT_EQ(filter.displayIndexList.size(), 4u);  // the standard 0x181 only
    for (std::size_t r = 0; r < 4; ++r) {
        const CapturedFrame& f = m_app.state().store.at(filter.displayIndexList.at(r));
        EXPECT_EQ(f.identifier, 0x181u);
        EXPECT_EQ(f.format, 0);
    }
    EXPECT_EQ(m_frame->dataList()->model().rowCount(), 4);
}

TEST_F(OverviewGuiTest, PlotBytesOpensTheCurveDialogWithTheIdentifierAndMakesAYtWindow) {
    openFrames();
    OverviewView* view = m_frame->overviewWindows()->showOverview();
    const OverviewRow row = *view->model().rowAt(view->model().tableRow(0x181, false));
    YtCurveForm shown;
    m_frame->overviewWindows()->setPlotDialogRunner([&shown](YtCurveDialog& dialog) {
        shown = dialog.form();
        dialog.add();
        return true;
    });
    m_frame->overviewWindows()->plotBytes(row);
    EXPECT_EQ(shown.identifier, "181");
    EXPECT_EQ(shown.bytes,
              (std::array<bool, 8>{true, true, true, false, false, false, false, false}));
    ChartView* chart = m_frame->chartWindows()->viewNamed("ID 181");
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->record().yt[0].identifier, 0x181u);
    m_frame->overviewWindows()->plotBytes(row);
    EXPECT_NE(m_frame->chartWindows()->viewNamed("ID 181 (2)"), nullptr);

    // Cancel, or OK without a curve, leaves no window behind.
    const std::size_t windows = m_app.document()->contents.windows.size();
    m_frame->overviewWindows()->setPlotDialogRunner([](YtCurveDialog&) { return false; });
    m_frame->overviewWindows()->plotBytes(row);
    m_frame->overviewWindows()->setPlotDialogRunner([](YtCurveDialog&) { return true; });
    m_frame->overviewWindows()->plotBytes(row);
    EXPECT_EQ(m_app.document()->contents.windows.size(), windows);
}

namespace {

ReplayChoice documentReplay(int speed, bool loop = false) {
    ReplayChoice c;
    c.speed = speed;
    c.loop = loop;
    return c;
}

void waitForReplayEnd(OverviewWindows& overviews) {
    for (int i = 0; i < 500 && overviews.replay().running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(overviews.replay().running());
}

}  // namespace

TEST_F(OverviewGuiTest, AReplayNeedsAnAdapterThatWasSetUpThenSendsTheDocumentsFrames) {
    openFrames();
    OverviewWindows& overviews = *m_frame->overviewWindows();
    m_frame->routeCommand(ID_FUNCTIONS_REPLAY);
    ReplayDialog* dialog = overviews.showReplay();
    ASSERT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    dialog->setChoice(documentReplay(ReplayChoice::kAsFastAsTheBusTakes));
    m_app.state().capture.deviceReady = 0;
    dialog->start();
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown().back().stringId, strings::kDeviceError);

    m_app.state().capture.deviceReady = 1;
    dialog->start();
    EXPECT_FALSE(dialog->startButton()->isEnabled());
    waitForReplayEnd(overviews);
    dialog->refresh();
    EXPECT_EQ(m_device.sent().size(), 9u);
    EXPECT_EQ(dialog->statusLabel()->text(), "Replay finished: 9 frames sent.");
    EXPECT_TRUE(dialog->startButton()->isEnabled());
    EXPECT_EQ(m_messages.shown().size(), 1u);  // nothing to report
}

TEST_F(OverviewGuiTest, FramesThatCouldNotBeSentAreReportedWhenTheReplayEnds) {
    FrameStore frames;
    frames.append(frame(0x100, 0));
    frames.append(frame(0x900, 10));  // beyond the standard format, as a damaged file may hold
    frames.append(frame(0x101, 20));
    const QString path = m_dir + "/damaged.krv";
    ASSERT_TRUE(saveDocument(path.toStdString(), {}, frames, frames.count(), nullptr).ok);
    ASSERT_TRUE(m_app.openDocument(path));
    m_app.state().capture.deviceReady = 1;
    ReplayDialog* dialog = m_frame->overviewWindows()->showReplay();
    dialog->setChoice(documentReplay(ReplayChoice::kAsFastAsTheBusTakes));
    dialog->start();
    waitForReplayEnd(*m_frame->overviewWindows());
    dialog->refresh();
    EXPECT_EQ(m_device.sent(), (std::vector<std::uint32_t>{0x100, 0x101}));
    const std::string notSent =
        "1 frames could not be sent: 0 refused by the adapter, 1 with an identifier beyond its "
        "format's range.";
    EXPECT_EQ(dialog->notSentLabel()->text().toStdString(), notSent);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown().back().text, "Replay finished: 2 frames sent.\n" + notSent);
}

TEST_F(OverviewGuiTest, ClearAllAndOpenStopAReplayOfTheDocumentsFrames) {
    openFrames();
    m_app.state().capture.deviceReady = 1;
    OverviewWindows& overviews = *m_frame->overviewWindows();
    ReplayDialog* dialog = overviews.showReplay();
    dialog->setChoice(documentReplay(0, true));
    dialog->start();
    ASSERT_TRUE(overviews.replay().running());
    m_messages.setAnswer(true);
    m_app.document()->OnClearAll();
    EXPECT_FALSE(overviews.replay().running());
    EXPECT_EQ(m_frame->statusBar()->currentMessage(),
              "The replay of the document's frames was stopped.");
    EXPECT_EQ(dialog->statusLabel()->text().left(15), "Replay stopped:");

    openFrames();
    m_app.state().capture.deviceReady = 1;  // the document's own state came with it
    dialog->start();
    ASSERT_TRUE(overviews.replay().running());
    openFrames();
    EXPECT_FALSE(overviews.replay().running());
}

TEST_F(OverviewGuiTest, TheProgramsAdapterCommandsTakeTurnsWithTheReplaysSends) {
    openFrames();
    m_app.state().capture.deviceReady = 1;
    OverviewWindows& overviews = *m_frame->overviewWindows();
    ReplayDialog* dialog = overviews.showReplay();
    dialog->setChoice(documentReplay(ReplayChoice::kAsFastAsTheBusTakes, true));
    dialog->start();
    ASSERT_TRUE(overviews.replay().running());
    for (int i = 0; i < 200; ++i) {
        m_app.document()->OnCapture();
        m_app.document()->OnStop();
    }
    // The commands only queue on the device thread: the replay's sends take turns with them there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while ((m_device.sent().empty() || m_frame->deviceCommands().waiting() > 0) &&
           std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    dialog->reject();  // closing the dialog ends its replay
    EXPECT_FALSE(overviews.replay().running());
    EXPECT_GT(m_device.sent().size(), 0u);
    EXPECT_EQ(m_device.overlaps.load(), 0);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES"}) qunsetenv(name);
    qputenv("LANG", "C.UTF-8");
    const auto config = std::filesystem::temp_directory_path() /
                        ("korvane-overview-gui-config-" + std::to_string(::getpid()));
    qputenv("KORVANE_CONFIG_DIR", QByteArray::fromStdString(config.string()));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    std::filesystem::remove_all(config);
    return status;
}
