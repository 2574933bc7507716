#include "document/DocumentFile.h"

#include "framework/CArchive.h"
#include "resources/StringTable.h"

#include <cmath>
#include <new>

namespace {

using strings::kLoadingData;
using strings::kSavingData;

// ---- Frames --------------------------------------------------------------------------------

void packFrame(std::uint8_t* p, const CapturedFrame& f) {
    CArchiveWriter::storeU32(p + 0, f.loading);
    CArchiveWriter::storeU32(p + 4, f.micros);
    CArchiveWriter::storeU32(p + 8, f.millis);
    CArchiveWriter::storeU32(p + 12, f.seconds);
    CArchiveWriter::storeU32(p + 16, f.minutes);
    p[20] = f.length;  // length comes before format in the file
    p[21] = f.format;
    CArchiveWriter::storeU32(p + 22, f.identifier);
    CArchiveWriter::storeU32(p + 26, f.status);
    CArchiveWriter::storeU32(p + 30, f.wraps);
    std::memcpy(p + 34, f.data, 8);
}

CapturedFrame unpackFrame(const std::uint8_t* p) {
    CapturedFrame f;
    f.loading = CArchiveReader::loadU32(p + 0);
    f.micros = CArchiveReader::loadU32(p + 4);
    f.millis = CArchiveReader::loadU32(p + 8);
    f.seconds = CArchiveReader::loadU32(p + 12);
    f.minutes = CArchiveReader::loadU32(p + 16);
    f.length = p[20];
    f.format = p[21];
    f.identifier = CArchiveReader::loadU32(p + 22);
    f.status = CArchiveReader::loadU32(p + 26);
    f.wraps = CArchiveReader::loadU32(p + 30);
    std::memcpy(f.data, p + 34, 8);
    return f;
}

// ---- Conditions ----------------------------------------------------------------------------

void putCondition(CArchiveWriter& ar, const FilterCondition& c) {
    ar.putU32(c.flags);
    ar.putU32(c.advancedMask);
    ar.putU32(c.reserved);
    for (int bit = 0; bit < 29; ++bit) {
        ar.putU32((c.advancedBits >> bit) & 1);
    }
    ar.putU8(c.length());
    ar.putU8(c.format());
    ar.putU32(c.remote);
    ar.putBytes(c.data, 8);
    ar.putU32(c.identifier);
    ar.putU32(c.dnDestMac);
    ar.putU32(c.dnMessageId);
    ar.putU32(c.dnSourceMac);
    ar.putU32(c.coCobId);
    ar.putU32(c.coFunctionCode);
    ar.putU32(c.coNodeId);
}

FilterCondition getCondition(CArchiveReader& ar) {
    FilterCondition c;
    c.flags = ar.getU32();
    c.advancedMask = ar.getU32();
    c.reserved = ar.getU32();
    for (int bit = 0; bit < 29; ++bit) {
        // Only the value 1 sets a bit.
        if (ar.getU32() == 1) c.advancedBits |= 1u << bit;
    }
    const std::uint8_t length = ar.getU8();
    const std::uint8_t format = ar.getU8();
    c.formatAndLength = format | std::uint32_t{length} << 8;
    c.remote = ar.getU32();
    ar.getBytes(c.data, 8);
    c.identifier = ar.getU32();
    c.dnDestMac = ar.getU32();
    c.dnMessageId = ar.getU32();
    c.dnSourceMac = ar.getU32();
    c.coCobId = ar.getU32();
    c.coFunctionCode = ar.getU32();
    c.coNodeId = ar.getU32();
    return c;
}

// ---- Messages --------------------------------------------------------------------------------

void putItem(CArchiveWriter& ar, const AutoMessageItem& i) {
    ar.putU32(i.flags);
    ar.putU32(i.identifier);
    ar.putU8(i.format);
    ar.putU32(i.remote);
    ar.putU8(i.length);
    ar.putBytes(i.data.data(), 8);
}

AutoMessageItem getItem(CArchiveReader& ar) {
    AutoMessageItem i;
    i.flags = ar.getU32();
    i.identifier = ar.getU32();
    i.format = ar.getU8();
    i.remote = ar.getU32();
    i.length = ar.getU8();
    ar.getBytes(i.data.data(), 8);
    return i;
}

void putBuffer(CArchiveWriter& ar, const ManualBuffer& b) {
    ar.putU32(b.identifier);
    ar.putU32(b.size);
    ar.putU32(b.format);
    ar.putU32(b.remote);
    for (std::uint32_t v : b.data) ar.putU32(v);
}

ManualBuffer getBuffer(CArchiveReader& ar) {
    ManualBuffer b;
    b.identifier = ar.getU32();
    b.size = ar.getU32();
    b.format = ar.getU32();
    b.remote = ar.getU32();
    for (std::uint32_t& v : b.data) v = ar.getU32();
    return b;
}

// ---- Windows ---------------------------------------------------------------------------------

void putWindow(CArchiveWriter& ar, const CurveWindowRecord& w) {
    ar.putBytes(w.name.bytes.data(), 32);
    ar.putU32(w.timeResolution);
    // A chart moved beyond 49.7 days of capture keeps the furthest time the field holds.
    ar.putU32(static_cast<std::uint32_t>(std::min<std::uint64_t>(w.timeOrigin, 0xFFFFFFFF)));
    ar.putU32(w.flags);
    for (std::size_t k = 0; k < 4; ++k) {
        const CurveDefinition& c = w.yt[k];
        ar.putBytes(c.name.bytes.data(), 32);
        ar.putU32(c.identifier);
        ar.putU32(static_cast<std::uint32_t>(c.originSigned));
        ar.putU32(c.colour);
        ar.putU32(static_cast<std::uint32_t>(c.resolution));
        ar.putU32(c.originUnsigned);
        ar.putU32(c.flags);
        const XYCurveDefinition& x = w.yx[k];
        ar.putBytes(x.name.bytes.data(), 32);
        ar.putU32(x.flags);
        ar.putU32(static_cast<std::uint32_t>(x.xOriginSigned));
        ar.putU32(static_cast<std::uint32_t>(x.yOriginSigned));
        ar.putU32(x.colour);
        ar.putU32(x.syncIdentifier);
        ar.putU32(static_cast<std::uint32_t>(x.resolution));
        ar.putU32(x.xOriginUnsigned);
        ar.putU32(x.yOriginUnsigned);
        ar.putU32(x.xIdentifier);
        ar.putU32(x.yIdentifier);
    }
}

CurveWindowRecord getWindow(CArchiveReader& ar) {
    CurveWindowRecord w;
    ar.getBytes(w.name.bytes.data(), 32);
    w.timeResolution = ar.getU32();
    w.timeOrigin = ar.getU32();
    w.flags = ar.getU32();
    for (std::size_t k = 0; k < 4; ++k) {
        CurveDefinition& c = w.yt[k];
        ar.getBytes(c.name.bytes.data(), 32);
        c.identifier = ar.getU32();
        c.originSigned = static_cast<std::int32_t>(ar.getU32());
        c.colour = ar.getU32();
        c.resolution = static_cast<std::int32_t>(ar.getU32());
        c.originUnsigned = ar.getU32();
        c.flags = ar.getU32();
        XYCurveDefinition& x = w.yx[k];
        ar.getBytes(x.name.bytes.data(), 32);
        x.flags = ar.getU32();
        x.xOriginSigned = static_cast<std::int32_t>(ar.getU32());
        x.yOriginSigned = static_cast<std::int32_t>(ar.getU32());
        x.colour = ar.getU32();
        x.syncIdentifier = ar.getU32();
        x.resolution = static_cast<std::int32_t>(ar.getU32());
        x.xOriginUnsigned = ar.getU32();
        x.yOriginUnsigned = ar.getU32();
        x.xIdentifier = ar.getU32();
        x.yIdentifier = ar.getU32();
    }
    return w;
}

std::uint32_t flag(std::uint32_t v) {
    return v != 0 ? 1 : 0;
}

FileResult failure(std::string text) {
    return {false, std::move(text)};
}

}  // namespace

FileResult saveDocument(const std::string& path, const DocumentContents& d, const FrameStore& store,
                        std::uint32_t frameCount, Progress* progress) {
    frameCount = std::min(frameCount, store.count());
    CArchiveWriter ar(path);
    ar.putF32(static_cast<float>(d.versionInteger + d.versionFraction));
    ar.putU32(d.cycle);
    ar.putU32(d.interval);
    ar.putU32(flag(d.capturing));
    ar.putU32(flag(d.deviceReady));
    ar.putU32(0);
    ar.putU32(d.baudRate);
    ar.putU32(d.workMode);
    ar.putU32(d.reserved9);
    ar.putU32(0);
    ar.putU32(flag(d.dataListExists));
    ar.putU32(flag(d.ytChartCreated));
    ar.putU32(0);
    ar.putU32(flag(d.hexDisplay));
    ar.putU32(0);
    ar.putU32(frameCount);
    ar.putU32(static_cast<std::uint32_t>(d.conditions.size()));
    ar.putU16(d.activeWord);
    ar.putU32(d.filterMode);
    ar.putU32(d.frameType);
    ar.putU32(static_cast<std::uint32_t>(d.items.size()));

    if (progress != nullptr) progress->begin(kSavingData);
    ProgressSteps steps(progress, frameCount);
    std::vector<std::uint8_t> block;
    store.visit(0, frameCount, [&](const CapturedFrame* frames, std::size_t n, std::size_t first) {
        if (steps.cancelled()) return;
        block.resize(n * kFrameRecordBytes);
        for (std::size_t i = 0; i < n; ++i) {
            packFrame(block.data() + i * kFrameRecordBytes, frames[i]);
        }
        ar.putBytes(block.data(), block.size());
        steps.at(first + n);
    });
    for (const FilterCondition& c : d.conditions) putCondition(ar, c);
    for (const AutoMessageItem& i : d.items) putItem(ar, i);
    putBuffer(ar, d.manual[0]);
    putBuffer(ar, d.manual[1]);
    ar.putU32(static_cast<std::uint32_t>(d.windows.size()));
    for (const CurveWindowRecord& w : d.windows) putWindow(ar, w);
    const std::vector<std::uint8_t> extensions = encodeExtensionBlock(d.extensions, frameCount);
    if (!extensions.empty()) ar.putBytes(extensions.data(), extensions.size());
    // A cancelled save is never committed: the writer's temporary goes, the old file stays.
    if (steps.cancelled()) {
        if (progress != nullptr) progress->end();
        return failure("The save was cancelled.");
    }
    const bool ok = ar.commit();
    if (progress != nullptr) progress->end();
    return ok ? FileResult{} : failure(ar.error());
}

namespace {
FileResult loadBody(CArchiveReader& ar, const std::string& path, std::uint32_t frameCount,
                    std::uint32_t conditionCount, std::uint32_t itemCount, DocumentContents c,
                    DocumentContents& d, FrameStore& frames, Progress* progress);
}  // namespace

FileResult loadDocument(const std::string& path, DocumentContents& d, FrameStore& frames,
                        Progress* progress) {
    CArchiveReader ar(path);
    if (!ar.opened() || !ar.ok()) {
        return failure("The file " + path + " cannot be opened.");
    }
    if (ar.size() < kHeaderBytes) {
        return failure("The file " + path + " is too short to be a Korvane document.");
    }
    const float version = ar.getF32();
    // Versions 0.x.. and 1.0 are read; anything newer, or not a version at all, is refused
    // before the open document is touched.
    const double integerPart = std::trunc(static_cast<double>(version));
    const double fraction = static_cast<double>(version) - integerPart;
    if (!std::isfinite(version) || version < 0 || integerPart > 1 || fraction >= 0.001) {
        // Our versions are small numbers with at most two decimals; anything else in the first
        // four bytes means the file is something else altogether.
        const double hundredths = static_cast<double>(version) * 100.0;
        const bool plausible = std::isfinite(version) && version >= 0 && version < 100 &&
                               std::fabs(hundredths - std::round(hundredths)) < 1e-3;
        if (!plausible) {
            return failure("The file " + path + " is not a Korvane document.");
        }
        return failure("The file " + path + " is of a document version (" +
                       std::to_string(version) + ") this program cannot read.");
    }
    DocumentContents c;
    c.versionInteger = static_cast<std::int32_t>(integerPart);
    c.versionFraction = fraction;
    c.cycle = ar.getU32();
    c.interval = ar.getU32();
    c.capturing = flag(ar.getU32());
    c.deviceReady = flag(ar.getU32());
    (void)ar.getU32();
    c.baudRate = ar.getU32();
    c.workMode = ar.getU32();
    c.reserved9 = ar.getU32();
    (void)ar.getU32();
    c.dataListExists = flag(ar.getU32());
    c.ytChartCreated = flag(ar.getU32());
    (void)ar.getU32();
    c.hexDisplay = flag(ar.getU32());
    (void)ar.getU32();
    const std::uint32_t frameCount = ar.getU32();
    const std::uint32_t conditionCount = ar.getU32();
    c.activeWord = ar.getU16();
    c.filterMode = ar.getU32();
    c.frameType = ar.getU32();
    const std::uint32_t itemCount = ar.getU32();
    // The counts must fit in what the file really holds before anything is taken from them.
    const std::uint64_t needed = kHeaderBytes + std::uint64_t{frameCount} * kFrameRecordBytes +
                                 std::uint64_t{conditionCount} * kConditionRecordBytes +
                                 std::uint64_t{itemCount} * kItemRecordBytes + kManualBuffersBytes +
                                 4;
    if (itemCount > kMaxAutoItems || needed > ar.size()) {
        return failure("The file " + path +
                       " is damaged: its counts do not fit its size, so it cannot be read.");
    }
    if (c.frameType != 1 && c.frameType != 2) c.frameType = 1;

    if (progress != nullptr) progress->begin(kLoadingData);
    // The counts fit the file, but the file may still hold more than memory can: running out
    // fails this load alone, and the caller's open document stays as it was.
    try {
        return loadBody(ar, path, frameCount, conditionCount, itemCount, std::move(c), d, frames,
                        progress);
    } catch (const std::bad_alloc&) {
        if (progress != nullptr) progress->end();
        return failure("Not enough memory to open " + path + " (" + std::to_string(frameCount) +
                       " frames).");
    }
}

namespace {

FileResult loadBody(CArchiveReader& ar, const std::string& path, std::uint32_t frameCount,
                    std::uint32_t conditionCount, std::uint32_t itemCount, DocumentContents c,
                    DocumentContents& d, FrameStore& frames, Progress* progress) {
    ProgressSteps steps(progress, frameCount);
    std::vector<std::uint8_t> block(std::size_t{4096} * kFrameRecordBytes);
    std::uint32_t done = 0;
    while (done < frameCount && ar.ok()) {
        if (steps.cancelled()) {
            if (progress != nullptr) progress->end();
            return failure("Opening " + path + " was cancelled.");
        }
        const std::uint32_t n = std::min<std::uint32_t>(4096, frameCount - done);
        if (!ar.getBytes(block.data(), n * kFrameRecordBytes)) break;
        CapturedFrame batch[4096];
        for (std::uint32_t i = 0; i < n; ++i) {
            batch[i] = unpackFrame(block.data() + i * kFrameRecordBytes);
            // Nothing that captures, sends or imports a frame makes these: the record was
            // altered, and the lists, filters and exports would read bytes that are not there.
            if (batch[i].length > 8 || batch[i].format > 1) {
                if (progress != nullptr) progress->end();
                return failure("The file " + path + " is damaged: frame record " +
                               std::to_string(done + i + 1) + " has a length of " +
                               std::to_string(batch[i].length) + " and a format of " +
                               std::to_string(batch[i].format) + ", so it cannot be read.");
            }
        }
        frames.appendBatch(batch, n, [](CapturedFrame*, std::size_t) { return true; });
        done += n;
        steps.at(done);
    }
    c.conditions.reserve(conditionCount);
    for (std::uint32_t i = 0; i < conditionCount && ar.ok(); ++i) {
        c.conditions.push_back(getCondition(ar));
    }
    for (std::uint32_t i = 0; i < itemCount && ar.ok(); ++i) {
        c.items.push_back(getItem(ar));
    }
    c.manual[0] = getBuffer(ar);
    c.manual[1] = getBuffer(ar);
    const std::uint32_t windowCount = ar.getU32();
    if (ar.ok() && std::uint64_t{windowCount} * kWindowRecordBytes > ar.remaining()) {
        if (progress != nullptr) progress->end();
        return failure("The file " + path + " is damaged: its window records are cut short.");
    }
    for (std::uint32_t i = 0; i < windowCount && ar.ok(); ++i) {
        c.windows.push_back(getWindow(ar));
    }
    if (ar.ok()) {
        const ExtensionReadResult extensions = readExtensionBlock(ar, frameCount, c.extensions);
        if (!extensions.ok) {
            if (progress != nullptr) progress->end();
            if (extensions.newer) {
                return failure("The file " + path +
                               " holds additions of a newer Korvane that this program cannot "
                               "read.");
            }
            return failure("The file " + path + " is damaged: " + extensions.damage +
                           ", so it cannot be read.");
        }
    }
    if (progress != nullptr) progress->end();
    if (!ar.ok()) {
        return failure("The file " + path + " ends too early: it is damaged and cannot be read.");
    }
    d = std::move(c);
    return {};
}

}  // namespace
