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
#include <optional>
#include <string>
#include <string_view>

// Any log reader (the binary ones in BlfReader.h and PcapReader.h). Files are untrusted, and
// memory stays bounded whatever they hold.
class LogReader {
public:
    virtual ~LogReader() = default;

    // False, with result().error, when the file cannot be opened.
    [[nodiscard]] virtual bool openFile(const std::string& path) = 0;
    // Reads `bytes`, which must outlive the reader.
    virtual void openMemory(std::string_view bytes) = 0;

    // The next frame in file order; false at the end of the file or when reading fails
    // (result().ok is then false).
    virtual bool next(LogFrame& frame) = 0;

    [[nodiscard]] const LogReadResult& result() const { return m_result; }
    [[nodiscard]] virtual std::uint64_t bytesConsumed() const = 0;
    [[nodiscard]] virtual std::uint64_t size() const = 0;
    // The time the log's clock counts from: candump logs written with a wall clock count from
    // their first frame, ASC logs and candump logs on a capture's own clock from their zero.
    // Known once the first frame has been read.
    [[nodiscard]] std::uint64_t clockZeroUs() const { return m_clockZeroUs; }
    // The time of day (microseconds since 1970 UTC) at the log's clock zero, when the log tells
    // it: a candump log on a wall clock, an ASC log with a date that reads. Known once the first
    // frame has been read.
    [[nodiscard]] std::optional<std::int64_t> timeOfDayAtZeroUs() const {
        return m_timeOfDayAtZeroUs;
    }

protected:
    std::uint64_t m_clockZeroUs = 0;
    std::optional<std::int64_t> m_timeOfDayAtZeroUs;
    LogReadResult m_result;
};

// The text logs, read line by line.
class LineLogReader : public LogReader {
public:
    [[nodiscard]] bool openFile(const std::string& path) override;
    void openMemory(std::string_view bytes) override;
    bool next(LogFrame& frame) override;
    [[nodiscard]] std::uint64_t bytesConsumed() const override { return m_lines.bytesConsumed(); }
    [[nodiscard]] std::uint64_t size() const override { return m_lines.size(); }

protected:
    enum class Parse { kFrame, kNothing, kSkip };
    // Reads one line. On kSkip `reason` and `detail` (a static text) say why.
    virtual Parse parseLine(std::string_view line, LogFrame& frame, SkipReason& reason,
                            const char*& detail) = 0;
    virtual void firstFrame(const LogFrame& frame) { (void)frame; }

private:
    LineReader m_lines;
    bool m_seenFrame = false;
};

// "(1700000000.123456) can0 123#1122", "123#R", "123#R3", "12345678#..." for extended
// identifiers, optionally followed by a direction flag.
class CandumpReader final : public LineLogReader {
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
class AscReader final : public LineLogReader {
protected:
    Parse parseLine(std::string_view line, LogFrame& frame, SkipReason& reason,
                    const char*& detail) override;

    void firstFrame(const LogFrame& frame) override;

private:
    std::optional<std::int64_t> m_dateUs;  // of the header; a trigger block's date wins
    bool m_dateOfTriggerBlock = false;
    bool m_decimal = false;
    bool m_relative = false;
    bool m_timeOverflow = false;  // relative times summed past kMaxTimeUs: later ones are too
    std::uint64_t m_lastEventUs = 0;
};

// A reader of the format (the BLF and pcap readers are in BlfReader.h and PcapReader.h).
[[nodiscard]] std::unique_ptr<LogReader> makeLogReader(LogFormat format);

// The parsers' own pieces, for tests.
namespace logparse {
// The latest time a log line can carry: twelve digits of seconds, as the readers take them.
inline constexpr std::uint64_t kMaxTimeUs = 999'999'999'999'999'999ull;
// "sec.frac" with 1 to 9 fraction digits, as microseconds (further digits are dropped).
[[nodiscard]] bool parseSeconds(std::string_view text, std::uint64_t& us);
}  // namespace logparse
