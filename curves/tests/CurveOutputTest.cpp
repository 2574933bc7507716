#include "CurveTestFrames.h"
#include "curves/CurveCsvExport.h"
#include "curves/CurveDialogLogic.h"
#include "curves/CurveInfoColumns.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace cf = curve_flags;

namespace {

std::string csvOf(const CurveWindowRecord& w, const FrameStore& store) {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    writeCurveValues(out, w, store);
    std::fclose(out);
    std::string s(text, size);
    std::free(text);
    return s;
}

}  // namespace

TEST(CurveCsv, YtRowsInFrameOrderWithTheChartsReading) {
    FrameStore store;
    store.append(frameOf(0x181, {0xFF, 0xFE}, 1500));
    store.append(frameOf(0x999, {1}, 1600));
    store.append(frameOf(0x181, {0x00, 0x10}, 1700));
    CapturedFrame wrapped = frameOf(0x181, {0xFF, 0xFF, 0xFF, 0xFF}, 5);
    wrapped.wraps = 1;
    store.append(wrapped);
    CurveWindowRecord w = newWindowRecord(ChartKind::kYt, "w");
    w.yt[1].flags = cf::kDefined | cf::kYSigned | 0x03;  // slot 1: signed, two bytes
    w.yt[1].identifier = 0x181;
    w.yt[1].name.set("speed, \"front\"");
    w.yt[3].flags = cf::kDefined | 0x0F;  // slot 3: unsigned four bytes, never halved here
    w.yt[3].identifier = 0x181;
    w.yt[3].name.set("raw");
    EXPECT_EQ(csvOf(w, store),
              "frame,time_ms,curve,value\n"
              "0,1500,\"speed, \"\"front\"\"\",-2\n"
              "0,1500,raw,4294836224\n"
              "2,1700,\"speed, \"\"front\"\"\",16\n"
              "2,1700,raw,1048576\n"
              "3,4194309,\"speed, \"\"front\"\"\",-1\n"  // one round of the 22-bit clock on
              "3,4194309,raw,4294967295\n");
}

TEST(CurveCsv, YxRowsOnePerPairing) {
    FrameStore store;
    store.append(frameOf(0x80, {}));
    store.append(frameOf(0x1, {7}));
    store.append(frameOf(0x2, {0xFF}));
    store.append(frameOf(0x80, {}));
    CurveWindowRecord w = newWindowRecord(ChartKind::kYx, "p");
    w.yx[0].flags = cf::kDefined | 0x01 | (0x01 << 12);
    w.yx[0].xIdentifier = 1;
    w.yx[0].yIdentifier = 2;
    w.yx[0].syncIdentifier = 0x80;
    w.yx[0].name.set("map");
    EXPECT_EQ(csvOf(w, store), "frame_x,frame_y,curve,x,y\n1,2,map,7,255\n");
}

TEST(CurveCsv, FileIsReplacedWholeOrNotAtAll) {
    char pattern[] = "/tmp/curves-csv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/out.csv";
    FrameStore store;
    store.append(frameOf(0x181, {1}, 0));
    CurveWindowRecord w = newWindowRecord(ChartKind::kYt, "w");
    w.yt[0].flags = cf::kDefined | 0x01;
    w.yt[0].identifier = 0x181;
    w.yt[0].name.set("a");
    const CsvResult ok = exportCurveValues(path, w, store);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.rows, 1u);
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "frame,time_ms,curve,value\n0,0,a,1\n");
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    const CsvResult missing =
        exportCurveValues(std::string(pattern) + "/missing/out.csv", w, store);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("No such file or directory"), std::string::npos) << missing.error;
    std::filesystem::remove_all(pattern);
}

TEST(CurveCsv, PlantedLinksNeitherRedirectNorReplaceTheExport) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/curves-csv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path dir = pattern;
    const auto read = [](const fs::path& p) {
        std::ifstream in(p);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    FrameStore store;
    store.append(frameOf(0x181, {1}, 0));
    CurveWindowRecord w = newWindowRecord(ChartKind::kYt, "w");
    w.yt[0].flags = cf::kDefined | 0x01;
    w.yt[0].identifier = 0x181;
    w.yt[0].name.set("a");
    const std::string csv = "frame,time_ms,curve,value\n0,0,a,1\n";

    // A link where the temporary file was once made points at someone's private file.
    std::ofstream(dir / "out.csv") << "old";
    std::ofstream(dir / "private") << "secret";
    fs::permissions(dir / "private", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(dir / "private", dir / "out.csv.part");
    const CsvResult planted = exportCurveValues((dir / "out.csv").string(), w, store);
    ASSERT_TRUE(planted.ok) << planted.error;
    EXPECT_EQ(read(dir / "private"), "secret");
    EXPECT_EQ(fs::status(dir / "private").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "out.csv")));
    EXPECT_EQ(read(dir / "out.csv"), csv);

    // A link at the target is the user's: the file it names gets the values, the link stays.
    fs::create_symlink(dir / "kept.csv", dir / "linked.csv");
    const CsvResult linked = exportCurveValues((dir / "linked.csv").string(), w, store);
    ASSERT_TRUE(linked.ok) << linked.error;
    EXPECT_TRUE(fs::is_symlink(dir / "linked.csv"));
    EXPECT_EQ(read(dir / "kept.csv"), csv);

    // A device is no file to replace, and says so.
    const CsvResult device = exportCurveValues("/dev/full", w, store);
    EXPECT_FALSE(device.ok);
    EXPECT_NE(device.error.find("not a regular file"), std::string::npos) << device.error;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    fs::remove_all(dir);
}

// Counts what it is told and asks to stop once the run passes `stopAt` percent.
class StoppingProgress final : public Progress {
public:
    explicit StoppingProgress(int stopAt) : m_stopAt(stopAt) {}
    void begin(std::uint32_t) override { ++begun; }
    void setPercent(int percent) override { last = percent; }
    void end() override { ++ended; }
    [[nodiscard]] bool cancelled() const override { return last >= m_stopAt; }
    int begun = 0, ended = 0, last = 0;

private:
    int m_stopAt;
};

TEST(CurveCsv, AProgressSeesTheRunInStepsAndItsCancelKeepsTheOldFile) {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/curves-csv-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string path = std::string(pattern) + "/out.csv";
    const auto read = [&path] {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    };
    // Several of the export's steps: y(t) reads the frames, y(x) pairs them.
    FrameStore store;
    for (std::uint32_t i = 0; i < 300000; ++i) {
        store.append(frameOf(i % 3 == 0 ? 0x80 : i % 3 == 1 ? 0x1 : 0x2,
                             {static_cast<std::uint8_t>(i)}, i));
    }
    CurveWindowRecord yt = newWindowRecord(ChartKind::kYt, "t");
    yt.yt[0].flags = cf::kDefined | 0x01;
    yt.yt[0].identifier = 0x1;
    yt.yt[0].name.set("a");
    CurveWindowRecord yx = newWindowRecord(ChartKind::kYx, "p");
    yx.yx[0].flags = cf::kDefined | 0x01 | (0x01 << 12);
    yx.yx[0].xIdentifier = 1;
    yx.yx[0].yIdentifier = 2;
    yx.yx[0].syncIdentifier = 0x80;
    yx.yx[0].name.set("map");
    for (const CurveWindowRecord* w : {&yt, &yx}) {
        StoppingProgress whole(101);
        const CsvResult done = exportCurveValues(path, *w, store, {}, {}, &whole);
        ASSERT_TRUE(done.ok) << done.error;
        EXPECT_EQ(read(), csvOf(*w, store));
        EXPECT_EQ(whole.begun, 1);
        EXPECT_EQ(whole.ended, 1);
        EXPECT_GT(whole.last, 50);

        std::ofstream(path) << "the old export";
        StoppingProgress stopped(30);
        const CsvResult cancelled = exportCurveValues(path, *w, store, {}, {}, &stopped);
        EXPECT_FALSE(cancelled.ok);
        EXPECT_TRUE(cancelled.cancelled);
        EXPECT_LT(stopped.last, 60);
        EXPECT_EQ(read(), "the old export");
        EXPECT_EQ(std::distance(fs::directory_iterator(pattern), fs::directory_iterator()), 1);
    }
    fs::remove_all(pattern);
}

TEST(CurveInfoList, ColumnsToggleToTheEndWithStatisticsInOrder) {
    CurveInfoColumns c;
    using C = CurveInfoColumns;
    EXPECT_EQ(c.order(), (std::vector<C::Column>{C::kName, C::kAxis, C::kColor, C::kShow, C::kIdn,
                                                 C::kMouseValue}));
    c.toggle(C::kColor);
    EXPECT_FALSE(c.shown(C::kColor));
    c.toggle(C::kMaxIndex);
    c.toggle(C::kMinValue);
    c.toggle(C::kColor);  // comes back at the right end, before the statistics
    EXPECT_EQ(c.order(),
              (std::vector<C::Column>{C::kName, C::kAxis, C::kShow, C::kIdn, C::kMouseValue,
                                      C::kColor, C::kMinValue, C::kMaxIndex}));
    EXPECT_EQ(C::forCommand(32864), C::kColor);
    EXPECT_EQ(C::forCommand(32863), std::nullopt);  // "Name" has no action
    EXPECT_EQ(C::title(C::kMouseValue), "MouseValue");
}

TEST(CurveInfoList, RowsAndCellsOfTheActiveChart) {
    CurveWindowRecord yx = newWindowRecord(ChartKind::kYx, "p");
    for (int i : {0, 2}) {
        XYCurveDefinition& d = yx.yx[static_cast<std::size_t>(i)];
        d.flags = cf::kDefined | cf::kShow | 0x01 | (0x01 << 12) | cf::kXSigned;
        d.name.set(i == 0 ? "first" : "second");
        d.xIdentifier = 0x1A;
        d.yIdentifier = 0x2B;
        d.colour = 0x00FF00;
    }
    const auto rows = infoRows(yx);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1], (CurveInfoRow{"first", "X", 0}));
    EXPECT_EQ(rows[2], (CurveInfoRow{"second", "Y", 2}));
    using C = CurveInfoColumns;
    EXPECT_EQ(infoCell(C::kIdn, yx, rows[0], nullptr), "0X2B");
    EXPECT_EQ(infoCell(C::kIdn, yx, rows[1], nullptr), "0X1A");
    EXPECT_EQ(infoCell(C::kColor, yx, rows[0], nullptr), "0X00FF00");
    EXPECT_EQ(infoCell(C::kShow, yx, rows[0], nullptr), "Enable");
    CurveStatistics st;
    EXPECT_EQ(infoCell(C::kMaxValue, yx, rows[1], &st), "");  // no first value yet
    st.add(-5, 3);
    st.add(9, 8);
    EXPECT_EQ(infoCell(C::kMinValue, yx, rows[1], &st), "-5");
    EXPECT_EQ(infoCell(C::kMaxIndex, yx, rows[1], &st), "8");
    EXPECT_EQ(infoCell(C::kMinValue, yx, rows[0], &st), "4294967291");  // Y is unsigned
    EXPECT_EQ(infoRows(newWindowRecord(ChartKind::kYt, "t")).size(), 0u);
}
