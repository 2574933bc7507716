#include "interop/PcapReader.h"
#include "interop/PcapWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

using namespace std::string_literals;

namespace {

std::string le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string pcapHeader(std::uint32_t link = 227) {
    return le(0xA1B2C3D4, 4) + le(2, 2) + le(4, 2) + le(0, 8) + le(65535, 4) + le(link, 4);
}

// A record of a packet, its length on the wire `wire` (the packet's own when 0).
std::string record(std::uint32_t seconds, std::uint32_t micros, const std::string& packet,
                   std::uint32_t wire = 0) {
    const std::uint32_t n = static_cast<std::uint32_t>(packet.size());
    return le(seconds, 4) + le(micros, 4) + le(n, 4) + le(wire != 0 ? wire : n, 4) + packet;
}

// A SocketCAN packet: identifier with flags, length, FD flags, two reserved bytes, data.
std::string packet(std::uint32_t id, std::uint8_t length, const std::string& data,
                   std::uint8_t fdFlags = 0, std::size_t pad = 8) {
    std::string p =
        be32(id) + static_cast<char>(length) + static_cast<char>(fdFlags) + "\0\0"s + data;
    if (p.size() < 8 + pad) p += std::string(8 + pad - p.size(), '\0');
    return p;
}

struct Read {
    std::vector<LogFrame> frames;
    LogReadResult result;
    std::uint64_t clockZero = 0;
};

Read readPcap(const std::string& bytes) {
    PcapReader reader;
    reader.openMemory(bytes);
    Read r;
    LogFrame f;
    while (reader.next(f)) r.frames.push_back(f);
    r.result = reader.result();
    r.clockZero = reader.clockZeroUs();
    return r;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class PcapFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/interop-pcap-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_dir = templ;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(m_dir + "/" + name, std::ios::binary) << bytes;
        return m_dir + "/" + name;
    }
    std::string m_dir;
};

}  // namespace

TEST(PcapReader, FramesOfEveryFormAndTheRestCounted) {
    const std::string capture =
        pcapHeader() + record(1'700'000'000, 250'000, packet(0x123, 2, "\x11\x22")) +
        record(1'700'000'001, 0, packet(0x80000000u | 0x1ABCDEF, 8, "12345678")) +
        record(1'700'000'001, 5, packet(0x40000000u | 0x7FF, 3, "")) +           // remote, length 3
        record(1'700'000'002, 0, packet(0x20000000u | 0x4, 8, "")) +             // an error frame
        record(1'700'000'002, 1, packet(0x100, 12, "0123456789AB", 0x04, 64)) +  // FD
        record(1'700'000'002, 2, packet(0x100, 8, "01234567", 0, 8), 72) +       // FD before FDF
        record(1'700'000'002, 3, packet(0x100, 12, "0123456789AB")) +  // FD without a flag
        record(1'700'000'002, 4, packet(0x100, 0x80, "")) +            // CAN XL
        record(1'700'000'003, 0, "\x01\x02\x03"s) +
        record(1'700'000'003, 1, packet(0x100, 65, "")) +
        record(1'700'000'003, 2, packet(0x800, 0, "")) +
        record(1'700'000'003, 3, packet(0x100, 4, "12", 0, 2)) +  // snapped short
        record(1'700'000'004, 0, packet(0x001, 0, "", 0, 0));     // only the header: fine
    const Read r = readPcap(capture);
    ASSERT_TRUE(r.result.ok) << r.result.error;
    ASSERT_EQ(r.frames.size(), 4u);
    EXPECT_EQ(r.clockZero, 1'700'000'000'250'000u);  // a wall clock's first frame
    EXPECT_EQ(r.frames[0].timeUs, 1'700'000'000'250'000u);
    EXPECT_EQ(r.frames[0].identifier, 0x123u);
    EXPECT_EQ(r.frames[0].length, 2);
    EXPECT_EQ(r.frames[0].data[1], 0x22);
    EXPECT_TRUE(r.frames[1].extended);
    EXPECT_EQ(r.frames[1].identifier, 0x1ABCDEFu);
    EXPECT_EQ(r.frames[1].data[7], '8');
    EXPECT_TRUE(r.frames[2].remote);
    EXPECT_EQ(r.frames[2].length, 3);
    EXPECT_EQ(r.frames[2].identifier, 0x7FFu);
    EXPECT_EQ(r.frames[3].identifier, 0x001u);
    EXPECT_EQ(r.result.lines, 13u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kErrorFrame)], 1u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kFdFrame)], 3u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kOtherEvent)], 1u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kMalformed)], 4u);
    ASSERT_EQ(r.result.warnings.size(), 9u);
    EXPECT_EQ(r.result.warnings[5].line, 9u);
    EXPECT_EQ(r.result.warnings[5].detail, "the packet is shorter than a frame's header");
    EXPECT_EQ(r.result.warnings[6].detail, "the length is more than 64");
    EXPECT_EQ(r.result.warnings[7].detail, "the identifier is out of range");
    EXPECT_EQ(r.result.warnings[8].detail, "fewer data bytes than the length says");

    // A capture on its own clock keeps its zero; one cut short keeps what came before.
    const std::string own =
        pcapHeader() + record(5, 0, packet(0x1, 0, "")) + record(6, 0, packet(0x2, 1, "\x01"));
    const Read cut = readPcap(own.substr(0, own.size() - 3));
    ASSERT_EQ(cut.frames.size(), 1u);
    EXPECT_EQ(cut.clockZero, 0u);
    EXPECT_EQ(cut.frames[0].timeUs, 5'000'000u);
    EXPECT_EQ(cut.result.skipped[static_cast<int>(SkipReason::kCutShort)], 1u);
    EXPECT_EQ(cut.result.summary(),
              "1 record was skipped (1: the record is cut short at the end of the file); the first "
              "is record 2: the record is cut short at the end of the file.");
}

TEST(PcapReader, PcapngThroughLibpcap) {
    // Section header, one SocketCAN interface in microseconds, two enhanced packet blocks.
    const auto block = [](std::uint32_t type, const std::string& body) {
        const std::uint32_t size = 12 + static_cast<std::uint32_t>(body.size());
        return le(type, 4) + le(size, 4) + body + le(size, 4);
    };
    const auto epb = [&](std::uint64_t us, const std::string& p) {
        std::string body = le(0, 4) + le(us >> 32, 4) + le(us & 0xFFFFFFFF, 4) + le(p.size(), 4) +
                           le(p.size(), 4) + p;
        body += std::string((4 - p.size() % 4) % 4, '\0');
        return block(6, body);
    };
    const std::string file =
        block(0x0A0D0D0A, le(0x1A2B3C4D, 4) + le(1, 2) + le(0, 2) + le(~0ull, 8)) +
        block(1, le(227, 2) + le(0, 2) + le(0, 4)) +
        epb(1'700'000'000'000'001, packet(0x321, 1, "\x7F")) +
        epb(1'700'000'000'500'000, packet(0x80000000u | 0x42, 0, ""));
    const Read r = readPcap(file);
    ASSERT_TRUE(r.result.ok) << r.result.error;
    ASSERT_EQ(r.frames.size(), 2u);
    EXPECT_EQ(r.frames[0].timeUs, 1'700'000'000'000'001u);
    EXPECT_EQ(r.frames[0].data[0], 0x7F);
    EXPECT_EQ(r.frames[1].identifier, 0x42u);
    EXPECT_TRUE(r.frames[1].extended);
}

TEST_F(PcapFiles, OnlySocketCanCapturesOpen) {
    PcapReader ethernet;
    EXPECT_FALSE(ethernet.openFile(write("eth.pcap", pcapHeader(1))));
    EXPECT_EQ(ethernet.result().error,
              "the capture's link type is 1 (EN10MB), not SocketCAN (227)");
    PcapReader text;
    EXPECT_FALSE(text.openFile(write("text.pcap", "(1.0) can0 123#11\n")));
    EXPECT_EQ(text.result().error.rfind("not a pcap or pcapng capture: ", 0), 0u)
        << text.result().error;
    PcapReader fifo;
    EXPECT_FALSE(fifo.openFile("/dev/zero"));
    EXPECT_EQ(fifo.result().error, "not a regular file");
    PcapReader empty;
    ASSERT_TRUE(empty.openFile(write("empty.pcap", "")));
    LogFrame f;
    EXPECT_FALSE(empty.next(f));
    EXPECT_TRUE(empty.result().ok);
}

TEST(PcapWriter, AFrameAsLinuxCapturesIt) {
    LogFrame f;
    f.identifier = 0x1ABCDEF;
    f.extended = true;
    f.length = 2;
    f.data[0] = 0xAB;
    f.data[1] = 0xCD;
    f.data[2] = 0xEF;  // beyond the length
    unsigned char out[PcapWriter::kPacketSize];
    PcapWriter::formatPacket(out, f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out),
              "\x81\xAB\xCD\xEF\x02\0\0\0\xAB\xCD\0\0\0\0\0\0"s);
    f.extended = false;
    f.remote = true;
    f.identifier = 0x7FF;
    PcapWriter::formatPacket(out, f);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out),
              "\x40\0\x07\xFF\x02\0\0\0\0\0\0\0\0\0\0\0"s);
}

TEST_F(PcapFiles, CapturesAreWrittenAsPcapOnly) {
    LogFrame f;
    f.timeUs = 4'000'000'123;
    f.identifier = 0x7F;
    const std::string path = m_dir + "/a.pcap";
    auto writer = makeLogWriter(LogFormat::kPcap, path, "can0", 0);
    writer->write(f);
    ASSERT_TRUE(writer->commit()) << writer->error();
    // The file header (microseconds, SocketCAN), then the record: seconds, micros, lengths.
    const std::string file = slurp(path);
    ASSERT_EQ(file.size(), 24u + 32);
    EXPECT_EQ(file.substr(0, 8), "\xD4\xC3\xB2\xA1\x02\0\x04\0"s);
    EXPECT_EQ(file.substr(20, 4), "\xE3\0\0\0"s);
    EXPECT_EQ(file.substr(24, 16), le(4000, 4) + le(123, 4) + le(16, 4) + le(16, 4));
    const Read back = readPcap(file);
    ASSERT_EQ(back.frames.size(), 1u);
    EXPECT_EQ(back.frames[0].timeUs, f.timeUs);

    // libpcap writes pcap only: a pcapng name is refused, and what was there stays.
    const std::string ng = write("keep.pcapng", "old");
    PcapWriter refused(ng);
    refused.write(f);
    EXPECT_FALSE(refused.commit());
    EXPECT_EQ(refused.error(), "pcapng captures are read but not written; name the file .pcap");
    EXPECT_EQ(slurp(ng), "old");
    PcapWriter nowhere(m_dir + "/missing/x.pcap");
    EXPECT_FALSE(nowhere.commit());
    EXPECT_FALSE(nowhere.error().empty());
}
