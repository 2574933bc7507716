// The document's windows when the document changes: the data list's rows, the tree's double
// click, and a document of very many chart windows.

#include "app/ChartWindows.h"
#include "app/MonitorApp.h"
#include "tests/support/QuietDevice.h"
#include "views/CViewDataList.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

CapturedFrame frameWithId(std::uint32_t identifier) {
    CapturedFrame f;
    f.identifier = identifier;
    return f;
}

class WindowsGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(m_dir.toStdString());
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }
    void TearDown() override { std::filesystem::remove_all(m_dir.toStdString()); }

    QString saved(const char* name, const DocumentContents& contents, const FrameStore& frames) {
        QString path = m_dir + "/" + name;
        EXPECT_TRUE(saveDocument(path.toStdString(), contents, frames, frames.count(), nullptr).ok);
        return path;
    }
    // The rows as the user sees them: the screen must not change when they are painted afresh,
    // no row is selected any more, and the first row is the new store's.
    void expectNewRowsShown(const char* firstIdentifier) {
        QApplication::processEvents();
        VirtualTableView& list = m_frame->dataList()->list();
        const auto onScreen = [this, &list] {
            const QPoint at = list.viewport()->mapTo(m_frame, QPoint(0, 0));
            return m_frame->screen()
                ->grabWindow(m_frame->winId(), at.x(), at.y(), list.viewport()->width(),
                             list.viewport()->height())
                .toImage();
        };
        const QImage shown = onScreen();
        list.viewport()->repaint();
        EXPECT_TRUE(shown == onScreen()) << "the list still shows rows it no longer has";
        EXPECT_EQ(list.selectedRows(), std::make_pair(-1, -1));
        DataListModel& model = m_frame->dataList()->model();
        EXPECT_EQ(model.data(model.index(0, 3)).toString(), firstIdentifier);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.rowHeight() / 2));
    }

    QString m_dir = QDir::tempPath() + "/korvane-windows-" + QString::number(::getpid());
    QuietDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(WindowsGuiTest, EveryReplacementOfTheStoreShowsTheNewRowsEvenWhenAsMany) {
    FrameStore a, b;
    for (int i = 0; i < 100; ++i) a.append(frameWithId(0x111));
    for (int i = 0; i < 100; ++i) b.append(frameWithId(0x222));
    ASSERT_TRUE(m_app.openDocument(saved("a.krv", {}, a)));
    QApplication::processEvents();
    VirtualTableView& list = m_frame->dataList()->list();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(20, list.rowHeight() / 2));

    ASSERT_TRUE(m_app.openDocument(saved("b.krv", {}, b)));
    expectNewRowsShown("222");

    std::string log;
    for (int i = 0; i < 100; ++i) log += "(1700000000.000000) can0 333#01\n";
    std::ofstream((m_dir + "/c.log").toStdString()) << log;
    ASSERT_TRUE(m_app.importLogFile(m_dir + "/c.log"));
    expectNewRowsShown("333");

    // Clear All, and as many frames again before the list's next tick.
    m_messages.setAnswer(true);
    m_app.document()->OnClearAll();
    for (int i = 0; i < 100; ++i) m_app.state().store.append(frameWithId(0x444));
    m_frame->onTimer();
    m_frame->dataList()->onTimer();
    expectNewRowsShown("444");

    // Frames appended to the same store keep the rows and the selection.
    const auto selected = list.selectedRows();
    ASSERT_NE(selected.first, -1);
    m_app.state().store.append(frameWithId(0x444));
    m_frame->onTimer();
    m_frame->dataList()->onTimer();
    EXPECT_EQ(m_frame->dataList()->model().rowCount(), 101);
    EXPECT_EQ(list.selectedRows(), selected);
}

TEST_F(WindowsGuiTest, AFilterRebuiltOverTheSameStoreShowsItsRowsEvenWhenAsMany) {
    FrameStore frames;
    for (int i = 0; i < 100; ++i) frames.append(frameWithId(0x111));
    for (int i = 0; i < 100; ++i) frames.append(frameWithId(0x222));
    ASSERT_TRUE(m_app.openDocument(saved("a.krv", {}, frames)));
    const auto only = [](std::uint32_t identifier) {
        FilterCondition c;
        c.flags = FCF_CAN | FCF_FORMAT | FCF_ID | FCF_ENABLED;
        c.identifier = identifier;
        return std::vector<FilterCondition>{c};
    };
    ProgramState& state = m_app.state();
    FilterRebuild(state.filter, state.store, state.flags, only(0x111), FilterMode::kShow);
    m_frame->dataList()->onTimer();
    expectNewRowsShown("111");
    // Another filter's hundred rows, heard of only through the list's own tick.
    FilterRebuild(state.filter, state.store, state.flags, only(0x222), FilterMode::kShow);
    m_frame->dataList()->onTimer();
    expectNewRowsShown("222");
}

TEST_F(WindowsGuiTest, ADoubleClickOnTheDataListItemBringsItForwardAsItWas) {
    m_app.newDocument();
    CMDIChildWndDataList* dataList = m_frame->dataListFrame();
    QApplication::processEvents();
    ASSERT_TRUE(dataList->isMaximized());
    const QSize size = dataList->size();
    QTreeWidgetItem* item = m_frame->tree()->topLevelItem(0)->child(0)->child(0);
    m_frame->treeDoubleClick(item);
    QApplication::processEvents();
    EXPECT_TRUE(dataList->isMaximized());
    EXPECT_EQ(dataList->size(), size);

    dataList->showMinimized();
    QApplication::processEvents();
    m_frame->treeDoubleClick(item);
    QApplication::processEvents();
    EXPECT_TRUE(dataList->isMaximized());
    EXPECT_EQ(dataList->size(), size);
    EXPECT_EQ(m_frame->mdiArea()->activeSubWindow(), dataList);
}

TEST_F(WindowsGuiTest, TenThousandChartWindowsOpenTheDocumentAndAllAreSavedAgain) {
    DocumentContents contents;
    for (int i = 0; i < 10000; ++i) {
        CurveWindowRecord r;
        r.flags = i % 2 == 0 ? CurveWindowRecord::kYt : CurveWindowRecord::kYx;
        r.name.set(QStringLiteral("w%1").arg(i).toStdString());
        contents.windows.push_back(r);
    }
    ASSERT_TRUE(m_app.openDocument(saved("many.krv", contents, FrameStore{})));
    int open = 0;
    for (QMdiSubWindow* w : m_frame->mdiArea()->subWindowList()) {
        if (dynamic_cast<ChartView*>(w->widget()) != nullptr) ++open;
    }
    EXPECT_EQ(open, static_cast<int>(ChartWindows::kMaxWindowsOpenedWithDocument));
    EXPECT_EQ(m_frame->statusBar()->currentMessage(),
              "32 of the document's 10000 chart windows are open; double-click a name under "
              "y(t) or y(x) to open its window.");
    // One left closed opens from the tree.
    QTreeWidgetItem* closed = m_frame->tree()->topLevelItem(0)->child(2)->child(4000);
    ASSERT_EQ(closed->text(0), "w8001");
    m_frame->treeDoubleClick(closed);
    EXPECT_NE(m_frame->chartWindows()->viewNamed("w8001"), nullptr);

    ASSERT_TRUE(m_app.saveDocument(m_dir + "/again.krv"));
    DocumentContents again;
    FrameStore frames;
    ASSERT_TRUE(loadDocument((m_dir + "/again.krv").toStdString(), again, frames, nullptr).ok);
    EXPECT_EQ(std::count_if(again.windows.begin(), again.windows.end(),
                            [](const CurveWindowRecord& r) {
                                return (r.flags & CurveWindowRecord::kDataList) == 0;
                            }),
              10000);
}
