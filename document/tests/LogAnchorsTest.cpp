#include "interop/AscDate.h"
#include "interop/BlfFormat.h"
#include "document/LogAnchors.h"
#include "document/LogConvert.h"
#include "document/LogImport.h"
#include "interop/LogReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

namespace {

constexpr std::int64_t kDayS = 1'700'000'000;  // Tue Nov 14 22:13:20 2023 UTC
constexpr std::int64_t kDayUs = kDayS * 1'000'000;

// Local time is UTC for the length of a test.
class InUtc : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* tz = std::getenv("TZ")) m_oldZone = tz;
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        char templ[] = "/tmp/interop-anchors-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_dir = templ;
    }
    void TearDown() override {
        if (!HasFailure()) std::filesystem::remove_all(m_dir);
        if (m_oldZone.empty()) {
            ::unsetenv("TZ");
        } else {
            ::setenv("TZ", m_oldZone.c_str(), 1);
        }
        ::tzset();
    }
    std::string path(const std::string& name) const { return m_dir + "/" + name; }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    std::string m_dir;
    std::string m_oldZone;
};

std::optional<std::int64_t> dayAtZero(LogFormat format, const std::string& text) {
    auto reader = makeLogReader(format);
    reader->openMemory(text);
    LogFrame f;
    while (reader->next(f)) {
    }
    return reader->timeOfDayAtZeroUs();
}

LogFrame logFrame(std::uint64_t us) {
    LogFrame f;
    f.timeUs = us;
    f.identifier = 0x123;
    return f;
}

}  // namespace

using AscDate = InUtc;
using LogAnchors = InUtc;

TEST_F(AscDate, HeaderDatesInTheFormsLogsWriteThem) {
    EXPECT_EQ(ascHeaderDateUs("date Tue Nov 14 10:13:20.123 pm 2023"), kDayUs + 123'000);
    EXPECT_EQ(ascHeaderDateUs("date Tue Nov 14 10:13:20 PM 2023"), kDayUs);
    EXPECT_EQ(ascHeaderDateUs("Begin Triggerblock Tue Nov 14 10:13:20.123456 pm 2023"),
              kDayUs + 123'456);
    EXPECT_EQ(ascHeaderDateUs("date Tue Nov 14 22:13:20 2023\r"), kDayUs);
    EXPECT_EQ(ascHeaderDateUs("date Nov 14 22:13:20.5 2023"), kDayUs + 500'000);
    EXPECT_EQ(ascHeaderDateUs("date Thu Jan 01 12:00:00.000 am 1970"), 0);
    for (const char* bad : {"date", "date Tue Foo 14 10:13:20 pm 2023",
                            "date Tue Nov 14 13:13:20 pm 2023", "date Tue Nov 14 10:13:20 pm"}) {
        EXPECT_FALSE(ascHeaderDateUs(bad).has_value()) << bad;
    }
    EXPECT_TRUE(isAscTriggerBlockLine("begin triggerblock Tue Nov 14 10:13:20 pm 2023"));
    EXPECT_FALSE(isAscTriggerBlockLine("date Tue Nov 14 10:13:20 pm 2023"));
    EXPECT_EQ(formatAscDate(kDayUs + 123'999), "Tue Nov 14 10:13:20.123 pm 2023");
    // The data list's tool tip and Device Information show the same moment so.
    EXPECT_EQ(formatTimeOfDay(kDayUs + 123'999), "2023-11-14 22:13:20.123999");
    EXPECT_EQ(formatTimeOfDay(-1, false), "1969-12-31 23:59:59");
    EXPECT_EQ(ascHeaderDateUs("date " + formatAscDate(kDayUs - 86'400'000'000 + 5'000)),
              kDayUs - 86'400'000'000 + 5'000);
}

TEST_F(LogAnchors, LogsTellTheTimeOfDayAtTheirClocksZeroWhenTheyHaveOne) {
    EXPECT_EQ(dayAtZero(LogFormat::kCandump, "(1700000000.250000) can0 123#11\n"),
              kDayUs + 250'000);
    EXPECT_FALSE(dayAtZero(LogFormat::kCandump, "(0000000005.250000) can0 123#11\n"));
    // The trigger block's date is the moment the times count from, as python-can writes it.
    EXPECT_EQ(dayAtZero(LogFormat::kAsc,
                        "date Tue Nov 14 09:00:00.000 pm 2023\nbase hex  timestamps absolute\n"
                        "Begin Triggerblock Tue Nov 14 10:13:20.000 pm 2023\n"
                        "   0.5 1  123   Rx   d 0\n"
                        "Begin Triggerblock Tue Nov 14 11:00:00.000 pm 2023\n"),
              kDayUs);
    EXPECT_EQ(
        dayAtZero(LogFormat::kAsc, "date Tue Nov 14 10:13:20.000 pm 2023\n 0.5 1 123 Rx d 0\n"),
        kDayUs);
    EXPECT_FALSE(dayAtZero(LogFormat::kAsc, "date someday\n 0.5 1 123 Rx d 0\n"));
    EXPECT_FALSE(dayAtZero(LogFormat::kAsc, " 0.5 1 123 Rx d 0\n"));
    // A BLF log's times count from its measurement's start, which its header dates (local time).
    std::string blfHeader(blf::kFileHeaderSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(blfHeader.data());
    std::memcpy(h, blf::kFileSignature, 4);
    blf::store32(h + 4, blf::kFileHeaderSize);
    EXPECT_FALSE(dayAtZero(LogFormat::kBlf, blfHeader)) << "a start left unset";
    const std::uint16_t start[8] = {2023, 11, 2, 14, 22, 13, 20, 250};
    for (int k = 0; k < 8; ++k) blf::store16(h + blf::kStartTimeAt + 2 * k, start[k]);
    EXPECT_EQ(dayAtZero(LogFormat::kBlf, blfHeader), kDayUs + 250'000);
}

TEST_F(LogAnchors, AJumpBackOfMoreThanASecondAnchorsAgainAndTheFramesStayInOrder) {
    const std::uint64_t zero = kDayUs;
    AnchoredTimeline line(zero, kDayUs);
    std::vector<CapturedFrame> placed;
    for (std::int64_t t : {0, 2'000'000, 1'500'000, -10'000'000, -9'000'000}) {
        placed.push_back(
            line.place(logFrame(zero + static_cast<std::uint64_t>(t + 20'000'000) - 20'000'000),
                       static_cast<std::uint32_t>(placed.size())));
    }
    std::vector<std::uint64_t> times;
    for (const CapturedFrame& f : placed) times.push_back(adapterTimeUs(f));
    EXPECT_EQ(times, (std::vector<std::uint64_t>{0, 2'000'000, 2'000'000, 2'000'000, 3'000'000}));
    EXPECT_EQ(line.movedOn(), 1u);  // only the half-second jitter lost its time
    const std::vector<TimeAnchor> anchors = line.takeAnchors();
    EXPECT_EQ(anchors,
              (std::vector<TimeAnchor>{{0, kDayUs, 0, 0}, {3, kDayUs - 10'000'000, 2'000'000, 0}}));
    EXPECT_EQ(timeOfDayUs(*anchorFor(anchors, 4), placed[4]), kDayUs - 9'000'000);

    // A log without a time of day has no anchors: its times stay as they always were.
    AnchoredTimeline relative(0, std::nullopt);
    (void)relative.place(logFrame(5'000'000), 0);
    EXPECT_EQ(adapterTimeUs(relative.place(logFrame(1'000'000), 1)), 5'000'000u);
    EXPECT_EQ(relative.movedOn(), 1u);
    EXPECT_TRUE(relative.takeAnchors().empty());
}

TEST_F(LogAnchors, AWallClockLogGoesThroughADocumentAndBackToTheMicrosecond) {
    // A clock set back by ten seconds between two sessions joined in one log.
    const std::string log =
        "(1700000000.123456) can0 123#11\n"
        "(1700000000.623457) can0 124#2233\n"
        "(1700004300.000001) can0 12345678#R2\n"  // more than one round of the adapter's clock on
        "(1700004290.700001) can0 125#\n"
        "(1700004290.950000) can0 126#44\n";
    write("in.log", log);
    ConvertResult r = convertFile(path("in.log"), path("a.krv"), 0);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(r.warning.empty()) << r.warning;
    ASSERT_TRUE(convertFile(path("a.krv"), path("b.log"), 0).ok);
    EXPECT_EQ(read("b.log"), log);
    ASSERT_TRUE(convertFile(path("in.log"), path("direct.log"), 0).ok);
    EXPECT_EQ(read("direct.log"), log);

    DocumentContents contents;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(path("a.krv"), contents, frames, nullptr).ok);
    ASSERT_EQ(contents.extensions.anchors.size(), 2u);
    EXPECT_EQ(contents.extensions.anchors[1].firstFrame, 3u);
    for (std::uint32_t i = 1; i < frames.count(); ++i) {
        EXPECT_GE(adapterTimeUs(frames.at(i)), adapterTimeUs(frames.at(i - 1))) << i;
    }

    // ASC: the header dates the first anchor; date and time give each frame's time of day back.
    ASSERT_TRUE(convertFile(path("a.krv"), path("c.asc"), 0).ok);
    const std::string asc = read("c.asc");
    EXPECT_EQ(asc.rfind("date Tue Nov 14 10:13:20.123 pm 2023\n", 0), 0u) << asc;
    EXPECT_NE(asc.find("Begin Triggerblock Tue Nov 14 10:13:20.123 pm 2023\n"), std::string::npos);
    EXPECT_NE(asc.find("\n   0.000456 1  123  "), std::string::npos) << asc;
    EXPECT_NE(asc.find("\n4299.877001 1  12345678x  "), std::string::npos) << asc;
    ASSERT_TRUE(convertFile(path("c.asc"), path("d.krv"), 0).ok);
    ASSERT_TRUE(convertFile(path("d.krv"), path("d.log"), 0).ok);
    EXPECT_EQ(read("d.log"), log);
}

TEST_F(LogAnchors, BlfAndPcapLogsCarryTheTimesOfDayThroughADocument) {
    const std::string log =
        "(1700000000.123456) can0 123#11\n"
        "(1700004300.000001) can0 12345678#R2\n"
        "(1700004290.700001) can0 125#\n";  // the clock set back
    write("in.log", log);
    ASSERT_TRUE(convertFile(path("in.log"), path("a.krv"), 0).ok);
    for (const std::string name : {"a.blf", "a.pcap"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(convertFile(path("a.krv"), path(name), 0).ok);
        const ConvertResult r = convertFile(path(name), path(name + ".krv"), 0);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_TRUE(r.warning.empty()) << r.warning;
        ASSERT_TRUE(convertFile(path(name + ".krv"), path(name + ".log"), 0).ok);
        EXPECT_EQ(read(name + ".log"), log);
    }
    // BLF: the measurement starts at the first anchor's millisecond and stops as much later as
    // the last frame written.
    const std::string file = read("a.blf");
    ASSERT_GT(file.size(), blf::kFileHeaderSize);
    const auto* h = reinterpret_cast<const unsigned char*>(file.data());
    const std::uint16_t start[8] = {2023, 11, 2, 14, 22, 13, 20, 123};
    const std::uint16_t stop[8] = {2023, 11, 2, 14, 23, 24, 50, 700};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(blf::load16(h + blf::kStartTimeAt + 2 * k), start[k]) << k;
        EXPECT_EQ(blf::load16(h + blf::kStartTimeAt + 16 + 2 * k), stop[k]) << k;
    }
}

TEST_F(LogAnchors, LogsAndDocumentsWithoutATimeOfDayExportAsBefore) {
    const std::string log = "(0000000005.250000) can0 123#11\n(0000000006.000001) can0 124#\n";
    write("rel.log", log);
    ASSERT_TRUE(convertFile(path("rel.log"), path("rel.krv"), 0).ok);
    DocumentContents contents;
    FrameStore frames;
    ASSERT_TRUE(loadDocument(path("rel.krv"), contents, frames, nullptr).ok);
    EXPECT_TRUE(contents.extensions.empty());
    ASSERT_TRUE(convertFile(path("rel.krv"), path("back.log"), 0).ok);
    EXPECT_EQ(read("back.log"), log);
    ASSERT_TRUE(convertFile(path("rel.krv"), path("back.asc"), kDayS).ok);
    EXPECT_EQ(read("back.asc").rfind("date Tue Nov 14 10:13:20.000 pm 2023\n", 0), 0u);
    EXPECT_NE(read("back.asc").find("\n   5.250000 1  123  "), std::string::npos);
}
