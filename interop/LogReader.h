#pragma once

// Streaming readers of candump ("candump -l") and ASC logs. Files are untrusted: every line is
// checked before anything is taken from it, nothing is sized from the file, and memory stays
// bounded whatever the file holds. Lines that give no frame are counted with their reason; the
// first few are kept with their line numbers. A last line without its line end gives no frame
// (it is counted as cut short): a cut line may still parse, with other data.
//
// Thread: one thread per reader.

#include "interop/LineReader.h"
#include "interop/LogFrame.h"

#include <memory>
#include <string>
#include <string_view>

class LogReader {
public:
    virtual ~LogReader() = default;

    // False, with result().error, when the file cannot be opened.
    [[nodiscard]] bool openFile(const std::string& path);
    // Reads `bytes`, which must outlive the reader.
    void openMemory(std::string_view bytes);

    // The next frame in file order; false at the end of the file or when reading fails
    // (result().ok is then false).
    bool next(LogFrame& frame);
    // As next(), reading at most `lines` lines: kMore when those gave no frame, so that a
    // caller can look up between long runs of lines that give none.
    enum class Step { kFrame, kMore, kEnd };
    Step step(LogFrame& frame, std::uint64_t lines);

    [[nodiscard]] const LogReadResult& result() const { return m_result; }
    [[nodiscard]] std::uint64_t bytesConsumed() const { return m_lines.bytesConsumed(); }
    [[nodiscard]] std::uint64_t size() const { return m_lines.size(); }
    // The time the log's clock counts from: candump logs written with a wall clock count from
    // their first frame, ASC logs and candump logs on a capture's own clock from their zero.
    // Known once the first frame has been read.
    [[nodiscard]] std::uint64_t clockZeroUs() const { return m_clockZeroUs; }

protected:
    enum class Parse { kFrame, kNothing, kSkip };
    // Reads one line. On kSkip `reason` and `detail` (a static text) say why.
    virtual Parse parseLine(std::string_view line, LogFrame& frame, SkipReason& reason,
                            const char*& detail) = 0;
    virtual void firstFrame(const LogFrame& frame) { (void)frame; }

    std::uint64_t m_clockZeroUs = 0;

private:
    LineReader m_lines;
    LogReadResult m_result;
    bool m_seenFrame = false;
};

// "(1700000000.123456) can0 123#1122", "123#R", "123#R3", "12345678#..." for extended
// identifiers, optionally followed by a direction flag.
class CandumpReader final : public LogReader {
public:
    // Times from this on are taken for wall-clock times (2001-09-09); earlier ones count from
    // a capture's start.
    static constexpr std::uint64_t kWallClockFromUs = 1'000'000'000ull * 1'000'000ull;

protected:
    Parse parseLine(std::string_view line, LogFrame& frame, SkipReason& reason,
                    const char*& detail) override;
    void firstFrame(const LogFrame& frame) override;
};

// The ASC text log: a header ("date", "base hex|dec  timestamps absolute|relative", ...), then
// "time channel id[x] Rx|Tx d dlc bytes..." and "... r [dlc]" lines, times in seconds since the
// measurement started.
class AscReader final : public LogReader {
protected:
    Parse parseLine(std::string_view line, LogFrame& frame, SkipReason& reason,
                    const char*& detail) override;

private:
    bool m_decimal = false;
    bool m_relative = false;
    bool m_timeOverflow = false;  // relative times summed past kMaxTimeUs: later ones are too
    std::uint64_t m_lastEventUs = 0;
};

[[nodiscard]] std::unique_ptr<LogReader> makeLogReader(LogFormat format);

// The parsers' own pieces, for tests.
namespace logparse {
// The latest time a log line can carry: twelve digits of seconds, as the readers take them.
inline constexpr std::uint64_t kMaxTimeUs = 999'999'999'999'999'999ull;
// "sec.frac" with 1 to 9 fraction digits, as microseconds (further digits are dropped).
[[nodiscard]] bool parseSeconds(std::string_view text, std::uint64_t& us);
}  // namespace logparse
