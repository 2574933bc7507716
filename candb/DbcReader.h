#pragma once

// Reads a DBC file into a CanDatabase.
//
// What the file says about decoding is read strictly: a BO_, SG_, VAL_, CM_, BA_DEF_, BA_,
// SIG_VALTYPE_ or SG_MUL_VAL_ statement that does not parse refuses the whole file, naming its
// line, so a database is never half-loaded. What this reader does not know (other keywords and
// sections) is skipped and counted, as are references to messages or signals that are not there
// and signals no CAN frame can carry (the long text fields of multi-frame protocols).
// A file that does not start with a DBC keyword (a picture, a log) is refused at its first line.
//
// Files are untrusted: the size is checked before anything is read, and every count and number
// is checked before it is used.
//
// Thread: any; each call works on its own data.

#include "candb/CanDatabase.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class DbcWarningKind : std::uint8_t {
    kUnknownKeyword,    // a statement or section this reader does not know: skipped
    kUnknownReference,  // names a message or signal the file does not define: skipped
    kDuplicate,         // a second message with an identifier, or signal with a name
    kNotCan,            // a message whose identifier is not a CAN identifier: skipped
    kIgnoredValue,      // a value that cannot apply (a float type on a 16-bit signal, ...)
    kNotInFrame,        // a signal of more than 64 bits or beyond 64 bytes: left out
};
inline constexpr std::size_t kDbcWarningKinds = 6;

// The kind in words, for reports ("an unknown keyword", ...).
[[nodiscard]] const char* dbcWarningText(DbcWarningKind kind);

struct DbcWarning {
    std::uint64_t line = 0;  // 1-based
    DbcWarningKind kind = DbcWarningKind::kUnknownKeyword;
    std::string detail;
};

struct DbcReadResult {
    static constexpr std::size_t kWarningsKept = 50;

    bool ok = false;
    std::uint64_t errorLine = 0;  // the line that does not parse; 0 when the file could not be read
    std::string error;            // "line 12 does not parse: ..." or why the file could not be read
    std::shared_ptr<const CanDatabase> database;  // null unless ok

    std::array<std::uint64_t, kDbcWarningKinds> counts{};
    std::vector<DbcWarning> warnings;  // the first kWarningsKept

    [[nodiscard]] std::uint64_t warningCount() const {
        std::uint64_t n = 0;
        for (const std::uint64_t c : counts) n += c;
        return n;
    }
    // "N statements were passed over (...); the first is line L: why (what)." or "" when none
    // was.
    [[nodiscard]] std::string summary() const;
};

class DbcReader {
public:
    // Larger than any real database; bounds what a file can make the reader hold.
    static constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;
    // Far above any real database; they bound what a hostile file can make the reader hold.
    static constexpr std::size_t kMaxMessages = 100'000;
    static constexpr std::size_t kMaxSignalsPerMessage = 4096;
    static constexpr std::size_t kMaxSignals = 250'000;
    // Node and receiver names, value descriptions, attributes, multiplexer ranges.
    static constexpr std::size_t kMaxEntries = 2'000'000;

    // `text`, when given, receives the bytes that were read (for keeping the database with a
    // document), whether or not they parse.
    [[nodiscard]] static DbcReadResult readFile(const std::string& path,
                                                std::string* text = nullptr);
    [[nodiscard]] static DbcReadResult read(std::string_view text);
};
