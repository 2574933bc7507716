// CAN databases in the program: File > Add CAN Database..., the tree's "CAN databases" node with
// Remove, the data list's Signals column, the Signals panel, curves of signals, and a document
// that keeps them.

#include "app/CanDatabases.h"
#include "app/ChartWindows.h"
#include "app/CoolBar.h"
#include "app/MonitorApp.h"
#include "app/SignalCurveSource.h"
#include "candb/DbcReader.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "tests/support/QuietDevice.h"
#include "views/CViewChart.h"
#include "views/CViewDataList.h"
#include "views/SignalFilterEditor.h"
#include "views/SignalsPanel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char* const kEngine = R"(VERSION "engine 1"
BU_: Ecu
BO_ 256 EngineData: 8 Ecu
 SG_ EngineSpeed : 0|16@1+ (1,0) [0|8000] "rpm" Vector__XXX
 SG_ CoolantTemp : 16|8@1+ (1,-100) [-100|155] "degC" Vector__XXX
 SG_ Gear : 24|8@1+ (1,0) [0|3] "" Vector__XXX
CM_ SG_ 256 EngineSpeed "Crankshaft speed";
VAL_ 256 Gear 0 "Park" 1 "Drive" ;
)";

const char* const kOther = R"(VERSION "other"
BO_ 256 Doors: 1 Vector__XXX
 SG_ DoorOpen : 0|1@1+ (1,0) [0|1] "" Vector__XXX
)";

CapturedFrame frame(std::uint32_t identifier, std::initializer_list<std::uint8_t> bytes) {
    CapturedFrame f;
    f.identifier = identifier;
    for (const std::uint8_t b : bytes) f.data[f.length++] = b;
    return f;
}

class SignalsGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("korvane-signals-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
        m_app.newDocument();
        ProgramState& state = m_app.state();
        state.store.append(frame(0x100, {0xC4, 0x09, 44, 1}));  // 2500 rpm, -56 degC, Drive
        state.store.append(frame(0x200, {1}));
        FilterStep(state.filter, state.store, state.flags);
        m_frame->dataList()->onTimer();
    }
    void TearDown() override { fs::remove_all(m_dir); }

    QString file(const char* name, const std::string& text) const {
        const fs::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return QString::fromStdString(path.string());
    }
    CanDatabases& databases() { return *m_frame->canDatabases(); }
    DataListModel& model() { return m_frame->dataList()->model(); }
    std::string cell(int row, int column) {
        return model().data(model().index(row, column)).toString().toStdString();
    }
    QStringList treeNames() {
        QStringList names;
        for (int i = 0; i < databases().node()->childCount(); ++i) {
            names << databases().node()->child(i)->text(0);
        }
        return names;
    }

    fs::path m_dir;
    QuietDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(SignalsGuiTest, ADatabaseBringsTheSignalsColumnAndTheTreeNamesIt) {
    const int columns = model().columnCount();
    EXPECT_EQ(model().signalsColumn(), -1);
    EXPECT_EQ(databases().node()->text(0), "CAN databases");
    EXPECT_EQ(databases().node()->parent(), m_frame->tree()->topLevelItem(0));

    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    EXPECT_TRUE(m_messages.shown().empty());
    EXPECT_EQ(treeNames(), QStringList{"engine.dbc"});
    ASSERT_EQ(model().columnCount(), columns + 1);
    EXPECT_EQ(model().signalsColumn(), columns);
    EXPECT_EQ(model().headerData(columns, Qt::Horizontal).toString(), "Signals");
    EXPECT_EQ(cell(0, columns), "EngineData: EngineSpeed=2500 rpm CoolantTemp=-56 degC Gear=Drive");
    EXPECT_EQ(model().data(model().index(0, columns), Qt::ToolTipRole).toString(),
              "EngineData: EngineSpeed=2500 rpm CoolantTemp=-56 degC Gear=Drive");
    EXPECT_EQ(cell(1, columns), "") << "no database names 0x200";
    // The reading's own cells are as they were.
    EXPECT_EQ(cell(0, 3), "100");
    // The column follows a change of reading.
    m_frame->dataList()->switchReading(ProtocolReading::kCanOpen);
    EXPECT_EQ(model().headerData(model().columnCount() - 1, Qt::Horizontal).toString(), "Signals");
    EXPECT_EQ(cell(0, model().signalsColumn()).substr(0, 11), "EngineData:");
    EXPECT_EQ(m_app.state().capture.pendingChanges.load(), 1u) << "the document changed";

    // Remove, from the tree's popup.
    QTreeWidgetItem* item = databases().node()->child(0);
    EXPECT_EQ(m_frame->treeRightClick(item), CanDatabases::kPopupResource);
    m_frame->routeCommand(ID_CANDB_REMOVE);
    EXPECT_TRUE(treeNames().isEmpty());
    EXPECT_EQ(model().signalsColumn(), -1);
    EXPECT_EQ(model().columnCount(),
              static_cast<int>(dataListColumns(ProtocolReading::kCanOpen).size()));
}

TEST_F(SignalsGuiTest, AFileThatIsNoDatabaseIsRefusedNamingItsLineAndNothingIsAdded) {
    const QString bad =
        file("bad.dbc", "VERSION \"\"\n\nBO_ 1 Ok: 1 X\n SG_ A : 0|8@1+ (1,0 [0|1] \"\" X\n");
    EXPECT_FALSE(databases().addFile(bad));
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    const std::string& text = m_messages.shown()[0].text;
    EXPECT_NE(text.find("bad.dbc"), std::string::npos) << text;
    EXPECT_NE(text.find("line 4"), std::string::npos) << text;
    EXPECT_FALSE(databases().addFile(file("capture.krv", std::string("\x01\0\0\0", 4))));
    EXPECT_FALSE(databases().addFile(QString::fromStdString((m_dir / "missing.dbc").string())));
    EXPECT_EQ(m_messages.shown().size(), 3u);
    EXPECT_TRUE(treeNames().isEmpty());
    EXPECT_TRUE(m_app.state().databases.empty());
    EXPECT_EQ(model().signalsColumn(), -1);
}

TEST_F(SignalsGuiTest, ASecondDatabaseNamingAnIdentifierAgainIsWarnedOfAndTheFirstDecodes) {
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    ASSERT_TRUE(databases().addFile(file("other.dbc", kOther)));
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kWarning);
    const std::string& text = m_messages.shown()[0].text;
    EXPECT_NE(text.find("0x100 Doors: EngineData of engine.dbc"), std::string::npos) << text;
    EXPECT_EQ(treeNames(), (QStringList{"engine.dbc", "other.dbc"}));
    EXPECT_EQ(cell(0, model().signalsColumn()).substr(0, 11), "EngineData:");
    // Without the first, the second decodes the identifier.
    ASSERT_TRUE(databases().remove(0));
    EXPECT_EQ(cell(0, model().signalsColumn()), "Doors: DoorOpen=0");
}

TEST_F(SignalsGuiTest, ASavedDocumentOpensWithItsDatabasesAndAnotherWithout) {
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    const QString withDatabase = QString::fromStdString((m_dir / "with.krv").string());
    ASSERT_TRUE(m_app.saveDocument(withDatabase));
    // The database file may go: the document keeps its text.
    fs::remove(m_dir / "engine.dbc");
    DocumentContents plain;
    FrameStore frames;
    frames.append(frame(0x100, {0, 0, 0, 0}));
    const std::string without = (m_dir / "without.krv").string();
    ASSERT_TRUE(::saveDocument(without, plain, frames, 1, nullptr).ok);

    ASSERT_TRUE(m_app.openDocument(QString::fromStdString(without)));
    EXPECT_TRUE(m_app.state().databases.empty());
    EXPECT_TRUE(treeNames().isEmpty());
    EXPECT_EQ(model().signalsColumn(), -1);

    ASSERT_TRUE(m_app.openDocument(withDatabase));
    EXPECT_TRUE(m_messages.shown().empty());
    EXPECT_EQ(treeNames(), QStringList{"engine.dbc"});
    ASSERT_GE(model().signalsColumn(), 0);
    EXPECT_EQ(cell(0, model().signalsColumn()),
              "EngineData: EngineSpeed=2500 rpm CoolantTemp=-56 degC Gear=Drive");
    EXPECT_FALSE(m_app.document()->IsModified());
}

TEST_F(SignalsGuiTest, ThePanelShowsTheSelectedRowAndElseFollowsTheNewestFrame) {
    SignalsPanel& panel = *databases().panel();
    EXPECT_FALSE(databases().panelBar()->isVisibleTo(m_frame));
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    EXPECT_TRUE(databases().panelBar()->isVisibleTo(m_frame)) << "the first database shows it";
    ASSERT_EQ(panel.messages()->count(), 1);
    EXPECT_EQ(panel.messages()->currentText(), "EngineData (0x100)");

    panel.refresh();
    EXPECT_EQ(panel.shownFrame(), 0u);
    EXPECT_EQ(panel.caption()->text(), "EngineData (0x100), frame 0");
    ASSERT_EQ(panel.lines()->topLevelItemCount(), 3);
    const QTreeWidgetItem* speed = panel.lines()->topLevelItem(0);
    EXPECT_EQ(speed->text(SignalsPanel::kName), "EngineSpeed");
    EXPECT_EQ(speed->text(SignalsPanel::kValue), "2500 rpm");
    EXPECT_EQ(speed->text(SignalsPanel::kRaw), "2500");
    EXPECT_EQ(speed->text(SignalsPanel::kMinimum), "0");
    EXPECT_EQ(speed->text(SignalsPanel::kMaximum), "8000");
    EXPECT_EQ(speed->toolTip(SignalsPanel::kValue), "Crankshaft speed");
    EXPECT_EQ(panel.lines()->topLevelItem(2)->text(SignalsPanel::kDescription), "Drive");

    // A newer frame of the message, as a capture appends it.
    ProgramState& state = m_app.state();
    state.store.append(frame(0x100, {0x10, 0x27, 100, 0}));
    panel.refresh();
    EXPECT_EQ(panel.shownFrame(), 2u);
    EXPECT_EQ(panel.lines()->topLevelItem(0)->text(SignalsPanel::kValue), "10000 rpm");
    EXPECT_EQ(panel.lines()->topLevelItem(2)->text(SignalsPanel::kDescription), "Park");

    // A selected row wins over following; a frame no database names says so.
    FilterStep(state.filter, state.store, state.flags);
    m_frame->dataList()->onTimer();
    VirtualTableView& list = m_frame->dataList()->list();
    QTest::keyClick(&list, Qt::Key_Home);
    ASSERT_EQ(list.currentRow(), 0);
    panel.refresh();
    EXPECT_EQ(panel.shownFrame(), 0u);
    EXPECT_EQ(panel.lines()->topLevelItem(0)->text(SignalsPanel::kValue), "2500 rpm");
    QTest::keyClick(&list, Qt::Key_Down);
    panel.refresh();
    EXPECT_EQ(panel.caption()->text(), "No database names this frame (0x200)");
    EXPECT_EQ(panel.lines()->topLevelItemCount(), 0);

    // Without databases the panel says how to add one.
    ASSERT_TRUE(databases().remove(0));
    panel.refresh();
    EXPECT_EQ(panel.messages()->count(), 0);
    EXPECT_FALSE(panel.shownFrame());
    EXPECT_NE(panel.caption()->text().indexOf("Add CAN Database"), -1);
    m_frame->routeCommand(ID_VIEW_SIGNALS);
    EXPECT_FALSE(databases().panelBar()->isVisibleTo(m_frame));
}

TEST(SignalCurveOffer, TheBytesClosestToASignalAndAScaleOfItsRange) {
    const DbcReadResult r = DbcReader::read(R"(VERSION ""
BO_ 389 Drive: 8 X
 SG_ Speed : 32|16@1+ (1,0) [0|5000] "rpm" X
 SG_ Torque : 16|16@1- (0.01,0) [-10|10] "Nm" X
 SG_ State : 7|12@0+ (1,0) [0|0] "" X
 SG_ Odd : 3|7@1- (1,0) [0|0] "" X
 SG_ Wide : 0|64@1+ (1,0) [0|0] "" X
 SG_ Level : 32|32@1- (1,0) [0|0] "" X
SIG_VALTYPE_ 389 Level : 1;
)");
    ASSERT_TRUE(r.ok) << r.error;
    const CanMessage& m = r.database->messages()[0];
    const auto offer = [&](int i) {
        return signalOffer(m, m.signals[static_cast<std::size_t>(i)]);
    };
    const auto bytes = [](std::initializer_list<int> on) {
        std::array<bool, 8> b{};
        for (const int i : on) b[static_cast<std::size_t>(i)] = true;
        return b;
    };
    const CurveSignalOffer speed = offer(0);
    EXPECT_EQ(speed.ref, (CurveSignalRef{389, false, "Drive", "Speed"}));
    EXPECT_EQ(speed.bytes, bytes({4, 5}));
    EXPECT_TRUE(speed.reverse);
    EXPECT_FALSE(speed.isSigned);
    EXPECT_EQ(speed.origin, "0");
    EXPECT_EQ(speed.resolution, "100");
    const CurveSignalOffer torque = offer(1);  // raw -1000 to 1000
    EXPECT_TRUE(torque.isSigned);
    EXPECT_EQ(torque.origin, "-1000");
    EXPECT_EQ(torque.resolution, "40");
    const CurveSignalOffer state = offer(2);  // Motorola from bit 7 of byte 0 into byte 1
    EXPECT_EQ(state.bytes, bytes({0, 1}));
    EXPECT_FALSE(state.reverse);
    EXPECT_EQ(state.resolution, "82");  // 0 to 4095 without a range in the database
    EXPECT_EQ(offer(3).bytes, bytes({0, 1}));
    EXPECT_EQ(offer(3).origin, "-64");
    EXPECT_EQ(offer(4).bytes, bytes({0, 1, 2, 3})) << "a curve reads four bytes at most";
    EXPECT_EQ(offer(5).origin, "-1000") << "a float's reading is in thousandths";

    // The values a curve of each samples.
    const auto decoder = std::make_shared<const SignalDecoder>(
        std::vector<std::shared_ptr<const CanDatabase>>{r.database});
    CapturedFrame f;
    f.identifier = 389;
    f.length = 8;
    const std::uint8_t data[8] = {0x12, 0x34, 0x18, 0xFC, 0x88, 0x13, 0x00, 0xC0};
    std::copy(std::begin(data), std::end(data), f.data);
    std::int64_t v = 0;
    const auto torqueCurve = curveSignal(decoder, 389, false, "Torque");
    ASSERT_TRUE(torqueCurve);
    ASSERT_TRUE(torqueCurve->reading(f, v));
    EXPECT_EQ(v, -1000);
    EXPECT_EQ(torqueCurve->text(v), "-10");
    ASSERT_TRUE(curveSignal(decoder, 389, false, "Speed")->reading(f, v));
    EXPECT_EQ(v, 5000);
    const auto level = curveSignal(decoder, 389, false, "Level");
    ASSERT_TRUE(level->reading(f, v));  // 0xC0001388 as a float: -2.0004...
    EXPECT_EQ(v, -2001);
    EXPECT_EQ(level->text(v), "-2.001");
    EXPECT_FALSE(curveSignal(decoder, 389, true, "Speed")) << "the extended 389 is another";
    EXPECT_FALSE(curveSignal(decoder, 389, false, "Gone"));
    f.length = 5;
    EXPECT_FALSE(curveSignal(decoder, 389, false, "Speed")->reading(f, v)) << "too short";
}

TEST_F(SignalsGuiTest, AYtCurveOfASignalDrawsPhysicalValuesAndTheDocumentKeepsIt) {
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    ProgramState& state = m_app.state();
    state.store.append(frame(0x100, {0, 0, 144, 0}));  // 44 degC
    // A y(t) window whose curve reads the coolant's byte, as the curve dialog leaves it.
    CurveWindowRecord window = newWindowRecord(ChartKind::kYt, "temps");
    const CurveSignalCatalog catalog = signalCatalog(*state.databases.decoder());
    ASSERT_EQ(catalog.size(), 3u);
    YtCurveForm form;
    chooseSignal(form, catalog[1]);
    EXPECT_EQ(form.name, "CoolantTemp");
    YtCurveEditor editor(window, m_messages, nullptr);
    ASSERT_TRUE(editor.add(form));
    window = editor.accepted(true, true);
    storeSignalRefs(state.signalCurves, window, editor.slotSignals(), {});
    m_app.document()->contents.windows.push_back(window);
    ChartView* view = m_frame->chartWindows()->openWindow(window);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->signal(0, Axis::kY), nullptr);
    const CurveStatistics* st = view->statistics(0, Axis::kY);
    ASSERT_TRUE(st->hasFirst);
    EXPECT_EQ(st->minimum, 44);  // the readings are raw values
    EXPECT_EQ(st->maximum, 144);
    EXPECT_EQ(view->signal(0, Axis::kY)->text(st->minimum), "-56");
    const auto& chart = static_cast<CViewChart*>(view)->chart();
    EXPECT_EQ(chart.valueLabel(0, 0), "-100");  // the database's minimum, degC
    EXPECT_EQ(chart.valueLabel(0, 50), "200");  // 0 to 255 raw: 6 per division

    const QString path = QString::fromStdString((m_dir / "curves.krv").string());
    ASSERT_TRUE(m_app.saveDocument(path));
    state.signalCurves = {};
    ASSERT_TRUE(m_app.openDocument(path));
    ASSERT_EQ(state.signalCurves.curves.size(), 1u);
    EXPECT_EQ(state.signalCurves.curves[0].signal, "CoolantTemp");
    ChartView* reopened = m_frame->chartWindows()->viewNamed("temps");
    ASSERT_NE(reopened, nullptr);
    ASSERT_NE(reopened->signal(0, Axis::kY), nullptr);
    reopened->tick();
    EXPECT_EQ(reopened->statistics(0, Axis::kY)->maximum, 144);
    const auto& again = static_cast<CViewChart*>(reopened)->chart();
    EXPECT_EQ(again.valueLabel(0, 0), "-100");

    // Without its database the curve reads its byte positions, the coolant's byte, and labels
    // them as bytes.
    ASSERT_TRUE(databases().remove(0));
    EXPECT_EQ(reopened->signal(0, Axis::kY), nullptr);
    reopened->tick();
    EXPECT_EQ(reopened->statistics(0, Axis::kY)->maximum, 144);
    EXPECT_EQ(again.valueLabel(0, 0), "0");
}

TEST_F(SignalsGuiTest, TheCanFilterDialogTakesSignalConditionsAndTheDocumentKeepsThem) {
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    ProgramState& state = m_app.state();
    state.store.append(frame(0x100, {0xB8, 0x0B, 0, 0}));  // 3000 rpm
    state.store.append(frame(0x100, {0xB9, 0x0B, 0, 0}));  // 3001 rpm
    CViewDataList& view = *m_frame->dataList();
    FilterDialogBase& dialog = view.prepareFilterDialog();
    SignalFilterEditor& editor = view.signalFilter();
    EXPECT_TRUE(editor.isVisibleTo(&dialog));
    EXPECT_TRUE(editor.edit()->isEnabled());

    // A line that names nothing keeps the dialog open and says which.
    editor.edit()->setPlainText(QStringLiteral("EngineSpeed > 3000\nEngineSped < 10"));
    dialog.show();
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].text,
              "Line 2 of the signal conditions: no database names a signal EngineSped");
    EXPECT_TRUE(state.signalFilter.empty());

    editor.edit()->setPlainText(QStringLiteral("EngineSpeed > 3000\n\n  Gear == Drive  "));
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(state.signalFilter.lines,
              (std::vector<std::string>{"EngineSpeed > 3000", "Gear == Drive"}));
    view.applyFilter(dialog.acceptedConditions(), dialog.acceptedMode());
    // Frame 0 is in Drive, frame 3 above 3000 rpm; 0x200 and frame 2 match neither.
    ASSERT_EQ(state.filter.displayIndexList.size(), 2u);
    EXPECT_EQ(state.filter.displayIndexList.at(0), 0u);
    EXPECT_EQ(state.filter.displayIndexList.at(1), 3u);

    const QString path = QString::fromStdString((m_dir / "filtered.krv").string());
    ASSERT_TRUE(m_app.saveDocument(path));
    state.signalFilter = {};
    ASSERT_TRUE(m_app.openDocument(path));
    EXPECT_EQ(state.signalFilter.lines.size(), 2u);
    EXPECT_EQ(state.filter.displayIndexList.size(), 2u);
    view.prepareFilterDialog();
    EXPECT_EQ(m_frame->dataList()->signalFilter().edit()->toPlainText(),
              "EngineSpeed > 3000\nGear == Drive");

    // Without the database its conditions name nothing: every frame shows again, and the lines
    // stay for when it comes back.
    ASSERT_TRUE(databases().remove(0));
    EXPECT_EQ(state.filter.displayIndexList.size(), 4u);
    EXPECT_EQ(state.signalFilter.lines.size(), 2u);
    ASSERT_TRUE(databases().addFile(file("engine.dbc", kEngine)));
    EXPECT_EQ(state.filter.displayIndexList.size(), 2u);
}

TEST_F(SignalsGuiTest, UntilTheUserChoosesThePanelFollowsAMessageTheBusCarries) {
    const std::string quietFirst = std::string(R"(VERSION ""
BO_ 768 Quiet: 1 Vector__XXX
 SG_ Nothing : 0|8@1+ (1,0) [0|0] "" Vector__XXX
)") + std::string(kEngine).substr(std::string(kEngine).find("BO_"));
    ASSERT_TRUE(databases().addFile(file("quiet.dbc", quietFirst)));
    SignalsPanel& panel = *databases().panel();
    panel.refresh();
    EXPECT_EQ(panel.messages()->currentText(), "EngineData (0x100)");
    EXPECT_EQ(panel.shownFrame(), 0u);
    // A message the user chooses stays chosen, frames or not.
    const int quiet = panel.messages()->findText(QStringLiteral("Quiet (0x300)"));
    ASSERT_GE(quiet, 0);
    panel.messages()->setCurrentIndex(quiet);
    Q_EMIT panel.messages()->activated(quiet);
    panel.refresh();
    EXPECT_EQ(panel.messages()->currentText(), "Quiet (0x300)");
    EXPECT_EQ(panel.caption()->text(), "No frame of Quiet (0x300) yet");
    EXPECT_FALSE(panel.shownFrame());
}
