// The overview window: its cell texts, the filter condition of its row menu, its table model fed
// incrementally, and the window itself, offscreen.

#include "candb/CanDatabaseSet.h"
#include "filters/FilterMatch.h"
#include "document/LogTime.h"
#include "resources/StringTable.h"
#include "views/BusLoadChart.h"
#include "views/BusLoadStrip.h"
#include "views/CellTextPainter.h"
#include "views/IdentifierFilter.h"
#include "views/OverviewCells.h"
#include "views/OverviewModel.h"
#include "views/OverviewNow.h"
#include "views/OverviewView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColor>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>

#include <initializer_list>
#include <random>

namespace {

CapturedFrame frame(std::uint32_t identifier, std::uint64_t us,
                    std::initializer_list<std::uint8_t> data = {}, bool extended = false) {
    CapturedFrame f;
    setCaptureTime(f, us);
    f.identifier = identifier;
    f.format = extended ? 1 : 0;
    f.length = static_cast<std::uint8_t>(data.size());
    std::size_t i = 0;
    for (const std::uint8_t b : data) f.data[i++] = b;
    return f;
}

std::vector<std::string> cells(const OverviewRow& row, ProtocolReading reading, bool hex = true) {
    std::vector<std::string> texts;
    for (const OverviewField f : overviewColumns(reading)) {
        texts.push_back(overviewCell(row, f, hex, reading));
    }
    return texts;
}

using Cells = std::vector<std::string>;

const OverviewRow& only(const BusOverview& overview) {
    EXPECT_EQ(overview.size(), 1u);
    return overview.rows().front();
}

// The store, filter and flags a model reads, as the program keeps them.
struct Program {
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    OverviewSources sources() { return {store, filter, flags}; }
};

std::vector<QString> column(const OverviewModel& model, int c) {
    std::vector<QString> texts;
    for (int r = 0; r < model.rowCount(); ++r) texts.push_back(model.index(r, c).data().toString());
    return texts;
}

// Names 0x100 and the extended 0x100; a second database names 0x100 again and 0x200.
const char* const kEngine = R"(VERSION "engine 1"
BO_ 256 EngineData: 8 Ecu
 SG_ EngineSpeed : 0|16@1+ (1,0) [0|8000] "rpm" Vector__XXX
BO_ 2147483904 Aux: 8 Ecu
 SG_ Level : 0|8@1+ (1,0) [0|255] "" Vector__XXX
)";
const char* const kBody = R"(VERSION "body 1"
BO_ 256 Doors: 1 Body
 SG_ DoorOpen : 0|1@1+ (1,0) [0|1] "" Vector__XXX
BO_ 512 Lights: 1 Body
 SG_ Beam : 0|8@1+ (1,0) [0|255] "" Vector__XXX
)";

// The table rows a model said changed, in order, one entry per row.
struct ChangedRows {
    explicit ChangedRows(OverviewModel& model) {
        QObject::connect(&model, &QAbstractItemModel::dataChanged,
                         [this](const QModelIndex& from, const QModelIndex& to) {
                             for (int r = from.row(); r <= to.row(); ++r) rows.push_back(r);
                         });
    }
    std::vector<int> take() { return std::exchange(rows, {}); }
    std::vector<int> rows;
};

}  // namespace

TEST(OverviewCells, ACanRowShowsItsCountDataTimeAndPeriodsInMilliseconds) {
    FrameStore store;
    store.append(frame(0x181, 69'054'303'005, {0x01, 0xA2}));
    store.append(frame(0x181, 69'054'313'005, {0x01, 0xA3}));
    store.append(frame(0x181, 69'054'333'007, {0x02, 0xA3, 0xFF}));
    BusOverview overview;
    overview.update(store);
    EXPECT_EQ(cells(only(overview), ProtocolReading::kCan),
              (Cells{"181", "Standard", "3", "3", "02 A3 FF", "1150-54-333-007", "15.001", "10.000",
                     "20.002"}));
    EXPECT_EQ(cells(only(overview), ProtocolReading::kCan, false).at(0), "385");
    EXPECT_EQ(overviewLine(only(overview), true, ProtocolReading::kCan),
              "181\tStandard\t3\t3\t02 A3 FF\t1150-54-333-007\t15.001\t10.000\t20.002");
}

TEST(OverviewCells, ASingleFrameHasNoPeriodsAndARemoteFrameNoData) {
    FrameStore store;
    CapturedFrame remote = frame(0x1ABCDEF0, 1000, {}, true);
    remote.status = 1;
    remote.length = 4;
    store.append(remote);
    BusOverview overview;
    overview.update(store);
    EXPECT_EQ(
        cells(only(overview), ProtocolReading::kCan),
        (Cells{"1ABCDEF0", "Extended", "1", "4", "Remote Frame", "00-00-001-000", "", "", ""}));
}

TEST(OverviewCells, TheDeviceNetAndCanOpenReadingsNameTheIdentifier) {
    FrameStore store;
    store.append(frame(0x41C, 0, {0x01}));
    store.append(frame(0x18FF1021, 0, {0x01}, true));
    BusOverview overview;
    overview.update(store);
    const OverviewRow& dn = overview.rows().at(0);
    const OverviewRow& ext = overview.rows().at(1);
    EXPECT_EQ(cells(dn, ProtocolReading::kDeviceNet).at(2), "Master's Exp Req Msg");
    EXPECT_EQ(cells(dn, ProtocolReading::kCanOpen).at(2), "PDO3 (rx)");
    EXPECT_EQ(cells(ext, ProtocolReading::kDeviceNet).at(2), "Invalid data");
    EXPECT_EQ(overviewColumns(ProtocolReading::kCan).size(), 9u);
    EXPECT_EQ(overviewHeaderId(OverviewField::kReadingName, ProtocolReading::kCanOpen),
              strings::kColumnCanOpenDescription);
}

TEST(OverviewCells, AChangedByteIsMarkedAtOnceAndTheMarkFadesWithinASecond) {
    FrameStore store;
    store.append(frame(0x100, 0, {1, 2}));
    store.append(frame(0x100, 2'000'000, {1, 3}));
    BusOverview overview;
    overview.update(store);
    const OverviewRow& row = only(overview);
    EXPECT_DOUBLE_EQ(changeStrength(row, 1, 2'000'000), 1.0);
    EXPECT_DOUBLE_EQ(changeStrength(row, 1, 2'250'000), 0.75);
    EXPECT_DOUBLE_EQ(changeStrength(row, 1, 3'000'000), 0.0);
    EXPECT_DOUBLE_EQ(changeStrength(row, 0, 2'000'000), 0.0);  // kept its value
}

TEST(OverviewNow, WhileCapturingNowMovesOnWithTheComputersClockFromTheNewestFrame) {
    OverviewNow now;
    EXPECT_EQ(now.at(5'000, 100, true), 5'000u);
    EXPECT_EQ(now.at(5'000, 2'100, true), 7'000u);   // the bus fell silent for 2 ms
    EXPECT_EQ(now.at(6'000, 2'200, true), 6'000u);   // a newer frame sets the clock again
    EXPECT_EQ(now.at(6'000, 9'200, false), 6'000u);  // a stopped capture stands still
    EXPECT_EQ(now.at(6'000, 9'300, true), 6'000u);
    EXPECT_EQ(now.at(6'000, 9'800, true), 6'500u);
}

TEST(IdentifierFilter, TheAddedConditionShowsOnlyThatIdentifiersFramesOfItsFormat) {
    FrameStore store;
    store.append(frame(0x100, 0, {1}));
    store.append(frame(0x100, 0, {1}, true));
    store.append(frame(0x200, 0, {1}));
    store.append(frame(0x100, 0, {2}));
    FilterState filter;
    ApplicationFlags flags;
    FilterRebuild(filter, store, flags,
                  conditionsShowingIdentifier({}, FilterMode::kShow, 0x100, false, false),
                  FilterMode::kShow);
    ASSERT_EQ(filter.displayIndexList.size(), 2u);
    EXPECT_EQ(filter.displayIndexList.at(0), 0u);
    EXPECT_EQ(filter.displayIndexList.at(1), 3u);
}

TEST(IdentifierFilter, HidingConditionsStayUntickedAndTheSameConditionIsNotAddedTwice) {
    FilterCondition hide;
    hide.flags = FCF_CAN | FCF_FORMAT | FCF_ID | FCF_ENABLED;
    hide.identifier = 0x300;
    auto list = conditionsShowingIdentifier({hide}, FilterMode::kHide, 0x100, false, false);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_FALSE(list[0].has(FCF_ENABLED));
    EXPECT_TRUE(list[1].has(FCF_ENABLED));
    EXPECT_EQ(list[1].identifier, 0x100u);

    list[1].flags &= ~FCF_ENABLED;
    list = conditionsShowingIdentifier(list, FilterMode::kShow, 0x100, false, false);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list[1].has(FCF_ENABLED));
    // Its remote frames are another condition.
    EXPECT_EQ(conditionsShowingIdentifier(list, FilterMode::kShow, 0x100, false, true).size(), 3u);
}

TEST(OverviewModel, NewFramesUpdateTheRowsAndNewIdentifiersAreSortedIn) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x300, 0, {1}));
    p.store.append(frame(0x100, 10, {1}));
    EXPECT_TRUE(model.refresh(10));
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100", "300"}));
    p.store.append(frame(0x200, 20, {1}));
    p.store.append(frame(0x300, 30, {1}));
    model.refresh(30);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100", "200", "300"}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"1", "1", "2"}));
}

TEST(OverviewModel, SortingKeepsTheSelectionOnItsIdentifier) {
    Program p;
    OverviewModel model(p.sources());
    for (int i = 0; i < 3; ++i) p.store.append(frame(0x100, 0, {1}));
    p.store.append(frame(0x200, 0, {1}));
    for (int i = 0; i < 2; ++i) p.store.append(frame(0x300, 0, {1}));
    model.refresh(0);
    QItemSelectionModel selection(&model);
    selection.setCurrentIndex(model.index(1, 0),
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    model.sort(2, Qt::DescendingOrder);  // by count
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100", "300", "200"}));
    ASSERT_EQ(selection.selectedRows().size(), 1);
    EXPECT_EQ(selection.selectedRows().front().row(), 2);
    // Frames that change the order move the selection with them.
    for (int i = 0; i < 5; ++i) p.store.append(frame(0x200, 0, {1}));
    model.refresh(0);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"200", "100", "300"}));
    EXPECT_EQ(selection.selectedRows().front().row(), 0);
    EXPECT_EQ(model.tableRow(0x300, false), 2);
}

TEST(OverviewModel, OnlyFilteredFramesFollowTheFilterAndARebuiltFilterStartsAfresh) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x100, 0, {1}));
    p.store.append(frame(0x200, 0, {1}));
    p.store.append(frame(0x100, 0, {1}));
    FilterRebuild(p.filter, p.store, p.flags,
                  conditionsShowingIdentifier({}, FilterMode::kShow, 0x100, false, false),
                  FilterMode::kShow);
    model.setOnlyFiltered(true);
    model.refresh(0);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100"}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"2"}));
    // Another filter with more rows than before still starts from the first row.
    FilterRebuild(p.filter, p.store, p.flags, {}, FilterMode::kShow);
    model.refresh(0);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100", "200"}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"2", "1"}));
    model.setOnlyFiltered(false);
    model.refresh(0);
    EXPECT_EQ(model.overview().framesTaken(), 3u);
}

TEST(OverviewModel, AStoreEmptiedAndRefilledShowsOnlyTheNewFrames) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x100, 0, {1}));
    p.store.append(frame(0x100, 0, {1}));
    model.refresh(0);
    p.store.clear();
    for (int i = 0; i < 3; ++i) p.store.append(frame(0x222, 0, {1}));
    model.refresh(0);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"222"}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"3"}));
}

TEST(OverviewModel, AnIdentifierQuietForThreeMeanPeriodsIsGreyed) {
    Program p;
    OverviewModel model(p.sources());
    for (std::uint64_t t = 0; t <= 100'000; t += 10'000) p.store.append(frame(0x100, t, {1}));
    model.refresh(120'000);
    EXPECT_FALSE(model.index(0, 0).data(OverviewModel::kQuietRole).toBool());
    EXPECT_FALSE(model.index(0, 0).data(Qt::ForegroundRole).isValid());
    model.refresh(130'001);
    EXPECT_TRUE(model.index(0, 0).data(OverviewModel::kQuietRole).toBool());
    EXPECT_TRUE(model.index(0, 0).data(Qt::ForegroundRole).value<QColor>().isValid());
}

TEST(OverviewModel, TheDataColumnCarriesTheFadingMarksOfTheChangedBytes) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x100, 0, {1, 2}));
    p.store.append(frame(0x100, 100'000, {1, 9}));
    model.refresh(600'000);
    const QByteArray marks = model.index(0, 4).data(OverviewModel::kChangeRole).toByteArray();
    ASSERT_EQ(marks.size(), 8);
    EXPECT_EQ(static_cast<unsigned char>(marks[0]), 0);
    EXPECT_EQ(static_cast<unsigned char>(marks[1]), 127);
    EXPECT_FALSE(model.index(0, 3).data(OverviewModel::kChangeRole).isValid());
}

TEST(OverviewModel, TheDeviceNetReadingAddsTheNameColumnAndCanSortByIt) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x41C, 0, {1}));  // Master's Exp Req Msg
    p.store.append(frame(0x7F0, 0, {1}));  // Invalid CAN Identifiers
    p.store.append(frame(0x41B, 0, {1}));  // Slave's Exp Res Msg
    model.refresh(0);
    model.setReading(ProtocolReading::kDeviceNet);
    ASSERT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Description");
    model.sort(2, Qt::AscendingOrder);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"7F0", "41C", "41B"}));
    model.setReading(ProtocolReading::kCan);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"41B", "41C", "7F0"}));
}

TEST(OverviewModel, WithACanDatabaseTheMessageNameFollowsTheTypeAndSortsUnnamedRowsLast) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x300, 0, {1}));
    p.store.append(frame(0x100, 0, {1}, true));
    p.store.append(frame(0x100, 0, {1}));
    p.store.append(frame(0x200, 0, {1}));
    model.refresh(0);
    ASSERT_EQ(model.columnCount(), 9);
    CanDatabaseSet databases;
    ASSERT_TRUE(databases.add("engine.dbc", kEngine).ok);
    model.setDecoder(databases.decoder());
    ASSERT_EQ(model.columnCount(), 10);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Message");
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"EngineData", "Aux", "", ""}));
    EXPECT_EQ(column(model, 3), (std::vector<QString>{"1", "1", "1", "1"})) << "count moved on";
    EXPECT_EQ(overviewLine(*model.rowAt(0), true, ProtocolReading::kCan, model.decoder()),
              "100\tStandard\tEngineData\t1\t1\t01\t00-00-000-000\t\t\t");

    model.sort(2, Qt::AscendingOrder);
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"Aux", "EngineData", "", ""}));
    model.sort(2, Qt::DescendingOrder);
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"EngineData", "Aux", "", ""}));
    EXPECT_EQ(model.sortColumn(), 2);

    // The first database that names an identifier wins; a new one names what it adds.
    ASSERT_TRUE(databases.add("body.dbc", kBody).ok);
    model.setDecoder(databases.decoder());
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"Lights", "EngineData", "Aux", ""}));
    // Without databases the column goes, and its sort falls back to the identifier.
    databases.clear();
    model.setDecoder(databases.decoder());
    ASSERT_EQ(model.columnCount(), 9);
    EXPECT_EQ(model.sortColumn(), 0);
    EXPECT_EQ(column(model, 0), (std::vector<QString>{"100", "100", "200", "300"}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"1", "1", "1", "1"}));
}

TEST(OverviewModel, TheDeviceNetReadingKeepsItsNameBeforeTheMessageName) {
    Program p;
    OverviewModel model(p.sources());
    p.store.append(frame(0x100, 0, {1}));
    model.refresh(0);
    CanDatabaseSet databases;
    ASSERT_TRUE(databases.add("engine.dbc", kEngine).ok);
    model.setDecoder(databases.decoder());
    model.setReading(ProtocolReading::kDeviceNet);
    ASSERT_EQ(model.columnCount(), 11);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Description");
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), "Message");
    EXPECT_EQ(model.index(0, 3).data().toString(), "EngineData");
}

TEST(OverviewModel, ARefreshSaysOnlyWhichRowsTookFramesFadeOrWentQuiet) {
    Program p;
    OverviewModel model(p.sources());
    for (std::uint64_t t = 0; t <= 40'000; t += 10'000) {
        p.store.append(frame(0x100, t, {1}));
        p.store.append(frame(0x200, t, {1}));
        p.store.append(frame(0x300, t, {1}));
    }
    model.refresh(40'000);
    ChangedRows changed(model);
    p.store.append(frame(0x200, 50'000, {1}));
    model.refresh(50'000);
    EXPECT_EQ(changed.take(), (std::vector<int>{1}));
    EXPECT_EQ(column(model, 2), (std::vector<QString>{"5", "6", "5"}));
    // A new byte value is marked, and its row repaints while the mark fades, then no more.
    p.store.append(frame(0x300, 60'000, {2}));
    model.refresh(60'000);
    EXPECT_EQ(changed.take(), (std::vector<int>{2}));
    model.refresh(60'000 + kChangeFadeUs / 2);
    // Meanwhile 0x100 and 0x200 went quiet (mean period 10 ms).
    EXPECT_EQ(changed.take(), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(model.index(0, 0).data(OverviewModel::kQuietRole).toBool());
    model.refresh(60'000 + kChangeFadeUs + 1);
    EXPECT_EQ(changed.take(), (std::vector<int>{2})) << "the mark has gone";
    model.refresh(60'000 + 2 * kChangeFadeUs);
    EXPECT_TRUE(changed.take().empty());
    // Frames wake a quiet row up.
    p.store.append(frame(0x100, 2'100'000, {1}));
    model.refresh(2'100'000);
    EXPECT_EQ(changed.take(), (std::vector<int>{0}));
    EXPECT_FALSE(model.index(0, 0).data(OverviewModel::kQuietRole).toBool());
}

TEST(OverviewModel, TheOrderStaysRightAsFramesChangeTheSortedColumn) {
    Program p;
    OverviewModel model(p.sources());
    std::mt19937 random(7);
    std::uint64_t t = 0;
    const auto add = [&](int frames) {
        for (int i = 0; i < frames; ++i) {
            const auto id = static_cast<std::uint32_t>(random() % 40);
            const auto byte = static_cast<std::uint8_t>(random() % 4);
            p.store.append(frame(id, t += 100 + random() % 1000, {byte, 7}, id % 3 == 0));
        }
    };
    add(200);
    model.refresh(t);
    for (const int c : {2, 4, 6, 5, 0}) {  // count, data, mean period, time, identifier
        for (const bool descending : {false, true}) {
            model.sort(c, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
            for (int round = 0; round < 5; ++round) {
                add(30);
                model.refresh(t);
                const auto expected = overviewOrder(
                    model.overview().rows(), *overviewSortColumn(model.field(c)), descending);
                ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size()));
                for (int r = 0; r < model.rowCount(); ++r) {
                    ASSERT_EQ(model.rowAt(r), &model.overview().rows()[expected[r]])
                        << "column " << c << " row " << r;
                }
            }
        }
    }
}

TEST(OverviewView, AChangedRowRepaintsWithItsNewDataWhileTheOthersKeepTheirs) {
    Program p;
    OverviewView view(p.sources(), [] { return OverviewView::Settings{}; });
    view.resize(900, 400);
    view.show();
    for (std::uint32_t id = 0x100; id < 0x105; ++id) p.store.append(frame(id, 0, {0x11, 0x22}));
    view.onTimer();
    QApplication::processEvents();
    QTableView* table = view.table();
    const QImage before = table->viewport()->grab().toImage();
    p.store.append(frame(0x102, 1'000, {0x11, 0x2F}));
    view.onTimer();
    view.onTimer();  // "now" catches up with the new frame: its changed byte is marked
    QApplication::processEvents();
    const QImage after = table->viewport()->grab().toImage();
    const auto rowImage = [&](const QImage& image, int row) {
        return image.copy(0, table->rowViewportPosition(row), image.width(), table->rowHeight(row));
    };
    for (int row = 0; row < 5; ++row) {
        if (row == 2) {
            EXPECT_NE(rowImage(before, row), rowImage(after, row));
        } else {
            EXPECT_EQ(rowImage(before, row), rowImage(after, row)) << row;
        }
    }
    // What is painted is the new data: the same as a table built afresh from the same frames.
    Program fresh;
    for (std::uint32_t id = 0x100; id < 0x105; ++id) fresh.store.append(frame(id, 0, {0x11, 0x22}));
    fresh.store.append(frame(0x102, 1'000, {0x11, 0x2F}));
    OverviewView other(fresh.sources(), [] { return OverviewView::Settings{}; });
    other.resize(900, 400);
    other.show();
    other.onTimer();
    other.onTimer();
    QApplication::processEvents();
    EXPECT_EQ(rowImage(other.table()->viewport()->grab().toImage(), 2), rowImage(after, 2));
}

TEST(CellTextPainter, DrawsDigitsAndWordsWhereATextLayoutWouldAndRefusesWhatDoesNotFit) {
    QFont font = QApplication::font();
    CellTextPainter painter;
    const QString digit = QStringLiteral("00-01-234-567");
    const int wide = static_cast<int>(painter.width(font, digit)) + 20;
    for (const Qt::Alignment align : {Qt::Alignment(Qt::AlignLeft), Qt::Alignment(Qt::AlignRight),
                                      Qt::Alignment(Qt::AlignHCenter)}) {
        for (const QString& text : {digit, QStringLiteral("Remote Frame")}) {
            QImage ours(wide, 24, QImage::Format_ARGB32_Premultiplied);
            QImage layout = ours;
            ours.fill(Qt::white);
            layout.fill(Qt::white);
            {
                QPainter p(&ours);
                p.setPen(Qt::black);
                ASSERT_TRUE(painter.draw(p, font, QRectF(0, 0, wide, 24), align, text));
                QPainter q(&layout);
                q.setFont(font);
                q.setPen(Qt::black);
                q.drawText(QRect(0, 0, wide, 24), int(align | Qt::AlignVCenter), text);
            }
            // Within a pixel of where the layout puts it.
            const auto inkLeft = [](const QImage& image) {
                for (int x = 0; x < image.width(); ++x) {
                    for (int y = 0; y < image.height(); ++y) {
                        if (image.pixel(x, y) != qRgb(255, 255, 255)) return x;
                    }
                }
                return -1;
            };
            EXPECT_NE(inkLeft(ours), -1);
            EXPECT_LE(std::abs(inkLeft(ours) - inkLeft(layout)), 1) << text.toStdString();
        }
    }
    QImage small(10, 24, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&small);
    EXPECT_FALSE(painter.draw(p, font, QRectF(0, 0, 10, 24), Qt::AlignLeft, digit));
}

TEST(OverviewView, TheRowMenuActsOnTheRowsIdentifierAndCopyTakesTheSelectedRows) {
    Program p;
    OverviewView view(p.sources(), [] { return OverviewView::Settings{}; });
    p.store.append(frame(0x200, 0, {1}));
    p.store.append(frame(0x100, 0, {1}, true));
    p.store.append(frame(0x100, 0, {2}));
    view.onTimer();
    std::vector<std::pair<std::uint32_t, bool>> filtered;
    view.setFilterAction(
        [&](const OverviewRow& row) { filtered.emplace_back(row.identifier, row.extended); });
    const int extendedRow = view.model().tableRow(0x100, true);
    ASSERT_EQ(extendedRow, 1);
    std::unique_ptr<QMenu> menu(view.rowMenu(extendedRow));
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_FALSE(menu->actions().at(1)->isEnabled());  // nobody plots
    // The table is sorted between the menu's opening and the click.
    view.model().sort(0, Qt::DescendingOrder);
    menu->actions().at(0)->trigger();
    EXPECT_EQ(filtered, (std::vector<std::pair<std::uint32_t, bool>>{{0x100, true}}));

    view.table()->selectRow(view.model().tableRow(0x200, false));
    EXPECT_EQ(view.selectedText().toStdString(), "200\tStandard\t1\t1\t01\t00-00-000-000\t\t\t\n");
}

TEST(OverviewView, TheTickBoxMakesOnlyTheFilteredFramesCount) {
    Program p;
    OverviewView view(p.sources(), [] { return OverviewView::Settings{}; });
    p.store.append(frame(0x100, 0, {1}));
    p.store.append(frame(0x200, 0, {1}));
    FilterRebuild(p.filter, p.store, p.flags,
                  conditionsShowingIdentifier({}, FilterMode::kShow, 0x200, false, false),
                  FilterMode::kShow);
    view.onTimer();
    EXPECT_EQ(view.model().rowCount(), 2);
    view.onlyFilteredBox()->setChecked(true);
    ASSERT_EQ(view.model().rowCount(), 1);
    EXPECT_EQ(view.model().index(0, 0).data().toString(), "200");
}

TEST(OverviewView, EveryColumnIsWideEnoughForItsHeader) {
    Program p;
    ProtocolReading reading = ProtocolReading::kCan;
    OverviewView view(p.sources(), [&] {
        OverviewView::Settings settings;
        settings.reading = reading;
        return settings;
    });
    // Headers far wider than the cells, as translated ones may be.
    QFont big = view.table()->horizontalHeader()->font();
    big.setPointSize(big.pointSize() * 3);
    view.table()->horizontalHeader()->setFont(big);
    reading = ProtocolReading::kDeviceNet;
    view.onTimer();
    const QFontMetrics metrics(big);
    // The last column stretches to the edge.
    for (int c = 0; c + 1 < view.model().columnCount(); ++c) {
        const QString header = view.model().headerData(c, Qt::Horizontal).toString();
        EXPECT_GT(view.table()->columnWidth(c), metrics.horizontalAdvance(header)) << c;
    }
}

namespace {

// `frames[i]` frames of eight bytes in the 100 ms bin `bins[i]`, 1 ms apart.
void fillBins(FrameStore& store, std::initializer_list<std::pair<std::uint64_t, int>> bins) {
    for (const auto& [bin, frames] : bins) {
        for (int j = 0; j < frames; ++j) {
            store.append(frame(0x100, bin * 100'000 + 1'000 + static_cast<std::uint64_t>(j) * 1'000,
                               {1, 2, 3, 4, 5, 6, 7, 8}));
        }
    }
}

std::vector<std::uint32_t> percents(const std::vector<BusLoadStrip::Column>& columns) {
    std::vector<std::uint32_t> p;
    p.reserve(columns.size());
    for (const auto& c : columns) p.push_back(c.percent);
    return p;
}

}  // namespace

TEST(BusLoadStrip, TheNewestBinStaysAtTheRightEdgeTwoColumnsEachUntilTheUserScrollsBack) {
    FrameStore store;
    fillBins(store, {{0, 10}, {1, 20}, {3, 40}});
    BusLoad load(500);
    load.update(store);
    const std::uint32_t a = load.percentAt(1), b = load.percentAt(3);
    ASSERT_GT(b, a);
    BusLoadStrip strip;
    strip.setWidth(6);  // three bins
    EXPECT_EQ(strip.binsShown(), 3u);
    EXPECT_EQ(strip.firstBin(load), 1u);
    EXPECT_EQ(percents(strip.columns(load)), (std::vector<std::uint32_t>{a, a, 0, 0, b, b}));

    strip.scrollTo(0, load);
    EXPECT_FALSE(strip.following());
    fillBins(store, {{4, 5}});
    load.update(store);
    EXPECT_EQ(strip.firstBin(load), 0u);  // stays where the user looks
    strip.scrollTo(strip.lastFirstBin(load), load);
    EXPECT_TRUE(strip.following());
    EXPECT_EQ(strip.firstBin(load), 2u);
}

TEST(BusLoadStrip, AColumnOfSeveralBinsShowsTheirPeakAndAllTheirLostFrames) {
    FrameStore store;
    fillBins(store, {{0, 10}, {1, 30}});
    BusLoad load(500);
    load.update(store, 3);  // the adapter lost 3 after the frames of bin 1
    fillBins(store, {{2, 5}, {7, 5}});
    load.update(store, 5);  // and 2 more after bin 7
    BusLoadStrip strip;
    strip.setWidth(2);
    strip.setZoom(4, load, 0);  // five bins a column
    strip.scrollTo(0, load);
    const auto columns = strip.columns(load);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[0].percent, load.percentAt(1));
    EXPECT_EQ(columns[0].lost, 3u);
    EXPECT_EQ(columns[1].percent, load.percentAt(7));
    EXPECT_EQ(columns[1].lost, 2u);
    EXPECT_EQ(BusLoadStrip::summary(load).peak, load.percentAt(1));
    EXPECT_EQ(BusLoadStrip::summary(load).latest, 0u);  // bin 7 may still be filling; 6 was idle
    fillBins(store, {{8, 1}});
    load.update(store, 5);
    EXPECT_EQ(BusLoadStrip::summary(load).latest, load.percentAt(7));
    EXPECT_EQ(BusLoadStrip::summary(load).lost, 5u);
}

TEST(BusLoadStrip, ZoomingKeepsTheBinUnderTheMouseInPlace) {
    FrameStore store;
    fillBins(store, {{0, 1}, {999, 1}});
    BusLoad load(500);
    load.update(store);
    BusLoadStrip strip;
    strip.setWidth(100);  // 50 bins at two columns each
    strip.scrollTo(200, load);
    strip.zoomOut(load, 40);  // bin 220 at column 40
    EXPECT_EQ(strip.zoom(), 2);
    EXPECT_EQ(strip.firstBin(load), 180u);
    strip.zoomIn(load, 40);
    EXPECT_EQ(strip.firstBin(load), 200u);
    // Zoomed out beyond the capture: everything from the start, following.
    strip.setZoom(8, load, 0);
    EXPECT_EQ(strip.firstBin(load), 0u);
}

TEST(BusLoadStrip, TimeTicksFallOnRoundTimesAtLeastTheSpacingApart) {
    FrameStore store;
    fillBins(store, {{0, 1}, {1000, 1}});
    BusLoad load(500);
    load.update(store);
    BusLoadStrip strip;
    strip.setWidth(200);       // 20 px a second
    strip.scrollTo(15, load);  // 1.5 s at the left edge
    const auto ticks = strip.ticks(load, 70);
    ASSERT_GE(ticks.size(), 2u);
    EXPECT_EQ(ticks[0].ms, 5'000u);  // steps of 5 s: 100 px
    EXPECT_EQ(ticks[0].x, 70);
    EXPECT_EQ(ticks[1].x, 170);
    EXPECT_EQ(BusLoadStrip::tickLabel(65'000, 5'000), "1:05");
    EXPECT_EQ(BusLoadStrip::tickLabel(3'725'300, 100), "1:02:05.3");
}

TEST(BusLoadChart, TheScrollBarsEndIsTheNewestBinThoughTheBarWasSetBinsAgo) {
    FrameStore store;
    for (std::uint64_t bin = 0; bin < 2000; ++bin) fillBins(store, {{bin, 1}});
    BusLoad load(500);
    load.update(store);
    BusLoadChart chart(load);
    chart.resize(400, 150);
    chart.show();
    chart.refresh(true);
    chart.scrollBar()->setValue(0);  // the user scrolls back
    ASSERT_FALSE(chart.strip().following());
    // A bin more moves the slider by less than a pixel: the bar is left as it was.
    fillBins(store, {{2000, 1}});
    load.update(store);
    chart.refresh(true);
    ASSERT_LT(static_cast<std::uint64_t>(chart.scrollBar()->maximum()),
              chart.strip().lastFirstBin(load));
    chart.scrollBar()->setValue(chart.scrollBar()->maximum());
    EXPECT_TRUE(chart.strip().following());
    EXPECT_EQ(chart.strip().firstBin(load), chart.strip().lastFirstBin(load));
}

TEST(BusLoadChart, PaintsTheLoadAndMarksTheLostFramesInRed) {
    FrameStore store;
    fillBins(store, {{0, 60}, {1, 60}});
    BusLoad load(125);
    load.update(store, 4);
    BusLoadChart chart(load);
    chart.resize(300, 160);
    chart.refresh(true);
    QImage image(chart.size(), QImage::Format_RGB32);
    chart.render(&image);
    const QRect area = chart.plotArea();
    // A capture shorter than the chart starts at its left edge, two columns a bin: a bar from
    // the bottom, and a red mark above the bin after which the frames were lost.
    EXPECT_EQ(image.pixelColor(area.left() + 1, area.bottom() - 2), QColor(0x2E, 0x6D, 0xB4));
    EXPECT_EQ(image.pixelColor(area.left() + 3, area.top() - 3), QColor(0xD0, 0x20, 0x20));
    EXPECT_NE(image.pixelColor(area.left() + 12, area.top() - 3), QColor(0xD0, 0x20, 0x20));
    EXPECT_NE(image.pixelColor(area.left() + 10, area.bottom() - 2), QColor(0x2E, 0x6D, 0xB4));
}

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
