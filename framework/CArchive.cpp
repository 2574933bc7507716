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

CArchiveWriter::CArchiveWriter(std::string path)
    : m_path(std::move(path)),
      m_replaced(std::make_unique<ReplacedFile>(m_path)),
      m_buffer(kBufferSize) {
    if (m_replaced->fd() < 0) {
        fail(m_replaced->error());
        return;
    }
    m_file = m_replaced->openStream();
    if (m_file == nullptr) {
        fail("cannot write " + m_replaced->temporaryPath());
    }
}

CArchiveWriter::~CArchiveWriter() {
    if (m_file != nullptr) std::fclose(m_file);
    // The temporary file goes with m_replaced unless committed.
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
    if (m_ok && std::fflush(m_file) != 0) {
        fail(std::string("writing failed: ") + std::strerror(errno));
    }
    if (std::fclose(m_file) != 0) fail(std::string("writing failed: ") + std::strerror(errno));
    m_file = nullptr;
    if (!m_ok) return false;
    if (!m_replaced->commit()) {
        fail(m_replaced->error());
        return false;
    }
    m_committed = true;
    return true;
}

CArchiveReader::CArchiveReader(const std::string& path) : m_buffer(kBufferSize) {
    // Opened without waiting: opening a FIFO for reading would otherwise block until a writer
    // came. Only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_ok = false;
        return;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        m_ok = false;
        return;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_file = ::fdopen(fd, "rb");
    if (m_file == nullptr) {
        ::close(fd);
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
