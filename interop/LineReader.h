#pragma once

// Reads a text file line by line in bounded memory: lines longer than kMaxLine are passed over
// (however long, a 2 GB line included) and reported as too long, never buffered.
//
// Thread: one thread per reader.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LineReader {
public:
    static constexpr std::size_t kMaxLine = 4096;

    enum class Status { kLine, kTooLong, kEnd, kFailed };

    LineReader();
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // False, with error(), when the file cannot be opened or is not a regular file: a FIFO or a
    // device would never end, or keep the caller waiting for a writer.
    [[nodiscard]] bool openFile(const std::string& path);
    // Reads `bytes`, which must outlive the reader.
    void openMemory(std::string_view bytes);

    // The next line without its line end (LF or CR LF, or CR in a file whose first line ends with
    // a lone CR). A UTF-8 byte-order mark before the first line is dropped. `terminated` says
    // whether a line end followed it: the last line of a file may lack one. kFailed: a read
    // error, see error().
    Status next(std::string_view& line, bool& terminated);

    [[nodiscard]] std::uint64_t lineNumber() const { return m_lineNumber; }
    [[nodiscard]] std::uint64_t bytesConsumed() const { return m_consumed; }
    [[nodiscard]] std::uint64_t size() const { return m_size; }  // 0 when unknown
    [[nodiscard]] const std::string& error() const { return m_error; }
    // Whether the file starts like UTF-16 text (a byte-order mark, or ASCII with NUL bytes
    // between); known once next() has been called.
    [[nodiscard]] bool looksUtf16() const { return m_utf16; }

private:
    enum class LineEnds { kUnknown, kLf, kAny };

    // Appends what the source has after the unconsumed bytes; false at the end or on failure.
    bool fill();
    Status skipLongLine(bool& terminated);
    // Looks at the file's first bytes: drops a UTF-8 byte-order mark, notes UTF-16.
    void readStart();
    // The first line end in [from, to), or null.
    [[nodiscard]] const char* findLineEnd(const char* from, const char* to) const;
    // The length of the line end at `at` (1 or 2), or 0 when the bytes after it are still to
    // come; settles how this file ends its lines.
    std::size_t lineEndLength(const char* at);

    int m_fd = -1;
    std::vector<char> m_buffer;    // a file's bytes pass through it
    const char* m_data = nullptr;  // the buffer, or the bytes given to openMemory

    std::size_t m_begin = 0;  // unconsumed bytes are [m_begin, m_end)
    std::size_t m_end = 0;
    bool m_eof = false;
    bool m_started = false;
    bool m_utf16 = false;
    LineEnds m_lineEnds = LineEnds::kUnknown;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_size = 0;
    std::string m_error;
};
