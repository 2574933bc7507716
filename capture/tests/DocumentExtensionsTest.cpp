#include "capture/DocumentFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

void putU32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}

void putU64(std::vector<std::uint8_t>& b, std::uint64_t v) {
    putU32(b, static_cast<std::uint32_t>(v));
    putU32(b, static_cast<std::uint32_t>(v >> 32));
}

// What a reader of the document file's own records takes from a file, and where it stops: the
// header, F frame records, C conditions, A items, the manual buffers, W window records.
struct RecordsAlone {
    std::vector<std::uint8_t> header, frames, conditions, items, manual, windows;
    std::size_t end = 0;
    bool operator==(const RecordsAlone&) const = default;
};

RecordsAlone readRecordsAlone(const std::vector<std::uint8_t>& b) {
    RecordsAlone r;
    std::size_t at = 0;
    const auto take = [&](std::vector<std::uint8_t>& into, std::size_t n) {
        into.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                    b.begin() + static_cast<std::ptrdiff_t>(at + n));
        at += n;
    };
    take(r.header, 82);
    take(r.frames, std::size_t{u32At(b, 60)} * 42);
    take(r.conditions, std::size_t{u32At(b, 64)} * 170);
    take(r.items, std::size_t{u32At(b, 78)} * 22);
    take(r.manual, 96);
    const std::uint32_t windows = u32At(b, at);
    take(r.windows, 4 + std::size_t{windows} * 556);
    r.end = at;
    return r;
}

class DocumentExtensionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("krvx-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
        for (std::uint32_t i = 0; i < 10; ++i) {
            CapturedFrame f;
            f.identifier = 0x100 + i;
            f.length = 1;
            f.data[0] = static_cast<std::uint8_t>(i);
            f.seconds = i;
            m_store.append(f);
        }
        FilterCondition c;
        c.flags = FCF_CAN | FCF_ENABLED;
        c.identifier = 0x105;
        m_contents.conditions = {c};
        m_contents.activeWord = 1;
        m_contents.filterMode = 1;
        CurveWindowRecord w;
        w.flags = CurveWindowRecord::kDataList;
        w.name.set("dl");
        m_contents.windows = {w};
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
    std::vector<std::uint8_t> saved(const DocumentContents& d) {
        EXPECT_TRUE(saveDocument(file("s.krv"), d, m_store, m_store.count(), nullptr).ok);
        return bytes(file("s.krv"));
    }
    FileResult load(const std::vector<std::uint8_t>& b, DocumentContents& d) {
        write(file("l.krv"), b);
        m_loaded.clear();
        return loadDocument(file("l.krv"), d, m_loaded, nullptr);
    }
    // Saves what was loaded last, as the program saves an opened document.
    std::vector<std::uint8_t> resaved(const DocumentContents& d) {
        EXPECT_TRUE(saveDocument(file("r.krv"), d, m_loaded, m_loaded.count(), nullptr).ok);
        return bytes(file("r.krv"));
    }

    static std::vector<TimeAnchor> twoRuns() {
        return {{0, 1'700'000'000'123'456, 5'250'000, 0}, {6, 1'700'000'100'000'000, 12'000, 1}};
    }

    fs::path m_dir;
    FrameStore m_store;
    FrameStore m_loaded;
    DocumentContents m_contents;
};

// A block of `records` (tag, payload) as the format lays it out.
std::vector<std::uint8_t> block(
    const std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>>& records,
    std::uint32_t version = 1) {
    std::vector<std::uint8_t> b(kExtensionMagic.begin(), kExtensionMagic.end());
    putU32(b, version);
    putU32(b, static_cast<std::uint32_t>(records.size()));
    for (const auto& [tag, payload] : records) {
        putU32(b, tag);
        putU32(b, static_cast<std::uint32_t>(payload.size()));
        b.insert(b.end(), payload.begin(), payload.end());
    }
    return b;
}

std::vector<std::uint8_t> anchorsOf(std::vector<TimeAnchor> anchors) {
    return encodeTimeAnchors(anchors);
}

std::vector<std::uint8_t> operator+(std::vector<std::uint8_t> a,
                                    const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

}  // namespace

TEST_F(DocumentExtensionsTest, AnchorsComeBackAndAReaderOfTheRecordsAloneReadsTheSameDocument) {
    const std::vector<std::uint8_t> plain = saved(m_contents);
    DocumentContents anchored = m_contents;
    anchored.extensions.anchors = twoRuns();
    const std::vector<std::uint8_t> withBlock = saved(anchored);

    // The block only follows the records: everything before it is the plain file, byte for byte.
    ASSERT_GT(withBlock.size(), plain.size());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), withBlock.begin()));
    const RecordsAlone alone = readRecordsAlone(withBlock);
    EXPECT_EQ(alone, readRecordsAlone(plain));
    EXPECT_EQ(alone.end, plain.size());
    EXPECT_EQ(alone.conditions.size(), 170u);

    DocumentContents loaded;
    ASSERT_TRUE(load(withBlock, loaded).ok);
    EXPECT_EQ(m_loaded.count(), 10u);
    EXPECT_EQ(loaded.windows, m_contents.windows);
    EXPECT_EQ(loaded.extensions.anchors, twoRuns());
    EXPECT_EQ(resaved(loaded), withBlock);
}

TEST_F(DocumentExtensionsTest, NothingToAddWritesNoBlockAndOtherTrailingBytesStayIgnored) {
    const std::vector<std::uint8_t> plain = saved(m_contents);
    // Anchors of frames that were not saved (appended after the count was taken) add nothing.
    DocumentContents later = m_contents;
    later.extensions.anchors = {{10, 1'700'000'000'000'000, 0, 0}};
    EXPECT_EQ(saved(later), plain);

    // Bytes after the last window record that are not a block were always ignored, and still are.
    DocumentContents loaded;
    const std::vector<std::uint8_t> trailing = {'K', 'R', 'V', 'X', 0, 1, 2, 3, 4, 5, 6};
    const FileResult r = load(plain + trailing, loaded);
    EXPECT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(loaded.extensions.empty());
    EXPECT_TRUE(load(plain + std::vector<std::uint8_t>{'K', 'R', 'V'}, loaded).ok);
}

TEST_F(DocumentExtensionsTest, RecordsOfUnknownTagsAreKeptAndWrittenBackUnchanged) {
    const std::string database = "VERSION \"\"\nBO_ 256 Engine: 8 ECU\n";
    const std::vector<std::uint8_t> file =
        saved(m_contents) + block({{1, encodeTimeAnchors(twoRuns())},
                                   {2, std::vector<std::uint8_t>(database.begin(), database.end())},
                                   {77, {}},
                                   {0xC0FFEE, {1, 2, 3}}});
    DocumentContents loaded;
    const FileResult r = load(file, loaded);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(loaded.extensions.anchors, twoRuns());
    ASSERT_EQ(loaded.extensions.kept.size(), 3u);
    EXPECT_EQ(loaded.extensions.kept[2].payload, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(resaved(loaded), file);
}

TEST_F(DocumentExtensionsTest, ANewerAnchorLayoutIsReadAndGoesBackAsItCameWhileUnchanged) {
    // Layout 2 adds eight bytes to each entry; the first 24 mean what they always meant.
    std::vector<std::uint8_t> payload;
    putU32(payload, 2);
    putU32(payload, 32);
    putU32(payload, 2);
    for (const TimeAnchor& a : twoRuns()) {
        putU32(payload, a.firstFrame);
        putU32(payload, a.wraps);
        putU64(payload, static_cast<std::uint64_t>(a.timeOfDayUs));
        putU64(payload, a.adapterUs);
        putU64(payload, 0xABCDEF);
    }
    const std::vector<std::uint8_t> file = saved(m_contents) + block({{1, payload}});
    DocumentContents loaded;
    ASSERT_TRUE(load(file, loaded).ok);
    EXPECT_EQ(loaded.extensions.anchors, twoRuns());
    EXPECT_EQ(resaved(loaded), file);
    // Anchors changed since: they are written in this program's own layout, once.
    loaded.extensions.anchors.push_back({8, 1'700'000'200'000'000, 0, 2});
    EXPECT_EQ(resaved(loaded),
              saved(m_contents) + block({{1, encodeTimeAnchors(loaded.extensions.anchors)}}));
}

TEST_F(DocumentExtensionsTest, ADamagedBlockIsRefusedAsDamageAndANewerOneSaysSo) {
    const std::vector<std::uint8_t> plain = saved(m_contents);
    const std::vector<std::uint8_t> good = block({{1, encodeTimeAnchors(twoRuns())}, {9, {7}}});
    DocumentContents loaded;
    ASSERT_TRUE(load(plain + good, loaded).ok);

    // Cut anywhere after its magic.
    for (std::size_t length = kExtensionMagic.size(); length < good.size(); ++length) {
        const std::vector<std::uint8_t> cut(good.begin(),
                                            good.begin() + static_cast<std::ptrdiff_t>(length));
        DocumentContents d;
        d.cycle = 99;
        const FileResult r = load(plain + cut, d);
        ASSERT_FALSE(r.ok) << length;
        EXPECT_NE(r.error.find(" is damaged: "), std::string::npos) << r.error;
        EXPECT_EQ(d.cycle, 99u) << "nothing is handed out of a damaged file";
    }
    const auto refused = [&](const std::vector<std::uint8_t>& blockBytes) {
        DocumentContents d;
        const FileResult r = load(plain + blockBytes, d);
        return !r.ok && r.error.find(" is damaged: ") != std::string::npos;
    };
    EXPECT_TRUE(refused(good + std::vector<std::uint8_t>{0}));  // bytes after the last record
    std::vector<std::uint8_t> counts = good;
    counts[12] = 0xFF;  // more records than it holds
    EXPECT_TRUE(refused(counts));
    EXPECT_TRUE(refused(block({{1, encodeTimeAnchors(twoRuns())}, {1, encodeTimeAnchors({})}})));
    // Anchors that belong to no frame of the document, or out of order, or not whole.
    EXPECT_TRUE(refused(block({{1, anchorsOf({{10, 0, 0, 0}})}})));
    EXPECT_TRUE(refused(block({{1, anchorsOf({{5, 0, 0, 0}, {5, 1, 0, 0}})}})));
    EXPECT_TRUE(refused(block({{1, anchorsOf({{1, 0, kAdapterClockRoundUs, 0}})}})));
    EXPECT_TRUE(refused(block({}, 0)));

    DocumentContents d;
    const FileResult newer = load(plain + block({{1, {}}}, 2), d);
    EXPECT_FALSE(newer.ok);
    EXPECT_NE(newer.error.find("additions of a newer Korvane"), std::string::npos) << newer.error;
}
