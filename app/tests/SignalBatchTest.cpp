#include "app/SignalBatch.h"
#include "document/DocumentSignals.h"
#include "document/DocumentFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Sent {
    std::uint32_t id;
    bool extended;
    bool remote;
    std::vector<std::uint8_t> data;
    std::uint32_t minutes, seconds, millis;
};

class SignalBatch : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/signal-batch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // Every case the export meets: known and unknown identifiers, a remote frame, Motorola
        // bits, an extended identifier with a float, both pages of a multiplexer, a frame too
        // short for its signals, a 64-bit value, value descriptions that need quoting, and a
        // standard identifier's number sent as an extended one.
        const Sent frames[] = {
            {0x100, false, false, {0x10, 0x27, 0x64, 0x0F}, 0, 0, 5},
            {0x123, false, false, {1, 2}, 0, 0, 10},
            {0x100, false, true, {0, 0, 0, 0}, 0, 0, 20},
            {0x200, false, false, {0xAB, 0xC5}, 0, 1, 0},
            {0x18FF1021, true, false, {0x00, 0x00, 0xC0, 0x3F, 7}, 1, 2, 3},
            {0x300, false, false, {1, 123}, 1, 2, 100},
            {0x300, false, false, {2, 0xF6, 0xFF}, 1, 2, 200},
            {0x100, false, false, {0xA0, 0x0F}, 1, 2, 300},
            {0x400, false, false, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 1, 2, 400},
            {0x100, false, false, {0, 0, 0, 3}, 59, 59, 999},
            {0x100, true, false, {1, 2, 3, 4}, 59, 59, 999},
        };
        FrameStore store;
        for (const Sent& s : frames) {
            CapturedFrame f;
            f.identifier = s.id;
            f.format = s.extended ? 1 : 0;
            f.status = s.remote ? 1 : 0;
            f.length = static_cast<std::uint8_t>(s.data.size());
            for (std::size_t k = 0; k < s.data.size() && !s.remote; ++k) f.data[k] = s.data[k];
            f.minutes = s.minutes;
            f.seconds = s.seconds;
            f.millis = s.millis;
            store.append(f);
        }
        DocumentContents contents;
        ASSERT_TRUE(saveDocument(m_dir + "/doc.krv", contents, store, store.count(), nullptr).ok);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "Korvane");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return runSignalBatch(static_cast<int>(args.size()), argv.data());
    }
    void write(const std::string& name, const std::string& text) {
        std::ofstream(m_dir + "/" + name, std::ios::binary) << text;
    }

    const std::string m_data = KORVANE_TEST_DATA;
    std::string m_dir;
};

}  // namespace

TEST_F(SignalBatch, WritesEveryDecodedValueOfEveryFrameAsTheBaseline) {
    const std::string out = m_dir + "/out.csv";
    testing::internal::CaptureStderr();
    ASSERT_EQ(run({"--export-signals", out, "--dbc", m_data + "/signals.dbc", m_dir + "/doc.krv"}),
              0);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(readAll(out), readAll(m_data + "/signals.csv"));
    EXPECT_NE(errors.find("1 statement was passed over (1: an unknown keyword); the first is line "
                          "32: an unknown keyword (BO_TX_BU_)."),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("2 signal values were left out"), std::string::npos) << errors;
}

TEST_F(SignalBatch, WithoutDbcTheDatabasesTheDocumentKeepsDecodeIt) {
    DocumentContents contents;
    FrameStore store;
    ASSERT_TRUE(loadDocument(m_dir + "/doc.krv", contents, store, nullptr).ok);
    CanDatabaseSet databases;
    ASSERT_TRUE(databases.add("signals.dbc", readAll(m_data + "/signals.dbc")).ok);
    putDocumentSignals(contents.extensions, databases, {}, {});
    ASSERT_TRUE(saveDocument(m_dir + "/kept.krv", contents, store, store.count(), nullptr).ok);
    const std::string out = m_dir + "/out.csv";
    testing::internal::CaptureStderr();
    ASSERT_EQ(run({"--export-signals", out, m_dir + "/kept.krv"}), 0);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(readAll(out), readAll(m_data + "/signals.csv"));
}

TEST_F(SignalBatch, TheFirstDatabaseToNameAnIdentifierWinsAndTheOtherIsWarned) {
    write("second.dbc",
          "VERSION \"\"\nBO_ 256 Other: 8 A\n SG_ Whole : 0|32@1+ (1,0) [0|0] \"\" B\n"
          "BO_ 291 Extra: 2 A\n SG_ Word : 7|16@0+ (1,0) [0|0] \"\" B\n");
    const std::string out = m_dir + "/out.csv";
    testing::internal::CaptureStderr();
    ASSERT_EQ(run({"--export-signals", out, "--dbc", m_data + "/signals.dbc", "--dbc",
                   m_dir + "/second.dbc", m_dir + "/doc.krv"}),
              0);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("warning: " + m_dir + "/second.dbc names 0x100 Other, but " + m_data +
                          "/signals.dbc names it first (EngineData), which is used"),
              std::string::npos)
        << errors;
    const std::string csv = readAll(out);
    EXPECT_EQ(csv.find("Other"), std::string::npos);
    EXPECT_NE(csv.find("\n1,10,0x123,Extra,Word,258,258,,\n"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\n0,5,0x100,EngineData,EngineSpeed,10000,2500,rpm,\n"), std::string::npos);
}

TEST_F(SignalBatch, FailsClearlyOnABadDatabaseOrDocumentAndLeavesTheOldFile) {
    const std::string doc = m_dir + "/doc.krv";
    const std::string out = m_dir + "/out.csv";
    write("out.csv", "old\n");
    write("picture.dbc", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    write("log.dbc", "(1700000000.000100) can0 123#11\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(run({"--export-signals", out, "--dbc", m_dir + "/picture.dbc", doc}), 1);
    EXPECT_EQ(run({"--export-signals", out, "--dbc", m_data + "/signals.dbc", "--dbc",
                   m_dir + "/log.dbc", doc}),
              1);
    EXPECT_EQ(run({"--export-signals", out, "--dbc", m_dir + "/missing.dbc", doc}), 1);
    EXPECT_EQ(run({"--export-signals", out, "--dbc", m_data + "/signals.dbc", m_dir + "/none.krv"}),
              1);
    EXPECT_EQ(
        run({"--export-signals", out, "--dbc", m_data + "/signals.dbc", m_data + "/signals.csv"}),
        1);
    EXPECT_EQ(run({"--export-signals", out, doc}), 1);
    EXPECT_EQ(run({"--export-signals", out, "--dbc", m_data + "/signals.dbc"}), 1);
    EXPECT_EQ(run({"--export-signals", out, "--dbc"}), 1);
    EXPECT_EQ(
        run({"--export-signals", out, "--window", "w", "--dbc", m_data + "/signals.dbc", doc}), 1);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("Korvane: cannot read " + m_dir +
                          "/picture.dbc: line 1 does not parse: "
                          "the byte 0x89 is not a DBC keyword\n"),
              std::string::npos)
        << errors;
    EXPECT_NE(errors.find("Korvane: cannot read " + m_dir +
                          "/log.dbc: line 1 does not parse: '(' is not a DBC keyword\n"),
              std::string::npos);
    EXPECT_NE(errors.find("--export-signals needs --dbc DB.dbc"), std::string::npos);
    EXPECT_EQ(readAll(out), "old\n");
    // Other commands are not this one's.
    EXPECT_EQ(run({"--export", m_dir + "/x.txt", doc}), -1);
    EXPECT_EQ(run({"--dbc", m_data + "/signals.dbc", doc}), -1);
    EXPECT_EQ(run({doc}), -1);
}
