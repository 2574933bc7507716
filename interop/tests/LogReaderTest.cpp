#include "interop/LogReader.h"
#include "interop/LogWriter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

struct Read {
    std::vector<LogFrame> frames;
    LogReadResult result;
    std::uint64_t zero = 0;
};

Read readAll(LogFormat format, const std::string& text) {
    auto reader = makeLogReader(format);
    reader->openMemory(text);
    Read r;
    LogFrame f;
    while (reader->next(f)) r.frames.push_back(f);
    r.result = reader->result();
    r.zero = reader->clockZeroUs();
    return r;
}

std::uint64_t skipped(const Read& r, SkipReason reason) {
    return r.result.skipped[static_cast<std::size_t>(reason)];
}

}  // namespace

TEST(CandumpReader, ReadsEveryFrameFormAndCountsWhatItSkips) {
    const Read r = readAll(LogFormat::kCandump,
                           "(1700000000.100000) can0 123#1122\n"
                           "(1700000000.200000) vcan1 12345678#R\r\n"
                           "\n"
                           "(1700000000.300000) can0 7FF#R3 R\n"
                           "(1700000000.400000) can0 001# T\n"
                           "(1700000000.500000) can0 1ABCDEF0#01.02.03.04.05.06.07.08_C\n"
                           "(1700000000.600000) can0 20000080#0000000000000000\n"
                           "(1700000000.700000) can0 001##0112233\n"
                           "(1700000000.800000) can0 800#00\n"
                           "(1700000000.900000) can0 044#123\n"
                           "(1700000001.0) can0 044#000102030405060708\n"
                           "garbage\n"
                           "(1700000001.100000) can0 123#11 X\n"
                           "(1700000001.200000) can0 0aB#ff\n");
    ASSERT_EQ(r.frames.size(), 6u);
    EXPECT_EQ(r.zero, 1700000000100000u);  // a wall clock counts from the first frame
    EXPECT_EQ(r.frames[0].identifier, 0x123u);
    EXPECT_FALSE(r.frames[0].extended);
    EXPECT_EQ(r.frames[0].length, 2);
    EXPECT_EQ(r.frames[0].data[1], 0x22);
    EXPECT_TRUE(r.frames[1].extended);
    EXPECT_TRUE(r.frames[1].remote);
    EXPECT_EQ(r.frames[1].length, 0);
    EXPECT_EQ(r.frames[1].timeUs, 1700000000200000u);
    EXPECT_TRUE(r.frames[2].remote);
    EXPECT_EQ(r.frames[2].length, 3);
    EXPECT_EQ(r.frames[3].length, 0);
    EXPECT_FALSE(r.frames[3].remote);
    EXPECT_EQ(r.frames[4].length, 8);
    EXPECT_EQ(r.frames[4].data[7], 0x08);
    EXPECT_EQ(r.frames[5].identifier, 0x0ABu);
    EXPECT_EQ(r.frames[5].data[0], 0xFF);
    EXPECT_EQ(skipped(r, SkipReason::kErrorFrame), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kFdFrame), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kMalformed), 5u);
    ASSERT_FALSE(r.result.warnings.empty());
    EXPECT_EQ(r.result.warnings[0].line, 7u);
    EXPECT_EQ(r.result.warnings[0].reason, SkipReason::kErrorFrame);
    EXPECT_EQ(r.result.lines, 14u);
    const std::string summary = r.result.summary();
    EXPECT_NE(summary.find("7 lines were skipped"), std::string::npos) << summary;
    EXPECT_NE(summary.find("line 7: an error frame"), std::string::npos) << summary;
}

TEST(CandumpReader, TimesOfACapturesOwnClockKeepTheirZero) {
    const Read r = readAll(LogFormat::kCandump,
                           "(0000000012.345678) can0 123#\n(0000000013.000001) can0 123#\n");
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.zero, 0u);
    EXPECT_EQ(r.frames[0].timeUs, 12345678u);
    EXPECT_EQ(r.frames[1].timeUs, 13000001u);
}

TEST(CandumpReader, ACutLastLineIsSkippedNotReadShort) {
    // "123#11" could be what is left of "123#1122".
    const Read r = readAll(LogFormat::kCandump, "(1.000000) can0 123#1122\n(2.000000) can0 123#11");
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kCutShort), 1u);
    EXPECT_EQ(r.result.warnings.at(0).line, 2u);
    // Trailing blanks without a line end are nothing.
    EXPECT_EQ(readAll(LogFormat::kCandump, "(1.000000) can0 123#\n  ").result.skippedLines(), 0u);
}

TEST(LogReaders, JunkNulsAndOverlongLinesAreSkippedAndTheRestRead) {
    std::string junk = "(1.000000) can0 123#11\n";
    junk += std::string("\x00\x01\xff\xfe(2.0) can0", 14) + "\n";
    junk += "(3.000000) can0 12\0003#11\n"s;
    junk += std::string(1 << 16, 'A') + "\n";
    junk += "(4.000000) can\x01 123#11\n";
    junk += "(5.000000) can0 123#22\n";
    for (LogFormat format : {LogFormat::kCandump, LogFormat::kAsc}) {
        const Read r = readAll(format, junk);
        EXPECT_EQ(r.result.lines, 6u);
        EXPECT_EQ(skipped(r, SkipReason::kTooLong), 1u);
        EXPECT_EQ(r.frames.size() + r.result.skippedLines(), 6u);
        if (format == LogFormat::kCandump) {
            ASSERT_EQ(r.frames.size(), 2u);
            EXPECT_EQ(r.frames[1].data[0], 0x22);
        } else {
            EXPECT_TRUE(r.frames.empty());
        }
    }
}

TEST(LogReaders, ALineOfGigabytesPassesInBoundedMemory) {
    char path[] = "/tmp/interop-longline-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_GE(fd, 0);
    // A sparse file: two gigabytes of NUL bytes without a line end, then one frame.
    const std::string tail = "\n(1.000000) can0 123#11\n";
    const off_t hole = off_t{1} << 31;
    ASSERT_EQ(::pwrite(fd, tail.data(), tail.size(), hole), static_cast<ssize_t>(tail.size()));
    ::close(fd);
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    CandumpReader reader;
    ASSERT_TRUE(reader.openFile(path));
    LogFrame f;
    ASSERT_TRUE(reader.next(f));
    EXPECT_EQ(f.identifier, 0x123u);
    EXPECT_FALSE(reader.next(f));
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    ::unlink(path);
    EXPECT_EQ(reader.result().skipped[static_cast<std::size_t>(SkipReason::kTooLong)], 1u);
    EXPECT_EQ(reader.result().warnings.at(0).line, 1u);
    EXPECT_EQ(reader.bytesConsumed(), static_cast<std::uint64_t>(hole) + tail.size());
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // kilobytes
}

TEST(LogReaders, AFileThatCannotBeOpenedSaysWhy) {
    CandumpReader reader;
    EXPECT_FALSE(reader.openFile("/nonexistent/interop.log"));
    EXPECT_FALSE(reader.result().ok);
    EXPECT_FALSE(reader.result().error.empty());
    AscReader folder;
    EXPECT_FALSE(folder.openFile("/tmp"));
}

TEST(AscReader, ReadsFramesAndSkipsEventsOfOtherKinds) {
    const Read r =
        readAll(LogFormat::kAsc,
                "date Mon Dec 07 01:40:44.391 AM 2026\n"
                "base hex  timestamps absolute\n"
                "internal events logged\n"
                "// version 1.2.3\n"
                "Begin Triggerblock Tue Nov 14 10:13:20.005 PM 2023\n"
                " 0.000000 Start of measurement\n"
                " 0.100000 1  123             Rx   d 2 11 22\n"
                " 0.994877 1  12345678x       Rx   r 0 \n"
                " 1.494877 1  7FF             Rx   r 3 \n"
                " 1.994877 1  1               Tx   d 0 \n"
                " 2.094877 1  ErrorFrame\n"
                " 2.194877 CANFD   1 Rx          1   0 0 9 12 00 01 02\n"
                " 2.3 2  1ABCDEF0x Rx d 8 01 02 03 04 05 06 07 08 Length = 1 BitCount = 2\n"
                " 2.4 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\n"
                " 2.5 1  123 Rx d 4 11 22\n"
                " 2.6 1  800 Rx d 1 11\n"
                "hello\n"
                "End TriggerBlock\n");
    ASSERT_EQ(r.frames.size(), 5u);
    EXPECT_EQ(r.zero, 0u);  // times count from the measurement's start
    EXPECT_EQ(r.frames[0].timeUs, 100000u);
    EXPECT_EQ(r.frames[0].data[1], 0x22);
    EXPECT_TRUE(r.frames[1].extended);
    EXPECT_TRUE(r.frames[1].remote);
    EXPECT_EQ(r.frames[2].length, 3);
    EXPECT_TRUE(r.frames[2].remote);
    EXPECT_EQ(r.frames[3].identifier, 1u);
    EXPECT_EQ(r.frames[3].length, 0);
    EXPECT_EQ(r.frames[4].identifier, 0x1ABCDEF0u);
    EXPECT_EQ(r.frames[4].data[7], 8);
    EXPECT_EQ(r.frames[4].timeUs, 2300000u);
    EXPECT_EQ(skipped(r, SkipReason::kErrorFrame), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kFdFrame), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kOtherEvent), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kMalformed), 3u);  // short data, 800, hello
    EXPECT_EQ(r.result.warnings.at(0).line, 11u);
}

TEST(AscReader, DecimalBaseAndRelativeTimes) {
    const Read r = readAll(LogFormat::kAsc,
                           "base dec  timestamps relative\n"
                           "1.000000 1 291 Rx d 2 17 255\n"
                           "0.500000 1 305419896x Rx d 1 1\n"
                           "0.250000 1 291 Rx d 1 256\n"
                           "0.250000 1 291 Rx d 1 7\n");
    ASSERT_EQ(r.frames.size(), 3u);
    EXPECT_EQ(r.frames[0].identifier, 0x123u);
    EXPECT_EQ(r.frames[0].data[1], 255);
    EXPECT_EQ(r.frames[1].identifier, 0x12345678u);
    EXPECT_EQ(r.frames[1].timeUs, 1500000u);
    // The skipped line's time still counts towards the next.
    EXPECT_EQ(r.frames[2].timeUs, 2000000u);
    EXPECT_EQ(r.result.skippedLines(), 1u);
}

TEST(AscReader, ACutLastLineOrARemoteLengthThatDoesNotParseGivesNoFrame) {
    // "77 8" may be what is left of "77 88", "r" of "r 8": without its line end nothing is taken.
    for (const char* last : {"0.2 1 123 Rx d 2 77 8", "0.2 1 123 Rx r", "End TriggerBlock"}) {
        const Read r = readAll(LogFormat::kAsc, "0.1 1 123 Rx d 2 11 22\n"s + last);
        ASSERT_EQ(r.frames.size(), 1u) << last;
        EXPECT_EQ(skipped(r, SkipReason::kCutShort), last[0] == 'E' ? 0u : 1u) << last;
    }
    const Read r = readAll(LogFormat::kAsc,
                           "1.0 1 123 Rx r\n2.0 1 123 Rx r 8\n"
                           "3.0 1 123 Rx r 9\n4.0 1 123 Rx r junk\n5.0 1 123 Rx r 12\n");
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].length, 0);
    EXPECT_EQ(r.frames[1].length, 8);
    EXPECT_EQ(skipped(r, SkipReason::kMalformed), 3u);
}

TEST(AscReader, RelativeTimesBeyondWhatTheReadersTakeAreRefused) {
    // Summed, these would need thirteen digits of seconds, and further on wrap past 2^64 us.
    const Read r = readAll(LogFormat::kAsc,
                           "base hex  timestamps relative\n"
                           "999999999999.000000 1 1 Rx d 0\n"
                           "999999999999.000000 1 1 Rx d 0\n"
                           "0.000001 1 1 Rx d 0\n");
    ASSERT_EQ(r.frames.size(), 1u);
    EXPECT_EQ(skipped(r, SkipReason::kMalformed), 2u);
    // Up to the limit a relative time is summed, and written so that it reads back.
    const Read edge = readAll(LogFormat::kAsc,
                              "base hex timestamps relative\n"
                              "999999999998.999999 1 1 Rx d 0\n"
                              "1.000000 1 1 Rx d 0\n");
    ASSERT_EQ(edge.frames.size(), 2u);
    EXPECT_EQ(edge.frames[1].timeUs, logparse::kMaxTimeUs);
    char line[LogWriter::kMaxLine];
    const int n = formatAscLine(line, edge.frames[1], 1);
    const Read back = readAll(LogFormat::kAsc, std::string(line, static_cast<std::size_t>(n)));
    EXPECT_EQ(back.frames.at(0).timeUs, logparse::kMaxTimeUs);
}

TEST(LogReaders, AByteOrderMarkLoneCrLineEndsAndUtf16) {
    Read r = readAll(LogFormat::kCandump, "\xEF\xBB\xBF(1.0) can0 123#11\n");
    EXPECT_EQ(r.frames.size(), 1u);
    EXPECT_FALSE(r.result.utf16);
    // Lines ended by a lone CR, as old editors save them.
    r = readAll(LogFormat::kCandump, "(1.0) can0 123#11\r\r(2.0) can0 124#22\r");
    EXPECT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.result.lines, 3u);
    EXPECT_EQ(r.result.skippedLines(), 0u);
    // In a file whose lines end with LF a stray CR stays inside its line.
    r = readAll(LogFormat::kCandump, "(1.0) can0 123#11\r\n(2.0) can0 124#11\r22\n");
    EXPECT_EQ(r.frames.size(), 1u);
    // UTF-16, with or without its byte-order mark, little- or big-endian.
    for (const std::string& wide : {"\xFF\xFE(\0001\0"s, "\0(\0001"s}) {
        EXPECT_TRUE(readAll(LogFormat::kCandump, wide).result.utf16);
    }
    EXPECT_FALSE(readAll(LogFormat::kAsc, "\177ELF\x02\x01\x01\0\0\0"s).result.utf16);
}

TEST(LogReaders, ACrLfAcrossTheReadBufferIsOneLineEnd) {
    // The first line ends with a lone CR, so CR ends lines; a CR LF whose LF comes with the next
    // read of the file still ends one line, not two.
    const std::string line = "(1.000000) can0 123#11\r\n";
    const std::size_t firstRead = (std::size_t{1} << 20) + LineReader::kMaxLine + 2;
    std::string text((firstRead - line.size() + 1) % line.size() + line.size(), ' ');
    text.front() = text.back() = '\r';  // an empty and a blank line
    std::uint64_t frames = 0;
    for (; text.size() < firstRead + line.size(); ++frames) text += line;
    ASSERT_EQ(text.substr(firstRead - 1, 2), "\r\n");
    char path[] = "/tmp/interop-crlf-XXXXXX";
    const int fd = ::mkstemp(path);
    ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fd);
    CandumpReader reader;
    ASSERT_TRUE(reader.openFile(path));
    LogFrame f;
    while (reader.next(f)) {
    }
    ::unlink(path);
    EXPECT_EQ(reader.result().frames, frames);
    EXPECT_EQ(reader.result().lines, frames + 2);
}

TEST(LogReaders, AFifoOrADeviceIsRefusedWithoutWaiting) {
    const std::string fifo = "/tmp/interop-fifo-" + std::to_string(::getpid()) + ".log";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, "/dev/zero"s}) {
        auto opening = std::async(std::launch::async, [path] {
            CandumpReader reader;
            return reader.openFile(path) ? ""s : reader.result().error;
        });
        if (opening.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
            // Let a reader stuck in open() go, so the test can end.
            ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
            ADD_FAILURE() << "opening " << path << " blocked";
        }
        EXPECT_EQ(opening.get(), "not a regular file") << path;
    }
    ::unlink(fifo.c_str());
}

TEST(LogParse, SecondsWithAnyNumberOfFractionDigits) {
    std::uint64_t us = 0;
    EXPECT_TRUE(logparse::parseSeconds("1.5", us));
    EXPECT_EQ(us, 1500000u);
    EXPECT_TRUE(logparse::parseSeconds("0.123456789", us));
    EXPECT_EQ(us, 123456u);
    EXPECT_TRUE(logparse::parseSeconds("999999999999.000001", us));
    EXPECT_EQ(us, 999999999999000001u);
    for (const char* bad :
         {"", ".5", "1.", "1", "1.1234567890", "-1.0", "1.0x", "1e3.0", "1234567890123.0"}) {
        EXPECT_FALSE(logparse::parseSeconds(bad, us)) << bad;
    }
}
