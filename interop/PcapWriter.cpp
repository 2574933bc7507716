#include "interop/PcapWriter.h"

#include "interop/PcapReader.h"

#include <cerrno>
#include <cstring>

#include <pcap/pcap.h>
#include <strings.h>

PcapWriter::PcapWriter(const std::string& path) : m_file(path) {
    if (path.size() >= 7 && strcasecmp(path.c_str() + path.size() - 7, ".pcapng") == 0) {
        fail("pcapng captures are read but not written; name the file .pcap");
        return;
    }
    if (m_file.fd() < 0) {
        fail(m_file.error());
        return;
    }
    std::FILE* file = m_file.openStream();
    if (file == nullptr) {
        fail("cannot write " + m_file.temporaryPath());
        return;
    }
    std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 20);
    m_pcap = ::pcap_open_dead_with_tstamp_precision(PcapReader::kLinkType, 65535,
                                                    PCAP_TSTAMP_PRECISION_MICRO);
    m_dumper = m_pcap != nullptr ? ::pcap_dump_fopen(m_pcap, file) : nullptr;
    if (m_dumper == nullptr) {
        fail(m_pcap != nullptr ? ::pcap_geterr(m_pcap) : "out of memory");
        std::fclose(file);
    }
}

PcapWriter::~PcapWriter() {
    if (m_dumper != nullptr) ::pcap_dump_close(m_dumper);
    if (m_pcap != nullptr) ::pcap_close(m_pcap);
}

void PcapWriter::fail(const std::string& what) {
    if (m_error.empty()) m_error = what.empty() ? "writing failed" : what;
}

void PcapWriter::formatPacket(unsigned char* out, const LogFrame& f) {
    std::memset(out, 0, kPacketSize);
    std::uint32_t id =
        f.extended ? (f.identifier & 0x1FFFFFFFu) | 0x80000000u : f.identifier & 0x7FFu;
    if (f.remote) id |= 0x40000000u;
    out[0] = static_cast<unsigned char>(id >> 24);
    out[1] = static_cast<unsigned char>(id >> 16);
    out[2] = static_cast<unsigned char>(id >> 8);
    out[3] = static_cast<unsigned char>(id);
    const std::uint8_t length = f.length > 8 ? 8 : f.length;
    out[4] = length;
    if (!f.remote) std::memcpy(out + 8, f.data, length);
}

void PcapWriter::write(const LogFrame& frame) {
    if (m_dumper == nullptr) return;
    pcap_pkthdr header{};
    header.ts.tv_sec = static_cast<time_t>(frame.timeUs / 1'000'000);
    header.ts.tv_usec = static_cast<suseconds_t>(frame.timeUs % 1'000'000);
    header.caplen = kPacketSize;
    header.len = kPacketSize;
    unsigned char packet[kPacketSize];
    formatPacket(packet, frame);
    ::pcap_dump(reinterpret_cast<u_char*>(m_dumper), &header, packet);
}

bool PcapWriter::commit() {
    if (m_dumper == nullptr) return false;
    if (::pcap_dump_flush(m_dumper) != 0 || std::ferror(::pcap_dump_file(m_dumper)) != 0) {
        fail(std::string("writing failed: ") + std::strerror(errno));
    }
    ::pcap_dump_close(m_dumper);
    m_dumper = nullptr;
    if (!ok()) return false;
    if (!m_file.commit()) {
        fail(m_file.error());
        return false;
    }
    return true;
}
