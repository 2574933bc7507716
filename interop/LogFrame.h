#pragma once

// What the logs (candump, ASC, BLF, pcap) carry and what reading them can go wrong with.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One classic CAN frame of a log; its time in microseconds on the log's own clock.
struct LogFrame {
    std::uint64_t timeUs = 0;
    std::uint32_t identifier = 0;
    bool extended = false;
    bool remote = false;
    std::uint8_t length = 0;  // DLC, 0 to 8
    std::uint8_t data[8] = {};
};

enum class LogFormat { kCandump, kAsc, kBlf, kPcap };

// The kind of file a path names, by its extension (".krv", ".log", ".asc", ".blf", ".pcap",
// ".pcapng", any case).
enum class FileKind { kDocument, kCandump, kAsc, kBlf, kPcap, kUnknown };
[[nodiscard]] FileKind fileKindOf(std::string_view path);
// The log format of a kind of file; false for a document and an unknown kind.
[[nodiscard]] bool logFormatOf(FileKind kind, LogFormat& format);
// The extensions of the logs read, for messages: ".log, .asc, .blf, .pcap or .pcapng".
inline constexpr const char* kLogExtensions = ".log, .asc, .blf, .pcap or .pcapng";

// Why a line (or a binary log's record) gave no frame.
enum class SkipReason : std::uint8_t {
    kErrorFrame,  // an error frame
    kFdFrame,     // a CAN FD frame: more than eight bytes do not fit a captured frame
    kOtherEvent,  // a log event that is not a CAN frame
    kMalformed,   // the line does not parse
    kTooLong,     // longer than any frame line can be
    kCutShort,    // the file ends in the middle of the line
};
inline constexpr std::size_t kSkipReasons = 6;

// The reason in words, for messages and the batch report ("an error frame", ...), said of a
// binary log's record rather than a line when `record`.
[[nodiscard]] const char* skipReasonText(SkipReason reason, bool record = false);

struct LogWarning {
    std::uint64_t line = 0;  // 1-based; the record's number in a binary log
    SkipReason reason = SkipReason::kMalformed;
    std::string detail;  // what exactly did not parse
};

// What a reader made of a whole file.
struct LogReadResult {
    static constexpr std::size_t kWarningsKept = 20;

    bool ok = true;     // false: the file could not be opened or read
    std::string error;  // why, when !ok
    std::uint64_t frames = 0;
    std::uint64_t lines = 0;
    std::array<std::uint64_t, kSkipReasons> skipped{};
    std::vector<LogWarning> warnings;  // the first kWarningsKept skipped lines
    bool utf16 = false;                // the file starts like UTF-16 text, which is not read
    bool records = false;  // a binary log (BLF, pcap): `lines` and the numbers count records

    [[nodiscard]] std::uint64_t skippedLines() const {
        std::uint64_t n = 0;
        for (std::uint64_t s : skipped) n += s;
        return n;
    }
    void skip(std::uint64_t line, SkipReason reason, std::string_view detail) {
        ++skipped[static_cast<std::size_t>(reason)];
        if (warnings.size() < kWarningsKept) {
            warnings.push_back({line, reason, std::string(detail)});
        }
    }
    // "N lines were skipped (...); the first, line L: why." ("records" of a binary log), or ""
    // when none was.
    [[nodiscard]] std::string summary() const;
};
