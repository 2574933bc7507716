#include "interop/LineReader.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChunk = std::size_t{1} << 20;

bool plainText(unsigned char c) {
    return (c >= 0x20 && c < 0x7F) || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

LineReader::LineReader() = default;

LineReader::~LineReader() {
    if (m_fd >= 0) ::close(m_fd);
}

bool LineReader::openFile(const std::string& path) {
    m_buffer.resize(kChunk + kMaxLine + 2);
    m_data = m_buffer.data();
    // Opened without waiting: a FIFO without a writer would otherwise hold open() for ever.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        m_error = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(m_fd, &st) != 0) {
        m_error = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        m_error = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        // A pipe waits for a writer and a device may never end.
        m_error = "not a regular file";
    }
    if (!m_error.empty()) {
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = static_cast<std::uint64_t>(st.st_size);
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

void LineReader::readStart() {
    m_started = true;
    while (m_end - m_begin < 3 && fill()) {
    }
    const auto* p = reinterpret_cast<const unsigned char*>(m_data + m_begin);
    const std::size_t n = m_end - m_begin;
    if (n >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF) {
        m_begin += 3;
        m_consumed += 3;
    } else if (n >= 2) {
        const bool mark = (p[0] == 0xFF && p[1] == 0xFE) || (p[0] == 0xFE && p[1] == 0xFF);
        const bool nulBetween = (p[0] == 0 && p[1] != 0 && plainText(p[1])) ||
                                (p[1] == 0 && p[0] != 0 && plainText(p[0]));
        m_utf16 = mark || nulBetween;
    }
}

const char* LineReader::findLineEnd(const char* from, const char* to) const {
    const std::size_t n = static_cast<std::size_t>(to - from);
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', n));
    if (m_lineEnds == LineEnds::kLf) return lf;
    const auto* cr =
        static_cast<const char*>(std::memchr(from, '\r', lf != nullptr ? lf - from : n));
    return cr != nullptr ? cr : lf;
}

std::size_t LineReader::lineEndLength(const char* at) {
    if (*at == '\n') {
        if (m_lineEnds == LineEnds::kUnknown) m_lineEnds = LineEnds::kLf;
        return 1;
    }
    // A CR: CR LF is one line end, a lone CR another.
    if (at + 1 == m_data + m_end) return m_eof ? 1 : 0;
    const bool crlf = at[1] == '\n';
    if (m_lineEnds == LineEnds::kUnknown) m_lineEnds = crlf ? LineEnds::kLf : LineEnds::kAny;
    return crlf ? 2 : 1;
}

LineReader::Status LineReader::skipLongLine(bool& terminated) {
    // Nothing of the line is kept: only its end is looked for.
    for (;;) {
        const char* start = m_data + m_begin;
        if (const char* end = findLineEnd(start, m_data + m_end)) {
            const std::size_t n = static_cast<std::size_t>(end - start);
            if (const std::size_t endLength = lineEndLength(end)) {
                m_begin += n + endLength;
                m_consumed += n + endLength;
                terminated = true;
                return Status::kTooLong;
            }
            // A CR at the end of what is read: what follows it decides.
            m_begin += n;
            m_consumed += n;
        } else {
            m_consumed += m_end - m_begin;
            m_begin = m_end;
        }
        if (!fill()) {
            if (!m_error.empty()) return Status::kFailed;
            if (m_begin == m_end) {
                terminated = false;
                return Status::kTooLong;
            }
        }
    }
}

LineReader::Status LineReader::next(std::string_view& line, bool& terminated) {
    if (!m_error.empty()) return Status::kFailed;
    if (m_data == nullptr) return Status::kEnd;
    if (!m_started) {
        readStart();
        if (!m_error.empty()) return Status::kFailed;
    }
    std::size_t searched = 0;  // bytes of the line known to hold no line end
    for (;;) {
        const char* start = m_data + m_begin;
        const std::size_t available = m_end - m_begin;
        const char* end = findLineEnd(start + searched, start + available);
        if (end != nullptr) {
            if (const std::size_t endLength = lineEndLength(end)) {
                std::size_t length = static_cast<std::size_t>(end - start);
                ++m_lineNumber;
                m_begin += length + endLength;
                m_consumed += length + endLength;
                if (length > kMaxLine) return Status::kTooLong;
                if (length > 0 && start[length - 1] == '\r') --length;
                line = std::string_view(start, length);
                terminated = true;
                return Status::kLine;
            }
            searched = static_cast<std::size_t>(end - start);
        } else {
            searched = available;
        }
        if (searched > kMaxLine) {
            ++m_lineNumber;
            return skipLongLine(terminated);
        }
        if (!fill()) {
            if (!m_error.empty()) return Status::kFailed;
            // A CR that was the last byte read ends a line now that the file has ended.
            if (end != nullptr && m_eof) continue;
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
