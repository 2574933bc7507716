// Documents through the program: open, save, printing to PDF and the batch mode.

#include "app/MonitorApp.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"
#include "views/CheckedWriteDevice.h"
#include "views/DataListPrinter.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPrinter>
#include <QTest>
#include <QTreeWidget>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class IdleDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        ++reads;
        a = b = count = 0;  // answered, with nothing in it
        return true;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }
    std::atomic<int> reads{0};
};

struct TempFolder {
    TempFolder() {
        path = fs::temp_directory_path() / ("korvane-doc-" + std::to_string(::getpid()));
        fs::create_directories(path);
    }
    ~TempFolder() { fs::remove_all(path); }
    std::string file(const char* name) const { return (path / name).string(); }
    fs::path path;
};

CapturedFrame frameNumber(std::uint32_t i) {
    CapturedFrame f;
    f.identifier = 0x100 + i % 0x600;
    f.length = 2;
    f.data[0] = static_cast<std::uint8_t>(i);
    f.millis = i % 1000;
    return f;
}

// Runs a command; its exit status and what it wrote to standard output and standard error.
std::pair<int, std::string> run(const std::string& command) {
    std::string output;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::array<char, 256> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe) != nullptr) output += buffer.data();
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::string pdfText(const std::string& pdf, int page = 0) {
    const std::string range =
        page > 0 ? " -f " + std::to_string(page) + " -l " + std::to_string(page) : "";
    return run("pdftotext -layout" + range + " '" + pdf + "' -").second;
}

class DocumentGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_app.InitInstance({}));
        m_frame = &m_app.mainFrame();
    }
    TempFolder m_folder;
    IdleDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
    MainFrame* m_frame = nullptr;
};

}  // namespace

TEST_F(DocumentGuiTest, ASavedCaptureOpensAgainAndPollsAgain) {
    m_app.newDocument();
    ProgramState& state = m_app.state();
    for (std::uint32_t i = 0; i < 1000; ++i) state.store.append(frameNumber(i));
    state.device.baudRate = 250;
    state.capture.deviceReady = 1;
    state.capture.capturing = 1;
    FilterCondition c;
    c.flags = FCF_CAN | FCF_ENABLED | FCF_FORMAT | FCF_ID;
    c.identifier = 0x105;
    state.filter.conditions = {c};
    state.filter.recomputeActive();
    state.capture.pendingChanges = 1;
    ASSERT_TRUE(m_app.saveDocument(QString::fromStdString(m_folder.file("cap.krv"))));
    EXPECT_FALSE(m_app.document()->IsModified());
    EXPECT_EQ(state.capture.pendingChanges.load(), 0u);
    EXPECT_EQ(m_app.document()->GetTitle(), "cap.krv");

    state.capture.capturing = 0;
    state.capture.deviceReady = 0;
    state.store.clear();
    state.filter.conditions.clear();
    ASSERT_TRUE(m_app.openDocument(QString::fromStdString(m_folder.file("cap.krv"))));
    EXPECT_EQ(state.store.count(), 1000u);
    EXPECT_EQ(state.device.baudRate, 250);
    EXPECT_EQ(state.capture.deviceReady.load(), 1u);
    EXPECT_EQ(state.capture.capturing.load(), 1u);  // polling is on again
    ASSERT_EQ(state.filter.conditions.size(), 1u);
    EXPECT_TRUE(state.filter.active());
    // The loaded filter ran over the whole store: one frame carries identifier 0x105.
    ASSERT_EQ(state.filter.displayIndexList.size(), 1u);
    EXPECT_EQ(state.filter.displayIndexList.at(0), 5u);
    EXPECT_EQ(m_frame->dataList()->model().rowCount(), 1);
    const int before = m_device.reads.load();
    for (int i = 0; i < 100 && m_device.reads.load() == before; ++i) QTest::qWait(2);
    EXPECT_GT(m_device.reads.load(), before);
    state.capture.capturing = 0;
}

TEST_F(DocumentGuiTest, AnUnreadableFileLeavesTheOpenDocumentAsItWas) {
    m_app.newDocument();
    ProgramState& state = m_app.state();
    for (std::uint32_t i = 0; i < 10; ++i) state.store.append(frameNumber(i));
    DocumentContents future;
    future.versionInteger = 2;
    FrameStore none;
    ASSERT_TRUE(::saveDocument(m_folder.file("v2.krv"), future, none, 0, nullptr).ok);
    EXPECT_FALSE(m_app.openDocument(QString::fromStdString(m_folder.file("v2.krv"))));
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_NE(m_messages.shown()[0].text.find("version"), std::string::npos);
    EXPECT_EQ(state.store.count(), 10u);
    EXPECT_TRUE(m_app.document()->GetPathName().empty());
}

TEST_F(DocumentGuiTest, OpeningWithoutADocumentCreatesOne) {
    DocumentContents contents;
    CurveWindowRecord yt;
    yt.flags = CurveWindowRecord::kYt;
    yt.name.set("temps");
    contents.windows = {yt};
    FrameStore frames;
    frames.append(frameNumber(1));
    ASSERT_TRUE(::saveDocument(m_folder.file("w.krv"), contents, frames, 1, nullptr).ok);
    ASSERT_TRUE(m_app.openDocument(QString::fromStdString(m_folder.file("w.krv"))));
    ASSERT_NE(m_app.document(), nullptr);
    ASSERT_NE(m_frame->dataList(), nullptr);
    EXPECT_EQ(m_app.state().filter.displayIndexList.size(), 1u);
    // The tree names the windows of the file.
    QTreeWidgetItem* yt_node = m_frame->tree()->topLevelItem(0)->child(1);
    ASSERT_EQ(yt_node->childCount(), 1);
    EXPECT_EQ(yt_node->child(0)->text(0), "temps");
    m_frame->routeCommand(ID_FILE_NEW);
    EXPECT_EQ(m_messages.shown().back().stringId, strings::kCannotCreateTwoDocuments);
}

TEST(PrintTest, NoRowsPrintOnePageAndAFullPageLeavesAnEmptySecond) {
    TempFolder folder;
    FrameStore store;
    FilterState filter;
    ApplicationFlags flags;
    const QFont font = QApplication::font();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(folder.file("empty.pdf")));
        ASSERT_TRUE(DataListPrinter(ProtocolReading::kCan, filter.displayIndexList, store, font)
                        .print(printer));
    }
    const std::string empty = pdfText(folder.file("empty.pdf"));
    EXPECT_NE(empty.find("Data captured by Korvane"), std::string::npos) << empty;
    EXPECT_NE(empty.find("CANIndex"), std::string::npos);
    EXPECT_NE(empty.find("- Page 1 of 1 -"), std::string::npos);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(folder.file("full.pdf")));
    const int perPage = DataListPrinter(ProtocolReading::kCan, filter.displayIndexList, store, font)
                            .metrics(printer)
                            .linesPerPage;
    ASSERT_GT(perPage, 5);
    for (int i = 0; i < perPage; ++i) store.append(frameNumber(static_cast<std::uint32_t>(i)));
    FilterStep(filter, store, flags);
    ASSERT_TRUE(DataListPrinter(ProtocolReading::kCanOpen, filter.displayIndexList, store, font)
                    .print(printer));
    const std::string first = pdfText(folder.file("full.pdf"), 1);
    const std::string second = pdfText(folder.file("full.pdf"), 2);
    EXPECT_NE(first.find("- Page 1 of 2 -"), std::string::npos);
    EXPECT_NE(first.find(std::to_string(perPage - 1)), std::string::npos);
    EXPECT_NE(second.find("- Page 2 of 2 -"), std::string::npos);
    EXPECT_NE(second.find("CopIndex"), std::string::npos);
    EXPECT_EQ(second.find("0000000"), std::string::npos) << "the second page holds no rows";
}

TEST(BatchMode, ExportsAndPrintsADocumentWithoutAWindow) {
    TempFolder folder;
    DocumentContents contents;
    FilterCondition hide;
    hide.flags = FCF_CAN | FCF_ENABLED | FCF_FORMAT | FCF_ID;
    hide.identifier = 0x101;
    contents.conditions = {hide};
    contents.filterMode = 1;  // Hide
    FrameStore frames;
    for (std::uint32_t i = 0; i < 3; ++i) frames.append(frameNumber(i));
    ASSERT_TRUE(::saveDocument(folder.file("d.krv"), contents, frames, 3, nullptr).ok);

    const std::string korvane = KORVANE_PATH;
    auto [status, output] = run(korvane + " --export " + folder.file("out.txt") +
                                " --reading canopen " + folder.file("d.krv"));
    EXPECT_EQ(status, 0) << output;
    std::ifstream in(folder.file("out.txt"), std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    EXPECT_NE(text.find("Message amount: 2\r\n"), std::string::npos);  // the stored filter hid one
    EXPECT_NE(text.find("CopIndex"), std::string::npos);

    std::tie(status, output) =
        run(korvane + " --print-to " + folder.file("out.pdf") + " " + folder.file("d.krv"));
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(pdfText(folder.file("out.pdf")).find("- Page 1 of 1 -"), std::string::npos);

    std::tie(status, output) =
        run(korvane + " --export " + folder.file("x.txt") + " " + folder.file("missing.krv"));
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("cannot be opened"), std::string::npos);
    std::tie(status, output) = run(korvane + " --help");
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("--print-to"), std::string::npos);
}

TEST(BatchMode, APrintThatCannotBeWrittenFailsWithItsReasonAndKeepsTheOldFile) {
    TempFolder folder;
    FrameStore frames;
    for (std::uint32_t i = 0; i < 2000; ++i) frames.append(frameNumber(i));
    const std::string doc = folder.file("d.krv");
    ASSERT_TRUE(::saveDocument(doc, DocumentContents{}, frames, 2000, nullptr).ok);
    const std::string print = std::string(KORVANE_PATH) + " --print-to ";
    const auto read = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string{std::istreambuf_iterator<char>(in), {}};
    };

    auto [status, output] = run(print + "/dev/full " + doc);
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("cannot print to /dev/full: writing failed: No space left on device"),
              std::string::npos)
        << output;

    const std::string pdf = folder.file("old.pdf");
    std::tie(status, output) = run(print + pdf + " " + doc);
    ASSERT_EQ(status, 0) << output;
    const std::string whole = read(pdf);
    ASSERT_GT(whole.size(), 64u * 1024);
    // A size limit cuts the write short as a full disk would.
    std::tie(status, output) = run("ulimit -f 64; " + print + pdf + " " + doc);
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("File too large"), std::string::npos) << output;
    EXPECT_TRUE(read(pdf) == whole) << "the old file changed";
    EXPECT_EQ(std::distance(fs::directory_iterator(folder.path), {}), 2) << "nothing left beside";

    std::tie(status, output) = run(print + folder.file("none/x.pdf") + " " + doc);
    EXPECT_NE(status, 0);
    EXPECT_NE(output.find("No such file or directory"), std::string::npos) << output;
    if (::geteuid() != 0) {  // the superuser writes into any folder
        fs::create_directory(folder.path / "closed");
        fs::permissions(folder.path / "closed", fs::perms::owner_read | fs::perms::owner_exec);
        std::tie(status, output) = run(print + folder.file("closed/x.pdf") + " " + doc);
        EXPECT_NE(status, 0);
        EXPECT_NE(output.find("Permission denied"), std::string::npos) << output;
    }

    // A link at the target is written through; the link stays.
    fs::create_symlink(pdf, folder.path / "link.pdf");
    std::tie(status, output) = run(print + folder.file("link.pdf") + " " + doc);
    EXPECT_EQ(status, 0) << output;
    EXPECT_TRUE(fs::is_symlink(folder.path / "link.pdf"));
    EXPECT_NE(pdfText(pdf).find("- Page 1 of "), std::string::npos);
}

TEST(CheckedWriteDevice, KeepsTheFirstFailureOfAnyWrite) {
    TempFolder folder;
    const std::string path = folder.file("out.bin");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    {
        CheckedWriteDevice device(fd);
        const std::string piece(40'000, 'x');
        for (int i = 0; i < 5; ++i) EXPECT_EQ(device.write(piece.data(), 40'000), 40'000);
        EXPECT_TRUE(device.finish());
        EXPECT_EQ(device.error(), 0);
    }
    ::close(fd);
    EXPECT_EQ(fs::file_size(path), 200'000u);

    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    CheckedWriteDevice device(full);
    EXPECT_EQ(device.write("%PDF-1.4\n", 9), 9);  // still buffered
    EXPECT_FALSE(device.finish());
    EXPECT_EQ(device.error(), ENOSPC);
    EXPECT_EQ(device.write("more", 4), -1);  // once failed, always failed
    ::close(full);
}
