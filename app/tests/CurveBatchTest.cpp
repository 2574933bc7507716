#include "app/CurveBatch.h"
#include "document/DocumentSignals.h"
#include "document/DocumentFile.h"
#include "curves/CurveDialogLogic.h"
#include "curves/CurveFlags.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class CurveBatch : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/curve-batch-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
        DocumentContents contents;
        CurveWindowRecord w = newWindowRecord(ChartKind::kYt, "speed chart");
        w.yt[0].flags = curve_flags::kDefined | curve_flags::kYReverse | 0x03;
        w.yt[0].identifier = 0x185;
        w.yt[0].name.set("ramp");
        contents.windows.push_back(w);
        FrameStore store;
        for (std::uint8_t i = 0; i < 3; ++i) {
            CapturedFrame f;
            f.identifier = i == 1 ? 0x80 : 0x185;
            f.data[0] = static_cast<std::uint8_t>(10 * i);
            f.data[1] = 1;
            f.millis = 100u * i;
            store.append(f);
        }
        ASSERT_TRUE(saveDocument(m_dir + "/doc.krv", contents, store, store.count(), nullptr).ok);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "Korvane");
        std::vector<char*> argv;
        argv.reserve(args.size() + 1);
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        return runCurveBatch(static_cast<int>(args.size()), argv.data());
    }
    std::string m_dir;
};

}  // namespace

TEST_F(CurveBatch, WritesTheNamedWindowsValues) {
    const std::string out = m_dir + "/out.csv";
    ASSERT_EQ(run({"--export-curves", out, "--window", "speed chart", m_dir + "/doc.krv"}), 0);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "frame,time_ms,curve,value\n0,0,ramp,256\n2,200,ramp,276\n");
}

TEST_F(CurveBatch, FailsClearlyAndLeavesOtherCommandsAlone) {
    const std::string doc = m_dir + "/doc.krv";
    EXPECT_EQ(run({"--export-curves", m_dir + "/x.csv", "--window", "nobody", doc}), 1);
    EXPECT_EQ(run({"--export-curves", m_dir + "/x.csv", doc}), 1);
    EXPECT_EQ(run({"--export-curves", m_dir + "/x.csv", "--window", "speed chart",
                   m_dir + "/missing.krv"}),
              1);
    EXPECT_EQ(run({"--export-curves"}), 1);
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/x.csv"));
    EXPECT_EQ(run({"--export", m_dir + "/x.txt", doc}), -1);
    EXPECT_EQ(run({doc}), -1);
}

TEST_F(CurveBatch, ACurveOfADatabaseSignalWritesItsPhysicalValues) {
    // The document's curve takes a signal of the database it keeps: two bytes at 0.5 per bit.
    DocumentContents contents;
    FrameStore store;
    ASSERT_TRUE(loadDocument(m_dir + "/doc.krv", contents, store, nullptr).ok);
    CanDatabaseSet databases;
    ASSERT_TRUE(databases
                    .add("drive.dbc",
                         "VERSION \"\"\nBO_ 389 Drive: 2 X\n"
                         " SG_ Speed : 0|16@1+ (0.5,0) [0|0] \"rpm\" X\n")
                    .ok);
    SignalCurves curves;
    curves.curves = {{"speed chart", "ramp", 0, 389, false, "Drive", "Speed"}};
    putDocumentSignals(contents.extensions, databases, curves, {});
    // A signal is read only from a frame long enough to hold it.
    FrameStore received;
    for (std::uint32_t i = 0; i < store.count(); ++i) {
        CapturedFrame f = store.at(i);
        f.length = 2;
        received.append(f);
    }
    ASSERT_TRUE(
        saveDocument(m_dir + "/signal.krv", contents, received, received.count(), nullptr).ok);
    const std::string out = m_dir + "/out.csv";
    ASSERT_EQ(run({"--export-curves", out, "--window", "speed chart", m_dir + "/signal.krv"}), 0);
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "frame,time_ms,curve,value\n0,0,ramp,128\n2,200,ramp,138\n");
}
