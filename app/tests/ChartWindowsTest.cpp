// The chart windows' commands against a recorded host: New Window, Rename, Delete, and the windows
// a document brings.

#include "app/ChartWindows.h"
#include "curves/CurveCsvExport.h"
#include "curves/CurveDialogLogic.h"
#include "resources/CommandIds.h"
#include "resources/CurveCommandIds.h"
#include "views/CViewChart.h"
#include "views/ChartScanTicker.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTableWidget>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <thread>

namespace {

class RecordingHost final : public ChartWindowsHost {
public:
    explicit RecordingHost(QMdiArea* area) : m_area(area) {}

    [[nodiscard]] QMdiArea* chartArea() const override { return m_area; }
    [[nodiscard]] std::vector<CurveWindowRecord>* windowRecords() const override {
        return documentOpen ? &records : nullptr;
    }
    void windowRecordsChanged(const std::vector<CurveWindowRecord>& windows) override {
        tree.clear();
        for (const CurveWindowRecord& r : windows) tree.push_back(r.name.text());
    }
    [[nodiscard]] ChartKind newWindowKind() const override { return kind; }
    void setNewWindowKind(ChartKind k) override { kind = k; }
    void showStatus(const QString& text) override { status = text; }

    std::optional<NewChartWindow> askNewWindow(ChartKind offered, int counter) override {
        offers.emplace_back(offered, counter);
        return newWindow;
    }
    std::optional<std::string> askNewName(const std::string&) override { return newName; }
    std::optional<CurveAnswer> askCurves(const CurveWindowRecord& record, ChartKind,
                                         const CurveSignalCatalog&, const CurveSignalRefs& values,
                                         const CurveSignalRefs& xValues) override {
        if (!curves) return CurveAnswer{record, values, xValues};
        CurveWindowRecord r = *curves;
        r.name = record.name;
        return CurveAnswer{r, values, xValues};
    }
    bool askDelete() override {
        ++deleteQuestions;
        return deleteAnswer;
    }
    std::string askCsvPath(const std::string&) override { return csvPath; }

    bool documentOpen = true;
    mutable std::vector<CurveWindowRecord> records;
    std::vector<std::string> tree;
    ChartKind kind = ChartKind::kYt;
    QString status;
    std::optional<NewChartWindow> newWindow;
    std::optional<std::string> newName;
    std::optional<CurveWindowRecord> curves;  // what the curve dialog's OK leaves
    std::string csvPath;                      // what File > Export Curves asks for
    bool deleteAnswer = false;
    int deleteQuestions = 0;
    std::vector<std::pair<ChartKind, int>> offers;

private:
    QMdiArea* m_area;
};

class ChartWindowsTest : public ::testing::Test {
protected:
    ChartWindowsTest() {
        auto host = std::make_unique<RecordingHost>(&m_area);
        m_host = host.get();
        m_charts = std::make_unique<ChartWindows>(std::move(host), m_state, m_messages, &m_info);
    }
    ~ChartWindowsTest() override { m_charts.reset(); }

    void newWindow(ChartKind kind, const std::string& name) {
        m_host->newWindow = NewChartWindow{kind, name};
        m_charts->OnNewWindow(ID_POPUP_NEW_WINDOW);
    }
    // The chart windows the MDI area shows, by title.
    std::vector<std::string> shownWindows() {
        QApplication::processEvents();
        std::vector<std::string> titles;
        for (QMdiSubWindow* w : m_area.subWindowList()) {
            if (dynamic_cast<ChartView*>(w->widget()) != nullptr) {
                titles.push_back(w->windowTitle().toStdString());
            }
        }
        std::sort(titles.begin(), titles.end());
        return titles;
    }
    std::vector<std::string> recordNames() const {
        std::vector<std::string> names;
        for (const CurveWindowRecord& r : m_host->records) names.push_back(r.name.text());
        return names;
    }

    // The windows go before the state their views read.
    ProgramState m_state;
    MessageRecorder m_messages;
    QMdiArea m_area;
    QTableWidget m_info;
    RecordingHost* m_host = nullptr;
    std::unique_ptr<ChartWindows> m_charts;
};

}  // namespace

TEST_F(ChartWindowsTest, NewWindowAddsTheRecordOpensItsWindowAndOffersItsKindNextTime) {
    newWindow(ChartKind::kYx, "plot");
    EXPECT_EQ(recordNames(), std::vector<std::string>{"plot"});
    EXPECT_NE(m_host->records[0].flags & window_flags::kYx, 0u);
    EXPECT_EQ(m_host->tree, std::vector<std::string>{"plot"});
    EXPECT_EQ(shownWindows(), std::vector<std::string>{"plot"});
    ASSERT_NE(m_charts->viewNamed("plot"), nullptr);
    EXPECT_EQ(m_charts->windowCounter(), 1);

    newWindow(ChartKind::kYt, "speed");
    ASSERT_EQ(m_host->offers.size(), 2u);
    EXPECT_EQ(m_host->offers[1], std::make_pair(ChartKind::kYx, 1));
    EXPECT_EQ(m_host->kind, ChartKind::kYt);
    EXPECT_EQ(shownWindows(), (std::vector<std::string>{"plot", "speed"}));

    // A taken name, a cancelled dialog and a closed document add nothing.
    newWindow(ChartKind::kYt, "plot");
    EXPECT_EQ(m_messages.shown().size(), 1u);
    m_host->newWindow.reset();
    m_charts->OnNewWindow(ID_POPUP_NEW_WINDOW);
    m_host->documentOpen = false;
    newWindow(ChartKind::kYt, "other");
    EXPECT_EQ(m_host->offers.size(), 4u);
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"plot", "speed"}));
    EXPECT_EQ(m_charts->windowCounter(), 2);
}

TEST_F(ChartWindowsTest, ADoubleClickOnAKindsNodeOffersANewWindowOfThatKind) {
    m_host->newWindow = NewChartWindow{ChartKind::kYx, "xy"};
    m_charts->activateOrCreate("y(x)", ChartKind::kYx, true);
    ASSERT_EQ(m_host->offers.size(), 1u);
    EXPECT_EQ(m_host->offers[0].first, ChartKind::kYx);
    EXPECT_EQ(recordNames(), std::vector<std::string>{"xy"});
}

TEST_F(ChartWindowsTest, RenameChangesTheRecordTheWindowAndTheTreeButNotToATakenName) {
    newWindow(ChartKind::kYt, "a");
    newWindow(ChartKind::kYt, "b");
    m_charts->selectWindow("a");
    m_host->newName = "c";
    m_charts->OnRename(ID_YT_RENAME);
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"c", "b"}));
    EXPECT_EQ(m_host->tree, (std::vector<std::string>{"c", "b"}));
    EXPECT_EQ(shownWindows(), (std::vector<std::string>{"b", "c"}));
    ASSERT_NE(m_charts->viewNamed("c"), nullptr);
    EXPECT_EQ(m_charts->viewNamed("a"), nullptr);

    m_host->newName = "b";
    m_charts->OnRename(ID_YT_RENAME);
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"c", "b"}));
    EXPECT_FALSE(m_messages.shown().empty());

    // A name is cut to what the record holds.
    m_host->newName = std::string(40, 'n');
    m_charts->OnRename(ID_YT_RENAME);
    EXPECT_EQ(recordNames()[0], std::string(kMaxNameLength, 'n'));
}

TEST_F(ChartWindowsTest, DeleteAsksThenRemovesTheRecordAndClosesItsWindow) {
    newWindow(ChartKind::kYt, "a");
    newWindow(ChartKind::kYx, "b");
    m_charts->selectWindow("a");
    m_charts->OnDelete(ID_YT_DELETE);
    EXPECT_EQ(m_host->deleteQuestions, 1);
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"a", "b"}));

    m_host->deleteAnswer = true;
    m_charts->selectWindow("a");
    m_charts->OnDelete(ID_YT_DELETE);
    EXPECT_EQ(recordNames(), std::vector<std::string>{"b"});
    EXPECT_EQ(m_host->tree, std::vector<std::string>{"b"});
    EXPECT_EQ(shownWindows(), std::vector<std::string>{"b"});
}

TEST_F(ChartWindowsTest, ADocumentsChartWindowsOpenInPlaceOfTheOpenOnesUpToTheLimit) {
    newWindow(ChartKind::kYt, "old");
    CurveWindowRecord dataList;
    dataList.flags = CurveWindowRecord::kDataList;
    dataList.name.set("dl");
    m_host->records = {dataList, newWindowRecord(ChartKind::kYt, "t"),
                       newWindowRecord(ChartKind::kYx, "x")};
    m_charts->documentChanged();
    EXPECT_EQ(shownWindows(), (std::vector<std::string>{"t", "x"}));
    EXPECT_TRUE(m_host->status.isEmpty());

    m_host->records.clear();
    for (int i = 0; i < 40; ++i) {
        std::string name = "w";
        name += std::to_string(i);
        m_host->records.push_back(newWindowRecord(ChartKind::kYt, name));
    }
    m_charts->documentChanged();
    EXPECT_EQ(shownWindows().size(), ChartWindows::kMaxWindowsOpenedWithDocument);
    EXPECT_EQ(m_host->status,
              "32 of the document's 40 chart windows are open; double-click a name under y(t) "
              "or y(x) to open its window.");
    // One left closed opens when asked for by name.
    m_charts->activateOrCreate("w39", ChartKind::kYt, false);
    EXPECT_NE(m_charts->viewNamed("w39"), nullptr);
}

TEST_F(ChartWindowsTest, TheWindowsSayWhenTheyHaveReadALargeStore) {
    // One chunk per round of events, so that a small store already takes many rounds.
    const std::shared_ptr<ChartScanTicker> ticker = ChartScanTicker::shared();
    ticker->setSlice({}, 1000);
    for (std::uint32_t n = 0; n < 50000; ++n) {
        CapturedFrame f;
        f.identifier = n % 2 == 0 ? 0x181 : 0x281;
        f.length = 1;
        f.data[0] = static_cast<std::uint8_t>(n * 7);
        f.millis = n % 1000;
        m_state.store.append(f);
    }
    CurveWindowRecord speed = newWindowRecord(ChartKind::kYt, "speed");
    speed.yt[0].flags = curve_flags::kDefined | curve_flags::kShow | 0x01;
    speed.yt[0].identifier = 0x181;
    m_host->records = {speed, newWindowRecord(ChartKind::kYt, "empty"),
                       newWindowRecord(ChartKind::kYx, "pairs")};
    const auto runUntilRead = [&] {
        int rounds = 0;
        while (!m_charts->scansComplete() && rounds < 10000) {
            QApplication::processEvents();
            ++rounds;
        }
        return rounds;
    };
    m_charts->documentChanged();
    EXPECT_FALSE(m_charts->scansComplete());
    EXPECT_GT(runUntilRead(), 10);
    EXPECT_TRUE(m_charts->scansComplete());
    const auto* view = dynamic_cast<const CViewChart*>(m_charts->viewNamed("speed"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->scan().slot(0).samples.size(), 25000u);

    // A curve defined on the second window is read in steps too.
    m_host->curves = speed;
    m_host->curves->yt[1] = speed.yt[0];
    m_host->curves->yt[1].identifier = 0x281;
    m_charts->selectWindow("empty");
    m_charts->OnCurve(ID_YT_CURVE);
    EXPECT_FALSE(m_charts->scansComplete());
    EXPECT_GT(runUntilRead(), 10);
    view = dynamic_cast<const CViewChart*>(m_charts->viewNamed("empty"));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->scan().slot(1).samples.size(), 25000u);
    EXPECT_EQ(view->scan().slot(1).statistics.maximum, 255);
    ticker->setSlice(ChartScanTicker::kSlice, ChartScanTicker::kChunkFrames);
}

TEST_F(ChartWindowsTest, ExportCurvesRunsOnTheWorkerAndEndsWholeAfterItsWindowWent) {
    for (std::uint32_t n = 0; n < 100000; ++n) {
        CapturedFrame f;
        f.identifier = 0x181;
        f.length = 1;
        f.data[0] = static_cast<std::uint8_t>(n);
        f.millis = n % 1000;
        m_state.store.append(f);
    }
    CurveWindowRecord speed = newWindowRecord(ChartKind::kYt, "speed");
    speed.yt[0].flags = curve_flags::kDefined | curve_flags::kShow | 0x01;
    speed.yt[0].identifier = 0x181;
    speed.yt[0].name.set("s");
    m_host->records = {speed};
    m_charts->documentChanged();
    // Completions wait here until the test runs them, as the event loop would later.
    std::mutex mutex;
    std::vector<std::function<void()>> posted;
    m_state.work.setPoster([&](std::function<void()> done) {
        std::lock_guard lock(mutex);
        posted.push_back(std::move(done));
    });
    char pattern[] = "/tmp/chart-export-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/speed.csv";
    m_host->csvPath = path;
    m_charts->selectWindow("speed");
    m_charts->OnExportCurves(ID_FILE_EXPORT_CURVES);
    EXPECT_TRUE(m_state.work.busy());
    m_charts.reset();  // the window (and the host) go while its export runs
    m_host = nullptr;
    for (int i = 0; i < 1000; ++i) {
        {
            std::lock_guard lock(mutex);
            if (!posted.empty()) break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(posted.size(), 1u);
    posted.front()();
    EXPECT_FALSE(m_state.work.busy());
    EXPECT_TRUE(m_messages.shown().empty());

    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    writeCurveValues(out, speed, m_state.store);
    std::fclose(out);
    const std::string expected(text, size);
    std::free(text);
    std::ifstream in(path);
    const std::string written{std::istreambuf_iterator<char>(in), {}};
    EXPECT_EQ(written.size(), expected.size());
    EXPECT_TRUE(written == expected);
    std::filesystem::remove_all(pattern);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
