#pragma once

// The little-endian archive the document file is written and read through, buffered so that
// hundreds of megabytes pass at disk speed.
//
// CArchiveWriter writes to a temporary file beside the target and puts it in the target's place
// only when commit() succeeds, so a failed save never harms the file that was there (see
// ReplacedFile.h for the mode, symbolic links and the folder sync).
// CArchiveReader never reads beyond the file: a read past its end fails the reader. It reads only
// regular files, and never waits on one that is not (a FIFO, a device).
//
// Thread: one thread per archive.

#include "framework/ReplacedFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

class CArchiveWriter {
public:
    explicit CArchiveWriter(std::string path);
    ~CArchiveWriter();  // a writer never committed removes its temporary file
    CArchiveWriter(const CArchiveWriter&) = delete;
    CArchiveWriter& operator=(const CArchiveWriter&) = delete;

    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] const std::string& error() const { return m_error; }

    void putBytes(const void* data, std::size_t size) {
        if (m_used + size > m_buffer.size()) flush();
        if (size > m_buffer.size()) {
            writeOut(data, size);
            return;
        }
        std::memcpy(m_buffer.data() + m_used, data, size);
        m_used += size;
    }
    void putU8(std::uint8_t v) { putBytes(&v, 1); }
    void putU16(std::uint16_t v) {
        const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
        putBytes(b, 2);
    }
    void putU32(std::uint32_t v) {
        std::uint8_t b[4];
        storeU32(b, v);
        putBytes(b, 4);
    }
    void putF32(float v) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        putU32(bits);
    }
    static void storeU32(std::uint8_t* p, std::uint32_t v) {
        p[0] = static_cast<std::uint8_t>(v);
        p[1] = static_cast<std::uint8_t>(v >> 8);
        p[2] = static_cast<std::uint8_t>(v >> 16);
        p[3] = static_cast<std::uint8_t>(v >> 24);
    }

    // Writes everything out, makes it durable and replaces the target. False, with error(), when
    // anything failed; the target is then untouched.
    bool commit();

private:
    void flush();
    void writeOut(const void* data, std::size_t size);
    void fail(const std::string& what);

    std::string m_path;
    std::unique_ptr<ReplacedFile> m_replaced;
    std::FILE* m_file = nullptr;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_used = 0;
    std::uint64_t m_written = 0;  // bytes handed to the file
    std::uint64_t m_started = 0;  // of those, the ones the disk was told to write
    bool m_ok = true;
    bool m_committed = false;
    std::string m_error;
};

class CArchiveReader {
public:
    explicit CArchiveReader(const std::string& path);
    ~CArchiveReader();
    CArchiveReader(const CArchiveReader&) = delete;
    CArchiveReader& operator=(const CArchiveReader&) = delete;

    [[nodiscard]] bool opened() const { return m_file != nullptr; }
    [[nodiscard]] bool ok() const { return m_ok; }
    [[nodiscard]] std::uint64_t size() const { return m_size; }
    [[nodiscard]] std::uint64_t remaining() const { return m_size - m_position; }

    // Copies `size` bytes, or fails the reader (and zero-fills) when the file ends first.
    bool getBytes(void* data, std::size_t size);
    std::uint8_t getU8() {
        std::uint8_t v = 0;
        getBytes(&v, 1);
        return v;
    }
    std::uint16_t getU16() {
        std::uint8_t b[2] = {};
        getBytes(b, 2);
        return static_cast<std::uint16_t>(b[0] | b[1] << 8);
    }
    std::uint32_t getU32() {
        std::uint8_t b[4] = {};
        getBytes(b, 4);
        return loadU32(b);
    }
    float getF32() {
        const std::uint32_t bits = getU32();
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    static std::uint32_t loadU32(const std::uint8_t* p) {
        return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
               std::uint32_t{p[3]} << 24;
    }

private:
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_position = 0;
    bool m_ok = true;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_bufferUsed = 0;
    std::size_t m_bufferFilled = 0;
};
