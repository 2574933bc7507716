#include "interop/BlfFormat.h"
#include "interop/BlfReader.h"
#include "interop/BlfWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

using namespace std::string_literals;

namespace {

std::string le(std::uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i));
    return s;
}

// An object: its base header, a version 1 or 2 header with the time, the body and the padding.
std::string object(std::uint32_t type, const std::string& body, std::uint64_t stamp = 0,
                   std::uint32_t timeFlags = blf::kTimeOneNanos, int version = 1) {
    const std::uint32_t header = version == 1 ? blf::kHeaderV1Size : blf::kHeaderV2Size;
    const std::uint32_t size = header + static_cast<std::uint32_t>(body.size());
    std::string o = "LOBJ" + le(header, 2) + le(version, 2) + le(size, 4) + le(type, 4);
    o += le(timeFlags, 4) + le(0, 4) + le(stamp, 8);
    if (version == 2) o += le(0, 8);
    return o + body + std::string(size % 4, '\0');
}

std::string canMessage(std::uint32_t id, std::uint8_t flags, std::uint8_t dlc,
                       const std::string& data, std::uint64_t stamp, int version = 1,
                       std::uint32_t type = blf::kCanMessage,
                       std::uint32_t timeFlags = blf::kTimeOneNanos) {
    std::string body = le(1, 2) + static_cast<char>(flags) + static_cast<char>(dlc) + le(id, 4) +
                       data + std::string(8 - data.size(), '\0');
    if (type == blf::kCanMessage2) body += le(111, 4) + le(0, 4);  // frame length, bit count
    return object(type, body, stamp, timeFlags, version);
}

std::string fileHeader() {
    return "LOGG" + le(blf::kFileHeaderSize, 4) + std::string(blf::kFileHeaderSize - 8, '\0');
}

std::string deflated(const std::string& bytes) {
    uLongf size = compressBound(bytes.size());
    std::string out(size, '\0');
    EXPECT_EQ(compress(reinterpret_cast<Bytef*>(out.data()), &size,
                       reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()),
              Z_OK);
    out.resize(size);
    return out;
}

// A log container of `inner`, deflated or stored, saying it holds `declared` bytes.
std::string container(const std::string& inner, bool deflate, std::int64_t declared = -1) {
    const std::string data = deflate ? deflated(inner) : inner;
    const std::uint32_t size = blf::kContainerHeaderSize + static_cast<std::uint32_t>(data.size());
    return "LOBJ" + le(16, 2) + le(1, 2) + le(size, 4) + le(blf::kLogContainer, 4) +
           le(deflate ? 2 : 0, 2) + le(0, 6) +
           le(declared < 0 ? inner.size() : static_cast<std::uint64_t>(declared), 4) + le(0, 4) +
           data + std::string(size % 4, '\0');
}

struct Read {
    std::vector<LogFrame> frames;
    LogReadResult result;
};

Read readBlf(const std::string& bytes) {
    BlfReader reader;
    reader.openMemory(bytes);
    Read r;
    LogFrame f;
    while (reader.next(f)) r.frames.push_back(f);
    r.result = reader.result();
    return r;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class BlfFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char templ[] = "/tmp/interop-blf-XXXXXX";
        ASSERT_NE(::mkdtemp(templ), nullptr);
        m_dir = templ;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string m_dir;
};

}  // namespace

TEST(BlfReader, CanMessagesOfBothTypesAcrossContainersAndTheRestCounted) {
    const std::string messages =
        canMessage(0x123, 0, 2, "\x11\x22", 1'234'567'499) +  // ns, rounded to the µs
        canMessage(0x80000000u | 0x1ABCDEF, blf::kRemoteFrame, 4, "", 150, 1, blf::kCanMessage,
                   blf::kTimeTenMicros) +
        object(blf::kCanErrorExt, std::string(32, '\x01'), 2'000'000) +
        object(blf::kCanFdMessage64, std::string(40, '\x02'), 2'000'000) +
        object(65, "an application's text"s) +  // not a CAN object
        canMessage(0x7FF, 0x01, 12, "\x01\x02\x03\x04\x05\x06\x07\x08", 3'000'000'500, 2,
                   blf::kCanMessage2);
    // The last message begins in the stored container and ends in the deflated one.
    const std::size_t split = messages.size() - 20;
    const Read r = readBlf(fileHeader() + container(messages.substr(0, split), false) +
                           container(messages.substr(split), true));
    ASSERT_TRUE(r.result.ok) << r.result.error;
    ASSERT_EQ(r.frames.size(), 3u);
    EXPECT_EQ(r.frames[0].timeUs, 1'234'567u);
    EXPECT_EQ(r.frames[0].identifier, 0x123u);
    EXPECT_FALSE(r.frames[0].extended);
    EXPECT_EQ(r.frames[0].length, 2);
    EXPECT_EQ(r.frames[0].data[1], 0x22);
    EXPECT_EQ(r.frames[1].timeUs, 1500u);
    EXPECT_EQ(r.frames[1].identifier, 0x1ABCDEFu);
    EXPECT_TRUE(r.frames[1].extended);
    EXPECT_TRUE(r.frames[1].remote);
    EXPECT_EQ(r.frames[1].length, 4);
    // A length code above 8 carries eight bytes; the direction flag changes nothing.
    EXPECT_EQ(r.frames[2].timeUs, 3'000'001u);
    EXPECT_EQ(r.frames[2].length, 8);
    EXPECT_EQ(r.frames[2].data[7], 0x08);
    EXPECT_EQ(r.result.lines, 6u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kErrorFrame)], 1u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kFdFrame)], 1u);
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kOtherEvent)], 1u);
    ASSERT_EQ(r.result.warnings.size(), 3u);
    EXPECT_EQ(r.result.warnings[0].line, 3u);
    EXPECT_EQ(r.result.summary(),
              "3 records were skipped (1: an error frame, 1: a CAN FD frame, 1: not a CAN frame); "
              "the first is record 3: an error frame.");
    // Objects outside any container are read too.
    const Read loose = readBlf(fileHeader() + canMessage(0x42, 0, 0, "", 7000));
    ASSERT_EQ(loose.frames.size(), 1u);
    EXPECT_EQ(loose.frames[0].identifier, 0x42u);
    EXPECT_EQ(loose.frames[0].timeUs, 7u);
}

TEST(BlfReader, DamageIsCountedOnceAndReadingGoesOnAtTheNextObject) {
    const std::string a = canMessage(0x101, 0, 1, "\xAA", 1000);
    const std::string b = canMessage(0x102, 0, 1, "\xBB", 2000);
    const std::string c = canMessage(0x103, 0, 1, "\xCC", 3000);
    std::string broken = container(b + b + b, true);
    broken[broken.size() / 2] ^= 0x5A;
    broken[broken.size() / 2 + 1] ^= 0x5A;
    const Read r = readBlf(fileHeader() + container(a, true) + broken + "junk" +
                           container("garbage" + c, false) + container(a, true, 10));
    ASSERT_TRUE(r.result.ok);
    ASSERT_GE(r.frames.size(), 2u);
    EXPECT_EQ(r.frames.front().identifier, 0x101u);
    // Whatever of the damaged container came before the damage may stand, but nothing else of it.
    for (std::size_t i = 1; i + 1 < r.frames.size(); ++i) EXPECT_EQ(r.frames[i].identifier, 0x102u);
    EXPECT_EQ(r.frames.back().identifier, 0x103u);
    // The damage, the bytes between containers, those in a container before its object, and a
    // container that inflates to more than it says.
    EXPECT_EQ(r.result.skipped[static_cast<int>(SkipReason::kMalformed)], 4u) << r.result.summary();
    EXPECT_EQ(r.result.skippedLines(), 4u);
}

TEST(BlfReader, AFileCutShortKeepsWhatCameBefore) {
    const std::string whole =
        fileHeader() +
        container(canMessage(0x1, 0, 0, "", 1) + canMessage(0x2, 0, 0, "", 2), false);
    const Read cut = readBlf(whole.substr(0, whole.size() - 10));
    ASSERT_TRUE(cut.result.ok);
    ASSERT_EQ(cut.frames.size(), 1u);
    EXPECT_EQ(cut.result.skipped[static_cast<int>(SkipReason::kCutShort)], 1u);
    EXPECT_EQ(cut.result.skippedLines(), 1u);
    EXPECT_EQ(readBlf(fileHeader().substr(0, 100)).result.skippedLines(), 1u);
    // Objects whose sizes cannot be are passed over, and those too large for any CAN object.
    std::string sizes = canMessage(0x3, 0, 0, "", 3);
    sizes.replace(8, 4, le(8, 4));
    std::string huge = canMessage(0x4, 0, 0, "", 4);
    huge.replace(8, 4, le(BlfReader::kMaxObject + 1, 4));
    const Read odd =
        readBlf(fileHeader() + container(sizes + huge + canMessage(0x5, 0, 0, "", 5), false));
    ASSERT_EQ(odd.frames.size(), 1u);
    EXPECT_EQ(odd.frames[0].identifier, 0x5u);
    EXPECT_EQ(odd.result.skipped[static_cast<int>(SkipReason::kMalformed)], 1u);
    EXPECT_EQ(odd.result.skipped[static_cast<int>(SkipReason::kTooLong)], 1u);
}

TEST(BlfReader, AContainerThatInflatesFarBeyondItsSizeTakesNoMemory) {
    // 256 MB of one message over and over deflate to a few hundred kilobytes.
    std::string inner;
    const std::string m = canMessage(0x7E, 0, 8, "12345678", 1);
    while (inner.size() < (std::size_t{1} << 20)) inner += m;
    z_stream z{};
    ASSERT_EQ(deflateInit(&z, Z_BEST_COMPRESSION), Z_OK);
    std::string packed(1 << 20, '\0');
    std::size_t packedSize = 0;
    for (int i = 0; i < 256; ++i) {
        z.next_in = reinterpret_cast<Bytef*>(inner.data());
        z.avail_in = static_cast<uInt>(inner.size());
        do {
            if (packed.size() - packedSize < 65536) packed.resize(packed.size() * 2);
            z.next_out = reinterpret_cast<Bytef*>(packed.data() + packedSize);
            z.avail_out = static_cast<uInt>(packed.size() - packedSize);
            deflate(&z, i == 255 ? Z_FINISH : Z_NO_FLUSH);
            packedSize = packed.size() - z.avail_out;
        } while (z.avail_in > 0 || (i == 255 && z.avail_out == 0));
    }
    deflateEnd(&z);
    packed.resize(packedSize);
    const auto containerOf = [&](std::uint32_t declared) {
        const std::uint32_t size =
            blf::kContainerHeaderSize + static_cast<std::uint32_t>(packedSize);
        return "LOBJ" + le(16, 2) + le(1, 2) + le(size, 4) + le(blf::kLogContainer, 4) + le(2, 2) +
               le(0, 6) + le(declared, 4) + le(0, 4) + packed + std::string(size % 4, '\0');
    };
    rusage before{};
    ::getrusage(RUSAGE_SELF, &before);
    // Saying it all: every message is read, through a buffer of fixed size.
    const std::string honest = fileHeader() + containerOf(0xFFFFFFFFu);
    BlfReader reader;
    reader.openMemory(honest);
    LogFrame f;
    std::uint64_t n = 0;
    while (reader.next(f)) ++n;
    EXPECT_EQ(n, (std::uint64_t{256} * inner.size()) / m.size());
    // Saying less: cut where it said, and counted.
    const Read lying =
        readBlf(fileHeader() + containerOf(static_cast<std::uint32_t>(m.size() * 3)));
    EXPECT_EQ(lying.frames.size(), 3u);
    EXPECT_EQ(lying.result.skipped[static_cast<int>(SkipReason::kMalformed)], 1u);
    EXPECT_EQ(lying.result.warnings.at(0).detail, "a container inflates to more than it says");
    rusage after{};
    ::getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "kilobytes";
}

TEST_F(BlfFiles, OnlyBlfFilesOpenAndAnEmptyOneHoldsNothing) {
    const std::string text = m_dir + "/text.blf";
    std::ofstream(text) << "(1.0) can0 123#11\n";
    BlfReader notBlf;
    EXPECT_FALSE(notBlf.openFile(text));
    EXPECT_EQ(notBlf.result().error, "not a BLF log: it does not begin with \"LOGG\"");
    BlfReader none;
    EXPECT_FALSE(none.openFile(m_dir + "/none.blf"));
    const std::string empty = m_dir + "/empty.blf";
    std::ofstream(empty).close();
    BlfReader nothing;
    ASSERT_TRUE(nothing.openFile(empty));
    LogFrame f;
    EXPECT_FALSE(nothing.next(f));
    EXPECT_TRUE(nothing.result().ok);
    EXPECT_EQ(nothing.result().frames, 0u);
}

TEST(BlfWriter, AFrameAsACanMessageObject) {
    LogFrame f;
    f.timeUs = 1'500'002;
    f.identifier = 0x1ABCDEF;
    f.extended = true;
    f.length = 3;
    f.data[0] = 0xDE;
    f.data[1] = 0xAD;
    f.data[2] = 0xBE;
    f.data[3] = 0xEF;  // beyond the length: not written
    unsigned char out[BlfWriter::kObjectSize];
    BlfWriter::formatObject(out, f, 2);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), sizeof out),
              "LOBJ"s + "\x20\0\x01\0\x30\0\0\0\x01\0\0\0"s +  // sizes, version, CAN_MESSAGE
                  "\x02\0\0\0\0\0\0\0"s +                      // nanoseconds
                  "\xD0\x36\x68\x59\0\0\0\0"s +                // 1500002000 ns
                  "\x02\0\0\x03\xEF\xCD\xAB\x81\xDE\xAD\xBE\0\0\0\0\0"s);
    f.remote = true;
    f.extended = false;
    f.identifier = 0x7FF;
    BlfWriter::formatObject(out, f, 1);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out) + 32, 16),
              "\x01\0\x80\x03\xFF\x07\0\0\0\0\0\0\0\0\0\0"s);
}

TEST_F(BlfFiles, TheHeaderCountsWhatWasWrittenAndDatesIt) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    // Frames enough for several containers (each frame's way back is checked by the
    // conversions' round trip).
    constexpr std::uint64_t kFrames = 10'000;
    const std::string path = m_dir + "/a.blf";
    auto writer = makeLogWriter(LogFormat::kBlf, path, "can1", 1'700'000'000);
    LogFrame f;
    for (std::uint64_t i = 0; i < kFrames; ++i) {
        f.timeUs = i * 1237;
        f.identifier = static_cast<std::uint32_t>(i & 0x7FF);
        writer->write(f);
    }
    const std::uint64_t t = f.timeUs;
    ASSERT_TRUE(writer->commit()) << writer->error();
    const Read back = readBlf(slurp(path));
    ASSERT_EQ(back.frames.size(), kFrames);
    EXPECT_EQ(back.frames.back().timeUs, t);
    EXPECT_EQ(back.result.skippedLines(), 0u);

    const std::string file = slurp(path);
    const auto* h = reinterpret_cast<const unsigned char*>(file.data());
    ASSERT_GT(file.size(), blf::kFileHeaderSize);
    EXPECT_EQ(file.substr(0, 4), "LOGG");
    EXPECT_EQ(blf::load32(h + 4), blf::kFileHeaderSize);
    EXPECT_EQ(blf::load64(h + 16), file.size());
    EXPECT_EQ(blf::load32(h + 32), kFrames);
    const std::uint64_t containers = (kFrames + 2729) / 2730;  // 2730 objects in 128 KiB
    EXPECT_EQ(blf::load64(h + 24), blf::kFileHeaderSize + containers * blf::kContainerHeaderSize +
                                       kFrames * BlfWriter::kObjectSize);
    // Start 2023-11-14 22:13:20.000 (a Tuesday), stop as much later as the last frame.
    const std::uint16_t start[8] = {2023, 11, 2, 14, 22, 13, 20, 0};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(blf::load16(h + 40 + 2 * k), start[k]) << k;
    const std::time_t stop = 1'700'000'000 + static_cast<std::time_t>(t / 1'000'000);
    std::tm s{};
    gmtime_r(&stop, &s);
    EXPECT_EQ(blf::load16(h + 56 + 10), s.tm_min);
    EXPECT_EQ(blf::load16(h + 56 + 12), s.tm_sec);
    EXPECT_EQ(blf::load16(h + 56 + 14), t % 1'000'000 / 1000);
}
