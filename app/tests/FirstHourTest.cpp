// What a new user meets first: a lost adapter, lost frames, Exit with the help open, files that
// are no documents, Clear All of unsaved frames and the recent-file list.

#include "app/Help.h"
#include "tests/support/DeviceAnswers.h"
#include "resources/Icons.h"
#include "app/MonitorApp.h"
#include "widgets/ProgressWindow.h"
#include "app/WindowLayout.h"
#include "device/DeviceDialogs.h"
#include "platform/ProgramSettings.h"
#include "resources/CommandIds.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"
#include "views/ColumnWidths.h"
#include "views/DataListPrinter.h"
#include "views/PrintFont.h"
#include "views/TextExport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPrinter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class ScriptedDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count,
                  ReceivedFrame* frames) override {
        std::lock_guard lock(m_mutex);
        if (failing) return false;
        a = std::exchange(lostNext, 0);
        b = 0;
        count = 0;
        if (m_batches.empty()) return true;
        const auto batch = std::move(m_batches.front());
        m_batches.pop_front();
        std::copy(batch.begin(), batch.end(), frames);
        count = static_cast<std::int32_t>(batch.size());
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info& i) override {
        i.status = 1;
        i.baudRate = 500;
        i.version = 0x0105;
        return true;
    }
    void queue(int frames) {
        std::lock_guard lock(m_mutex);
        std::vector<ReceivedFrame> batch(static_cast<std::size_t>(frames));
        for (int i = 0; i < frames; ++i) {
            batch[static_cast<std::size_t>(i)].identifier = 0x100u + static_cast<unsigned>(i);
            batch[static_cast<std::size_t>(i)].millis = static_cast<std::uint32_t>(i);
        }
        m_batches.push_back(std::move(batch));
    }
    void setFailing(bool f) {
        std::lock_guard lock(m_mutex);
        failing = f;
    }
    void reportLost(int n) {
        std::lock_guard lock(m_mutex);
        lostNext = n;
    }

private:
    std::mutex m_mutex;
    std::deque<std::vector<ReceivedFrame>> m_batches;
    bool failing = false;
    int lostNext = 0;
};

bool waitUntil(const std::function<bool()>& condition, int ms = 3000) {
    for (int waited = 0; waited < ms && !condition(); waited += 5) {
        QTest::qWait(5);
    }
    return condition();
}

class FirstHourTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("korvane-first-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_frame->show();
    }
    void TearDown() override { fs::remove_all(m_dir); }
    // A new document with `frames` captured and not saved.
    void captureFrames(int frames) {
        m_app.newDocument();
        m_app.state().capture.deviceReady = 1;
        m_frame->routeCommand(ID_FUNCTIONS_CAPTURE);
        m_device.queue(frames);
        ASSERT_TRUE(waitUntil([&] { return m_app.state().store.count() == unsigned(frames); }));
    }
    std::string file(const std::string& name) const { return (m_dir / name).string(); }
    bool shown(std::uint32_t id) const {
        for (const auto& s : m_messages.shown()) {
            if (s.stringId == id) return true;
        }
        return false;
    }

    fs::path m_dir;
    ScriptedDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(FirstHourTest, ALostAdapterStopsCapturingWithOneMessageAndKeepsTheFrames) {
    captureFrames(3);
    m_device.setFailing(true);
    ASSERT_TRUE(waitUntil([&] { return shown(strings::kAdapterLost); }));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 0u);
    EXPECT_EQ(m_app.state().store.count(), 3u);
    EXPECT_FALSE(m_frame->action(ID_FUNCTIONS_STOP)->isEnabled());
    EXPECT_TRUE(m_frame->action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_EQ(m_frame->statusBar()->currentMessage().toStdString(),
              strings::loadString(strings::kAdapterLostStatus));
    QTest::qWait(300);
    int times = 0;
    for (const auto& s : m_messages.shown()) times += s.stringId == strings::kAdapterLost ? 1 : 0;
    EXPECT_EQ(times, 1);
    EXPECT_EQ(m_messages.shown().back().icon, MessageIcon::kStop);
}

TEST_F(FirstHourTest, ALostAdapterWaitsForALongTaskToEndBeforeItsMessage) {
    captureFrames(3);
    // A long task (a filter pass, an import) is under way and lets posted events through.
    ProgressWindow progress(m_frame);
    progress.begin(strings::kFilteringData);
    m_device.setFailing(true);
    ASSERT_TRUE(waitUntil([&] { return m_app.state().capture.capturing.load() == 0; }));
    QTest::qWait(300);
    EXPECT_FALSE(shown(strings::kAdapterLost));
    progress.end();
    EXPECT_TRUE(waitUntil([&] { return shown(strings::kAdapterLost); }));
}

TEST_F(FirstHourTest, FramesLostInTheAdapterShowInTheStatusBarAndDeviceInformation) {
    m_frame->onTimer();
    EXPECT_EQ(m_frame->statusPane(110), "Lost: 0");
    captureFrames(1);
    m_device.reportLost(40);
    ASSERT_TRUE(waitUntil([&] { return m_app.state().capture.framesLost.load() == 40; }));
    m_device.reportLost(2);
    ASSERT_TRUE(waitUntil([&] { return m_app.state().capture.framesLost.load() == 42; }));
    m_frame->onTimer();
    EXPECT_EQ(m_frame->statusPane(110), "Lost: 42");
    DeviceInformation information(m_frame->deviceCommands(), m_messages);
    information.framesLostCount = m_app.state().capture.framesLost.load();
    information.open();
    ASSERT_TRUE(awaitAnswers(m_frame->deviceCommands()));
    DeviceInformationDialog dialog(information);
    EXPECT_EQ(dialog.framesLost(), "42");
    EXPECT_EQ(dialog.status(), "Run");
}

TEST_F(FirstHourTest, ExitWithTheHelpWindowOpenClosesEveryWindow) {
    const QString help = QCoreApplication::applicationDirPath() + "/Korvane-en.chm";
    ASSERT_TRUE(HtmlHelp(help, QString::fromLatin1(kHelpTopic), m_frame));
    QWidget* viewer = helpViewerWindow();
    ASSERT_TRUE(viewer->isVisible());
    QTest::keyClick(viewer, Qt::Key_Escape);
    EXPECT_FALSE(viewer->isVisible());

    ASSERT_TRUE(HtmlHelp(help, QString::fromLatin1(kHelpTopic), m_frame));
    ASSERT_TRUE(helpViewerWindow()->isVisible());
    m_frame->routeCommand(ID_APP_EXIT);
    EXPECT_FALSE(m_frame->isVisible());
    EXPECT_FALSE(helpViewerWindow()->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
}

TEST_F(FirstHourTest, AFileThatIsNoDocumentIsCalledSo) {
    // The first bytes of a picture, which read as version 52816.535.
    std::ofstream(file("picture.krv"), std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n", 8) << std::string(400, '\0');
    EXPECT_FALSE(m_app.openDocument(QString::fromStdString(file("picture.krv"))));
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_NE(m_messages.shown()[0].text.find("is not a Korvane document"), std::string::npos);
    EXPECT_EQ(m_messages.shown()[0].text.find("52816"), std::string::npos);
}

TEST_F(FirstHourTest, ClearAllOfUnsavedFramesAsksAndLeavesTheDocumentModified) {
    captureFrames(5);
    m_frame->routeCommand(ID_FUNCTIONS_STOP);
    m_frame->onTimer();
    ASSERT_TRUE(m_frame->isWindowModified());
    m_messages.setAnswer(false);
    m_frame->routeCommand(ID_FUNCTIONS_CLEARALL);
    EXPECT_TRUE(shown(strings::kClearUnsavedFrames));
    EXPECT_EQ(m_app.state().store.count(), 5u);

    ASSERT_TRUE(m_app.saveDocument(QString::fromStdString(file("kept.krv"))));
    EXPECT_FALSE(m_frame->isWindowModified());
    m_messages.clear();
    m_frame->routeCommand(ID_FUNCTIONS_CLEARALL);  // saved: no question
    EXPECT_TRUE(m_messages.shown().empty());
    EXPECT_EQ(m_app.state().store.count(), 0u);
    m_frame->onTimer();
    EXPECT_TRUE(m_frame->isWindowModified());
    EXPECT_TRUE(m_app.document()->IsModified());
}

TEST_F(FirstHourTest, TheFileMenuListsTheFourLatestDocumentsAndOpensThem) {
    m_app.newDocument();
    for (const char* name : {"a.krv", "b.krv", "c.krv", "d.krv", "e.krv", "c.krv"}) {
        ASSERT_TRUE(m_app.saveDocument(QString::fromStdString(file(name))));
    }
    const auto recentTexts = [&] {
        QStringList texts;
        QMenu* fileMenu = m_frame->menuBar()->actions().first()->menu();
        for (QAction* a : fileMenu->actions()) {
            if (a->text().startsWith('&') && a->text().at(1).isDigit()) texts << a->text();
        }
        return texts;
    };
    EXPECT_EQ(recentTexts(), QStringList({"&1 c.krv", "&2 e.krv", "&3 d.krv", "&4 b.krv"}));
    // Kept for the next start.
    RecentFiles stored;
    stored.load();
    ASSERT_EQ(stored.files().size(), 4);
    EXPECT_TRUE(stored.files()[0].endsWith("/c.krv"));

    // The command starts the open; the document is replaced once the worker read the file.
    const auto opened = [this] { return !m_app.state().work.busy(); };
    m_frame->routeCommand(ID_FILE_MRU_FILE1 + 2);
    runEventsUntil(opened);
    EXPECT_EQ(QString::fromStdString(m_app.document()->GetPathName()), stored.files()[2]);
    EXPECT_EQ(recentTexts().first(), "&1 d.krv");

    // A file that has gone leaves the list with its message.
    fs::remove(file("e.krv"));
    m_messages.clear();
    const int index = static_cast<int>(
        m_app.recentFiles().files().indexOf(QRegularExpression(QStringLiteral(".*/e\\.krv"))));
    ASSERT_GE(index, 0);
    m_frame->routeCommand(ID_FILE_MRU_FILE1 + static_cast<unsigned>(index));
    runEventsUntil(opened);
    EXPECT_EQ(m_messages.shown().size(), 1u);
    EXPECT_FALSE(recentTexts().join(' ').contains("e.krv"));
}

TEST(ColumnWidths, TheDataColumnHoldsEightBytesOfItsWidestDigit) {
    // A font whose D is wider than its 0.
    const auto measure = [](const QString& text) {
        int width = 0;
        for (const QChar c : text) width += c == QLatin1Char('D') ? 11 : 7;
        return width;
    };
    const std::vector<int> widths = ColumnWidths::fitted(ProtocolReading::kCan, 600, measure);
    const int data = static_cast<int>(dataListColumns(ProtocolReading::kCan).size()) - 1;
    EXPECT_GE(widths[static_cast<std::size_t>(data)],
              measure(QStringLiteral("DD DD DD DD DD DD DD DD")) + 2 * ColumnWidths::kCellMargin);
}

TEST(ColumnWidths, TextsFitAndTheListedShareIsKeptWhereThereIsRoom) {
    const auto measure = [](const QString& text) { return 7 * static_cast<int>(text.size()); };
    for (const ProtocolReading r :
         {ProtocolReading::kCan, ProtocolReading::kDeviceNet, ProtocolReading::kCanOpen}) {
        const std::vector<int> wide = ColumnWidths::fitted(r, 4000, measure);
        const std::vector<int> listed = dataListColumnWidths(r, 4000);
        const std::vector<int> narrow = ColumnWidths::fitted(r, 900, measure);
        ASSERT_EQ(wide.size(), listed.size());
        int total = 0;
        int needs = 0;
        for (std::size_t c = 0; c < wide.size(); ++c) {
            int need = 0;
            for (const QString& t : ColumnWidths::samples(r, static_cast<int>(c))) {
                need = std::max(need, measure(t));
            }
            EXPECT_GE(wide[c], listed[c]);
            EXPECT_GE(wide[c], need + 2 * ColumnWidths::kCellMargin);
            EXPECT_GE(narrow[c], need + 2 * ColumnWidths::kCellMargin) << int(r) << " " << c;
            total += narrow[c];
            needs += need + 2 * ColumnWidths::kCellMargin + 2;
        }
        // Fits whenever the texts allow it, else every column has just what its texts need.
        if (needs <= 900 - 18) {
            EXPECT_LE(total, 900 - 18) << int(r);
        } else {
            EXPECT_EQ(total, needs) << int(r);
        }
    }
    // A width the user chose stands, whatever the texts.
    const std::vector<int> chosen = {0, 0, 0, 0, 0, 0, 333};
    EXPECT_EQ(ColumnWidths::fitted(ProtocolReading::kCan, 900, measure, chosen)[6], 333);
}

TEST(ColumnWidths, StoredWidthsAreReadOnlyWhenTheyAreOurs) {
    EXPECT_EQ(ColumnWidths::decode("120,0,80", 4), (std::vector<int>{120, 0, 80, 0}));
    EXPECT_EQ(ColumnWidths::decode("120,5,99999,70,60", 4), (std::vector<int>{120, 0, 0, 70}));
    EXPECT_EQ(ColumnWidths::decode("120,x,80", 3), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(ColumnWidths::decode("", 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(ColumnWidths::encode({120, 0, 80}), "120,0,80");
}

TEST_F(FirstHourTest, NoColumnIsNarrowerThanItsTextsAndADraggedWidthIsKept) {
    m_app.newDocument();
    CViewDataList* view = m_frame->dataList();
    const QFontMetrics fm = view->list().header()->fontMetrics();
    for (const unsigned id : {ID_DATALIST_DEVICENET, ID_DATALIST_CANOPEN, ID_DATALIST_CAN}) {
        m_frame->routeCommand(id);
        for (int c = 0; c < view->model().columnCount(); ++c) {
            const QString header = view->model().headerData(c, Qt::Horizontal).toString();
            EXPECT_GE(view->list().header()->sectionSize(c), fm.horizontalAdvance(header))
                << header.toStdString();
        }
    }
    view->list().header()->resizeSection(6, 301);  // as a drag does
    QTest::qWait(700);                             // the drag has come to rest
    CViewDataList next(m_app.state(), m_messages);
    next.resize(900, 400);
    next.show();
    EXPECT_EQ(next.list().header()->sectionSize(6), 301);
    next.switchReading(ProtocolReading::kDeviceNet);
    EXPECT_NE(next.list().header()->sectionSize(6), 301);  // another reading, its own widths
    programSettings().WriteProfileString("Columns", "CAN", "");
}

TEST_F(FirstHourTest, ScrollingUpPausesFollowingAndEndResumesIt) {
    captureFrames(18);
    m_device.queue(18);
    ASSERT_TRUE(waitUntil([&] { return m_app.state().store.count() == 36; }));
    CViewDataList* view = m_frame->dataList();
    view->resize(600, 200);
    m_frame->onTimer();
    view->onTimer();
    QScrollBar* bar = view->list().verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    EXPECT_EQ(bar->value(), bar->maximum());
    m_frame->updateCommandUI();
    EXPECT_TRUE(m_frame->action(ID_DATALIST_FOLLOW)->isChecked());

    bar->setValue(3);  // the user reads older rows
    EXPECT_FALSE(view->follow().following());
    m_device.queue(18);
    ASSERT_TRUE(waitUntil([&] { return m_app.state().store.count() == 54; }));
    m_frame->onTimer();
    view->onTimer();
    EXPECT_EQ(view->model().rowCount(), 54);
    EXPECT_EQ(bar->value(), 3);  // left where the user put it
    m_frame->updateCommandUI();
    EXPECT_FALSE(m_frame->action(ID_DATALIST_FOLLOW)->isChecked());

    QTest::keyClick(&view->list(), Qt::Key_End);
    EXPECT_TRUE(view->follow().following());
    EXPECT_EQ(bar->value(), bar->maximum());

    m_frame->routeCommand(ID_DATALIST_FOLLOW);
    EXPECT_FALSE(view->follow().following());
    m_frame->routeCommand(ID_DATALIST_FOLLOW);
    EXPECT_TRUE(view->follow().following());
}

TEST_F(FirstHourTest, SelectedRowsAreCopiedAsTheExportsLines) {
    captureFrames(4);
    m_frame->onTimer();
    CViewDataList* view = m_frame->dataList();
    view->onTimer();
    m_frame->updateCommandUI();
    EXPECT_FALSE(m_frame->action(ID_EDIT_COPY)->isEnabled());  // nothing selected
    QTest::keyClick(&view->list(), Qt::Key_Home);
    QTest::keyClick(&view->list(), Qt::Key_Down);
    QTest::keyClick(&view->list(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view->list().selectedRows(), std::make_pair(1, 2));
    m_frame->updateCommandUI();
    ASSERT_TRUE(m_frame->action(ID_EDIT_COPY)->isEnabled());
    m_frame->routeCommand(ID_EDIT_COPY);
    const QStringList lines = QGuiApplication::clipboard()->text().split('\n');
    ASSERT_EQ(lines.size(), 3);  // two lines and the end of the last
    char expected[256];
    const int n = exportRow(expected, ProtocolReading::kCan, m_app.state().store.at(2), 2);
    EXPECT_EQ(lines[1].toStdString(), std::string(expected, static_cast<std::size_t>(n)));
    EXPECT_TRUE(lines[0].startsWith("0000001")) << lines[0].toStdString();
    // The copy key is not one the readings already use.
    const QKeySequence copy = m_frame->action(ID_EDIT_COPY)->shortcut();
    EXPECT_EQ(copy, QKeySequence(QStringLiteral("Ctrl+Ins")));
    for (const Accelerator& a : accelerators()) {
        if (a.id != ID_EDIT_COPY) {
            EXPECT_NE(QKeySequence(QString::fromLatin1(a.keys)), copy);
        }
    }
}

TEST(WindowLayout, TheFirstSizeFitsTheScreen) {
    EXPECT_EQ(defaultWindowSize(QRect(0, 0, 1366, 740)), QSize(1340, 666));
    EXPECT_EQ(defaultWindowSize(QRect(0, 0, 1920, 1050)), QSize(1340, 800));
    EXPECT_EQ(defaultWindowSize(QRect(0, 0, 640, 480)), QSize(800, 560));
}

TEST_F(FirstHourTest, TheWindowComesBackWithItsSizeAndBars) {
    m_frame->resize(900, 610);
    m_frame->leftBar()->hide();
    saveWindowLayout(*m_frame);
    MonitorApp second{&m_device, &m_messages};
    ASSERT_TRUE(second.InitInstance({}));
    EXPECT_EQ(second.mainFrame().size(), QSize(900, 610));
    EXPECT_TRUE(second.mainFrame().leftBar()->isHidden());
    // The next test starts from a first run again.
    programSettings().WriteProfileString("Window", "Geometry", "");
    programSettings().WriteProfileString("Window", "State", "");
}

TEST(Icons, EveryToolbarButtonAndTheProgramHaveTheirOwnImage) {
    std::set<QByteArray> images;
    for (const unsigned id : toolbarButtons()) {
        if (id == 0) continue;
        const QPixmap pixmap = commandIcon(id).pixmap(16, 16);
        ASSERT_FALSE(pixmap.isNull()) << id;
        // Drawn, not blank.
        const QImage image = pixmap.toImage();
        int opaque = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) opaque += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
        }
        EXPECT_GT(opaque, 20) << id;
        images.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                                 static_cast<int>(image.sizeInBytes())));
    }
    EXPECT_EQ(images.size(), 17u);  // the two Stop buttons look different too
    EXPECT_FALSE(applicationIcon().pixmap(64, 64).isNull());
}

namespace {

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// Left edges (points) of every word `word` on the first page of `pdf`, and the rightmost edge of
// any word there.
std::pair<std::vector<double>, double> wordEdges(const std::string& pdf, const std::string& word) {
    const std::string xml = commandOutput("pdftotext -bbox -f 1 -l 1 '" + pdf + "' -");
    std::vector<double> lefts;
    double right = 0;
    std::size_t at = 0;
    while ((at = xml.find("<word xMin=\"", at)) != std::string::npos) {
        const double xMin = std::stod(xml.substr(at + 12));
        const std::size_t xMaxAt = xml.find("xMax=\"", at);
        right = std::max(right, std::stod(xml.substr(xMaxAt + 6)));
        const std::size_t textAt = xml.find('>', at) + 1;
        if (xml.compare(textAt, word.size() + 1, word + "<") == 0) lefts.push_back(xMin);
        at = textAt;
    }
    return {lefts, right};
}

}  // namespace

TEST(PrintFont, PrintedColumnsLineUpAndTheLongestLineFitsThePage) {
    const fs::path dir =
        fs::temp_directory_path() / ("korvane-print-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    // Identifiers of letters and of digits, whose glyphs differ in width in a proportional font.
    for (const std::uint32_t id : {0x080u, 0x7FFu, 0x1ABu, 0x3C3u}) {
        CapturedFrame f;
        f.identifier = id;
        f.length = 8;
        for (auto& b : f.data) b = 0xDF;
        store.append(f);
    }
    FilterStep(filter, store, flags);
    for (const ProtocolReading reading :
         {ProtocolReading::kCan, ProtocolReading::kDeviceNet, ProtocolReading::kCanOpen}) {
        const std::string pdf = (dir / "page.pdf").string();
        {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(QString::fromStdString(pdf));
            ASSERT_TRUE(
                DataListPrinter(reading, filter.displayIndexList, store, printBodyFont(reading))
                    .print(printer));
        }
        EXPECT_NE(commandOutput("pdffonts '" + pdf + "'").find("Mono"), std::string::npos);
        const auto [lefts, right] = wordEdges(pdf, "Standard");
        ASSERT_EQ(lefts.size(), 4u) << int(reading);
        for (const double x : lefts) EXPECT_NEAR(x, lefts[0], 0.2) << int(reading);
        // Inside an A4 page and clear of its right edge.
        EXPECT_LT(right, 595.0 - 10) << "reading " << int(reading);
    }
    fs::remove_all(dir);
}
