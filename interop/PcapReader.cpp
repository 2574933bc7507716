#include "interop/PcapReader.h"

#include <cerrno>
#include <cstring>

#include <pcap/pcap.h>
#include <unistd.h>

#include "interop/ByteSource.h"

namespace {

constexpr std::uint32_t kExtendedFlag = 0x80000000u;
constexpr std::uint32_t kRemoteFlag = 0x40000000u;
constexpr std::uint32_t kErrorFlag = 0x20000000u;
constexpr std::uint8_t kFdFlag = 0x04;   // CANFD_FDF, in the byte after the length
constexpr std::uint8_t kXlFlag = 0x80;   // CANXL_XLF, where the others have their length
constexpr std::uint32_t kFdPacket = 72;  // a CAN FD frame's size, from before the FDF flag
constexpr std::uint32_t kHeader = 8;     // identifier, length, flags, reserved

}  // namespace

PcapReader::PcapReader() {
    m_result.records = true;
}

PcapReader::~PcapReader() {
    if (m_pcap != nullptr) ::pcap_close(m_pcap);  // closes the file too
}

void PcapReader::fail(const std::string& why) {
    if (m_result.ok) m_result.error = why;
    m_result.ok = false;
    m_done = true;
}

bool PcapReader::openFile(const std::string& path) {
    std::string error;
    const int fd = ByteSource::openRegular(path, error, m_size);
    if (fd < 0) {
        fail(error);
        return false;
    }
    if (m_size == 0) {
        ::close(fd);
        m_done = true;  // an empty file: no frame, as with an empty text log
        return true;
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        fail(std::strerror(errno));
        ::close(fd);
        return false;
    }
    return open(file);
}

void PcapReader::openMemory(std::string_view bytes) {
    m_size = bytes.size();
    if (bytes.empty()) {
        m_done = true;
        return;
    }
    std::FILE* file = ::fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
    if (file == nullptr) {
        fail(std::strerror(errno));
        return;
    }
    (void)open(file);
}

bool PcapReader::open(std::FILE* file) {
    char error[PCAP_ERRBUF_SIZE] = {};
    m_pcap = ::pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, error);
    if (m_pcap == nullptr) {
        std::fclose(file);
        fail(std::string("not a pcap or pcapng capture: ") + error);
        return false;
    }
    const int link = ::pcap_datalink(m_pcap);
    if (link != kLinkType) {
        const char* name = ::pcap_datalink_val_to_name(link);
        fail("the capture's link type is " + std::to_string(link) +
             (name != nullptr ? std::string(" (") + name + ")" : std::string()) +
             ", not SocketCAN (227)");
        return false;
    }
    return true;
}

std::uint64_t PcapReader::bytesConsumed() const {
    if (m_pcap == nullptr) return m_done ? m_size : 0;
    const long at = std::ftell(::pcap_file(m_pcap));
    return at > 0 ? static_cast<std::uint64_t>(at) : 0;
}

PcapReader::Packet PcapReader::parsePacket(const unsigned char* d, std::uint32_t captured,
                                           std::uint32_t length, LogFrame& f, const char*& detail) {
    if (captured < kHeader) {
        detail = "the packet is shorter than a frame's header";
        return Packet::kMalformed;
    }
    const std::uint32_t id =
        std::uint32_t{d[0]} << 24 | std::uint32_t{d[1]} << 16 | std::uint32_t{d[2]} << 8 | d[3];
    if ((d[4] & kXlFlag) != 0) return Packet::kXl;
    if ((id & kErrorFlag) != 0) return Packet::kError;
    if ((d[5] & kFdFlag) != 0 || length == kFdPacket) return Packet::kFd;
    if (d[4] > 64) {
        detail = "the length is more than 64";
        return Packet::kMalformed;
    }
    // More than eight bytes: an FD frame written without its flag (as some converters do).
    if (d[4] > 8) return Packet::kFd;
    f.extended = (id & kExtendedFlag) != 0;
    f.remote = (id & kRemoteFlag) != 0;
    f.identifier = id & 0x1FFFFFFFu;
    f.length = d[4];
    if (!f.extended && f.identifier > 0x7FFu) {
        detail = "the identifier is out of range";
        return Packet::kMalformed;
    }
    if (!f.remote) {
        if (captured < kHeader + f.length) {
            detail = "fewer data bytes than the length says";
            return Packet::kMalformed;
        }
        std::memcpy(f.data, d + kHeader, f.length);
    }
    return Packet::kFrame;
}

bool PcapReader::next(LogFrame& frame) {
    while (!m_done) {
        pcap_pkthdr* header = nullptr;
        const u_char* data = nullptr;
        const int status = ::pcap_next_ex(m_pcap, &header, &data);
        if (status != 1) {
            m_done = true;
            if (status == PCAP_ERROR_BREAK) return false;  // the end
            const std::string why = ::pcap_geterr(m_pcap);
            if (why.find("error reading") != std::string::npos) {
                fail(why);
                return false;
            }
            // Damage: libpcap cannot go on after it. What came before stands.
            ++m_record;
            m_result.lines = m_record;
            if (why.find("truncated") != std::string::npos) {
                m_result.skip(m_record, SkipReason::kCutShort, "");
            } else {
                m_result.skip(m_record, SkipReason::kMalformed, why);
            }
            return false;
        }
        ++m_record;
        m_result.lines = m_record;
        frame = LogFrame{};
        const char* detail = "";
        Packet packet = parsePacket(data, header->caplen, header->len, frame, detail);
        const auto seconds = header->ts.tv_sec;
        const auto micros = header->ts.tv_usec;
        if (packet == Packet::kFrame &&
            (seconds < 0 || micros < 0 || micros >= 1'000'000 ||
             static_cast<std::uint64_t>(seconds) > logparse::kMaxTimeUs / 1'000'000)) {
            packet = Packet::kMalformed;
            detail = "the time is out of range";
        }
        switch (packet) {
            case Packet::kFrame:
                frame.timeUs = static_cast<std::uint64_t>(seconds) * 1'000'000 +
                               static_cast<std::uint64_t>(micros);
                if (!m_seenFrame) {
                    m_seenFrame = true;
                    m_clockZeroUs =
                        frame.timeUs >= CandumpReader::kWallClockFromUs ? frame.timeUs : 0;
                    if (m_clockZeroUs != 0) {
                        m_timeOfDayAtZeroUs = static_cast<std::int64_t>(m_clockZeroUs);
                    }
                }
                ++m_result.frames;
                return true;
            case Packet::kError:
                m_result.skip(m_record, SkipReason::kErrorFrame, "");
                break;
            case Packet::kFd:
                m_result.skip(m_record, SkipReason::kFdFrame, "");
                break;
            case Packet::kXl:
                m_result.skip(m_record, SkipReason::kOtherEvent, "a CAN XL frame");
                break;
            case Packet::kMalformed:
                m_result.skip(m_record, SkipReason::kMalformed, detail);
                break;
        }
    }
    return false;
}
