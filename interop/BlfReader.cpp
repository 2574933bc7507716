#include "interop/BlfReader.h"

#include "interop/BlfFormat.h"

#include <algorithm>
#include <ctime>

#include <zlib.h>

namespace {

constexpr std::size_t kObjectBuffer = std::size_t{1} << 17;
// The most of an object looked at in one piece: a version 2 header with room to spare, and the
// CAN message after it.
constexpr std::uint32_t kMaxCanHeader = 48;

bool allZero(const unsigned char* from, const unsigned char* to) {
    return std::all_of(from, to, [](unsigned char c) { return c == 0; });
}

// The first object signature in [from, to), or `to`.
const unsigned char* findObject(const unsigned char* from, const unsigned char* to) {
    const unsigned char* sig = reinterpret_cast<const unsigned char*>(blf::kObjectSignature);
    return std::search(from, to, sig, sig + 4);
}

// The measurement's start as the file header keeps it (a local calendar time: year, month,
// weekday, day, hour, minute, second, millisecond), in microseconds since 1970 UTC; none when it
// is unset or does not make a date.
std::optional<std::int64_t> measurementStartUs(const unsigned char* p) {
    int f[8];
    for (std::size_t i = 0; i < 8; ++i) f[i] = blf::load16(p + 2 * i);
    const int year = f[0], month = f[1], day = f[3], hour = f[4], minute = f[5], second = f[6];
    const int millis = f[7];
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 60 || millis > 999) {
        return std::nullopt;
    }
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;
    const std::time_t when = std::mktime(&t);
    if (when == static_cast<std::time_t>(-1)) return std::nullopt;
    return static_cast<std::int64_t>(when) * 1'000'000 + std::int64_t{millis} * 1000;
}

}  // namespace

BlfReader::BlfReader() : m_zlib(std::make_unique<z_stream_s>()), m_objects(kObjectBuffer) {
    m_result.records = true;
}

BlfReader::~BlfReader() {
    if (m_zlibReady) ::inflateEnd(m_zlib.get());
}

bool BlfReader::openFile(const std::string& path) {
    if (!m_source.openFile(path)) {
        fail(m_source.error());
        return false;
    }
    return readFileHeader();
}

void BlfReader::openMemory(std::string_view bytes) {
    m_source.openMemory(bytes);
}

void BlfReader::fail(const std::string& why) {
    if (m_result.ok) m_result.error = why;
    m_result.ok = false;
    m_fileDone = true;
}

void BlfReader::skip(SkipReason reason, const char* detail) {
    m_result.lines = m_record;
    m_result.skip(m_record, reason, detail);
}

bool BlfReader::readFileHeader() {
    m_headerRead = true;
    const std::string_view head = m_source.peek(blf::kFileHeaderFields);
    if (m_source.failed()) {
        fail(m_source.error());
        return false;
    }
    if (head.empty()) {
        m_fileDone = true;  // an empty file: no frame, as with an empty text log
        return true;
    }
    const auto* p = reinterpret_cast<const unsigned char*>(head.data());
    if (head.size() < 8 || std::memcmp(p, blf::kFileSignature, 4) != 0) {
        fail("not a BLF log: it does not begin with \"LOGG\"");
        return false;
    }
    const std::uint32_t size = blf::load32(p + 4);
    if (size < blf::kFileHeaderFields || size > kMaxFileHeader) {
        fail("not a BLF log: its header's size is " + std::to_string(size));
        return false;
    }
    if (head.size() >= blf::kFileHeaderFields) {
        m_timeOfDayAtZeroUs = measurementStartUs(p + blf::kStartTimeAt);
    }
    if (m_source.skip(size) < size) cutShort();
    return m_result.ok;
}

void BlfReader::cutShort() {
    m_fileDone = true;
    m_segment = Segment::kNone;
    if (m_source.failed()) {
        fail(m_source.error());
    } else if (!m_cutCounted) {
        m_cutCounted = true;
        ++m_record;
        skip(SkipReason::kCutShort, "");
    }
}

void BlfReader::damaged(const char* why) {
    ++m_record;
    skip(SkipReason::kMalformed, why);
    if (m_source.skip(m_segmentLeft) < m_segmentLeft) {
        cutShort();
    } else {
        m_segmentLeft = 0;
        endSegment();
    }
    m_broken = true;
}

void BlfReader::endSegment() {
    m_source.skip(m_segmentPad);
    m_segment = Segment::kNone;
    m_segmentLeft = 0;
    m_segmentPad = 0;
}

void BlfReader::nextSegment() {
    bool lost = false;  // counted bytes that are no object since the last object
    for (;;) {
        const std::string_view bytes = m_source.peek(blf::kContainerHeaderSize);
        const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
        if (bytes.size() < blf::kBaseHeaderSize) {
            if (m_source.failed()) {
                fail(m_source.error());
            } else if (!allZero(p, p + bytes.size())) {
                cutShort();
            }
            m_fileDone = true;
            return;
        }
        if (!blf::isObject(p)) {
            const std::string_view window = m_source.peek(ByteSource::kChunk);
            const auto* w = reinterpret_cast<const unsigned char*>(window.data());
            const unsigned char* found = findObject(w, w + window.size());
            if (found == w + window.size()) found -= std::min<std::size_t>(3, window.size());
            if (!lost && !allZero(w, found)) {
                lost = true;
                ++m_record;
                skip(SkipReason::kMalformed, "bytes that are no object");
            }
            m_source.consume(static_cast<std::size_t>(std::max<std::ptrdiff_t>(found - w, 1)));
            continue;
        }
        const std::uint32_t size = blf::load32(p + 8);
        const std::uint32_t type = blf::load32(p + 12);
        if (type == blf::kLogContainer) {
            if (size < blf::kContainerHeaderSize) {
                ++m_record;
                skip(SkipReason::kMalformed, "a container too small for its own header");
                lost = true;
                m_source.consume(4);
                continue;
            }
            if (bytes.size() < blf::kContainerHeaderSize) {
                cutShort();
                return;
            }
            const std::uint16_t method = blf::load16(p + 16);
            const std::uint32_t declared = blf::load32(p + 24);
            m_source.consume(blf::kContainerHeaderSize);
            m_segmentLeft = size - blf::kContainerHeaderSize;
            m_segmentPad = size % 4;
            if (method == blf::kStored) {
                m_segment = Segment::kStored;
            } else if (method == blf::kDeflated) {
                const int z =
                    m_zlibReady ? ::inflateReset(m_zlib.get()) : ::inflateInit(m_zlib.get());
                if (z != Z_OK) {
                    fail("out of memory");
                    return;
                }
                m_zlibReady = true;
                m_inflateRoom = declared;
                m_segment = Segment::kDeflated;
            } else {
                ++m_record;
                skip(SkipReason::kMalformed, "a container compressed in an unknown way");
                if (m_source.skip(m_segmentLeft) < m_segmentLeft) {
                    cutShort();
                    return;
                }
                endSegment();
                continue;
            }
            return;
        }
        // An object outside any container is read as if it were in one.
        if (size < blf::kBaseHeaderSize || size > kMaxObject) {
            ++m_record;
            skip(size < blf::kBaseHeaderSize ? SkipReason::kMalformed : SkipReason::kTooLong,
                 size < blf::kBaseHeaderSize ? "an object smaller than its header" : "");
            lost = true;
            m_source.consume(4);
            continue;
        }
        std::memcpy(m_objects.data() + m_end, p, blf::kBaseHeaderSize);
        m_end += blf::kBaseHeaderSize;
        m_source.consume(blf::kBaseHeaderSize);
        m_segment = Segment::kStored;
        m_segmentLeft = size - blf::kBaseHeaderSize + size % 4;
        m_segmentPad = 0;
        return;
    }
}

void BlfReader::fillStored() {
    if (m_segmentLeft == 0) {
        endSegment();
        return;
    }
    const std::string_view bytes = m_source.peek(1);
    if (bytes.empty()) {
        cutShort();
        return;
    }
    const std::size_t n = static_cast<std::size_t>(
        std::min<std::uint64_t>({bytes.size(), m_segmentLeft, m_objects.size() - m_end}));
    std::memcpy(m_objects.data() + m_end, bytes.data(), n);
    m_source.consume(n);
    m_segmentLeft -= n;
    m_end += n;
    if (m_segmentLeft == 0) endSegment();
}

void BlfReader::fillDeflated() {
    z_stream& z = *m_zlib;
    std::string_view input;
    if (m_segmentLeft > 0) {
        input = m_source.peek(1);
        if (input.empty()) {
            cutShort();
            return;
        }
        input = input.substr(
            0, static_cast<std::size_t>(std::min<std::uint64_t>(input.size(), m_segmentLeft)));
    }
    // One byte more than the container may hold shows one that holds more than it says.
    const std::size_t room = static_cast<std::size_t>(
        std::min<std::uint64_t>(m_objects.size() - m_end, m_inflateRoom + 1));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(input.data()));
    z.avail_in = static_cast<uInt>(input.size());
    z.next_out = m_objects.data() + m_end;
    z.avail_out = static_cast<uInt>(room);
    const int status = ::inflate(&z, Z_NO_FLUSH);
    const std::size_t usedIn = input.size() - z.avail_in;
    const std::size_t produced = room - z.avail_out;
    m_source.consume(usedIn);
    m_segmentLeft -= usedIn;
    if (produced > m_inflateRoom) {
        m_end += static_cast<std::size_t>(m_inflateRoom);
        m_inflateRoom = 0;
        damaged("a container inflates to more than it says");
        return;
    }
    m_end += produced;
    m_inflateRoom -= produced;
    switch (status) {
        case Z_STREAM_END:
            // Bytes after the compressed stream mean nothing.
            if (m_source.skip(m_segmentLeft) < m_segmentLeft) {
                cutShort();
                return;
            }
            m_segmentLeft = 0;
            endSegment();
            return;
        case Z_OK:
            return;
        case Z_BUF_ERROR:
            damaged("a container's compressed data ends early");
            return;
        case Z_MEM_ERROR:
            fail("out of memory");
            return;
        default:
            damaged("a container's compressed data is damaged");
            return;
    }
}

void BlfReader::fill() {
    if (m_pos > 0) {
        std::memmove(m_objects.data(), m_objects.data() + m_pos, m_end - m_pos);
        m_end -= m_pos;
        m_pos = 0;
    }
    while (!m_fileDone && !m_broken && m_end < m_objects.size()) {
        const std::size_t before = m_end;
        switch (m_segment) {
            case Segment::kNone:
                nextSegment();
                break;
            case Segment::kStored:
                fillStored();
                break;
            case Segment::kDeflated:
                fillDeflated();
                break;
        }
        if (m_end > before) return;
    }
}

BlfReader::Have BlfReader::ensure(std::size_t n) {
    while (m_end - m_pos < n) {
        if (m_broken) return Have::kBroken;
        if (m_fileDone) return Have::kEnd;
        fill();
    }
    return Have::kOk;
}

BlfReader::Have BlfReader::skipObjectBytes(std::uint64_t n) {
    while (n > 0) {
        if (m_pos == m_end) {
            const Have have = ensure(1);
            if (have != Have::kOk) return have;
        }
        const std::size_t step =
            static_cast<std::size_t>(std::min<std::uint64_t>(n, m_end - m_pos));
        m_pos += step;
        n -= step;
    }
    return Have::kOk;
}

bool BlfReader::next(LogFrame& frame) {
    if (!m_headerRead && !readFileHeader()) return false;
    bool lost = false;  // counted bytes that are no object since the last object
    while (m_result.ok) {
        Have have = ensure(blf::kBaseHeaderSize);
        if (have == Have::kBroken) {
            // What is left before the damage is part of an object; the damage was counted.
            m_pos = m_end;
            m_broken = false;
            lost = true;
            continue;
        }
        if (have == Have::kEnd) {
            if (m_result.ok && !allZero(m_objects.data() + m_pos, m_objects.data() + m_end)) {
                cutShort();
            }
            m_pos = m_end;
            return false;
        }
        const unsigned char* o = m_objects.data() + m_pos;
        if (!blf::isObject(o)) {
            // Zero bytes between objects are padding; anything else is damage, counted once.
            const unsigned char* end = m_objects.data() + m_end;
            const unsigned char* found = findObject(o, end);
            if (found == end) found = std::max(o, end - 3);
            if (!lost && !allZero(o, found)) {
                lost = true;
                ++m_record;
                skip(SkipReason::kMalformed, "bytes that are no object");
            }
            m_pos = static_cast<std::size_t>(found - m_objects.data());
            if (m_pos == static_cast<std::size_t>(o - m_objects.data())) ++m_pos;
            continue;
        }
        lost = false;
        ++m_record;
        m_result.lines = m_record;
        const std::uint16_t headerSize = blf::load16(o + 4);
        const std::uint16_t version = blf::load16(o + 6);
        const std::uint32_t size = blf::load32(o + 8);
        const std::uint32_t type = blf::load32(o + 12);
        if (size < blf::kBaseHeaderSize || headerSize < blf::kBaseHeaderSize || headerSize > size ||
            size > kMaxObject) {
            // Sizes that cannot be: look for the next object right after the signature.
            skip(size > kMaxObject ? SkipReason::kTooLong : SkipReason::kMalformed,
                 size > kMaxObject ? "" : "the object's sizes do not fit together");
            lost = true;
            m_pos += 4;
            continue;
        }
        const std::uint64_t whole = std::uint64_t{size} + size % 4;
        SkipReason reason = SkipReason::kOtherEvent;
        const char* detail = "";
        if (type == blf::kCanMessage || type == blf::kCanMessage2) {
            const std::uint32_t need = headerSize + blf::kCanMessageSize;
            const bool header = (version == 1 && headerSize >= blf::kHeaderV1Size) ||
                                (version == 2 && headerSize >= blf::kHeaderV2Size);
            if (!header || headerSize > kMaxCanHeader || size < need) {
                reason = SkipReason::kMalformed;
                detail = "a CAN message object of another layout";
            } else {
                have = ensure(need);
                if (have == Have::kBroken) {
                    m_pos = m_end;
                    m_broken = false;
                    lost = true;
                    continue;
                }
                if (have == Have::kEnd) {
                    cutShort();
                    m_pos = m_end;
                    return false;
                }
                o = m_objects.data() + m_pos;
                const std::uint32_t flags = blf::load32(o + 16);
                const std::uint64_t stamp = blf::load64(o + 24);
                const unsigned char* m = o + headerSize;
                const std::uint8_t dlc = m[3];
                const std::uint32_t id = blf::load32(m + 4);
                frame = LogFrame{};
                frame.extended = (id & blf::kExtendedId) != 0;
                frame.identifier = id & 0x1FFFFFFFu;
                frame.remote = (m[2] & blf::kRemoteFrame) != 0;
                frame.length = static_cast<std::uint8_t>(std::min<std::uint8_t>(dlc, 8));
                if (!frame.remote) std::memcpy(frame.data, m + 8, frame.length);
                if ((flags & 3) == blf::kTimeTenMicros) {
                    frame.timeUs = stamp <= logparse::kMaxTimeUs / 10 ? stamp * 10 : ~0ull;
                } else {
                    // To the nearest microsecond, but never past what a writer can write back.
                    frame.timeUs = stamp / 1000;
                    if (stamp % 1000 >= 500 && frame.timeUs < ~0ull / 1000) ++frame.timeUs;
                }
                if (dlc > 15) {
                    reason = SkipReason::kMalformed;
                    detail = "the length is more than 15";
                } else if (!frame.extended && frame.identifier > 0x7FFu) {
                    reason = SkipReason::kMalformed;
                    detail = "the identifier is out of range";
                } else if (frame.timeUs > logparse::kMaxTimeUs) {
                    reason = SkipReason::kMalformed;
                    detail = "the time is out of range";
                } else {
                    // What follows the message (padding, CAN_MESSAGE2's frame length) may be cut
                    // or damaged without harming the frame.
                    skipObjectBytes(whole);
                    ++m_result.frames;
                    return true;
                }
            }
        } else if (type == blf::kCanError || type == blf::kCanErrorExt ||
                   type == blf::kCanFdError64) {
            reason = SkipReason::kErrorFrame;
        } else if (type == blf::kCanFdMessage || type == blf::kCanFdMessage64) {
            reason = SkipReason::kFdFrame;
        }
        have = skipObjectBytes(whole);
        if (have == Have::kOk) {
            skip(reason, detail);
        } else if (have == Have::kEnd) {
            cutShort();
        }
    }
    return false;
}
