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
    return FileKind::kUnknown;
}

const char* skipReasonText(SkipReason reason) {
    switch (reason) {
        case SkipReason::kErrorFrame:
            return "an error frame";
        case SkipReason::kFdFrame:
            return "a CAN FD frame";
        case SkipReason::kOtherEvent:
            return "not a CAN frame";
        case SkipReason::kTooLong:
            return "the line is too long";
        case SkipReason::kCutShort:
            return "the line is cut short at the end of the file";
        case SkipReason::kMalformed:
            break;
    }
    return "the line does not parse";
}

std::string LogReadResult::summary() const {
    const std::uint64_t total = skippedLines();
    if (total == 0) return {};
    std::string text =
        std::to_string(total) + (total == 1 ? " line was" : " lines were") + " skipped (";
    bool first = true;
    for (std::size_t i = 0; i < kSkipReasons; ++i) {
        if (skipped[i] == 0) continue;
        if (!first) text += ", ";
        first = false;
        text += std::to_string(skipped[i]) + ": " + skipReasonText(static_cast<SkipReason>(i));
    }
    text += ")";
    if (!warnings.empty()) {
        const LogWarning& w = warnings.front();
        text += "; the first is line " + std::to_string(w.line) + ": " + skipReasonText(w.reason);
        if (!w.detail.empty()) text += " (" + w.detail + ")";
    }
    text += ".";
    return text;
}
