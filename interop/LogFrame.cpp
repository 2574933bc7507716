#include "interop/LogFrame.h"

#include <cctype>

namespace {

bool endsWith(std::string_view path, std::string_view suffix) {
    if (path.size() < suffix.size()) return false;
    const std::string_view tail = path.substr(path.size() - suffix.size());
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(tail[i])) != suffix[i]) return false;
    }
    return true;
}

}  // namespace

FileKind fileKindOf(std::string_view path) {
    if (endsWith(path, ".krv")) return FileKind::kDocument;
    if (endsWith(path, ".log")) return FileKind::kCandump;
    if (endsWith(path, ".asc")) return FileKind::kAsc;
    if (endsWith(path, ".blf")) return FileKind::kBlf;
    if (endsWith(path, ".pcap") || endsWith(path, ".pcapng")) return FileKind::kPcap;
    return FileKind::kUnknown;
}

bool logFormatOf(FileKind kind, LogFormat& format) {
    switch (kind) {
        case FileKind::kCandump:
            format = LogFormat::kCandump;
            return true;
        case FileKind::kAsc:
            format = LogFormat::kAsc;
            return true;
        case FileKind::kBlf:
            format = LogFormat::kBlf;
            return true;
        case FileKind::kPcap:
            format = LogFormat::kPcap;
            return true;
        case FileKind::kDocument:
        case FileKind::kUnknown:
            break;
    }
    return false;
}

const char* skipReasonText(SkipReason reason, bool record) {
    switch (reason) {
        case SkipReason::kErrorFrame:
            return "an error frame";
        case SkipReason::kFdFrame:
            return "a CAN FD frame";
        case SkipReason::kOtherEvent:
            return "not a CAN frame";
        case SkipReason::kTooLong:
            return record ? "the record is too long" : "the line is too long";
        case SkipReason::kCutShort:
            return record ? "the record is cut short at the end of the file"
                          : "the line is cut short at the end of the file";
        case SkipReason::kMalformed:
            break;
    }
    return record ? "the record does not parse" : "the line does not parse";
}

std::string LogReadResult::summary() const {
    const std::uint64_t total = skippedLines();
    if (total == 0) return {};
    const char* unit = records ? " record" : " line";
    std::string text =
        std::to_string(total) + unit + (total == 1 ? " was" : "s were") + " skipped (";
    bool first = true;
    for (std::size_t i = 0; i < kSkipReasons; ++i) {
        if (skipped[i] == 0) continue;
        if (!first) text += ", ";
        first = false;
        text +=
            std::to_string(skipped[i]) + ": " + skipReasonText(static_cast<SkipReason>(i), records);
    }
    text += ")";
    if (!warnings.empty()) {
        const LogWarning& w = warnings.front();
        text += std::string("; the first is") + unit + " " + std::to_string(w.line) + ": " +
                skipReasonText(w.reason, records);
        if (!w.detail.empty()) text += " (" + w.detail + ")";
    }
    text += ".";
    return text;
}
