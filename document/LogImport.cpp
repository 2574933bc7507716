#include "document/LogImport.h"

#include "document/LogAnchors.h"
#include "interop/LogReader.h"
#include "document/LogTime.h"
#include "interop/LogWriter.h"
#include "resources/StringTable.h"

#include <new>

namespace {

constexpr std::size_t kBatch = 4096;

// A standard frame's identifier beyond 11 bits (a damaged document) has no form in a log.
bool writable(const CapturedFrame& f) {
    return f.identifier <= (f.format != 0 ? 0x1FFFFFFFu : 0x7FFu);
}

}  // namespace

LogImportResult importLog(const std::string& path, LogFormat format, FrameStore& frames,
                          Progress* progress) {
    LogImportResult result;
    const std::unique_ptr<LogReader> reader = makeLogReader(format);
    if (!reader->openFile(path)) {
        result.status = LogImportResult::kCannotOpen;
        result.detail = reader->result().error;
        return result;
    }
    if (progress != nullptr) progress->begin(strings::kLoadingData);
    ProgressSteps steps(progress, reader->size());
    CapturedFrame batch[kBatch];
    std::size_t n = 0;
    LogFrame frame;
    bool placing = false;
    AnchoredTimeline timeline(0, std::nullopt);
    try {
        while (reader->next(frame)) {
            if (!placing) {
                timeline = AnchoredTimeline(reader->clockZeroUs(), reader->timeOfDayAtZeroUs());
                placing = true;
            }
            const auto position = static_cast<std::uint32_t>(frames.count() + n);
            batch[n++] = timeline.place(frame, position);
            if (timeline.movedOn() != result.movedOn) {
                if (result.movedOn == 0) result.firstMovedOnLine = reader->result().lines;
                result.movedOn = timeline.movedOn();
            }
            if (n == kBatch) {
                frames.appendBatch(batch, n, [](CapturedFrame*, std::size_t) { return true; });
                n = 0;
                steps.at(reader->bytesConsumed());
                if (steps.cancelled()) break;
            }
        }
        frames.appendBatch(batch, n, [](CapturedFrame*, std::size_t) { return true; });
        steps.at(reader->size());
    } catch (const std::bad_alloc&) {
        result.status = LogImportResult::kOutOfMemory;
    }
    if (progress != nullptr) progress->end();
    result.read = reader->result();
    if (result.status == LogImportResult::kOk && steps.cancelled()) {
        result.status = LogImportResult::kCancelled;
    }
    if (result.status != LogImportResult::kOk) return result;
    if (!result.read.ok) {
        result.status = LogImportResult::kReadFailed;
        result.detail = result.read.error;
    } else if (result.read.frames == 0) {
        result.status = LogImportResult::kNoFrames;
    } else {
        result.anchors = timeline.takeAnchors();
    }
    return result;
}

LogExportResult exportLog(const std::string& path, const LogExportOptions& options,
                          const FrameStore& store, const DisplayIndexList* rows, std::time_t when,
                          Progress* progress) {
    LogExportResult result;
    if (!validInterfaceName(options.interfaceName)) {
        return {false, "the interface name " + options.interfaceName + " cannot be written", 0, 0};
    }
    ExportClock clock(options.anchors, options.format);
    const auto [date, millis] = clock.headerDate(when);
    const std::unique_ptr<LogWriter> writer =
        makeLogWriter(options.format, path, options.interfaceName, date, millis);
    const auto logFrame = [&clock](std::uint32_t position, const CapturedFrame& f) {
        LogFrame l = toLogFrame(f);
        l.timeUs = clock.timeUs(position, f);
        return l;
    };
    if (!writer->ok()) return {false, writer->error(), 0, 0};
    const std::uint32_t count = std::min(store.count(), options.frames);
    const std::uint64_t total = rows != nullptr ? rows->size() : count;
    if (total > 0 && progress != nullptr) progress->begin(strings::kExportingData);
    ProgressSteps steps(total > 0 ? progress : nullptr, total);
    if (rows != nullptr) {
        for (std::size_t r = 0; r < rows->size(); ++r) {
            // A row whose frame is gone is not written.
            const std::uint32_t position = rows->at(r);
            if (position < count) {
                const CapturedFrame& f = store.at(position);
                if (writable(f)) {
                    writer->write(logFrame(position, f));
                    ++result.frames;
                } else {
                    ++result.unwritable;
                }
            }
            if ((r & 0xFFF) == 0) {
                steps.at(r);
                if (steps.cancelled()) break;
            }
        }
    } else {
        store.visit(0, count, [&](const CapturedFrame* frames, std::size_t n, std::size_t first) {
            if (steps.cancelled()) return;
            for (std::size_t i = 0; i < n; ++i) {
                if (writable(frames[i])) {
                    writer->write(logFrame(static_cast<std::uint32_t>(first + i), frames[i]));
                    ++result.frames;
                } else {
                    ++result.unwritable;
                }
            }
            steps.at(first + n);
        });
    }
    steps.at(total);
    // A cancelled export is not committed: the old file stays as it was.
    if (steps.cancelled()) {
        if (total > 0 && progress != nullptr) progress->end();
        return {false, "cancelled", 0, 0};
    }
    const bool committed = writer->commit();
    if (total > 0 && progress != nullptr) progress->end();
    if (!committed) return {false, writer->error(), 0, 0};
    return result;
}
