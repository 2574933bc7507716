#pragma once

// Streaming reader of BLF logs (layout in BlfFormat.h). CAN messages (CAN_MESSAGE and
// CAN_MESSAGE2 objects) give frames, their times counted from the measurement's start (whose
// time of day the file header tells, when it is set); error and CAN FD objects and objects of
// other kinds are counted as skipped records. Containers are inflated a piece at a time into a
// buffer of fixed size and objects are passed over without being kept, so memory stays the same
// whatever sizes the file declares: a container that inflates to more than it says is cut there.
// Damage is counted and reading goes on at the next object; a file that ends within an object
// counts it as cut short.
//
// Thread: one thread per reader.

#include "interop/ByteSource.h"
#include "interop/LogReader.h"

#include <memory>
#include <vector>

struct z_stream_s;

class BlfReader final : public LogReader {
public:
    // Objects larger than this are taken for damage; no CAN object comes near it.
    static constexpr std::uint32_t kMaxObject = 16u << 20;
    static constexpr std::uint32_t kMaxFileHeader = 1u << 20;

    BlfReader();
    ~BlfReader() override;

    // Fails, besides when the file cannot be opened, when it does not begin with a BLF header.
    [[nodiscard]] bool openFile(const std::string& path) override;
    void openMemory(std::string_view bytes) override;
    bool next(LogFrame& frame) override;
    [[nodiscard]] std::uint64_t bytesConsumed() const override { return m_source.consumed(); }
    [[nodiscard]] std::uint64_t size() const override { return m_source.size(); }

private:
    enum class Segment { kNone, kStored, kDeflated };
    enum class Have { kOk, kBroken, kEnd };

    bool readFileHeader();
    // Makes at least `n` object bytes ready at m_pos: kBroken when damage comes first, kEnd when
    // the file does.
    Have ensure(std::size_t n);
    Have skipObjectBytes(std::uint64_t n);
    // Adds object bytes from the current container, or starts the next one.
    void fill();
    void fillStored();
    void fillDeflated();
    // Reads the next top-level object's header: a container, or an object outside one that is
    // read as if it were in one.
    void nextSegment();
    void endSegment();
    // The file ended where more was due.
    void cutShort();
    void damaged(const char* why);
    void skip(SkipReason reason, const char* detail);
    void fail(const std::string& why);

    ByteSource m_source;
    bool m_headerRead = false;
    bool m_fileDone = false;
    bool m_cutCounted = false;

    Segment m_segment = Segment::kNone;
    std::uint64_t m_segmentLeft = 0;  // file bytes of the container still to read
    std::uint32_t m_segmentPad = 0;   // padding after it
    std::uint64_t m_inflateRoom = 0;  // bytes the container may still inflate to
    std::unique_ptr<z_stream_s> m_zlib;
    bool m_zlibReady = false;

    // Object bytes, from containers; bytes before m_pos are read.
    std::vector<unsigned char> m_objects;
    std::size_t m_pos = 0;
    std::size_t m_end = 0;
    bool m_broken = false;  // damage follows the bytes at hand
    std::uint64_t m_record = 0;
};
