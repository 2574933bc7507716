#pragma once

// Reader of pcap and pcapng captures of SocketCAN frames (link type 227), through libpcap, which
// reads both and bounds what it allocates. A packet holds the identifier with its flags
// (big-endian), the length, flags, and the data. Error frames and CAN FD and XL frames (a length
// above 8 is taken for FD) are counted as skipped records; times are the capture's, taken like a
// candump log's (from the first frame, whose time of day they tell, when they are wall-clock
// times). A capture whose packets stop making sense is read up to there: libpcap cannot find the
// next packet.
//
// Thread: one thread per reader.

#include "interop/LogReader.h"

#include <cstdio>

struct pcap;

class PcapReader final : public LogReader {
public:
    static constexpr int kLinkType = 227;  // LINKTYPE_CAN_SOCKETCAN

    PcapReader();
    ~PcapReader() override;

    // Fails, besides when the file cannot be opened, when it is no capture or one of another
    // link type.
    [[nodiscard]] bool openFile(const std::string& path) override;
    void openMemory(std::string_view bytes) override;
    bool next(LogFrame& frame) override;
    [[nodiscard]] std::uint64_t bytesConsumed() const override;
    [[nodiscard]] std::uint64_t size() const override { return m_size; }

    enum class Packet { kFrame, kError, kFd, kXl, kMalformed };
    // One packet's frame (its time aside); on kMalformed `detail` says why.
    static Packet parsePacket(const unsigned char* data, std::uint32_t captured,
                              std::uint32_t length, LogFrame& frame, const char*& detail);

private:
    bool open(std::FILE* file);  // takes the file
    void fail(const std::string& why);

    pcap* m_pcap = nullptr;
    std::uint64_t m_size = 0;
    std::uint64_t m_record = 0;
    bool m_done = false;
    bool m_seenFrame = false;
};
