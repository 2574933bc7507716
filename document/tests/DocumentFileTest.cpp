#include "document/DocumentFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("krv-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string file(const char* name) const { return (m_dir / name).string(); }

    static std::vector<std::uint8_t> bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void write(const std::string& path, const std::vector<std::uint8_t>& b) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }

    fs::path m_dir;
};

DocumentContents fullDocument() {
    DocumentContents d;
    d.cycle = 3;
    d.interval = 250;
    d.capturing = 1;
    d.deviceReady = 1;
    d.baudRate = 1000;
    d.workMode = 1;
    d.reserved9 = 0xDEADBEEF;
    d.dataListExists = 1;
    d.hexDisplay = 0;
    d.activeWord = 1;
    d.filterMode = 1;
    d.frameType = 2;
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_ADVANCED_ID | FCF_LENGTH | FCF_DATA7;
    c.advancedMask = 0x1FFFFFFF;
    c.advancedBits = 0x10000005;
    c.formatAndLength = 1 | 8 << 8;
    c.remote = 1;
    c.identifier = 0x1ABCDEF;
    c.data[7] = 0x77;
    c.dnMessageId = 4;
    c.dnSourceMac = 5;
    c.dnDestMac = 6;
    c.coCobId = 0x7FF;
    c.coFunctionCode = 15;
    c.coNodeId = 127;
    d.conditions = {c, FilterCondition{}};
    AutoMessageItem item;
    item.flags = AutoMessageItem::kTicked;
    item.identifier = 0x1FFFFFFF;
    item.format = 1;
    item.remote = 1;
    item.length = 8;
    item.data = {1, 2, 3, 4, 5, 6, 7, 8};
    d.items = {item, AutoMessageItem{}};
    d.manual[0].identifier = 0x123;
    d.manual[0].data = {0xFF, 0, 0, 0, 0, 0, 0, 0x80};
    d.manual[1].size = 3;
    d.manual[1].format = 1;
    CurveWindowRecord w;
    w.flags = CurveWindowRecord::kYt | 0x8 | 0x80;
    w.name.set("speed over time");
    w.timeOrigin = 12345;
    w.timeResolution = 100;
    w.yt[1].flags = 0x30000103;
    w.yt[1].name.set("rpm");
    w.yt[1].colour = 0x00FF8800;
    w.yt[1].resolution = -5;
    w.yt[1].identifier = 0x185;
    w.yt[1].originSigned = -1000;
    w.yt[1].originUnsigned = 7;
    w.yx[3].name.set("xy");
    w.yx[3].syncIdentifier = 0x80;
    w.yx[3].xOriginSigned = -3;
    // A name that fills all 32 bytes is written back exactly as it was.
    std::memset(w.yx[2].name.bytes.data(), 'N', 32);
    d.windows = {w};
    return d;
}

CapturedFrame frameNumber(std::uint32_t i) {
    CapturedFrame f;
    f.loading = i % 101;
    f.micros = i % 1024;
    f.millis = i % 1000;
    f.seconds = i % 60;
    f.minutes = i % 70;
    f.status = i % 3;
    f.format = static_cast<std::uint8_t>(i % 2);
    f.length = static_cast<std::uint8_t>(i % 9);
    f.identifier = i % 2 ? 0x1FFFFFFF - i : i % 0x800;
    for (int k = 0; k < 8; ++k) f.data[k] = static_cast<std::uint8_t>(i * 7 + k);
    f.wraps = i / 1000;
    return f;
}

}  // namespace

TEST_F(DocumentFileTest, AWholeDocumentSavesAndLoadsIdentical) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 70'000; ++i) store.append(frameNumber(i));
    const DocumentContents saved = fullDocument();
    ASSERT_TRUE(saveDocument(file("a.krv"), saved, store, store.count(), nullptr).ok);
    EXPECT_EQ(fs::file_size(file("a.krv")),
              82u + 42u * 70'000 + 170u * 2 + 22u * 2 + 96u + 4u + 556u);

    DocumentContents loaded;
    FrameStore frames;
    const FileResult r = loadDocument(file("a.krv"), loaded, frames, nullptr);
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(frames.count(), store.count());
    for (std::uint32_t i = 0; i < store.count(); i += 997) {
        EXPECT_TRUE(frames.at(i) == store.at(i)) << i;
    }
    EXPECT_EQ(frames.at(1).identifier, 0x1FFFFFFEu);
    EXPECT_EQ(loaded.cycle, 3u);
    EXPECT_EQ(loaded.interval, 250u);
    EXPECT_EQ(loaded.capturing, 1u);
    EXPECT_EQ(loaded.reserved9, 0xDEADBEEFu);
    EXPECT_EQ(loaded.frameType, 2u);
    EXPECT_EQ(loaded.filterMode, 1u);
    EXPECT_EQ(loaded.activeWord, 1u);
    ASSERT_EQ(loaded.conditions.size(), 2u);
    EXPECT_EQ(std::memcmp(&loaded.conditions[0], &saved.conditions[0], sizeof(FilterCondition)), 0);
    EXPECT_EQ(loaded.items, saved.items);
    EXPECT_EQ(loaded.manual, saved.manual);
    EXPECT_EQ(loaded.windows, saved.windows);
    EXPECT_EQ(loaded.windows[0].yx[2].name.text(), std::string(31, 'N'));

    // Saving the loaded document gives the same bytes again.
    ASSERT_TRUE(saveDocument(file("b.krv"), loaded, frames, frames.count(), nullptr).ok);
    EXPECT_EQ(bytes(file("a.krv")), bytes(file("b.krv")));
}

TEST_F(DocumentFileTest, TheEmptyDocumentIs182BytesLaidOutAsTheFormatSays) {
    FrameStore store;
    store.append(frameNumber(5));  // appended after the count was taken: not saved
    DocumentContents d;
    ASSERT_TRUE(saveDocument(file("e.krv"), d, store, 0, nullptr).ok);
    const auto b = bytes(file("e.krv"));
    ASSERT_EQ(b.size(), 182u);
    EXPECT_EQ(std::vector<std::uint8_t>(b.begin(), b.begin() + 4),
              (std::vector<std::uint8_t>{0x00, 0x00, 0x80, 0x3F}));  // 1.0f
    EXPECT_EQ(b[4], 1);                                              // cycle
    EXPECT_EQ(b[8], 1);                                              // interval
    EXPECT_EQ(b[52], 1);                                             // Hex flag of a new document
    EXPECT_EQ(b[74], 1);                                             // frame type
    EXPECT_EQ(b[82 + 4], 8);                                         // buffer 1's size
    EXPECT_EQ(b[82 + 48 + 4], 8);
}

TEST_F(DocumentFileTest, RecordsKeepTheirFieldOrder) {
    FrameStore store;
    CapturedFrame f = frameNumber(0);
    f.length = 5;
    f.format = 1;
    f.identifier = 0x1FFFFFFF;
    store.append(f);
    DocumentContents d;
    FilterCondition c;
    c.formatAndLength = 1 | 3 << 8;
    c.advancedBits = 0x1;
    d.conditions = {c};
    ASSERT_TRUE(saveDocument(file("o.krv"), d, store, 1, nullptr).ok);
    const auto b = bytes(file("o.krv"));
    EXPECT_EQ(b[82 + 20], 5);  // length before format
    EXPECT_EQ(b[82 + 21], 1);
    EXPECT_EQ(b[82 + 22], 0xFF);
    EXPECT_EQ(b[82 + 25], 0x1F);
    const std::size_t cond = 82 + 42;
    EXPECT_EQ(b[cond + 12], 1);  // advanced bit 0, one value per bit
    EXPECT_EQ(b[cond + 16], 0);
    EXPECT_EQ(b[cond + 128], 3);  // length before format
    EXPECT_EQ(b[cond + 129], 1);
}

TEST_F(DocumentFileTest, OnlyTheValueOneSetsAnAdvancedBit) {
    FrameStore store;
    DocumentContents d;
    d.conditions = {FilterCondition{}};
    d.conditions[0].advancedBits = 0x3;
    ASSERT_TRUE(saveDocument(file("c.krv"), d, store, 0, nullptr).ok);
    auto b = bytes(file("c.krv"));
    b[82 + 12 + 4] = 2;  // bit 1 stored as 2
    write(file("c.krv"), b);
    DocumentContents loaded;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(file("c.krv"), loaded, frames, nullptr).ok);
    EXPECT_EQ(loaded.conditions.at(0).advancedBits, 0x1u);
}

TEST_F(DocumentFileTest, VersionsBeyondOneAreRefusedWithAClearError) {
    FrameStore store;
    DocumentContents d;
    const auto withVersion = [&](float v) {
        d.versionInteger = 0;
        d.versionFraction = v;
        EXPECT_TRUE(saveDocument(file("v.krv"), d, store, 0, nullptr).ok);
        DocumentContents loaded;
        FrameStore frames;
        return loadDocument(file("v.krv"), loaded, frames, nullptr);
    };
    EXPECT_TRUE(withVersion(1.0f).ok);
    EXPECT_TRUE(withVersion(0.0f).ok);
    const FileResult two = withVersion(2.0f);
    EXPECT_FALSE(two.ok);
    EXPECT_NE(two.error.find("version"), std::string::npos);
    EXPECT_FALSE(withVersion(0.5f).ok);
    EXPECT_FALSE(withVersion(-1.0f).ok);
    EXPECT_FALSE(withVersion(std::nanf("")).ok);
}

TEST_F(DocumentFileTest, AFileOfAnotherKindIsNamedSoWithoutAVersionNumber) {
    const auto refusal = [&](std::vector<std::uint8_t> b) {
        b.resize(400, 0x20);
        write(file("other.krv"), b);
        DocumentContents loaded;
        FrameStore frames;
        return loadDocument(file("other.krv"), loaded, frames, nullptr);
    };
    // A text, a picture and a float of 52816.535 where the version belongs.
    const std::string text = "CANIndex Time(m-s-ms-us) Loading(%)";
    for (const auto& b : {std::vector<std::uint8_t>(text.begin(), text.end()),
                          std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
                          std::vector<std::uint8_t>{0x89, 0x50, 0x4E, 0x47}}) {
        const FileResult r = refusal(b);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("is not a Korvane document"), std::string::npos) << r.error;
        EXPECT_EQ(r.error.find("version"), std::string::npos) << r.error;
    }
    // A newer version of ours is still called one.
    const float three = 3.0f;
    std::vector<std::uint8_t> newer(4);
    std::memcpy(newer.data(), &three, 4);
    const FileResult r = refusal(newer);
    EXPECT_NE(r.error.find("version (3.0"), std::string::npos) << r.error;
}

TEST_F(DocumentFileTest, DamagedFilesFailCleanlyAtEveryLength) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 3; ++i) store.append(frameNumber(i));
    ASSERT_TRUE(saveDocument(file("t.krv"), fullDocument(), store, 3, nullptr).ok);
    const auto whole = bytes(file("t.krv"));
    for (std::size_t length = 0; length < whole.size(); ++length) {
        write(file("cut.krv"),
              {whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)});
        DocumentContents loaded;
        loaded.cycle = 99;
        FrameStore frames;
        const FileResult r = loadDocument(file("cut.krv"), loaded, frames, nullptr);
        ASSERT_FALSE(r.ok) << length;
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(loaded.cycle, 99u) << "nothing is handed out of a damaged file";
    }
}

TEST_F(DocumentFileTest, CountsBeyondTheFileAreRefusedBeforeAnythingIsRead) {
    FrameStore store;
    DocumentContents d;
    ASSERT_TRUE(saveDocument(file("n.krv"), d, store, 0, nullptr).ok);
    const auto base = bytes(file("n.krv"));
    for (std::size_t offset : {60u, 64u, 78u}) {  // F, C, A
        auto b = base;
        b[offset] = b[offset + 1] = b[offset + 2] = b[offset + 3] = 0xFF;
        write(file("n.krv"), b);
        DocumentContents loaded;
        FrameStore frames;
        const FileResult r = loadDocument(file("n.krv"), loaded, frames, nullptr);
        EXPECT_FALSE(r.ok) << offset;
        EXPECT_EQ(frames.count(), 0u);
    }
    auto b = base;
    b[78] = 9;  // nine automatic items: more than a set can hold
    b.resize(b.size() + std::size_t{9} * 22);
    write(file("n.krv"), b);
    DocumentContents loaded;
    FrameStore frames;
    EXPECT_FALSE(loadDocument(file("n.krv"), loaded, frames, nullptr).ok);
    // A window count beyond the file.
    b = base;
    b[178] = 0x10;
    write(file("n.krv"), b);
    EXPECT_FALSE(loadDocument(file("n.krv"), loaded, frames, nullptr).ok);
}

TEST_F(DocumentFileTest, UnknownFrameTypesReadAsStandardAndFlagsAsOne) {
    FrameStore store;
    DocumentContents d;
    ASSERT_TRUE(saveDocument(file("f.krv"), d, store, 0, nullptr).ok);
    auto b = bytes(file("f.krv"));
    b[74] = 7;  // frame type
    b[12] = 5;  // capturing
    write(file("f.krv"), b);
    DocumentContents loaded;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(file("f.krv"), loaded, frames, nullptr).ok);
    EXPECT_EQ(loaded.frameType, 1u);
    EXPECT_EQ(loaded.capturing, 1u);
}

TEST_F(DocumentFileTest, FramesNoAdapterMakesAreRefusedAsDamage) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 3; ++i) store.append(frameNumber(i));
    CapturedFrame widest = frameNumber(3);
    widest.length = 8;
    widest.format = 1;
    store.append(widest);
    ASSERT_TRUE(saveDocument(file("g.krv"), DocumentContents{}, store, 4, nullptr).ok);
    const auto good = bytes(file("g.krv"));
    DocumentContents loaded;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(file("g.krv"), loaded, frames, nullptr).ok);
    ASSERT_EQ(frames.count(), 4u);
    EXPECT_TRUE(frames.at(3) == widest);

    const std::size_t second = 82 + 42;
    for (const auto& [offset, value] :
         {std::pair{second + 20, 255}, {second + 20, 9}, {second + 21, 7}, {second + 21, 2}}) {
        auto b = good;
        b[offset] = static_cast<std::uint8_t>(value);
        write(file("d.krv"), b);
        DocumentContents d;
        FrameStore f;
        const FileResult r = loadDocument(file("d.krv"), d, f, nullptr);
        EXPECT_FALSE(r.ok) << offset << " " << value;
        EXPECT_NE(r.error.find("is damaged: frame record 2 "), std::string::npos) << r.error;
    }
}

TEST_F(DocumentFileTest, AChartTimeBeyond32BitsIsStoredAsTheFieldsLargest) {
    FrameStore store;
    DocumentContents far;
    CurveWindowRecord w;
    w.timeOrigin = 5'000'000'000;  // 58 days of capture
    far.windows = {w};
    ASSERT_TRUE(saveDocument(file("t.krv"), far, store, 0, nullptr).ok);
    const auto t = bytes(file("t.krv"));
    ASSERT_EQ(t.size(), 182u + 556u);
    EXPECT_EQ(std::vector<std::uint8_t>(t.begin() + 182 + 36, t.begin() + 182 + 40),
              (std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(DocumentFileTest, RandomCorruptionNeverCrashes) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 20; ++i) store.append(frameNumber(i));
    ASSERT_TRUE(saveDocument(file("r.krv"), fullDocument(), store, 20, nullptr).ok);
    const auto whole = bytes(file("r.krv"));
    std::mt19937 rng(99);
    for (int round = 0; round < 300; ++round) {
        auto b = whole;
        for (int k = 0; k < 4; ++k) b[rng() % b.size()] = static_cast<std::uint8_t>(rng());
        write(file("r2.krv"), b);
        DocumentContents loaded;
        FrameStore frames;
        const FileResult r = loadDocument(file("r2.krv"), loaded, frames, nullptr);
        if (!r.ok) {
            EXPECT_FALSE(r.error.empty());
        }
    }
}

TEST_F(DocumentFileTest, AFailedSaveLeavesTheOldFileAlone) {
    FrameStore store;
    DocumentContents d;
    // The target is a folder: the new file can be written but never put in its place.
    fs::create_directories(file("taken.krv"));
    const FileResult r = saveDocument(file("taken.krv"), d, store, 0, nullptr);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(fs::is_directory(file("taken.krv")));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator{}), 1)
        << "the temporary file is gone";
    EXPECT_FALSE(saveDocument(file("missing/folder.krv"), d, store, 0, nullptr).ok);
}

TEST(ProgressSteps, AtMostAHundredUpdatesPerRun) {
    struct Counter final : Progress {
        void begin(std::uint32_t) override {}
        void setPercent(int p) override {
            ++updates;
            last = p;
        }
        void end() override {}
        int updates = 0;
        int last = -1;
    } counter;
    ProgressSteps steps(&counter, 1'000'003);
    for (std::uint64_t i = 1; i <= 1'000'003; ++i) steps.at(i);
    EXPECT_LE(counter.updates, 100);
    EXPECT_EQ(counter.last, 100);
}
