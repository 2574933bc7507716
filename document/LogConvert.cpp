#include "document/LogConvert.h"

#include "document/DocumentFile.h"
#include "document/LogImport.h"

namespace {

ConvertResult failure(std::string text) {
    ConvertResult r;
    r.ok = false;
    r.error = std::move(text);
    return r;
}

void addLine(std::string& text, const std::string& line) {
    if (line.empty()) return;
    if (!text.empty()) text += "\n";
    text += line;
}

std::string movedOnText(const LogImportResult& r) {
    if (r.movedOn == 0) return {};
    const std::string line =
        (r.read.records ? "record " : "line ") + std::to_string(r.firstMovedOnLine);
    if (r.movedOn == 1) {
        return "1 frame goes back in time: it was given the time of the frame before it (" + line +
               ").";
    }
    return std::to_string(r.movedOn) +
           " frames go back in time: each was given the time of the frame before it; the first "
           "is " +
           line + ".";
}

}  // namespace

ConvertResult convertFile(const std::string& in, const std::string& out, std::time_t when) {
    const FileKind from = fileKindOf(in);
    const FileKind to = fileKindOf(out);
    if (from == FileKind::kUnknown) {
        return failure("cannot tell the kind of " + in + " (use .krv, " + kLogExtensions + ")");
    }
    if (to == FileKind::kUnknown) {
        return failure("cannot tell the kind of " + out + " (use .krv, " + kLogExtensions + ")");
    }
    ConvertResult result;
    DocumentContents contents;
    FrameStore store;
    if (from == FileKind::kDocument) {
        const FileResult loaded = loadDocument(in, contents, store, nullptr);
        if (!loaded.ok) return failure(loaded.error);
    } else {
        LogFormat format = LogFormat::kCandump;
        (void)logFormatOf(from, format);
        const LogImportResult imported = importLog(in, format, store, nullptr);
        switch (imported.status) {
            case LogImportResult::kOk:
                break;
            case LogImportResult::kCannotOpen:
                return failure("cannot open " + in + ": " + imported.detail);
            case LogImportResult::kReadFailed:
                return failure("cannot read " + in + ": " + imported.detail);
            case LogImportResult::kOutOfMemory:
                return failure("out of memory reading " + in);
            case LogImportResult::kCancelled:
                return failure("reading " + in + " was cancelled");
            case LogImportResult::kNoFrames: {
                const std::string skipped = imported.read.summary();
                std::string text = in + " holds no CAN frame" + (skipped.empty() ? "." : ": ");
                text += skipped;
                if (imported.read.utf16) {
                    text += " It looks like UTF-16 text; logs are read as ASCII or UTF-8.";
                }
                return failure(text);
            }
        }
        result.warning = imported.read.summary();
        addLine(result.warning, movedOnText(imported));
        contents.extensions.anchors = imported.anchors;
    }
    if (to == FileKind::kDocument) {
        if (from != FileKind::kDocument) {
            // As a new document has it: one data list.
            CurveWindowRecord dataList;
            dataList.flags = CurveWindowRecord::kDataList;
            dataList.name.set("dl");
            contents.windows.push_back(dataList);
            contents.dataListExists = 1;
        }
        const FileResult saved = saveDocument(out, contents, store, store.count(), nullptr);
        if (!saved.ok) return failure(saved.error);
        result.frames = store.count();
        return result;
    }
    LogExportOptions options;
    (void)logFormatOf(to, options.format);
    options.anchors = contents.extensions.anchors;
    const LogExportResult written = exportLog(out, options, store, nullptr, when, nullptr);
    if (!written) return failure("cannot write " + out + ": " + written.error);
    result.frames = written.frames;
    if (written.unwritable > 0) {
        addLine(result.warning,
                std::to_string(written.unwritable) +
                    " frames were left out: their identifiers do not fit their format.");
    }
    return result;
}
