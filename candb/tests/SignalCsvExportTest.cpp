#include "candb/DbcReader.h"
#include "candb/SignalCsvExport.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <sys/stat.h>

namespace {

std::uint64_t millis(const CapturedFrame& f) {
    return f.millis;
}

// The shortest text that reads back the same: 100000 is "1e+05".
std::string shortest(double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
}

std::shared_ptr<const CanDatabase> database(const std::string& text) {
    const DbcReadResult r = DbcReader::read(text);
    EXPECT_TRUE(r.ok) << r.error;
    return r.database;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class SignalCsv : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/signal-csv-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

}  // namespace

// Far more rows than one output block holds: every row arrives, once, in order.
TEST_F(SignalCsv, ALargeExportKeepsEveryRowInOrderAcrossBlocks) {
    const SignalDecoder decoder({database(
        "VERSION \"\"\nBO_ 256 Count: 8 A\n SG_ Counter : 0|32@1+ (1,0) [0|0] \"\" B\n"
        " SG_ Half : 32|8@1+ (0.5,0) [0|0] \"u\" B\n SG_ Sign : 40|8@1- (1,0) [0|0] \"\" B\n")});
    FrameStore store;
    constexpr std::uint32_t kFrames = 200'000;
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        CapturedFrame f;
        f.identifier = i % 5 == 4 ? 0x101 : 0x100;
        f.length = 8;
        std::memcpy(f.data, &i, 4);
        f.data[4] = static_cast<std::uint8_t>(i);
        f.data[5] = 0xFF;
        f.millis = i % 1000;
        store.append(f);
    }
    const std::string path = m_dir + "/out.csv";
    const SignalExportResult r = exportSignalValues(path, decoder, store, &millis);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.frames, kFrames / 5 * 4);
    EXPECT_EQ(r.rows, kFrames / 5 * 4 * 3);
    const std::string csv = readAll(path);
    ASSERT_GT(csv.size(), std::size_t{3} << 22);  // more than three blocks
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "frame,time_ms,identifier,message,signal,raw,value,unit,label");
    std::uint64_t rows = 0;
    for (std::uint32_t i = 0; i < kFrames; ++i) {
        if (i % 5 == 4) continue;
        const std::string lead =
            std::to_string(i) + "," + std::to_string(i % 1000) + ",0x100,Count,";
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line, lead + "Counter," + std::to_string(i) + "," + shortest(i) + ",,");
        ASSERT_TRUE(std::getline(lines, line));
        const unsigned half = i % 256;
        ASSERT_EQ(line,
                  lead + "Half," + std::to_string(half) + "," +
                      (half % 2 == 0 ? std::to_string(half / 2) : std::to_string(half / 2) + ".5") +
                      ",u,");
        ASSERT_TRUE(std::getline(lines, line));
        ASSERT_EQ(line, lead + "Sign,-1,-1,,");
        rows += 3;
    }
    EXPECT_FALSE(std::getline(lines, line));
    EXPECT_EQ(rows, r.rows);
}

TEST_F(SignalCsv, FieldsAreQuotedWhereCsvNeedsItAndALongLabelArrivesWhole) {
    const std::string longLabel(5u << 20, 'x');  // more than an output block
    const SignalDecoder decoder({database(
        "VERSION \"\"\nBO_ 5 Quoting: 1 A\n SG_ Value : 0|8@1+ (1,0) [0|0] \"m, \\\"per\\\" s\" B\n"
        "VAL_ 5 Value 1 \"one, \\\"1\\\"\" 2 \"" +
        longLabel + "\" 3 \"line\nbreak\" ;\n")});
    FrameStore store;
    for (const std::uint8_t v : {1, 2, 3, 4}) {
        CapturedFrame f;
        f.identifier = 5;
        f.length = 1;
        f.data[0] = v;
        store.append(f);
    }
    const std::string path = m_dir + "/out.csv";
    ASSERT_TRUE(exportSignalValues(path, decoder, store, &millis).ok);
    EXPECT_EQ(readAll(path),
              "frame,time_ms,identifier,message,signal,raw,value,unit,label\n"
              "0,0,0x5,Quoting,Value,1,1,\"m, \"\"per\"\" s\",\"one, \"\"1\"\"\"\n"
              "1,0,0x5,Quoting,Value,2,2,\"m, \"\"per\"\" s\"," +
                  longLabel +
                  "\n"
                  "2,0,0x5,Quoting,Value,3,3,\"m, \"\"per\"\" s\",\"line\nbreak\"\n"
                  "3,0,0x5,Quoting,Value,4,4,\"m, \"\"per\"\" s\",\n");
}

TEST_F(SignalCsv, AFailedExportLeavesTheOldFileAndAPipeIsWrittenStraight) {
    const SignalDecoder decoder(
        {database("VERSION \"\"\nBO_ 1 M: 1 A\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" B\n")});
    FrameStore store;
    CapturedFrame f;
    f.identifier = 1;
    f.length = 1;
    store.append(f);
    const std::string path = m_dir + "/old.csv";
    std::ofstream(path) << "old\n";
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(exportSignalValues(path, decoder, store, &millis).ok);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);  // the old file's mode is kept
    EXPECT_EQ(readAll(path).substr(0, 5), "frame");
    EXPECT_FALSE(exportSignalValues(m_dir + "/no/such/folder.csv", decoder, store, &millis).ok);
    const SignalExportResult toNull = exportSignalValues("/dev/null", decoder, store, &millis);
    EXPECT_TRUE(toNull.ok) << toNull.error;
    EXPECT_EQ(toNull.rows, 1u);
    if (std::filesystem::exists("/dev/full")) {
        const SignalExportResult full = exportSignalValues("/dev/full", decoder, store, &millis);
        EXPECT_FALSE(full.ok);
    }
}
