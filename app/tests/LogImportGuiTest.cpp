// Logs through the program: File > Import..., File > Export As Log... and their messages.

#include "app/MonitorApp.h"
#include "interop/LogTime.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QRadioButton>
#include <QToolTip>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

class NoDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return false; }
};

class LogImportGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("korvane-logs-" + std::to_string(::getpid()));
        fs::create_directories(m_dir);
        ASSERT_TRUE(m_app.InitInstance({}));
    }
    void TearDown() override { fs::remove_all(m_dir); }
    QString write(const char* name, const std::string& text) {
        std::ofstream((m_dir / name).string(), std::ios::binary) << text;
        return QString::fromStdString((m_dir / name).string());
    }
    std::string read(const char* name) {
        std::ifstream in((m_dir / name).string(), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    QString path(const char* name) const { return QString::fromStdString((m_dir / name).string()); }

    fs::path m_dir;
    NoDevice m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
};

}  // namespace

TEST_F(LogImportGuiTest, ALogBecomesANewUnsavedDocumentWithOneMessageAboutSkippedLines) {
    ProgramState& state = m_app.state();
    state.device.baudRate = 500;
    state.capture.deviceReady = 1;
    ASSERT_TRUE(m_app.importLogFile(write("trace.log",
                                          "(1700000000.000000) can0 123#1122\n"
                                          "(1700000000.500000) can0 20000004#0000000000000000\n"
                                          "(1700000001.250000) can0 12345678#R2\n"
                                          "(1700000002.000000) can0 123##11\n"
                                          "nonsense\n")));
    ASSERT_NE(m_app.document(), nullptr);
    EXPECT_EQ(m_app.document()->GetTitle(), "trace");
    EXPECT_TRUE(m_app.document()->GetPathName().empty());
    EXPECT_TRUE(m_app.mainFrame().isWindowModified());
    ASSERT_EQ(state.store.count(), 2u);
    EXPECT_EQ(state.store.at(1).seconds, 1u);
    EXPECT_EQ(state.store.at(1).millis, 250u);
    EXPECT_EQ(state.store.at(1).status, 1u);
    // The adapter's settings are not the log's business.
    EXPECT_EQ(state.device.baudRate, 500);
    EXPECT_EQ(state.capture.deviceReady.load(), 1u);
    EXPECT_EQ(m_app.mainFrame().dataList()->model().rowCount(), 2);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    const std::string& text = m_messages.shown()[0].text;
    EXPECT_NE(text.find("3 lines of the log were skipped"), std::string::npos) << text;
    EXPECT_NE(text.find("1 error frame, 1 CAN FD frame, 1 does not parse"), std::string::npos)
        << text;
    EXPECT_NE(text.find("line 2: error frame"), std::string::npos) << text;
}

TEST_F(LogImportGuiTest, AFileWithoutFramesLeavesTheOpenDocumentAsItWas) {
    ASSERT_TRUE(m_app.importLogFile(write("good.asc", "0.5 1 7FF Rx d 1 01\n")));
    EXPECT_TRUE(m_messages.shown().empty());
    EXPECT_EQ(m_app.state().store.count(), 1u);
    EXPECT_FALSE(m_app.importLogFile(write("photo.asc", std::string("\x89PNG\r\n\x1a\n\0\0", 10))));
    EXPECT_FALSE(m_app.importLogFile(path("missing.log")));
    EXPECT_FALSE(m_app.importLogFile(write("empty.log", "")));
    EXPECT_FALSE(m_app.importLogFile(write("wide.log", std::string("\xFF\xFE(\0\n\0", 6))));
    EXPECT_EQ(m_app.state().store.count(), 1u);
    EXPECT_EQ(m_app.document()->GetTitle(), "good");
    ASSERT_EQ(m_messages.shown().size(), 4u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    EXPECT_NE(m_messages.shown()[0].text.find("no CAN frame"), std::string::npos);
    EXPECT_NE(m_messages.shown()[1].text.find("missing.log"), std::string::npos);
    EXPECT_EQ(m_messages.shown()[2].text, "The file holds no CAN frame that can be imported.");
    const std::string& wide = m_messages.shown()[3].text;
    EXPECT_NE(wide.find(".\nThe file looks like UTF-16 text"), std::string::npos) << wide;
}

TEST_F(LogImportGuiTest, FramesWhoseTimeGoesBackAreReportedWithTheSkippedLines) {
    ASSERT_TRUE(m_app.importLogFile(write("merged.asc",
                                          "1.0 1 101 Rx d 0\n"
                                          "9.0 1 102 Rx d 0\n"
                                          "2.0 1 103 Rx d 0\n"
                                          "3.0 1 104 Rx d 0\n"
                                          "junk\n")));
    ASSERT_EQ(m_app.state().store.count(), 4u);
    EXPECT_EQ(m_app.state().store.at(3).seconds, 9u);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kInformation);
    EXPECT_EQ(m_messages.shown()[0].text,
              "1 line of the log was skipped (1 does not parse).\n"
              "The skipped line is line 5: does not parse.\n\n"
              "2 frames of the log go back in time: each was given the time of the frame before "
              "it.\nThe first is line 3.");
    // Without skipped lines the report is about the times alone.
    ASSERT_TRUE(m_app.importLogFile(write("back.log", "(2.0) can0 123#\n(1.0) can0 123#\n")));
    ASSERT_EQ(m_messages.shown().size(), 2u);
    EXPECT_EQ(m_messages.shown()[1].text,
              "1 frame of the log goes back in time: it was given the time of the frame before it "
              "(line 2).");
}

TEST(LogBatch, ALogGivenAsADocumentIsNamedAndConvertIsShown) {
    const fs::path dir =
        fs::temp_directory_path() / ("korvane-batch-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string log = (dir / "file.log").string();
    std::ofstream(log) << "(1700000000.000000) can0 123#1122\n";
    const auto run = [](const std::string& command) {
        std::string output;
        FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
        const int status = ::pclose(pipe);
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, output);
    };
    const std::string korvane = KORVANE_PATH;
    for (const char* option : {"--export out.txt ", "--print-to out.pdf "}) {
        const auto [status, output] =
            run("cd " + dir.string() + " && " + korvane + " " + option + log);
        EXPECT_EQ(status, 1) << output;
        EXPECT_EQ(output, "Korvane: " + log +
                              " is not a Korvane document but a log; --convert reads logs: "
                              "Korvane --convert " +
                              log + " DOC.krv\n");
    }
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
    fs::remove_all(dir);
}

TEST_F(LogImportGuiTest, ExportWritesTheShownRowsOrAllFramesInEitherFormat) {
    EXPECT_FALSE(m_app.mainFrame().action(ID_FILE_EXPORT_LOG)->isEnabled());
    ASSERT_TRUE(m_app.importLogFile(write("in.log",
                                          "(0000000001.000000) can0 101#01\n"
                                          "(0000000002.000000) can0 102#02\n"
                                          "(0000000003.000000) can0 103#03\n")));
    m_app.mainFrame().updateCommandUI();
    EXPECT_TRUE(m_app.mainFrame().action(ID_FILE_EXPORT_LOG)->isEnabled());
    EXPECT_TRUE(m_app.mainFrame().action(ID_FILE_IMPORT_LOG)->isEnabled());
    // The data list shows the rows the filter lets through.
    DisplayIndexList& rows = m_app.state().filter.displayIndexList;
    rows.clear();
    rows.append(2);
    ExportLogChoice choice;
    choice.options.interfaceName = "vcan1";
    ASSERT_TRUE(m_app.exportLogFile(path("shown.log"), choice));
    EXPECT_EQ(read("shown.log"), "(0000000003.000000) vcan1 103#03\n");
    choice.shownRows = false;
    choice.options.format = LogFormat::kAsc;
    ASSERT_TRUE(m_app.exportLogFile(path("all.asc"), choice));
    const std::string asc = read("all.asc");
    EXPECT_NE(asc.find("   1.000000 2  101             Rx   d 1 01\n"), std::string::npos) << asc;
    EXPECT_NE(asc.find("   3.000000 2  103             Rx   d 1 03\nEnd TriggerBlock\n"),
              std::string::npos);
    EXPECT_FALSE(m_app.exportLogFile(path("no/such/folder.log"), choice));
    EXPECT_EQ(m_messages.shown().back().icon, MessageIcon::kStop);
}

TEST_F(LogImportGuiTest, ALogsTimeOfDayGoesThroughTheDocumentToTheToolTipAndTheExport) {
    const std::string log = "(1700000000.000000) can0 123#1122\n(1700000000.500001) can0 124#\n";
    ASSERT_TRUE(m_app.importLogFile(write("day.log", log)));
    MainFrame& frame = m_app.mainFrame();
    frame.show();
    frame.dataList()->onTimer();
    DataListModel& model = frame.dataList()->model();
    ASSERT_EQ(model.rowCount(), 2);
    const QString day = QString::fromStdString(formatTimeOfDay(1'700'000'000'500'001));
    EXPECT_EQ(model.data(model.index(1, DataListModel::kTimeColumn), Qt::ToolTipRole), day);
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ToolTipRole).isValid());
    // The list shows it under the mouse.
    VirtualTableView& list = frame.dataList()->list();
    const QPoint at(list.header()->sectionViewportPosition(1) + 4, list.rowHeight() + 2);
    QHelpEvent help(QEvent::ToolTip, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &help);
    EXPECT_EQ(QToolTip::text(), day);
    QToolTip::hideText();

    // Saved and opened again, the document still knows the time of day.
    ASSERT_TRUE(m_app.saveDocument(path("day.krv")));
    m_app.state().capture.anchors.clear();
    EXPECT_FALSE(model.data(model.index(1, 1), Qt::ToolTipRole).isValid());
    ASSERT_TRUE(m_app.openDocument(path("day.krv")));
    frame.dataList()->onTimer();
    EXPECT_EQ(model.data(model.index(1, 1), Qt::ToolTipRole), day);
    ExportLogChoice choice;
    choice.shownRows = false;
    ASSERT_TRUE(m_app.exportLogFile(path("day-out.log"), choice));
    EXPECT_EQ(read("day-out.log"), log);
}

TEST(ExportLogChoice, TheInterfaceNameIsCheckedBeforeAnythingIsWritten) {
    ExportLogChoice choice;
    EXPECT_EQ(choice.options.interfaceName, "can0");
    EXPECT_EQ(choice.check(), 0u);
    EXPECT_EQ(choice.defaultFileName(), "CANData.log");
    choice.options.interfaceName = "can 0";
    EXPECT_EQ(choice.check(), strings::kBadInterfaceName);
    choice.options.format = LogFormat::kAsc;
    EXPECT_EQ(choice.defaultFileName(), "CANData.asc");
    EXPECT_TRUE(choice.fileFilter().contains("*.asc"));
}

TEST(SkippedLinesMessage, SaysHowManyOfWhichKindAndTheFirstLine) {
    LogReadResult read;
    EXPECT_TRUE(skippedLinesMessage(read).isEmpty());
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

TEST_F(LogImportGuiTest, BlfAndPcapGoOutAndComeBackAndTheirSkipsAreCountedInRecords) {
    ASSERT_TRUE(m_app.importLogFile(write("in.log",
                                          "(0000000001.000000) can0 101#01\n"
                                          "(0000000002.500000) can0 12345678#R2\n")));
    ExportLogChoice choice;
    choice.shownRows = false;
    for (LogFormat format : {LogFormat::kBlf, LogFormat::kPcap}) {
        choice.options.format = format;
        const QString name = choice.defaultFileName();
        EXPECT_TRUE(choice.fileFilter().contains("*" + name.mid(7))) << name.toStdString();
        ASSERT_TRUE(m_app.exportLogFile(path(name.toUtf8().constData()), choice));
        ASSERT_TRUE(m_app.importLogFile(path(name.toUtf8().constData()))) << name.toStdString();
        const FrameStore& store = m_app.state().store;
        ASSERT_EQ(store.count(), 2u);
        EXPECT_EQ(captureTimeUs(store.at(1)) - captureTimeUs(store.at(0)), 1'500'000u);
        EXPECT_EQ(store.at(1).identifier, 0x12345678u);
        EXPECT_EQ(store.at(1).status, 1u);
        EXPECT_EQ(m_app.document()->GetTitle(), "CANData");
    }
    EXPECT_EQ(choice.defaultFileName(), "CANData.pcap");
    EXPECT_TRUE(m_messages.shown().empty());

    // A capture with an error frame before its one frame: the message counts records.
    const auto le = [](std::uint32_t v, int n) {
        std::string s;
        for (int i = 0; i < n; ++i) s += static_cast<char>(v >> (8 * i));
        return s;
    };
    const auto packet = [&](std::uint32_t second, const std::string& bytes) {
        return le(second, 4) + le(0, 4) + le(16, 4) + le(16, 4) + bytes;
    };
    ASSERT_TRUE(m_app.importLogFile(
        write("errors.pcap",
              le(0xA1B2C3D4, 4) + le(2, 2) + le(4, 2) + le(0, 8) + le(65535, 4) + le(227, 4) +
                  packet(1, std::string("\x20\0\0\x04\x08", 5) + std::string(11, '\0')) +
                  packet(2, std::string("\0\0\x01\x23\x01\0\0\0\x42", 9) + std::string(7, '\0')))));
    ASSERT_EQ(m_app.state().store.count(), 1u);
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].text,
              "1 record of the log was skipped (1 error frame).\nThe skipped record is record 1: "
              "error frame.");
    LogReadResult read;
    read.records = true;
    read.skip(3, SkipReason::kTooLong, {});
    read.skip(9, SkipReason::kMalformed, {});
    EXPECT_EQ(skippedLinesMessage(read),
              "2 records of the log were skipped (1 does not parse, 1 too long).\n"
              "The first skipped record is record 3: too long.");

    // The dialog offers all four formats and keeps the one chosen.
    ExportLogChoice chosen;
    ExportLogDialog dialog(chosen, false, m_messages, nullptr);
    const auto buttons = dialog.findChildren<QRadioButton*>();
    QRadioButton* blf = nullptr;
    int formats = 0;
    for (QRadioButton* b : buttons) {
        if (b->text().contains("(*.")) ++formats;
        if (b->text() == "BLF log (*.blf)") blf = b;
    }
    EXPECT_EQ(formats, 4);
    ASSERT_NE(blf, nullptr);
    blf->setChecked(true);
    dialog.accept();
    EXPECT_EQ(chosen.options.format, LogFormat::kBlf);
}
