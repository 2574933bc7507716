#include "document/DocumentExtensions.h"

#include "framework/CArchive.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr std::size_t kBlockHeaderBytes = 16;    // magic, version, record count
constexpr std::size_t kRecordHeaderBytes = 8;    // tag, payload length
constexpr std::uint32_t kMaxAnchorEntryBytes = 4096;

class Writer {
public:
    void u32(std::uint32_t v) {
        for (int shift = 0; shift < 32; shift += 8)
            m_bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    }
    void u64(std::uint64_t v) {
        u32(static_cast<std::uint32_t>(v));
        u32(static_cast<std::uint32_t>(v >> 32));
    }
    void bytes(std::span<const std::uint8_t> b) {
        m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// Reads within a span; a read past its end fails the reader and yields zeros.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    [[nodiscard]] std::size_t remaining() const { return m_bytes.size() - m_at; }
    [[nodiscard]] bool ok() const { return m_ok; }
    std::uint32_t u32() {
        if (remaining() < 4) return fail();
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | m_bytes[m_at + static_cast<std::size_t>(i)];
        m_at += 4;
        return v;
    }
    std::uint64_t u64() {
        const std::uint64_t low = u32();
        return low | std::uint64_t{u32()} << 32;
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        if (remaining() < n) {
            fail();
            return {};
        }
        const auto out = m_bytes.subspan(m_at, n);
        m_at += n;
        return out;
    }

private:
    std::uint32_t fail() {
        m_ok = false;
        m_at = m_bytes.size();
        return 0;
    }
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_at = 0;
    bool m_ok = true;
};

ExtensionReadResult damaged(std::string what) {
    return {false, std::move(what), false};
}

// The anchors of a payload of any layout: later layouts only add to the end of an entry.
ExtensionReadResult decodeTimeAnchors(std::span<const std::uint8_t> payload,
                                      std::uint32_t frameCount, std::vector<TimeAnchor>& out,
                                      std::uint32_t& layout) {
    Reader r(payload);
    layout = r.u32();
    const std::uint32_t entryBytes = r.u32();
    const std::uint32_t count = r.u32();
    if (!r.ok() || layout == 0) return damaged("its time anchors have no valid header");
    if (entryBytes < kTimeAnchorEntryBytes || entryBytes > kMaxAnchorEntryBytes ||
        std::uint64_t{count} * entryBytes != r.remaining()) {
        return damaged("its time anchors do not fit their record");
    }
    std::vector<TimeAnchor> anchors;
    anchors.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        Reader entry(r.take(entryBytes));
        TimeAnchor a;
        a.firstFrame = entry.u32();
        a.wraps = entry.u32();
        a.timeOfDayUs = static_cast<std::int64_t>(entry.u64());
        a.adapterUs = entry.u64();
        const bool ordered = anchors.empty() || a.firstFrame > anchors.back().firstFrame;
        if (!ordered || a.firstFrame >= frameCount || a.adapterUs >= kAdapterClockRoundUs) {
            return damaged("time anchor " + std::to_string(i + 1) +
                           " does not belong to a frame of the document");
        }
        anchors.push_back(a);
    }
    out = std::move(anchors);
    return {};
}

std::vector<TimeAnchor> anchorsBelow(std::span<const TimeAnchor> anchors,
                                     std::uint32_t frameCount) {
    std::vector<TimeAnchor> out;
    for (const TimeAnchor& a : anchors) {
        if (a.firstFrame < frameCount) out.push_back(a);
    }
    return out;
}

}  // namespace

std::vector<std::uint8_t> encodeTimeAnchors(std::span<const TimeAnchor> anchors) {
    Writer w;
    w.u32(kTimeAnchorsLayout);
    w.u32(kTimeAnchorEntryBytes);
    w.u32(static_cast<std::uint32_t>(anchors.size()));
    for (const TimeAnchor& a : anchors) {
        w.u32(a.firstFrame);
        w.u32(a.wraps);
        w.u64(static_cast<std::uint64_t>(a.timeOfDayUs));
        w.u64(a.adapterUs);
    }
    return w.take();
}

std::vector<std::uint8_t> encodeExtensionBlock(const DocumentExtensions& e,
                                               std::uint32_t frameCount) {
    std::vector<ExtensionRecord> records;
    const std::vector<TimeAnchor> anchors = anchorsBelow(e.anchors, frameCount);
    bool anchorsKept = false;
    for (const ExtensionRecord& k : e.kept) {
        if (k.tag == static_cast<std::uint32_t>(ExtensionTag::kTimeAnchors)) {
            // A newer layout read as ours goes back as it came while the anchors are unchanged.
            std::vector<TimeAnchor> read;
            std::uint32_t layout = 0;
            if (anchorsKept || !decodeTimeAnchors(k.payload, frameCount, read, layout).ok ||
                read != anchors) {
                continue;
            }
            anchorsKept = true;
        }
        records.push_back(k);
    }
    if (!anchors.empty() && !anchorsKept) {
        records.push_back(
            {static_cast<std::uint32_t>(ExtensionTag::kTimeAnchors), encodeTimeAnchors(anchors)});
    }
    if (records.empty()) return {};
    std::stable_sort(
        records.begin(), records.end(),
        [](const ExtensionRecord& a, const ExtensionRecord& b) { return a.tag < b.tag; });
    Writer w;
    w.bytes(kExtensionMagic);
    w.u32(kExtensionBlockVersion);
    w.u32(static_cast<std::uint32_t>(records.size()));
    for (const ExtensionRecord& r : records) {
        w.u32(r.tag);
        w.u32(static_cast<std::uint32_t>(r.payload.size()));
        w.bytes(r.payload);
    }
    return w.take();
}

bool beginsExtensionBlock(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= kExtensionMagic.size() &&
           std::equal(kExtensionMagic.begin(), kExtensionMagic.end(), bytes.begin());
}

ExtensionReadResult decodeExtensionBlock(std::span<const std::uint8_t> bytes,
                                         std::uint32_t frameCount, DocumentExtensions& out) {
    if (!beginsExtensionBlock(bytes) || bytes.size() < kBlockHeaderBytes) {
        return damaged("its extension block is cut short");
    }
    Reader r(bytes.subspan(kExtensionMagic.size()));
    const std::uint32_t version = r.u32();
    const std::uint32_t count = r.u32();
    if (version == 0) return damaged("its extension block has no version");
    if (version > kExtensionBlockVersion) return {false, {}, true};
    if (count > kMaxExtensionRecords || std::uint64_t{count} * kRecordHeaderBytes > r.remaining()) {
        return damaged("its extension block counts more records than it holds");
    }
    DocumentExtensions e;
    bool anchorsRead = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t tag = r.u32();
        const std::uint32_t length = r.u32();
        if (!r.ok() || length > r.remaining()) {
            return damaged("record " + std::to_string(i + 1) +
                           " of its extension block is cut short");
        }
        const std::span<const std::uint8_t> payload = r.take(length);
        if (tag == static_cast<std::uint32_t>(ExtensionTag::kTimeAnchors)) {
            if (anchorsRead) return damaged("its extension block holds its time anchors twice");
            anchorsRead = true;
            std::uint32_t layout = 0;
            ExtensionReadResult read =
                decodeTimeAnchors(payload, frameCount, e.anchors, layout);
            if (!read.ok) return read;
            if (layout > kTimeAnchorsLayout) {
                e.kept.push_back({tag, std::vector<std::uint8_t>(payload.begin(), payload.end())});
            }
            continue;
        }
        e.kept.push_back({tag, std::vector<std::uint8_t>(payload.begin(), payload.end())});
    }
    if (r.remaining() != 0) return damaged("bytes follow its extension block");
    out = std::move(e);
    return {};
}

ExtensionReadResult readExtensionBlock(CArchiveReader& archive, std::uint32_t frameCount,
                                       DocumentExtensions& out) {
    if (archive.remaining() < kExtensionMagic.size()) return {};
    std::vector<std::uint8_t> bytes(kExtensionMagic.size());
    if (!archive.getBytes(bytes.data(), bytes.size())) return damaged("it ends too early");
    if (!beginsExtensionBlock(bytes)) return {};
    if (archive.remaining() > kMaxExtensionBlockBytes) {
        return damaged("its extension block is larger than any this program writes");
    }
    bytes.resize(bytes.size() + archive.remaining());
    if (!archive.getBytes(bytes.data() + kExtensionMagic.size(),
                          bytes.size() - kExtensionMagic.size())) {
        return damaged("its extension block cannot be read");
    }
    return decodeExtensionBlock(bytes, frameCount, out);
}
