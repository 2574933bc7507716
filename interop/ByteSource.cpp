#include "interop/ByteSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

ByteSource::~ByteSource() {
    if (m_fd >= 0) ::close(m_fd);
}

int ByteSource::openRegular(const std::string& path, std::string& error, std::uint64_t& size) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        error = std::strerror(errno);
    } else if (S_ISDIR(st.st_mode)) {
        error = std::strerror(EISDIR);
    } else if (!S_ISREG(st.st_mode)) {
        error = "not a regular file";
    }
    if (!error.empty()) {
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

bool ByteSource::openFile(const std::string& path) {
    m_fd = openRegular(path, m_error, m_size);
    if (m_fd < 0) return false;
    m_buffer.resize(2 * kChunk);
    m_data = m_buffer.data();
    return true;
}

void ByteSource::openMemory(std::string_view bytes) {
    m_data = bytes.data();
    m_end = bytes.size();
    m_size = bytes.size();
    m_eof = true;
}

void ByteSource::fill(std::size_t want) {
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_begin = 0;
    }
    while (!m_eof && m_end < want) {
        ssize_t n;
        do {
            n = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            m_error = std::strerror(errno);
            m_eof = true;
        } else if (n == 0) {
            m_eof = true;
        } else {
            m_end += static_cast<std::size_t>(n);
        }
    }
}

std::string_view ByteSource::peek(std::size_t want) {
    want = std::min(want, kChunk);
    if (m_end - m_begin < want && !m_eof) fill(want);
    if (failed()) return {};
    return {m_data + m_begin, m_end - m_begin};
}

void ByteSource::consume(std::size_t n) {
    n = std::min(n, m_end - m_begin);
    m_begin += n;
    m_consumed += n;
}

std::uint64_t ByteSource::skip(std::uint64_t n) {
    std::uint64_t passed = 0;
    while (passed < n) {
        const std::string_view bytes = peek(1);
        if (bytes.empty()) break;
        const std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(n - passed, bytes.size()));
        consume(step);
        passed += step;
    }
    return passed;
}
