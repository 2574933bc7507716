#include "framework/CArchive.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::uint64_t kWriteBehind = 32 << 20;

}  // namespace

CArchiveWriter::CArchiveWriter(std::string path) : m_path(std::move(path)), m_buffer(kBufferSize) {
    std::string templ = m_path + ".saving-XXXXXX";
    const int fd = ::mkstemp(templ.data());
    if (fd < 0) {
        fail("cannot create a file beside " + m_path + ": " + std::strerror(errno));
        return;
    }
    // A document is readable by others, as a file the program creates normally would be.
    ::fchmod(fd, 0644);
    m_temporary = templ;
    m_file = ::fdopen(fd, "wb");
    if (m_file == nullptr) {
        ::close(fd);
        fail("cannot write " + m_temporary);
    }
}

CArchiveWriter::~CArchiveWriter() {
    if (m_file != nullptr) std::fclose(m_file);
    if (!m_committed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
}

void CArchiveWriter::fail(const std::string& what) {
    if (m_ok) m_error = what;
    m_ok = false;
}

void CArchiveWriter::writeOut(const void* data, std::size_t size) {
    if (!m_ok || size == 0) return;
    if (std::fwrite(data, 1, size, m_file) != size) {
        fail(std::string("writing failed: ") + std::strerror(errno));
        return;
    }
    m_written += size;
    // Start the disk on what is written so far, so that the flush at the end has little left.
    if (m_written - m_started >= kWriteBehind && std::fflush(m_file) == 0) {
        ::sync_file_range(::fileno(m_file), static_cast<off_t>(m_started),
                          static_cast<off_t>(m_written - m_started), SYNC_FILE_RANGE_WRITE);
        m_started = m_written;
    }
}

void CArchiveWriter::flush() {
    writeOut(m_buffer.data(), m_used);
    m_used = 0;
}

bool CArchiveWriter::commit() {
    if (!m_ok) return false;
    flush();
    if (m_ok && (std::fflush(m_file) != 0 || ::fsync(::fileno(m_file)) != 0)) {
        fail(std::string("writing failed: ") + std::strerror(errno));
    }
    if (std::fclose(m_file) != 0) fail(std::string("writing failed: ") + std::strerror(errno));
    m_file = nullptr;
    if (!m_ok) return false;
    if (::rename(m_temporary.c_str(), m_path.c_str()) != 0) {
        fail("cannot replace " + m_path + ": " + std::strerror(errno));
        return false;
    }
    m_committed = true;
    return true;
}

CArchiveReader::CArchiveReader(const std::string& path) : m_buffer(kBufferSize) {
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) {
        m_ok = false;
        return;
    }
    struct stat st {};
    if (::fstat(::fileno(m_file), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_ok = false;
        return;
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
}

CArchiveReader::~CArchiveReader() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool CArchiveReader::getBytes(void* data, std::size_t size) {
    auto* out = static_cast<std::uint8_t*>(data);
    if (!m_ok || size > remaining()) {
        m_ok = false;
        std::memset(out, 0, size);
        return false;
    }
    while (size > 0) {
        if (m_bufferUsed == m_bufferFilled) {
            m_bufferFilled = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
            m_bufferUsed = 0;
            if (m_bufferFilled == 0) {
                m_ok = false;  // the file shrank under us
                std::memset(out, 0, size);
                return false;
            }
        }
        const std::size_t n = std::min(size, m_bufferFilled - m_bufferUsed);
        std::memcpy(out, m_buffer.data() + m_bufferUsed, n);
        m_bufferUsed += n;
        m_position += n;
        out += n;
        size -= n;
    }
    return true;
}
