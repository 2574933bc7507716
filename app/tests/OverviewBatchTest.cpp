#include "app/BatchMode.h"
#include "capture/DocumentFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class OverviewBatch : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/overview-batch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        // A SYNC every 100 ms, the last after a wrap of the adapter's clock; a PDO whose second
        // byte counts and an extended identifier of the same value; a remote request; a mean
        // period that is no whole millisecond; a frame sent by hand, which carries no time.
        FrameStore store;
        const auto add = [&store](std::uint32_t id, bool extended, std::uint32_t wraps,
                                  std::uint32_t ms, std::uint32_t status,
                                  std::vector<std::uint8_t> data) {
            CapturedFrame f;
            f.identifier = id;
            f.format = extended ? 1 : 0;
            f.wraps = wraps;
            f.minutes = ms / 60000;
            f.seconds = ms / 1000 % 60;
            f.millis = ms % 1000;
            f.micros = 500;
            f.status = status;
            f.length = static_cast<std::uint8_t>(data.size());
            for (std::size_t i = 0; i < data.size(); ++i) f.data[i] = data[i];
            store.append(f);
        };
        add(0x80, false, 0, 0, 0, {});
        add(0x181, false, 0, 10, 0, {0x10, 0x00, 0xFF});
        add(0x181, true, 0, 15, 0, {0xAB});
        add(0x80, false, 0, 100, 0, {});
        add(0x181, false, 0, 110, 0, {0x10, 0x01, 0xFF});
        add(0x601, false, 0, 150, 1, {0, 0, 0, 0});
        add(0x80, false, 0, 200, 0, {});
        add(0x181, false, 0, 230, 0, {0x10, 0x02, 0xFF});
        add(0x80, false, 1, 5, 0, {});
        for (const std::uint32_t ms : {300u, 301u, 302u, 304u}) add(0x7FF, false, 0, ms, 0, {1});
        add(0x10, false, 0, 400, 0, {2});
        add(0x10, false, 0, 0, 0, {2});
        add(0x10, false, 0, 401, 0, {2});
        DocumentContents contents;
        ASSERT_TRUE(saveDocument(m_dir + "/doc.krv", contents, store, store.count(), nullptr).ok);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "Korvane");
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return runBatch(static_cast<int>(args.size()), argv.data());
    }
    std::string m_dir;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

TEST_F(OverviewBatch, WritesOneRowPerIdentifierOfTheDocument) {
    const std::string out = m_dir + "/overview.csv";
    ASSERT_EQ(run({"--export-overview", out, m_dir + "/doc.krv"}), 0);
    EXPECT_EQ(readFile(out),
              "identifier,format,count,first_ms,last_ms,mean_period_ms,min_period_ms,"
              "max_period_ms,last_length,last_data\n"
              "80,standard,4,0,4177925,1392641.667,100,4177725,0,\n"
              "181,standard,3,10,230,110.000,100,120,3,10 02 FF\n"
              "181,extended,1,15,15,,,,1,AB\n"
              "601,standard,1,150,150,,,,4,\n"
              "7FF,standard,4,300,304,1.333,1,2,1,01\n"
              "10,standard,3,400,401,0.500,-400,401,1,02\n");
}

TEST_F(OverviewBatch, FailsClearlyWithoutWritingAndLeavesOtherCommandsAlone) {
    const std::string out = m_dir + "/x.csv";
    EXPECT_EQ(run({"--export-overview", out, m_dir + "/missing.krv"}), 1);
    EXPECT_EQ(run({"--export-overview", out}), 1);
    EXPECT_EQ(run({"--export-overview"}), 1);
    EXPECT_EQ(run({"--export-overview", out, "--reading", "can", m_dir + "/doc.krv"}), 1);
    EXPECT_EQ(run({"--export-overview", m_dir + "/none/x.csv", m_dir + "/doc.krv"}), 1);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(run({m_dir + "/doc.krv"}), -1);
}
