#pragma once

// A write-only QIODevice on a file descriptor that checks every write. Qt's PDF engine ignores
// what its device's writes return, so a full disk or a device that takes nothing would give a
// cut-off file and no word of it; here the first failure is kept, with its errno, and every
// later write fails too.
//
// Thread: one thread per device.

#include <QIODevice>

#include <vector>

class CheckedWriteDevice final : public QIODevice {
public:
    // `fd` stays the caller's; the device opens itself write-only.
    explicit CheckedWriteDevice(int fd);

    [[nodiscard]] bool isSequential() const override { return true; }
    // Writes out what is buffered; false, with error(), when any write failed.
    [[nodiscard]] bool finish();
    // The errno of the first failure, 0 with none.
    [[nodiscard]] int error() const { return m_error; }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool flushBuffer();

    int m_fd;
    int m_error = 0;
    std::vector<char> m_buffer;
};
