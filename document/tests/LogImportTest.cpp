#include "document/LogConvert.h"
#include "document/LogImport.h"
#include "document/LogTime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include <unistd.h>

using namespace std::string_literals;

namespace {

class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/interop-import-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_dir = templ;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string write(const std::string& name, const std::string& text) {
        std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::string read(const std::string& name) {
        std::ifstream in(m_dir + "/" + name, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string m_dir;
};

struct Percents final : Progress {
    void begin(std::uint32_t) override { ++begun; }
    void setPercent(int p) override { last = p; }
    void end() override { ++ended; }
    int begun = 0, ended = 0, last = -1;
};

CapturedFrame captured(std::uint32_t wraps, std::uint32_t m, std::uint32_t s, std::uint32_t ms,
                       std::uint32_t us) {
    CapturedFrame f;
    f.wraps = wraps;
    f.minutes = m;
    f.seconds = s;
    f.millis = ms;
    f.micros = us;
    return f;
}

}  // namespace

TEST(LogTime, TheAdapterClockAndItsWrapCount) {
    CapturedFrame f;
    setCaptureTime(f, 4'194'303'999);  // the counter's last microsecond
    EXPECT_EQ(f.wraps, 0u);
    EXPECT_EQ(f.minutes, 69u);
    EXPECT_EQ(f.seconds, 54u);
    EXPECT_EQ(f.millis, 303u);
    EXPECT_EQ(f.micros, 999u);
    setCaptureTime(f, 4'194'309'005);
    EXPECT_EQ(f.wraps, 1u);
    EXPECT_EQ(f.minutes, 0u);
    EXPECT_EQ(f.millis, 5u);
    EXPECT_EQ(f.micros, 5u);
    EXPECT_EQ(captureTimeUs(f), 4'194'309'005u);
    // Micros the adapter counts past 999 stay inside their millisecond.
    EXPECT_LT(captureTimeUs(captured(0, 0, 0, 1, 1023)), captureTimeUs(captured(0, 0, 0, 2, 0)));
}

TEST(LogTime, FramesEarlierThanTheOneBeforeKeepTheTimeColumnOrdered) {
    LogTimeline line(1'000'000);
    LogFrame f;
    f.timeUs = 1'500'000;
    EXPECT_EQ(captureTimeUs(line.place(f)), 500'000u);
    f.timeUs = 1'200'000;
    EXPECT_EQ(captureTimeUs(line.place(f)), 500'000u);
    f.timeUs = 900'000;  // before the clock's zero
    EXPECT_EQ(captureTimeUs(line.place(f)), 500'000u);
    EXPECT_EQ(line.movedOn(), 2u);
    f.timeUs = 2'000'000;
    f.remote = true;
    f.extended = true;
    f.length = 4;
    const CapturedFrame c = line.place(f);
    EXPECT_EQ(captureTimeUs(c), 1'000'000u);
    EXPECT_EQ(c.status, 1u);
    EXPECT_EQ(c.format, 1);
    EXPECT_EQ(c.length, 4);
    EXPECT_EQ(c.loading, 0u);
    EXPECT_EQ(line.movedOn(), 2u);
}

TEST_F(Files, ImportStartsAWallClockLogAtZeroAndCountsTheSkips) {
    const std::string path = write("in.log",
                                   "(1700000000.250000) can0 123#11\n"
                                   "(1700000000.100000) can0 124#\n"
                                   "(1700004194.554000) can0 125#R2\n"
                                   "bad line\n"
                                   "(1700004194.600000) can0 001##1\n");
    FrameStore store;
    Percents progress;
    const LogImportResult r = importLog(path, LogFormat::kCandump, store, &progress);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(store.count(), 3u);
    EXPECT_EQ(captureTimeUs(store.at(0)), 0u);
    EXPECT_EQ(captureTimeUs(store.at(1)), 0u);
    const CapturedFrame& third = store.at(2);
    EXPECT_EQ(third.wraps, 1u);  // 4194.304 s on, the adapter counter went round once
    EXPECT_EQ(third.millis, 0u);
    EXPECT_EQ(third.status, 1u);
    EXPECT_EQ(third.length, 2);
    EXPECT_EQ(r.read.skippedLines(), 2u);
    EXPECT_EQ(r.read.warnings.at(0).line, 4u);
    EXPECT_EQ(progress.begun, 1);
    EXPECT_EQ(progress.ended, 1);
    EXPECT_EQ(progress.last, 100);
}

TEST_F(Files, ImportFailuresLeaveNothingHalfDone) {
    FrameStore store;
    EXPECT_EQ(importLog(m_dir + "/none.log", LogFormat::kCandump, store, nullptr).status,
              LogImportResult::kCannotOpen);
    const LogImportResult junk = importLog(write("junk.asc",
                                                 "\x7f"
                                                 "ELF\x01\x02\n\x00\x00\n"s),
                                           LogFormat::kAsc, store, nullptr);
    EXPECT_EQ(junk.status, LogImportResult::kNoFrames);
    EXPECT_EQ(junk.read.skippedLines(), 2u);
    // Nor is a log without lines, and the conversion says why.
    EXPECT_EQ(importLog(write("empty.log", ""), LogFormat::kCandump, store, nullptr).status,
              LogImportResult::kNoFrames);
    ConvertResult converted = convertFile(m_dir + "/empty.log", m_dir + "/empty.krv", 0);
    EXPECT_EQ(converted.error, m_dir + "/empty.log holds no CAN frame.");
    std::string wide = "\xFF\xFE";
    for (char c : "(1.0) can0 123#11\n"s) wide += std::string{c, '\0'};
    converted = convertFile(write("wide.log", wide), m_dir + "/wide.krv", 0);
    EXPECT_NE(converted.error.find("It looks like UTF-16 text"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/empty.krv"));
    EXPECT_EQ(store.count(), 0u);
}

TEST_F(Files, FramesWhoseTimeGoesBackAreCountedAndReported) {
    const std::string path = write("back.log",
                                   "(0000000001.000000) can0 101#\n"
                                   "(0000999999.000000) can0 102#\n"
                                   "(0000000002.000000) can0 103#\n"
                                   "bad\n"
                                   "(0000000003.000000) can0 104#\n");
    FrameStore store;
    const LogImportResult r = importLog(path, LogFormat::kCandump, store, nullptr);
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(store.count(), 4u);
    EXPECT_EQ(captureTimeUs(store.at(3)), 999'999'000'000u);
    EXPECT_EQ(r.movedOn, 2u);
    EXPECT_EQ(r.firstMovedOnLine, 3u);
    const ConvertResult converted = convertFile(path, m_dir + "/back.asc", 0);
    ASSERT_TRUE(converted.ok) << converted.error;
    EXPECT_EQ(converted.warning,
              "1 line was skipped (1: the line does not parse); the first is line 4: the line does "
              "not parse (expected the time as (seconds.microseconds)).\n"
              "2 frames go back in time: each was given the time of the frame before it; the "
              "first is line 3.");
    // One frame is one.
    write("one.asc", "1.0 1 101 Rx d 0\n0.5 1 101 Rx d 0\n");
    EXPECT_EQ(convertFile(m_dir + "/one.asc", m_dir + "/one.log", 0).warning,
              "1 frame goes back in time: it was given the time of the frame before it (line 2).");
}

TEST_F(Files, ExportWritesTheShownRowsOrAllFrames) {
    FrameStore store;
    for (std::uint32_t i = 0; i < 4; ++i) {
        CapturedFrame f = captured(0, 0, 1, i, 0);
        f.identifier = 0x100 + i;
        f.length = 1;
        f.data[0] = static_cast<std::uint8_t>(i);
        store.append(f);
    }
    CapturedFrame bad;  // a standard frame with a 29-bit identifier: no log can carry it
    bad.identifier = 0x800;
    store.append(bad);
    DisplayIndexList rows;
    rows.append(1);
    rows.append(3);
    rows.append(99);  // gone
    LogExportOptions options;
    options.interfaceName = "vcan2";
    LogExportResult r = exportLog(m_dir + "/rows.log", options, store, &rows, 0, nullptr);
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(r.frames, 2u);
    EXPECT_EQ(read("rows.log"),
              "(0000000001.001000) vcan2 101#01\n(0000000001.003000) vcan2 103#03\n");
    r = exportLog(m_dir + "/all.log", options, store, nullptr, 0, nullptr);
    EXPECT_EQ(r.frames, 4u);
    EXPECT_EQ(r.unwritable, 1u);
    options.interfaceName = "bad name";
    EXPECT_FALSE(exportLog(m_dir + "/x.log", options, store, nullptr, 0, nullptr));
    options.interfaceName = "can0";
    EXPECT_FALSE(exportLog(m_dir + "/no/such/dir.log", options, store, nullptr, 0, nullptr));
}

TEST_F(Files, DocumentToLogAndBackKeepsEveryFrameAndItsTimeToTheMillisecond) {
    DocumentContents contents;
    FrameStore store;
    std::mt19937 random(7);
    std::uint64_t t = 12'345'678;  // the capture's first frame is not at zero
    for (int i = 0; i < 20000; ++i) {
        CapturedFrame f;
        t += random() % 3'000'000;
        setCaptureTime(f, t);
        f.micros = static_cast<std::uint32_t>(random() % 1024);
        f.format = random() % 2;
        f.identifier = static_cast<std::uint32_t>(random()) & (f.format ? 0x1FFFFFFF : 0x7FF);
        f.status = random() % 5 == 0;
        f.length = static_cast<std::uint8_t>(random() % 9);
        f.loading = 42;
        for (auto& b : f.data) b = static_cast<std::uint8_t>(random());
        store.append(f);
    }
    ASSERT_TRUE(saveDocument(m_dir + "/a.krv", contents, store, store.count(), nullptr).ok);
    // The micros are random within their millisecond, so now and then a frame is a little
    // earlier than the one before it; the way back says how many.
    std::uint64_t latest = 0, earlier = 0;
    for (std::uint32_t i = 0; i < store.count(); ++i) {
        const std::uint64_t us = captureTimeUs(store.at(i));
        if (us < latest) ++earlier;
        latest = std::max(latest, us);
    }
    ASSERT_GT(earlier, 0u);
    const std::string report =
        std::to_string(earlier) + (earlier == 1 ? " frame goes" : " frames go") + " back in time";
    for (const char* log : {"/a.log", "/a.asc", "/a.blf", "/a.pcap"}) {
        ASSERT_TRUE(convertFile(m_dir + "/a.krv", m_dir + log, 0).ok);
        const ConvertResult back = convertFile(m_dir + log, m_dir + "/b.krv", 0);
        ASSERT_TRUE(back.ok) << back.error;
        EXPECT_EQ(back.warning.rfind(report, 0), 0u) << back.warning;
        EXPECT_EQ(back.warning.find('\n'), std::string::npos) << back.warning;
        DocumentContents c;
        FrameStore loaded;
        ASSERT_TRUE(loadDocument(m_dir + "/b.krv", c, loaded, nullptr).ok);
        ASSERT_EQ(loaded.count(), store.count());
        EXPECT_EQ(c.windows.size(), 1u);
        for (std::uint32_t i = 0; i < store.count(); ++i) {
            const CapturedFrame& a = store.at(i);
            const CapturedFrame& b = loaded.at(i);
            ASSERT_EQ(b.identifier, a.identifier) << log << i;
            ASSERT_EQ(b.format, a.format) << i;
            ASSERT_EQ(b.status, a.status) << i;
            ASSERT_EQ(b.length, a.length) << i;
            if (a.status != 1) {
                ASSERT_EQ(0, std::memcmp(a.data, b.data, a.length)) << i;
            }
            ASSERT_EQ(captureTimeUs(b) / 1000, captureTimeUs(a) / 1000) << log << i;
            ASSERT_EQ(b.wraps, a.wraps) << i;
        }
    }
}

TEST_F(Files, ConversionNeedsKnownKinds) {
    EXPECT_FALSE(convertFile(m_dir + "/a.txt", m_dir + "/b.log", 0).ok);
    EXPECT_FALSE(convertFile(write("a.log", "(1.0) can0 123#\n"), m_dir + "/b.csv", 0).ok);
    const ConvertResult missing = convertFile(m_dir + "/none.asc", m_dir + "/b.log", 0);
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("none.asc"), std::string::npos);
    const ConvertResult ok =
        convertFile(write("c.log", "(1.0) can0 123#\nx\n"), m_dir + "/c.asc", 0);
    EXPECT_TRUE(ok.ok);
    EXPECT_NE(ok.warning.find("line 2"), std::string::npos) << ok.warning;
}

TEST_F(Files, EveryLogKindByItsExtension) {
    EXPECT_EQ(fileKindOf("x.BLF"), FileKind::kBlf);
    EXPECT_EQ(fileKindOf("x.Pcap"), FileKind::kPcap);
    EXPECT_EQ(fileKindOf("x.pcapng"), FileKind::kPcap);
    EXPECT_EQ(fileKindOf("x.ng"), FileKind::kUnknown);
    LogFormat format = LogFormat::kCandump;
    EXPECT_TRUE(logFormatOf(FileKind::kBlf, format));
    EXPECT_EQ(format, LogFormat::kBlf);
    EXPECT_TRUE(logFormatOf(FileKind::kPcap, format));
    EXPECT_EQ(format, LogFormat::kPcap);
    EXPECT_FALSE(logFormatOf(FileKind::kDocument, format));

    const std::string log =
        "(0000000001.000000) can0 123#1122\n"
        "(0000000001.250001) can0 1ABCDEF0#R3\n"
        "(0000004196.000000) can0 7FF#0102030405060708\n";
    ASSERT_TRUE(convertFile(write("a.log", log), m_dir + "/a.blf", 0).ok);
    ASSERT_TRUE(convertFile(m_dir + "/a.blf", m_dir + "/a.pcap", 0).ok);
    const ConvertResult back = convertFile(m_dir + "/a.pcap", m_dir + "/b.log", 0);
    ASSERT_TRUE(back.ok) << back.error;
    EXPECT_EQ(back.frames, 3u);
    EXPECT_EQ(read("b.log"), log);

    const ConvertResult ng = convertFile(m_dir + "/a.blf", m_dir + "/a.pcapng", 0);
    EXPECT_FALSE(ng.ok);
    EXPECT_NE(ng.error.find("pcapng captures are read but not written"), std::string::npos)
        << ng.error;
    const ConvertResult unknown = convertFile(m_dir + "/a.blf", m_dir + "/a.trc", 0);
    EXPECT_EQ(unknown.error, "cannot tell the kind of " + m_dir +
                                 "/a.trc (use .krv, .log, .asc, .blf, .pcap or .pcapng)");
    // A capture that is no capture is named as such.
    const ConvertResult text = convertFile(write("t.pcap", log), m_dir + "/t.log", 0);
    EXPECT_FALSE(text.ok);
    EXPECT_NE(text.error.find("not a pcap or pcapng capture"), std::string::npos) << text.error;
    // Skips and times going back are told in records: the second packet made an error frame,
    // the third put before the first.
    std::string capture = read("a.pcap");
    ASSERT_EQ(capture.size(), 24u + 3 * 32);
    capture[24 + 32 + 16] = static_cast<char>(capture[24 + 32 + 16] | 0x20);
    capture.replace(24 + 64, 8, std::string(8, '\0'));
    const ConvertResult told = convertFile(write("d.pcap", capture), m_dir + "/d.log", 0);
    ASSERT_TRUE(told.ok) << told.error;
    EXPECT_EQ(told.warning,
              "1 record was skipped (1: an error frame); the first is record 2: an error frame.\n"
              "1 frame goes back in time: it was given the time of the frame before it (record "
              "3).");
}
