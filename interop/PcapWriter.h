#pragma once

// Writer of pcap captures of SocketCAN frames (link type 227), through libpcap: each frame a
// 16-byte packet as Linux captures it, its time the frame's. libpcap writes no pcapng, so a
// ".pcapng" target is refused rather than given a pcap under that name. Like the text logs, the
// file is written beside its target and takes its place only when all of it is written.
//
// Thread: one thread per writer.

#include "framework/ReplacedFile.h"
#include "interop/LogWriter.h"

struct pcap;
struct pcap_dumper;

class PcapWriter final : public LogWriter {
public:
    static constexpr std::uint32_t kPacketSize = 16;

    explicit PcapWriter(const std::string& path);
    ~PcapWriter() override;

    void write(const LogFrame& frame) override;
    bool commit() override;
    [[nodiscard]] const std::string& error() const override { return m_error; }
    [[nodiscard]] bool ok() const override { return m_error.empty(); }

    // The packet of one frame, in `out` (kPacketSize bytes).
    static void formatPacket(unsigned char* out, const LogFrame& frame);

private:
    void fail(const std::string& what);

    ReplacedFile m_file;
    pcap* m_pcap = nullptr;
    pcap_dumper* m_dumper = nullptr;
    std::string m_error;
};
