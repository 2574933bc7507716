// Feeds arbitrary bytes to a binary log reader (BLF, or pcap and pcapng when built with
// FUZZ_PCAP): it must never crash, read outside the input or take memory the input does not
// justify; every frame it gives must be a valid classic CAN frame that the writer's form of it
// reads back unchanged, and its counts must add up.

#include "interop/BlfReader.h"
#include "interop/BlfWriter.h"
#include "interop/PcapReader.h"
#include "interop/PcapWriter.h"

#include <cstring>
#include <string_view>

namespace {

#ifdef FUZZ_PCAP
constexpr LogFormat kFormat = LogFormat::kPcap;
#else
constexpr LogFormat kFormat = LogFormat::kBlf;
#endif

bool same(const LogFrame& a, const LogFrame& b) {
    return a.timeUs == b.timeUs && a.identifier == b.identifier && a.extended == b.extended &&
           a.remote == b.remote && a.length == b.length &&
           (a.remote || std::memcmp(a.data, b.data, a.length) == 0);
}

bool readsBack(const LogFrame& f) {
    LogFrame g;
    if (kFormat == LogFormat::kPcap) {
        unsigned char packet[PcapWriter::kPacketSize];
        PcapWriter::formatPacket(packet, f);
        const char* detail = "";
        if (PcapReader::parsePacket(packet, sizeof packet, sizeof packet, g, detail) !=
            PcapReader::Packet::kFrame) {
            return false;
        }
        g.timeUs = f.timeUs;
        return same(f, g);
    }
    // The object alone after a file header, outside any container.
    unsigned char file[144 + BlfWriter::kObjectSize] = {'L', 'O', 'G', 'G', 144};
    BlfWriter::formatObject(file + 144, f, 1);
    BlfReader again;
    again.openMemory(std::string_view(reinterpret_cast<const char*>(file), sizeof file));
    return again.next(g) && same(f, g) && !again.next(g);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reader = makeLogReader(kFormat);
    reader->openMemory(std::string_view(reinterpret_cast<const char*>(data), size));
    LogFrame f;
    std::uint64_t frames = 0;
    while (reader->next(f)) {
        ++frames;
        if (f.length > 8 || f.identifier > (f.extended ? 0x1FFFFFFFu : 0x7FFu)) __builtin_trap();
        if (f.timeUs > logparse::kMaxTimeUs || !readsBack(f)) __builtin_trap();
    }
    const LogReadResult& r = reader->result();
    // A file that is no log of the format fails without a frame.
    if (!r.ok && (r.error.empty() || (frames > 0 && kFormat == LogFormat::kBlf))) __builtin_trap();
    if (r.frames != frames || r.frames + r.skippedLines() > r.lines || !r.records ||
        r.warnings.size() > LogReadResult::kWarningsKept) {
        __builtin_trap();
    }
    return 0;
}
