// The document without a window: new, open, save, import and what opening does to the program's
// state, with the windows' part recorded.

#include "document/DocumentSession.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// An adapter on a busy bus: every read brings one frame of identifier 0x7E0 while it runs.
class BusyDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count,
                  ReceivedFrame* frames) override {
        a = b = 0;
        count = 1;
        frames[0] = ReceivedFrame{};
        frames[0].identifier = 0x7E0;
        frames[0].millis = static_cast<std::uint32_t>(++m_reads % 1000);
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }

private:
    std::atomic<std::uint32_t> m_reads{0};
};

class RecordedWindows final : public DocumentWindows {
public:
    void documentCreated(CDataDoc&) override { calls.push_back("created"); }
    void showWindowList(const std::vector<CurveWindowRecord>& windows) override {
        calls.push_back("windows " + std::to_string(windows.size()));
        dataList = true;
    }
    void showRows() override { calls.push_back("rows"); }
    void framesReplacing() override { calls.push_back("replacing"); }
    void showCaptureState() override { calls.push_back("capture"); }
    void showName(bool modified) override {
        calls.push_back(modified ? "name modified" : "name");
    }
    void fileUsed(const std::string& path) override { calls.push_back("used " + path); }
    void fileUnreadable(const std::string& path) override {
        calls.push_back("unreadable " + path);
    }
    [[nodiscard]] bool dataListOpen() const override { return dataList; }

    std::vector<std::string> calls;
    bool dataList = false;
};

CapturedFrame frameWithId(std::uint32_t identifier) {
    CapturedFrame f;
    f.identifier = identifier;
    f.length = 1;
    f.data[0] = static_cast<std::uint8_t>(identifier);
    return f;
}

FilterCondition onlyIdentifier(std::uint32_t identifier) {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_ID;
    c.identifier = identifier;
    return c;
}

class DocumentSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() /
                ("krv-session-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        m_session.close();
        fs::remove_all(m_dir);
    }
    std::string file(const char* name) const { return (m_dir / name).string(); }
    std::string write(const char* name, const std::string& text) const {
        std::ofstream(file(name), std::ios::binary) << text;
        return file(name);
    }
    static std::string bytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // A document of three frames, two of 0x185, whose filter shows only 0x185.
    std::string savedDocument(const char* name) const {
        DocumentContents contents;
        contents.baudRate = 250;
        contents.workMode = 1;
        contents.frameType = 2;
        contents.hexDisplay = 0;
        contents.deviceReady = 1;
        contents.conditions = {onlyIdentifier(0x185)};
        contents.activeWord = 1;
        CurveWindowRecord dataList;
        dataList.flags = CurveWindowRecord::kDataList;
        dataList.name.set("dl");
        contents.windows = {dataList};
        FrameStore frames;
        for (std::uint32_t id : {0x185u, 0x80u, 0x185u}) frames.append(frameWithId(id));
        EXPECT_TRUE(saveDocument(file(name), contents, frames, frames.count(), nullptr).ok);
        return file(name);
    }
    std::vector<std::uint32_t> storeIdentifiers() const {
        std::vector<std::uint32_t> ids;
        for (std::uint32_t i = 0; i < m_state.store.count(); ++i) {
            ids.push_back(m_state.store.at(i).identifier);
        }
        return ids;
    }

    fs::path m_dir;
    ProgramState m_state;
    BusyDevice m_device;
    MessageRecorder m_messages;
    RecordedWindows m_windows;
    DocumentSession m_session{m_state, m_device, m_messages, m_windows};
};

}  // namespace

TEST_F(DocumentSessionTest, ANewDocumentHasItsDataListAndASecondIsRefused) {
    m_state.store.append(frameWithId(1));
    m_state.filter.conditions = {onlyIdentifier(1)};
    m_session.newDocument();
    ASSERT_NE(m_session.document(), nullptr);
    EXPECT_EQ(m_state.store.count(), 0u);
    EXPECT_TRUE(m_state.filter.conditions.empty());
    ASSERT_EQ(m_session.document()->contents.windows.size(), 1u);
    EXPECT_EQ(m_session.document()->contents.windows[0].name.text(), "dl");
    EXPECT_EQ(m_windows.calls, (std::vector<std::string>{"created", "windows 1", "rows"}));

    CDataDoc* first = m_session.document();
    m_session.newDocument();
    EXPECT_EQ(m_session.document(), first);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, strings::kCannotCreateTwoDocuments);
}

TEST_F(DocumentSessionTest, OpeningOverACaptureInProgressTakesTheFilesFramesAndSettingsAlone) {
    m_session.newDocument();
    m_state.capture.deviceReady = 1;
    m_session.document()->OnCapture();
    ASSERT_EQ(m_state.capture.capturing.load(), 1u);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (m_state.store.count() < 20 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_GE(m_state.store.count(), 20u);
    FilterStep(m_state.filter, m_state.store, m_state.flags);
    m_state.capture.framesLost = 7;
    m_windows.calls.clear();

    const std::string path = savedDocument("doc.krv");
    ASSERT_TRUE(m_session.open(path));
    // The document says capturing was off: no frame of the running capture joins the file's.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(storeIdentifiers(), (std::vector<std::uint32_t>{0x185, 0x80, 0x185}));
    EXPECT_EQ(m_state.capture.capturing.load(), 0u);
    EXPECT_EQ(m_state.capture.deviceReady.load(), 1u);
    EXPECT_EQ(m_state.capture.framesLost.load(), 0u);
    EXPECT_EQ(m_state.capture.wrapCount, 0u);
    EXPECT_EQ(m_state.device.baudRate, 250);
    EXPECT_EQ(m_state.device.frameType, 2);
    EXPECT_FALSE(m_state.hexDisplay);
    EXPECT_FALSE(m_state.flags.test(ApplicationFlags::kClearing));
    EXPECT_EQ(m_session.document()->GetPathName(), path);
    EXPECT_EQ(m_session.document()->GetTitle(), "doc.krv");
    EXPECT_FALSE(m_session.document()->IsModified());
    EXPECT_EQ(m_windows.calls, (std::vector<std::string>{"replacing", "windows 1", "rows",
                                                         "capture", "used " + path, "name"}));
}

TEST_F(DocumentSessionTest, OpeningRunsTheDocumentsFilterAgainFromTheFirstFrame) {
    m_session.newDocument();
    for (int i = 0; i < 10; ++i) m_state.store.append(frameWithId(0x80));
    FilterStep(m_state.filter, m_state.store, m_state.flags);
    ASSERT_EQ(m_state.filter.processedCount, 10u);

    ASSERT_TRUE(m_session.open(savedDocument("doc.krv")));
    EXPECT_EQ(m_state.filter.conditions.size(), 1u);
    EXPECT_EQ(m_state.filter.processedCount, 3u);
    EXPECT_EQ(m_state.filter.displayIndexList.size(), 2u);
    EXPECT_EQ(m_state.filter.displayIndexList.at(0), 0u);
    EXPECT_EQ(m_state.filter.displayIndexList.at(1), 2u);
}

TEST_F(DocumentSessionTest, AFailedOpenLeavesTheOpenDocumentAsItWas) {
    const std::string good = savedDocument("good.krv");
    ASSERT_TRUE(m_session.open(good));
    CDataDoc* document = m_session.document();
    m_windows.calls.clear();

    const std::string bad = write("bad.krv", "not a document");
    EXPECT_FALSE(m_session.open(bad));
    EXPECT_FALSE(m_session.open(file("missing.krv")));
    EXPECT_EQ(m_session.document(), document);
    EXPECT_EQ(document->GetPathName(), good);
    EXPECT_EQ(storeIdentifiers(), (std::vector<std::uint32_t>{0x185, 0x80, 0x185}));
    EXPECT_EQ(m_state.filter.displayIndexList.size(), 2u);
    EXPECT_EQ(m_windows.calls, (std::vector<std::string>{"unreadable " + bad,
                                                         "unreadable " + file("missing.krv")}));
    ASSERT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    EXPECT_FALSE(m_messages.shown()[0].text.empty());
}

TEST_F(DocumentSessionTest, WhatIsSavedOpensAgainAndSavesToTheSameBytes) {
    m_session.newDocument();
    for (std::uint32_t id : {0x10u, 0x20u, 0x30u}) m_state.store.append(frameWithId(id));
    m_state.device.baudRate = 500;
    m_state.hexDisplay = false;
    m_state.filter.conditions = {onlyIdentifier(0x20)};
    m_state.filter.recomputeActive();
    m_session.document()->contents.interval = 40;
    const std::string first = file("first.krv");
    ASSERT_TRUE(m_session.save(first));
    EXPECT_EQ(m_session.document()->GetTitle(), "first.krv");

    m_state.device.baudRate = 125;
    m_state.hexDisplay = true;
    m_state.store.append(frameWithId(0x40));
    ASSERT_TRUE(m_session.open(first));
    EXPECT_EQ(storeIdentifiers(), (std::vector<std::uint32_t>{0x10, 0x20, 0x30}));
    EXPECT_EQ(m_state.device.baudRate, 500);
    EXPECT_FALSE(m_state.hexDisplay);
    EXPECT_EQ(m_session.document()->contents.interval, 40u);
    const std::string second = file("second.krv");
    ASSERT_TRUE(m_session.save(second));
    EXPECT_EQ(bytes(second), bytes(first));

    // A save that cannot be written leaves the document modified on the next tick.
    EXPECT_FALSE(m_session.save(file("no/such/folder/x.krv")));
    EXPECT_EQ(m_state.capture.pendingChanges.load(), 1u);
    EXPECT_EQ(m_session.document()->GetPathName(), second);
}

TEST_F(DocumentSessionTest, AnImportReplacesTheDocumentOnlyWhenTheLogWasRead) {
    ASSERT_TRUE(m_session.open(savedDocument("doc.krv")));
    m_windows.calls.clear();

    EXPECT_FALSE(m_session.importLog(write("empty.log", "")));
    EXPECT_FALSE(m_session.importLog(file("missing.log")));
    EXPECT_EQ(storeIdentifiers(), (std::vector<std::uint32_t>{0x185, 0x80, 0x185}));
    EXPECT_EQ(m_session.document()->GetTitle(), "doc.krv");
    EXPECT_TRUE(m_windows.calls.empty());
    ASSERT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(
        m_messages.shown()[1].text.rfind("The log cannot be opened:\n" + file("missing.log"), 0),
        0u);

    m_messages.clear();
    const std::string log = write("trace.log", "(1.0) can0 123#01\nnot a frame\n(1.5) can0 456#\n");
    ASSERT_TRUE(m_session.importLog(log));
    EXPECT_EQ(storeIdentifiers(), (std::vector<std::uint32_t>{0x123, 0x456}));
    // A new document: unsaved, named after the file, with an empty filter.
    EXPECT_EQ(m_session.document()->GetPathName(), "");
    EXPECT_EQ(m_session.document()->GetTitle(), "trace");
    EXPECT_TRUE(m_session.document()->IsModified());
    EXPECT_TRUE(m_state.filter.conditions.empty());
    EXPECT_EQ(m_state.capture.pendingChanges.load(), 1u);
    EXPECT_EQ(m_windows.calls.back(), "name modified");
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(m_messages.shown()[0].text,
              "1 line of the log was skipped (1 does not parse).\nThe skipped line is line 2: "
              "does not parse.");
}

// One message, 0x185, whose first byte is Level.
constexpr const char* kLevelDatabase =
    "VERSION \"\"\nBU_: A\nBO_ 389 Levels: 1 A\n SG_ Level : 0|8@1+ (1,0) [0|255] \"\" A\n";

TEST_F(DocumentSessionTest, ADocumentsDatabasesAndSignalConditionsGoWithItAndNotIntoANewOne) {
    m_session.newDocument();
    for (std::uint32_t id : {0x185u, 0x80u}) m_state.store.append(frameWithId(id));
    ASSERT_TRUE(m_state.databases.add("levels.dbc", kLevelDatabase).ok);
    m_state.signalFilter.lines = {"Level > 130"};
    const std::string path = file("signals.krv");
    ASSERT_TRUE(m_session.save(path));
    m_session.close();
    m_state.flags.reset(ApplicationFlags::kDocumentExists);
    m_state.databases.clear();
    m_state.signalFilter = {};

    ASSERT_TRUE(m_session.open(path));
    ASSERT_EQ(m_state.databases.entries().size(), 1u);
    EXPECT_EQ(m_state.signalFilter.lines, (std::vector<std::string>{"Level > 130"}));
    // The conditions are compiled against the database that came with them: 0x185 carries 0x85.
    ASSERT_NE(m_state.filter.moreConditions, nullptr);
    EXPECT_TRUE(m_state.filter.moreConditions->matches(m_state.store.at(0)));
    EXPECT_FALSE(m_state.filter.moreConditions->matches(m_state.store.at(1)));
    EXPECT_TRUE(m_messages.shown().empty());

    m_session.close();
    m_state.flags.reset(ApplicationFlags::kDocumentExists);
    m_session.newDocument();
    EXPECT_TRUE(m_state.databases.empty());
    EXPECT_TRUE(m_state.signalFilter.empty());
    EXPECT_EQ(m_state.filter.moreConditions, nullptr);
}

TEST(SkippedLinesMessage, SaysHowManyOfWhichKindAndTheFirstLine) {
    LogReadResult read;
    EXPECT_TRUE(skippedLinesMessage(read).empty());
    read.skip(17, SkipReason::kTooLong, {});
    read.skip(20, SkipReason::kTooLong, {});
    read.skip(30, SkipReason::kCutShort, {});
    EXPECT_EQ(skippedLinesMessage(read),
              "3 lines of the log were skipped (2 too long, 1 cut short at the end of the file).\n"
              "The first skipped line is line 17: too long.");
    LogReadResult one;
    one.skip(4, SkipReason::kErrorFrame, {});
    EXPECT_EQ(skippedLinesMessage(one),
              "1 line of the log was skipped (1 error frame).\nThe skipped line is line 4: error "
              "frame.");
}
