#include "interop/LogReader.h"
#include "interop/LogWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

LogFrame frame(std::uint64_t us, std::uint32_t id, bool extended, bool remote,
               std::vector<std::uint8_t> data, std::uint8_t length = 0xFF) {
    LogFrame f;
    f.timeUs = us;
    f.identifier = id;
    f.extended = extended;
    f.remote = remote;
    f.length = length != 0xFF ? length : static_cast<std::uint8_t>(data.size());
    for (std::size_t i = 0; i < data.size(); ++i) f.data[i] = data[i];
    return f;
}

std::string candump(const LogFrame& f, const char* iface = "can0") {
    char out[LogWriter::kMaxLine];
    return std::string(out, static_cast<std::size_t>(formatCandumpLine(out, f, iface)));
}

std::string asc(const LogFrame& f, unsigned channel = 1) {
    char out[LogWriter::kMaxLine];
    return std::string(out, static_cast<std::size_t>(formatAscLine(out, f, channel)));
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/interop-writer-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_dir = templ;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

}  // namespace

TEST(CandumpWriter, LinesAsCandumpWritesThem) {
    EXPECT_EQ(candump(frame(5123, 0x123, false, false, {0x11, 0x22})),
              "(0000000000.005123) can0 123#1122\n");
    EXPECT_EQ(
        candump(frame(1'700'000'000'000'001, 0x1FFFFFFF, true, false, {0, 1, 2, 3, 4, 5, 6, 0xAB})),
        "(1700000000.000001) can0 1FFFFFFF#00010203040506AB\n");
    EXPECT_EQ(candump(frame(0, 0x7FF, false, true, {}, 3), "vcan9"),
              "(0000000000.000000) vcan9 7FF#R3\n");
    EXPECT_EQ(candump(frame(0, 0x1, true, true, {})), "(0000000000.000000) can0 00000001#R\n");
    EXPECT_EQ(candump(frame(2'000'000, 0x5, false, false, {})), "(0000000002.000000) can0 005#\n");
}

TEST(AscWriter, LinesInTheColumnsOfTheFormat) {
    EXPECT_EQ(asc(frame(5123, 0x123, false, false, {0x11, 0x22})),
              "   0.005123 1  123             Rx   d 2 11 22\n");
    EXPECT_EQ(asc(frame(12'345'678'901, 0x1ABCDEF0, true, false, {1, 2, 3, 4, 5, 6, 7, 8}), 2),
              "12345.678901 2  1ABCDEF0x       Rx   d 8 01 02 03 04 05 06 07 08\n");
    EXPECT_EQ(asc(frame(1'500'000, 0x7FF, false, true, {}, 3)),
              "   1.500000 1  7FF             Rx   r 3\n");
    EXPECT_EQ(asc(frame(0, 0x1, false, false, {})), "   0.000000 1  1               Rx   d 0\n");
    EXPECT_EQ(ascChannel("can0"), 1u);
    EXPECT_EQ(ascChannel("vcan12"), 13u);
    EXPECT_EQ(ascChannel("bus"), 1u);
}

TEST(AscWriter, HeaderInEnglishWhateverTheLocale) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ(ascHeader(1'700'000'000),
              "date Tue Nov 14 10:13:20.000 pm 2023\nbase hex  timestamps absolute\n"
              "no internal events logged\nBegin Triggerblock Tue Nov 14 10:13:20.000 pm 2023\n");
    EXPECT_NE(ascHeader(0).find("12:00:00.000 am 1970"), std::string::npos);
}

TEST(LogWriters, InterfaceNamesALogCanCarry) {
    EXPECT_TRUE(validInterfaceName("can0"));
    EXPECT_TRUE(validInterfaceName("vcan_1.x-2"));
    for (const char* bad : {"", "can 0", "can#0", "a234567890123456", "can\n"}) {
        EXPECT_FALSE(validInterfaceName(bad)) << bad;
    }
}

TEST_F(TempDir, EveryFrameComesBackThroughBothFormats) {
    std::mt19937 random(42);
    std::vector<LogFrame> frames;
    std::uint64_t t = 0;
    for (int i = 0; i < 5000; ++i) {
        LogFrame f;
        t += random() % 5'000'000;
        f.timeUs = t;
        f.extended = random() % 2 == 0;
        f.identifier = static_cast<std::uint32_t>(random()) & (f.extended ? 0x1FFFFFFF : 0x7FF);
        f.remote = random() % 7 == 0;
        f.length = static_cast<std::uint8_t>(random() % 9);
        if (!f.remote) {
            for (int b = 0; b < f.length; ++b) f.data[b] = static_cast<std::uint8_t>(random());
        }
        frames.push_back(f);
    }
    for (LogFormat format : {LogFormat::kCandump, LogFormat::kAsc}) {
        const std::string path = m_dir + (format == LogFormat::kAsc ? "/a.asc" : "/a.log");
        auto writer = makeLogWriter(format, path, "can3", 1'700'000'000);
        for (const LogFrame& f : frames) writer->write(f);
        ASSERT_TRUE(writer->commit()) << writer->error();
        auto reader = makeLogReader(format);
        ASSERT_TRUE(reader->openFile(path));
        LogFrame g;
        std::size_t i = 0;
        while (reader->next(g)) {
            ASSERT_LT(i, frames.size());
            const LogFrame& f = frames[i++];
            ASSERT_EQ(g.timeUs, f.timeUs) << i;
            ASSERT_EQ(g.identifier, f.identifier) << i;
            ASSERT_EQ(g.extended, f.extended) << i;
            ASSERT_EQ(g.remote, f.remote) << i;
            ASSERT_EQ(g.length, f.length) << i;
            if (!f.remote) {
                ASSERT_EQ(0, std::memcmp(g.data, f.data, f.length)) << i;
            }
        }
        EXPECT_EQ(i, frames.size());
        EXPECT_EQ(reader->result().skippedLines(), 0u);
    }
    EXPECT_EQ(slurp(m_dir + "/a.asc").substr(slurp(m_dir + "/a.asc").size() - 17),
              "End TriggerBlock\n");
    EXPECT_EQ(slurp(m_dir + "/a.log").find(" can3 "), 19u);
}

TEST_F(TempDir, AFailedWriteLeavesTheOldFile) {
    const std::string path = m_dir + "/keep.log";
    std::ofstream(path) << "old";
    {
        CandumpWriter writer(path, "can0");
        writer.write(frame(0, 1, false, false, {}));
        // Never committed: the old file stays.
    }
    EXPECT_EQ(slurp(path), "old");
    CandumpWriter nowhere(m_dir + "/missing/dir/x.log", "can0");
    EXPECT_FALSE(nowhere.commit());
    EXPECT_FALSE(nowhere.error().empty());
}
