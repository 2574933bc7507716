#pragma once

// Writers of candump ("candump -l") and ASC logs (BLF and pcap in BlfWriter.h, PcapWriter.h).
// The file is written beside its target and takes the target's place only when all of it is
// written, so a failed export leaves what was there.
//
// Thread: one thread per writer.

#include "framework/CArchive.h"
#include "interop/LogFrame.h"

#include <ctime>
#include <memory>
#include <string>
#include <string_view>

// Any log writer (the binary ones in BlfWriter.h and PcapWriter.h).
class LogWriter {
public:
    virtual ~LogWriter() = default;

    // Frames in time order; times count from the capture's start.
    virtual void write(const LogFrame& frame) = 0;
    // Finishes the file and puts it in place; false, with error(), when anything failed.
    virtual bool commit() = 0;
    [[nodiscard]] virtual const std::string& error() const = 0;
    [[nodiscard]] virtual bool ok() const = 0;

    static constexpr int kMaxLine = 160;
};

// The text logs: a line for each frame.
class LineLogWriter : public LogWriter {
public:
    LineLogWriter(const std::string& path, std::string interfaceName);

    void write(const LogFrame& frame) final {
        char line[kMaxLine];
        m_archive.putBytes(line, static_cast<std::size_t>(format(line, frame)));
    }
    bool commit() final;
    [[nodiscard]] const std::string& error() const final { return m_archive.error(); }
    [[nodiscard]] bool ok() const final { return m_archive.ok(); }

protected:
    virtual int format(char* out, const LogFrame& frame) = 0;
    virtual void finish() {}
    void put(std::string_view text) { m_archive.putBytes(text.data(), text.size()); }

    std::string m_interface;

private:
    CArchiveWriter m_archive;
};

class CandumpWriter final : public LineLogWriter {
public:
    using LineLogWriter::LineLogWriter;

protected:
    int format(char* out, const LogFrame& frame) override;
};

class AscWriter final : public LineLogWriter {
public:
    // `when` and `millis` date the header; the channel follows the interface name ("canN" is
    // channel N+1).
    AscWriter(const std::string& path, std::string interfaceName, std::time_t when, int millis = 0);

protected:
    int format(char* out, const LogFrame& frame) override;
    void finish() override;

private:
    unsigned m_channel;
};

// A writer of the format; `when` dates the ASC header and the BLF measurement's start.
[[nodiscard]] std::unique_ptr<LogWriter> makeLogWriter(LogFormat format, const std::string& path,
                                                       const std::string& interfaceName,
                                                       std::time_t when, int millis = 0);

// One line of each format with its line end, in `out` (kMaxLine bytes); returns its length.
int formatCandumpLine(char* out, const LogFrame& frame, std::string_view interfaceName);
int formatAscLine(char* out, const LogFrame& frame, unsigned channel);
// The ASC header dated `when` and `millis` (local time), and the channel an interface name stands
// for.
[[nodiscard]] std::string ascHeader(std::time_t when, int millis = 0);
[[nodiscard]] unsigned ascChannel(std::string_view interfaceName);
// An interface name a candump log can carry: 1 to 15 characters of letters, digits, '_', '-', '.'.
[[nodiscard]] bool validInterfaceName(std::string_view name);
