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

    // False, with error(), when the file cannot be opened.
    [[nodiscard]] bool openFile(const std::string& path);
    // Reads `bytes`, which must outlive the reader.
    void openMemory(std::string_view bytes);

    // The next line without its line end (LF or CR LF). `terminated` says whether a line end
    // followed it: the last line of a file may lack one. kFailed: a read error, see error().
    Status next(std::string_view& line, bool& terminated);

    [[nodiscard]] std::uint64_t lineNumber() const { return m_lineNumber; }
    [[nodiscard]] std::uint64_t bytesConsumed() const { return m_consumed; }
    [[nodiscard]] std::uint64_t size() const { return m_size; }  // 0 when unknown
    [[nodiscard]] const std::string& error() const { return m_error; }

private:
    // Appends what the source has after the unconsumed bytes; false at the end or on failure.
    bool fill();
    Status skipLongLine(bool& terminated);

    int m_fd = -1;
    std::vector<char> m_buffer;    // a file's bytes pass through it
    const char* m_data = nullptr;  // the buffer, or the bytes given to openMemory

    std::size_t m_begin = 0;  // unconsumed bytes are [m_begin, m_end)
    std::size_t m_end = 0;
    bool m_eof = false;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_size = 0;
    std::string m_error;
};
