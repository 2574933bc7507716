#pragma once

// The bytes of a binary log, from a regular file or from memory, through a buffer of fixed size
// whatever the file's length.
//
// Thread: one thread per source.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class ByteSource {
public:
    static constexpr std::size_t kChunk = std::size_t{1} << 18;

    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // False, with error(), when the file cannot be opened or is not a regular file.
    [[nodiscard]] bool openFile(const std::string& path);
    // Reads `bytes`, which must outlive the source.
    void openMemory(std::string_view bytes);

    // The bytes not consumed yet: at least `want` (up to kChunk) unless the file ends first, then
    // what is left. Empty at the end, and after a read error (failed()).
    std::string_view peek(std::size_t want);
    void consume(std::size_t n);
    // Passes over `n` bytes; the number passed over, less when the file ends first.
    std::uint64_t skip(std::uint64_t n);

    [[nodiscard]] bool failed() const { return !m_error.empty(); }
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] std::uint64_t consumed() const { return m_consumed; }
    [[nodiscard]] std::uint64_t size() const { return m_size; }  // 0 when unknown

    // A descriptor on a regular file, opened without waiting on a FIFO; -1 with `error` when the
    // path cannot be opened or names something else (a pipe waits for a writer, a device may
    // never end). `size` is the file's.
    [[nodiscard]] static int openRegular(const std::string& path, std::string& error,
                                         std::uint64_t& size);

private:
    void fill(std::size_t want);

    int m_fd = -1;
    std::vector<char> m_buffer;
    const char* m_data = nullptr;  // the buffer, or the bytes given to openMemory
    std::size_t m_begin = 0;       // unconsumed bytes are [m_begin, m_end)
    std::size_t m_end = 0;
    bool m_eof = false;
    std::uint64_t m_consumed = 0;
    std::uint64_t m_size = 0;
    std::string m_error;
};
