#include "interop/BlfWriter.h"

#include "interop/BlfFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <unistd.h>
#include <zlib.h>

namespace {

// The fastest level: exports run to millions of frames, and CAN objects deflate well at it.
constexpr int kLevel = Z_BEST_SPEED;

// A calendar time as the file header keeps it: year, month, weekday, day, hour, minute, second,
// millisecond. All zero when the time is not known.
void storeSystemTime(unsigned char* out, std::time_t when, std::uint32_t millis) {
    std::memset(out, 0, 16);
    if (when <= 0) return;
    std::tm t{};
    if (localtime_r(&when, &t) == nullptr) return;
    const int fields[8] = {t.tm_year + 1900, t.tm_mon + 1, t.tm_wday, t.tm_mday,
                           t.tm_hour,        t.tm_min,     t.tm_sec,  static_cast<int>(millis)};
    for (std::size_t i = 0; i < 8; ++i) {
        blf::store16(out + 2 * i, static_cast<std::uint16_t>(fields[i]));
    }
}

}  // namespace

BlfWriter::BlfWriter(const std::string& path, const std::string& interfaceName, std::time_t when,
                     int millis)
    : m_file(path),
      m_zlib(std::make_unique<z_stream_s>()),
      m_objects(kContainer),
      m_channel(static_cast<std::uint16_t>(std::min(ascChannel(interfaceName), 0xFFFFu))),
      m_when(when),
      m_millis(millis) {
    if (m_file.fd() < 0) {
        fail(m_file.error());
        return;
    }
    if (::deflateInit(m_zlib.get(), kLevel) != Z_OK) {
        fail("out of memory");
        return;
    }
    m_zlibReady = true;
    m_compressed.resize(::deflateBound(m_zlib.get(), kContainer));
    // The header's place; it is written when the counts are known.
    const unsigned char header[blf::kFileHeaderSize] = {};
    put(header, sizeof header);
    m_uncompressedSize = blf::kFileHeaderSize;
}

BlfWriter::~BlfWriter() {
    if (m_zlibReady) ::deflateEnd(m_zlib.get());
}

void BlfWriter::fail(const std::string& what) {
    if (m_error.empty()) m_error = what.empty() ? "writing failed" : what;
}

void BlfWriter::put(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (ok() && size > 0) {
        const ssize_t n = ::write(m_file.fd(), p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(std::string("writing failed: ") + std::strerror(n < 0 ? errno : EIO));
            return;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
        m_fileSize += static_cast<std::uint64_t>(n);
    }
}

void BlfWriter::formatObject(unsigned char* out, const LogFrame& f, std::uint16_t channel) {
    std::memset(out, 0, kObjectSize);
    std::memcpy(out, blf::kObjectSignature, 4);
    blf::store16(out + 4, blf::kHeaderV1Size);
    blf::store16(out + 6, 1);
    blf::store32(out + 8, kObjectSize);
    blf::store32(out + 12, blf::kCanMessage);
    // Nanoseconds while they fit 64 bits (585 years), tens of microseconds beyond.
    if (f.timeUs <= ~0ull / 1000) {
        blf::store32(out + 16, blf::kTimeOneNanos);
        blf::store64(out + 24, f.timeUs * 1000);
    } else {
        blf::store32(out + 16, blf::kTimeTenMicros);
        blf::store64(out + 24, f.timeUs / 10);
    }
    unsigned char* m = out + blf::kHeaderV1Size;
    const std::uint8_t length = f.length > 8 ? 8 : f.length;
    blf::store16(m, channel);
    m[2] = f.remote ? blf::kRemoteFrame : 0;
    m[3] = length;
    blf::store32(m + 4, f.extended ? (f.identifier & 0x1FFFFFFFu) | blf::kExtendedId
                                   : f.identifier & 0x7FFu);
    if (!f.remote) std::memcpy(m + 8, f.data, length);
}

void BlfWriter::write(const LogFrame& frame) {
    if (m_used + kObjectSize > kContainer) writeContainer();
    formatObject(m_objects.data() + m_used, frame, m_channel);
    m_used += kObjectSize;
    m_lastUs = frame.timeUs;
    ++m_count;
}

void BlfWriter::writeContainer() {
    if (m_used == 0 || !ok()) {
        m_used = 0;
        return;
    }
    z_stream& z = *m_zlib;
    ::deflateReset(&z);
    z.next_in = m_objects.data();
    z.avail_in = static_cast<uInt>(m_used);
    z.next_out = m_compressed.data();
    z.avail_out = static_cast<uInt>(m_compressed.size());
    if (::deflate(&z, Z_FINISH) != Z_STREAM_END) {
        fail("compressing failed");
        return;
    }
    const std::size_t compressed = m_compressed.size() - z.avail_out;
    const std::uint32_t size = static_cast<std::uint32_t>(blf::kContainerHeaderSize + compressed);
    unsigned char header[blf::kContainerHeaderSize] = {};
    std::memcpy(header, blf::kObjectSignature, 4);
    blf::store16(header + 4, blf::kBaseHeaderSize);
    blf::store16(header + 6, 1);
    blf::store32(header + 8, size);
    blf::store32(header + 12, blf::kLogContainer);
    blf::store16(header + 16, blf::kDeflated);
    blf::store32(header + 24, static_cast<std::uint32_t>(m_used));
    put(header, sizeof header);
    put(m_compressed.data(), compressed);
    const unsigned char padding[3] = {};
    put(padding, size % 4);
    m_uncompressedSize += blf::kContainerHeaderSize + m_used;
    m_used = 0;
}

bool BlfWriter::commit() {
    writeContainer();
    if (!ok()) return false;
    unsigned char h[blf::kFileHeaderSize] = {};
    std::memcpy(h, blf::kFileSignature, 4);
    blf::store32(h + 4, blf::kFileHeaderSize);
    // The application is left unknown (0); the format's version as other writers give it.
    h[12] = 2;
    h[13] = 6;
    h[14] = 8;
    h[15] = 1;
    blf::store64(h + 16, m_fileSize);
    blf::store64(h + 24, m_uncompressedSize);
    blf::store32(h + 32, static_cast<std::uint32_t>(std::min<std::uint64_t>(m_count, 0xFFFFFFFFu)));
    const std::uint64_t stopMs = static_cast<std::uint64_t>(m_millis) + m_lastUs / 1000;
    const std::time_t stop = m_when + static_cast<std::time_t>(stopMs / 1000);
    storeSystemTime(h + blf::kStartTimeAt, m_when, static_cast<std::uint32_t>(m_millis));
    storeSystemTime(h + blf::kStartTimeAt + 16, m_when > 0 ? stop : 0,
                    static_cast<std::uint32_t>(stopMs % 1000));
    if (::pwrite(m_file.fd(), h, sizeof h, 0) != static_cast<ssize_t>(sizeof h)) {
        fail(std::string("writing failed: ") + std::strerror(errno));
        return false;
    }
    if (!m_file.commit()) {
        fail(m_file.error());
        return false;
    }
    return true;
}
