#pragma once

// Writer of BLF logs (layout in BlfFormat.h): CAN_MESSAGE objects with nanosecond times, in
// deflated containers of at most 128 KiB. The file header, with the object count and the
// measurement's start and stop, is written last. Like the text logs, the file is written beside
// its target and takes its place only when all of it is written.
//
// Thread: one thread per writer.

#include "framework/ReplacedFile.h"
#include "interop/LogWriter.h"

#include <ctime>
#include <memory>
#include <vector>

struct z_stream_s;

class BlfWriter final : public LogWriter {
public:
    static constexpr std::size_t kContainer = std::size_t{128} << 10;
    static constexpr std::uint32_t kObjectSize = 48;  // a version 1 header and the CAN message

    // `when` and `millis` are the measurement's start (local time; 0 leaves it unset), which the
    // frames' times count from; the channel follows the interface name ("canN" is channel N+1).
    BlfWriter(const std::string& path, const std::string& interfaceName, std::time_t when,
              int millis = 0);
    ~BlfWriter() override;

    void write(const LogFrame& frame) override;
    bool commit() override;
    [[nodiscard]] const std::string& error() const override { return m_error; }
    [[nodiscard]] bool ok() const override { return m_error.empty(); }

    // The object of one frame, in `out` (kObjectSize bytes).
    static void formatObject(unsigned char* out, const LogFrame& frame, std::uint16_t channel);

private:
    void writeContainer();
    void put(const void* data, std::size_t size);
    void fail(const std::string& what);

    ReplacedFile m_file;
    std::unique_ptr<z_stream_s> m_zlib;
    bool m_zlibReady = false;
    std::vector<unsigned char> m_objects;     // the container being filled
    std::vector<unsigned char> m_compressed;  // and deflated
    std::size_t m_used = 0;
    std::uint16_t m_channel;
    std::time_t m_when;
    int m_millis;
    std::uint64_t m_lastUs = 0;
    std::uint64_t m_count = 0;
    std::uint64_t m_fileSize = 0;
    std::uint64_t m_uncompressedSize = 0;
    std::string m_error;
};
