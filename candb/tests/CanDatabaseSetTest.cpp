// The document's CAN databases: adding, removing, the decoder over all of them, and what the
// document keeps of them in its extension block.

#include "candb/CanDatabaseSet.h"
#include "document/DocumentSignals.h"
#include "candb/ExtensionPayload.h"
#include "document/DocumentFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const char* const kEngine = R"(VERSION "engine 1"
BU_: Ecu
BO_ 100 EngineData: 8 Ecu
 SG_ EngineSpeed : 0|16@1+ (1,0) [0|8000] "rpm" Vector__XXX
 SG_ Gear : 16|8@1+ (1,0) [0|3] "" Vector__XXX
VAL_ 100 Gear 0 "Park" 1 "Drive" ;
)";

// Names identifier 100 again, and one of its own.
const char* const kBody = R"(VERSION "body 1"
BO_ 100 Doors: 1 Vector__XXX
 SG_ DoorOpen : 0|1@1+ (1,0) [0|1] "" Vector__XXX
BO_ 2364538622 Lights: 2 Vector__XXX
 SG_ Beam : 0|8@1+ (1,0) [0|255] "" Vector__XXX
)";

CapturedFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes,
                    bool extended = false) {
    CapturedFrame f;
    f.identifier = id;
    f.format = extended ? 1 : 0;
    for (const std::uint8_t b : bytes) f.data[f.length++] = b;
    return f;
}

std::string messageOf(const CanDatabaseSet& set, const CapturedFrame& f) {
    DecodedFrame out = set.decoder()->makeFrame();
    return set.decoder()->decode(f, out) ? out.message()->name : "";
}

}  // namespace

TEST(CanDatabaseSet, AFileThatDoesNotParseIsRefusedAtItsLineAndAddsNothing) {
    CanDatabaseSet set;
    ASSERT_TRUE(set.add("engine.dbc", kEngine).ok);
    const auto decoder = set.decoder();
    const std::uint64_t generation = set.generation();
    const CanDatabaseAddResult bad =
        set.add("bad.dbc", "VERSION \"\"\nBO_ 1 Ok: 1 X\n SG_ Broken : 0|8@1+ (1,0 [0|1] \"\" X\n");
    EXPECT_FALSE(bad.ok);
    EXPECT_EQ(bad.errorLine, 3u);
    EXPECT_NE(bad.error.find("line 3"), std::string::npos) << bad.error;
    // A picture is no database either.
    EXPECT_FALSE(set.add("picture.dbc", std::string("\x89PNG\r\n\x1A\n\0\0", 10)).ok);
    ASSERT_EQ(set.entries().size(), 1u);
    EXPECT_EQ(set.decoder(), decoder);
    EXPECT_EQ(set.generation(), generation);
}

TEST(CanDatabaseSet, TheFirstDatabaseThatNamesAnIdentifierDecodesItAndRemoveHandsItOn) {
    CanDatabaseSet set;
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(messageOf(set, frame(100, {1, 2, 3})), "");
    ASSERT_TRUE(set.add("engine.dbc", kEngine).ok);
    const CanDatabaseAddResult body = set.add("body.dbc", kBody);
    ASSERT_TRUE(body.ok);
    ASSERT_EQ(body.conflicts.size(), 1u);
    EXPECT_EQ(body.conflicts[0].identifier, 100u);
    EXPECT_EQ(body.conflicts[0].keptName, "EngineData");
    EXPECT_EQ(body.conflicts[0].droppedName, "Doors");
    EXPECT_EQ(body.conflicts[0].keptDatabase, 0u);
    EXPECT_EQ(messageOf(set, frame(100, {1, 2, 3})), "EngineData");
    EXPECT_EQ(messageOf(set, frame(0x0CEFFEFE, {1, 2}, true)), "Lights");

    const std::uint64_t before = set.generation();
    ASSERT_TRUE(set.remove(0));
    EXPECT_NE(set.generation(), before);
    EXPECT_EQ(messageOf(set, frame(100, {1})), "Doors");
    EXPECT_FALSE(set.remove(1));
    set.clear();
    EXPECT_EQ(messageOf(set, frame(100, {1})), "");
}

TEST(CanDatabaseSet, ItsPayloadReadsBackAndADamagedOneChangesNothing) {
    CanDatabaseSet set;
    ASSERT_TRUE(set.add("engine.dbc", kEngine).ok);
    ASSERT_TRUE(set.add("body.dbc", std::string(kBody) + "\r\n").ok);
    const std::vector<std::uint8_t> payload = set.encode();
    CanDatabaseSet read;
    std::string error;
    ASSERT_TRUE(read.decode(payload, error)) << error;
    ASSERT_EQ(read.entries().size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(read.entries()[i].name, set.entries()[i].name);
        EXPECT_EQ(read.entries()[i].text, set.entries()[i].text);
    }
    EXPECT_EQ(messageOf(read, frame(100, {1})), "EngineData");
    EXPECT_TRUE(CanDatabaseSet().encode().empty());

    // Cut anywhere, a count beyond what is there, a text that is no database, a newer layout.
    ASSERT_TRUE(set.remove(1));
    for (std::size_t cut = 0; cut < payload.size(); cut += 7) {
        const std::vector<std::uint8_t> part(payload.begin(), payload.begin() + cut);
        EXPECT_FALSE(set.decode(part, error)) << cut;
    }
    std::vector<std::uint8_t> counted = payload;
    counted[4] = 0xFF;
    std::vector<std::uint8_t> newer = payload;
    newer[0] = 2;
    PayloadWriter w;
    w.u32(1);
    w.u32(1);
    w.text("x.dbc");
    w.text("not a database");
    for (const auto& bad : {counted, newer, w.take()}) {
        EXPECT_FALSE(set.decode(bad, error));
        EXPECT_FALSE(error.empty());
    }
    ASSERT_EQ(set.entries().size(), 1u);
    EXPECT_EQ(set.entries()[0].name, "engine.dbc");
}

namespace {

std::uint32_t u32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 | std::uint32_t{b[at + 2]} << 16 |
           std::uint32_t{b[at + 3]} << 24;
}

// The bytes a reader of the document file's own records takes (header, frames, conditions,
// items, manual buffers, window records), and where it stops.
std::pair<std::vector<std::uint8_t>, std::size_t> recordsAlone(const std::vector<std::uint8_t>& b) {
    std::size_t end = 82 + std::size_t{u32At(b, 60)} * 42 + std::size_t{u32At(b, 64)} * 170 +
                      std::size_t{u32At(b, 78)} * 22 + 96;
    end += 4 + std::size_t{u32At(b, end)} * 556;
    return {std::vector<std::uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(end)),
            end};
}

class DocumentSignalsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("candb-doc-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        for (std::uint8_t i = 0; i < 20; ++i) m_store.append(frame(100, {i, 0, 1}));
        FilterCondition c;
        c.flags = FCF_CAN | FCF_ENABLED | FCF_ID;
        c.identifier = 100;
        m_contents.conditions = {c};
        CurveWindowRecord w;
        w.flags = CurveWindowRecord::kDataList;
        w.name.set("dl");
        m_contents.windows = {w};
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::vector<std::uint8_t> save(const DocumentContents& c, const char* name) {
        const std::string path = (m_dir / name).string();
        EXPECT_TRUE(saveDocument(path, c, m_store, m_store.count(), nullptr).ok);
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    DocumentContents load(const char* name) {
        DocumentContents c;
        FrameStore frames;
        const FileResult r = loadDocument((m_dir / name).string(), c, frames, nullptr);
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(frames.count(), m_store.count());
        return c;
    }

    fs::path m_dir;
    FrameStore m_store;
    DocumentContents m_contents;
};

}  // namespace

TEST_F(DocumentSignalsTest, ADocumentKeepsItsDatabasesAndOlderReadersStopBeforeThem) {
    const std::vector<std::uint8_t> plain = save(m_contents, "plain.krv");
    CanDatabaseSet set;
    ASSERT_TRUE(set.add("engine.dbc", kEngine).ok);
    ASSERT_TRUE(set.add("body.dbc", kBody).ok);
    SignalFilterList filter;
    filter.lines = {"EngineSpeed > 3000", "Doors"};
    SignalCurves curves;
    curves.curves = {{"speeds", "rpm", 0, 100, false, "EngineData", "EngineSpeed"},
                     {"map", "gear", 1, 100, false, "EngineData", "Gear"}};
    DocumentContents withDatabases = m_contents;
    putDocumentSignals(withDatabases.extensions, set, curves, filter);
    const std::vector<std::uint8_t> saved = save(withDatabases, "signals.krv");

    DocumentContents read = load("signals.krv");
    CanDatabaseSet reopened;
    ASSERT_TRUE(reopened.add("stale.dbc", kBody).ok);  // replaced by the document's
    SignalCurves reread;
    reread.curves.push_back({"stale", "x", 0, 1, false, "M", "S"});
    SignalFilterList refiltered;
    EXPECT_TRUE(takeDocumentSignals(read.extensions, reopened, reread, refiltered).empty());
    EXPECT_EQ(reread.curves, curves.curves);
    EXPECT_EQ(refiltered.lines, filter.lines);
    ASSERT_EQ(reopened.entries().size(), 2u);
    EXPECT_EQ(reopened.entries()[0].name, "engine.dbc");
    EXPECT_EQ(reopened.entries()[0].text, kEngine);
    EXPECT_EQ(messageOf(reopened, frame(100, {0xC4, 0x09, 1})), "EngineData");
    EXPECT_TRUE(read.extensions.empty());
    // Saved again unchanged, the file is the same bytes.
    putDocumentSignals(read.extensions, reopened, reread, refiltered);
    EXPECT_EQ(save(read, "again.krv"), saved);

    // A reader of the document's own records reads the same frames, filter and windows as from
    // the document without databases, and stops where the block begins.
    const auto [records, end] = recordsAlone(saved);
    EXPECT_EQ(records, recordsAlone(plain).first);
    EXPECT_EQ(end, plain.size());
    ASSERT_GT(saved.size(), end);
    EXPECT_TRUE(beginsExtensionBlock({saved.data() + end, saved.size() - end}));

    // A document without databases opens with none, whatever the set held.
    DocumentContents none = load("plain.krv");
    EXPECT_TRUE(takeDocumentSignals(none.extensions, reopened, reread, refiltered).empty());
    EXPECT_TRUE(reopened.empty());
    EXPECT_TRUE(reread.curves.empty());
    EXPECT_TRUE(refiltered.empty());
}

TEST_F(DocumentSignalsTest, DatabasesThatDoNotReadAreToldAndWrittenBackAsTheyCame) {
    PayloadWriter w;
    w.u32(1);
    w.u32(1);
    w.text("broken.dbc");
    w.text("BO_ x");
    const std::vector<std::uint8_t> broken = w.take();
    DocumentContents c = m_contents;
    c.extensions.kept.push_back({static_cast<std::uint32_t>(ExtensionTag::kCanDatabases), broken});
    // A newer program's layout is none of ours to read, and no damage either.
    PayloadWriter newer;
    newer.u32(7);
    c.extensions.kept.push_back(
        {static_cast<std::uint32_t>(ExtensionTag::kSignalCurves), newer.take()});
    const std::vector<std::uint8_t> saved = save(c, "broken.krv");

    DocumentContents read = load("broken.krv");
    CanDatabaseSet set;
    SignalCurves curves;
    SignalFilterList filter;
    const std::vector<std::string> problems =
        takeDocumentSignals(read.extensions, set, curves, filter);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_NE(problems[0].find("broken.dbc"), std::string::npos) << problems[0];
    EXPECT_TRUE(set.empty());
    putDocumentSignals(read.extensions, set, curves, filter);
    EXPECT_EQ(save(read, "kept.krv"), saved);

    // A database added since takes the unreadable record's place.
    ASSERT_TRUE(set.add("engine.dbc", kEngine).ok);
    putDocumentSignals(read.extensions, set, curves, filter);
    save(read, "replaced.krv");
    DocumentContents replaced = load("replaced.krv");
    EXPECT_TRUE(takeDocumentSignals(replaced.extensions, set, curves, filter).empty());
    ASSERT_EQ(set.entries().size(), 1u);
    EXPECT_EQ(set.entries()[0].name, "engine.dbc");
}

TEST(SignalCurves, ItsPayloadReadsBackAndADamagedOneChangesNothing) {
    SignalCurves curves;
    EXPECT_TRUE(curves.encode().empty());
    curves.curves = {{"yt - 1", "speed", 0, 0x185, false, "Drive_TPDO1", "DriveSpeed"},
                     {"yx - 1", "map", 1, 0x1ABCDEF, true, "Sensor", "Level"}};
    const std::vector<std::uint8_t> payload = curves.encode();
    SignalCurves read;
    std::string error;
    ASSERT_TRUE(read.decode(payload, error)) << error;
    EXPECT_EQ(read.curves, curves.curves);
    ASSERT_NE(read.find("yx - 1", "map", 1), nullptr);
    EXPECT_EQ(read.find("yx - 1", "map", 0), nullptr);
    read.renameWindow("yx - 1", "pairs");
    EXPECT_NE(read.find("pairs", "map", 1), nullptr);
    read.setWindow("pairs", {});
    EXPECT_EQ(read.curves.size(), 1u);

    for (std::size_t cut = 0; cut < payload.size(); ++cut) {
        EXPECT_FALSE(read.decode({payload.data(), cut}, error)) << cut;
    }
    std::vector<std::uint8_t> axis = payload;
    axis[8 + 4 + 6 + 4 + 5] = 2;  // the first curve's axis
    EXPECT_FALSE(read.decode(axis, error));
    std::vector<std::uint8_t> counted = payload;
    counted[4] = 0xFF;
    EXPECT_FALSE(read.decode(counted, error));
    EXPECT_EQ(read.curves.size(), 1u);
}
