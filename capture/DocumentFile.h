#pragma once

// The document file (".krv"): a header of 21 fields, then the frames, the filter conditions, the
// automatic message items, the two manual buffers and the window records, little-endian, in one
// pass; then, only when the document has something to add, its extension block
// (DocumentExtensions.h).
//
// Reading checks the version and that the counts fit the file before anything is allocated or
// changed, and fills temporaries; the caller applies them only when the whole file was read.
// Writing goes to a temporary file that replaces the old one only when all of it is written.
//
// Thread: the user-interface thread (or a batch run); the store being saved may be appended to by
// the capture poll meanwhile.

#include "capture/DocumentExtensions.h"
#include "capture/FrameStore.h"
#include "curves/CurveRecords.h"
#include "filters/FilterCondition.h"
#include "transmit/MessageRecords.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// What the document keeps besides the frames.
struct DocumentContents {
    // The version as the document keeps it: an integer part and a fraction, stored as their sum.
    std::int32_t versionInteger = 1;
    double versionFraction = 0.0;
    std::uint32_t cycle = 1;
    std::uint32_t interval = 1;
    std::uint32_t capturing = 0;
    std::uint32_t deviceReady = 0;
    std::uint32_t baudRate = 0;
    std::uint32_t workMode = 0;
    std::uint32_t reserved9 = 0;  // written back as the last opened file had it
    std::uint32_t dataListExists = 0;
    std::uint32_t ytChartCreated = 0;
    std::uint32_t hexDisplay = 1;
    std::uint16_t activeWord = 0;
    std::uint32_t filterMode = 0;
    std::uint32_t frameType = 1;
    std::vector<FilterCondition> conditions;
    std::vector<AutoMessageItem> items;
    std::array<ManualBuffer, 2> manual{};
    std::vector<CurveWindowRecord> windows;
    // What follows the last window record; nothing in a document that has nothing to add.
    DocumentExtensions extensions;
};

inline constexpr std::size_t kHeaderBytes = 82;
inline constexpr std::size_t kFrameRecordBytes = 42;
inline constexpr std::size_t kConditionRecordBytes = 170;
inline constexpr std::size_t kItemRecordBytes = 22;
inline constexpr std::size_t kManualBuffersBytes = 96;
inline constexpr std::size_t kWindowRecordBytes = 556;
inline constexpr std::uint32_t kMaxAutoItems = 8;

// Told how far a long read or write has come.
class Progress {
public:
    virtual ~Progress() = default;
    virtual void begin(std::uint32_t captionStringId) = 0;
    virtual void setPercent(int percent) = 0;
    virtual void end() = 0;
};

// Turns "done of total" into whole percentages and says when one changes, so a window is updated
// at most a hundred times however long the run.
class ProgressSteps {
public:
    // The window starts at 0, shown by begin(); each later percentage is one update.
    explicit ProgressSteps(Progress* progress, std::uint64_t total)
        : m_progress(progress), m_total(total) {}
    void at(std::uint64_t done) {
        if (m_progress == nullptr || m_total == 0) return;
        const int percent = static_cast<int>(done * 100 / m_total);
        if (percent != m_shown) {
            m_shown = percent;
            m_progress->setPercent(percent);
        }
    }

private:
    Progress* m_progress;
    std::uint64_t m_total;
    int m_shown = 0;
};

struct FileResult {
    bool ok = true;
    std::string error;  // what went wrong, for the user
};

// Writes `frameCount` frames of `store` (taken before the call) and the contents.
FileResult saveDocument(const std::string& path, const DocumentContents& contents,
                        const FrameStore& store, std::uint32_t frameCount, Progress* progress);

// Reads a document into `contents` and the empty `frames`. On failure both hold nothing useful
// and the error says why.
FileResult loadDocument(const std::string& path, DocumentContents& contents, FrameStore& frames,
                        Progress* progress);
