#pragma once

// The document's extension block: what the program keeps in a document beyond the records of the
// document file (time anchors, CAN databases, signal curves and filters, overview settings). It
// follows the last window record, so a reader of those records alone stops before it and every
// document stays readable by it. A document with nothing to add has no block at all and is byte
// for byte the file it always was.
//
// Layout, little-endian:
//   8 bytes   magic "KRVX\r\n\x1A\n" (a text-mode copy or a cut file shows at once)
//   u32       block version, 1
//   u32       record count R (at most kMaxExtensionRecords)
//   R records u32 tag, u32 payload length, payload
// and the file ends with the last record. A reader skips a record whose tag it does not know by its
// length, keeps it and writes it back unchanged when it saves, so a document written by a newer
// program loses nothing in an older one. Each payload starts with its own layout version.
//
// Thread: any one thread.

#include "capture/TimeAnchors.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The tags of the block's records. A tag is never reused for another meaning; a layout that old
// readers could not take gets a new tag.
enum class ExtensionTag : std::uint32_t {
    kTimeAnchors = 1,       // the document's time anchors
    kCanDatabases = 2,      // the text of each CAN database of the document
    kSignalCurves = 3,      // curves that take a database signal instead of byte positions
    kSignalFilters = 4,     // filters by message name or signal value
    kOverviewSettings = 5,  // the bus overview's settings
};

inline constexpr std::array<std::uint8_t, 8> kExtensionMagic = {'K',  'R',  'V',  'X',
                                                                0x0D, 0x0A, 0x1A, 0x0A};
inline constexpr std::uint32_t kExtensionBlockVersion = 1;
inline constexpr std::uint32_t kMaxExtensionRecords = 4096;
inline constexpr std::uint32_t kTimeAnchorsLayout = 1;
inline constexpr std::uint32_t kTimeAnchorEntryBytes = 24;

// One record of the block as it is in the file.
struct ExtensionRecord {
    std::uint32_t tag = 0;
    std::vector<std::uint8_t> payload;
    bool operator==(const ExtensionRecord&) const = default;
};

struct DocumentExtensions {
    std::vector<TimeAnchor> anchors;
    // Records this program does not read (tags of a newer program, or a layout newer than it
    // knows), as they came.
    std::vector<ExtensionRecord> kept;

    [[nodiscard]] bool empty() const { return anchors.empty() && kept.empty(); }
};

// The block for a document of `frameCount` frames: anchors of frames beyond it are left out.
// Empty when there is nothing to write.
[[nodiscard]] std::vector<std::uint8_t> encodeExtensionBlock(const DocumentExtensions& extensions,
                                                             std::uint32_t frameCount);

// True when `bytes` (what follows the last window record) begins with the block's magic. Anything
// else there is not ours and is ignored, as it always was.
[[nodiscard]] bool beginsExtensionBlock(std::span<const std::uint8_t> bytes);

struct ExtensionReadResult {
    bool ok = true;
    std::string damage;  // what is wrong with the block, for "... is damaged: <damage>, ..."
    bool newer = false;  // the block is of a version this program cannot read
};

// Reads a whole block (magic included) of a document of `frameCount` frames into `out`; on
// failure `out` is left as it was.
[[nodiscard]] ExtensionReadResult decodeExtensionBlock(std::span<const std::uint8_t> bytes,
                                                       std::uint32_t frameCount,
                                                       DocumentExtensions& out);

class CArchiveReader;
inline constexpr std::uint64_t kMaxExtensionBlockBytes = std::uint64_t{256} << 20;

// Reads what follows the last window record: a block into `out`, or nothing when the bytes there
// are not a block (they were always ignored).
[[nodiscard]] ExtensionReadResult readExtensionBlock(CArchiveReader& archive,
                                                     std::uint32_t frameCount,
                                                     DocumentExtensions& out);

// The time anchors' payload: u32 layout, u32 entry size, u32 count, then per anchor u32 first
// frame, u32 wraps, i64 time of day in microseconds since 1970 UTC, u64 adapter microseconds
// within the round.
[[nodiscard]] std::vector<std::uint8_t> encodeTimeAnchors(std::span<const TimeAnchor> anchors);
