#include "views/CheckedWriteDevice.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace {

// The PDF engine writes many small pieces; they reach the file in blocks of this size.
constexpr std::size_t kBlock = std::size_t{64} * 1024;

}  // namespace

CheckedWriteDevice::CheckedWriteDevice(int fd) : m_fd(fd) {
    m_buffer.reserve(kBlock);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool CheckedWriteDevice::flushBuffer() {
    std::size_t done = 0;
    while (m_error == 0 && done < m_buffer.size()) {
        const ssize_t n = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            // A write that takes nothing without an error would repeat for ever.
            m_error = n < 0 ? errno : EIO;
            setErrorString(QString::fromLocal8Bit(std::strerror(m_error)));
        }
    }
    m_buffer.clear();
    return m_error == 0;
}

qint64 CheckedWriteDevice::writeData(const char* data, qint64 size) {
    if (m_error != 0) return -1;
    if (size <= 0) return 0;
    const auto n = static_cast<std::size_t>(size);
    if (m_buffer.size() + n > kBlock && !flushBuffer()) return -1;
    m_buffer.insert(m_buffer.end(), data, data + n);
    if (m_buffer.size() >= kBlock && !flushBuffer()) return -1;
    return size;
}

qint64 CheckedWriteDevice::readData(char*, qint64) {
    return -1;
}

bool CheckedWriteDevice::finish() {
    return flushBuffer();
}
