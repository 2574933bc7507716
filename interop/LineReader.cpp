#include "interop/LineReader.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

}  // namespace

LineReader::LineReader() = default;

LineReader::~LineReader() {
    if (m_fd >= 0) ::close(m_fd);
}

bool LineReader::openFile(const std::string& path) {
    m_buffer.resize(kChunk + kMaxLine + 2);
    m_data = m_buffer.data();
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            m_error = std::strerror(EISDIR);
            ::close(m_fd);
            m_fd = -1;
            return false;
        }
        if (S_ISREG(st.st_mode)) m_size = static_cast<std::uint64_t>(st.st_size);
    }
    return true;
}

void LineReader::openMemory(std::string_view bytes) {
    // Lines are served from the bytes themselves.
    m_data = bytes.data();
    m_end = bytes.size();
    m_size = bytes.size();
    m_eof = true;
}

bool LineReader::fill() {
    if (m_eof || m_fd < 0) return false;
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    const std::size_t room = m_buffer.size() - m_end;
    if (room == 0) return false;
    ssize_t n;
    do {
        n = ::read(m_fd, m_buffer.data() + m_end, room);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        m_error = std::strerror(errno);
        m_eof = true;
        return false;
    }
    if (n == 0) {
        m_eof = true;
        return false;
    }
    m_end += static_cast<std::size_t>(n);
    return true;
}

LineReader::Status LineReader::skipLongLine(bool& terminated) {
    // Nothing of the line is kept: only its end is looked for.
    for (;;) {
        const char* start = m_data + m_begin;
        if (const void* nl = std::memchr(start, '\n', m_end - m_begin)) {
            const std::size_t n = static_cast<const char*>(nl) - start + 1;
            m_begin += n;
            m_consumed += n;
            terminated = true;
            return Status::kTooLong;
        }
        m_consumed += m_end - m_begin;
        m_begin = m_end;
        if (!fill()) {
            terminated = false;
            return m_error.empty() ? Status::kTooLong : Status::kFailed;
        }
    }
}

LineReader::Status LineReader::next(std::string_view& line, bool& terminated) {
    if (!m_error.empty()) return Status::kFailed;
    if (m_data == nullptr) return Status::kEnd;
    std::size_t searched = 0;
    for (;;) {
        const char* start = m_data + m_begin;
        const std::size_t available = m_end - m_begin;
        const void* nl = std::memchr(start + searched, '\n', available - searched);
        if (nl != nullptr) {
            std::size_t length = static_cast<const char*>(nl) - start;
            ++m_lineNumber;
            m_begin += length + 1;
            m_consumed += length + 1;
            if (length > kMaxLine) return Status::kTooLong;
            if (length > 0 && start[length - 1] == '\r') --length;
            line = std::string_view(start, length);
            terminated = true;
            return Status::kLine;
        }
        if (available > kMaxLine) {
            ++m_lineNumber;
            return skipLongLine(terminated);
        }
        searched = available;
        if (!fill()) {
            if (!m_error.empty()) return Status::kFailed;
            const std::size_t rest = m_end - m_begin;
            if (rest == 0) return Status::kEnd;
            // The last line, without a line end.
            ++m_lineNumber;
            line = std::string_view(m_data + m_begin, rest);
            if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
            m_consumed += rest;
            m_begin = m_end;
            terminated = false;
            return Status::kLine;
        }
        // fill() moved the unconsumed bytes to the front; what was searched stays searched.
    }
}
