#include "views/TextExport.h"

#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"
#include "resources/StringTable.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

namespace {

using strings::loadString;

using strings::kExportingData;

// The data cell: each byte as "%02X ", or "Remote Frame" for a remote frame.
int dataCell(char* out, const CapturedFrame& f, bool remoteText) {
    if (remoteText && f.status == 1) {
        static const std::string remote = loadString(strings::kRemoteFrame);
        std::memcpy(out, remote.data(), remote.size());
        return static_cast<int>(remote.size());
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const int n = f.length > 8 ? 8 : f.length;
    for (int i = 0; i < n; ++i) {
        out[3 * i] = kHex[f.data[i] >> 4];
        out[3 * i + 1] = kHex[f.data[i] & 0xF];
        out[3 * i + 2] = ' ';
    }
    return 3 * n;
}

// The DeviceNet description as the export writes it: leading spaces, then the text, padded to
// the group's width.
std::string deviceNetExportText(const DeviceNetReading& r) {
    using D = DeviceNetDescription;
    const char* text = r.description == D::kGroup2OnlyUnconnExpReq ? "Grp2 Only Unconn Exp Req Msg(rsd)"
                       : r.description == D::kOfflineOwnershipRes   ? "Offline Ownership Res Msg"
                                                                    : dataListText(r.description);
    const int lead = r.group == 2 ? 2 : 4;
    const int width = r.group == 1 || r.group == 3 ? 37 : 35;
    std::string cell(static_cast<std::size_t>(lead), ' ');
    cell += text;
    if (cell.size() < static_cast<std::size_t>(width)) cell.resize(static_cast<std::size_t>(width), ' ');
    return cell;
}

int canRow(char* out, std::size_t size, const CapturedFrame& f, std::uint32_t row) {
    const bool ext = f.format == 1;
    int n = std::snprintf(out, size, "%07u    %02u-%02u-%03u-%03u    %02u    %03X%s%s    %u    ", row,
                          f.minutes, f.seconds, f.millis, f.micros, f.loading, f.identifier,
                          ext ? " " : "      ", ext ? "Extended" : "Standard", f.length);
    n += dataCell(out + n, f, true);
    return n;
}

int deviceNetRow(char* out, std::size_t size, const CapturedFrame& f, std::uint32_t row) {
    int n = std::snprintf(out, size, "%07u  %02u-%02u-%03u-%03u   %02u   ", row, f.minutes, f.seconds,
                          f.millis, f.micros, f.loading);
    const DeviceNetReading r = readDeviceNet(f);
    if (!r.readable) {
        n += std::snprintf(out + n, size - static_cast<std::size_t>(n),
                           "  %03XExtended  -  --   --     --    %s                           %u  ",
                           f.identifier, loadString(strings::kInvalidData).c_str(), f.length);
        return n + dataCell(out + n, f, false);
    }
    char source[16], destination[16], message[16];
    const auto mac = [](const std::optional<std::uint8_t>& v) { return v ? *v : 0u; };
    switch (r.group) {
        case 1:
            std::snprintf(source, sizeof source, "  %02X", mac(r.source));
            std::snprintf(destination, sizeof destination, "   --");
            std::snprintf(message, sizeof message, "     %02X", r.messageId);
            break;
        case 2:
            if (r.source) std::snprintf(source, sizeof source, "  %02X", *r.source);
            else std::snprintf(source, sizeof source, "  --");
            if (r.destination) std::snprintf(destination, sizeof destination, "   %02X", *r.destination);
            else std::snprintf(destination, sizeof destination, "   --");
            std::snprintf(message, sizeof message, "     %02X  ", r.messageId);
            break;
        case 3:
            std::snprintf(source, sizeof source, "  %02X  ", mac(r.source));
            if (r.destination) std::snprintf(destination, sizeof destination, " %02X", *r.destination);
            else std::snprintf(destination, sizeof destination, " --");
            std::snprintf(message, sizeof message, "     %02X", r.messageId);
            break;
        default:
            std::snprintf(source, sizeof source, "  --");
            std::snprintf(destination, sizeof destination, "   --");
            std::snprintf(message, sizeof message, "     %02X", r.messageId);
            break;
    }
    n += std::snprintf(out + n, size - static_cast<std::size_t>(n),
                       "    %03X   Standard  %d%s%s%s%s%s%u  ", f.identifier, r.group, source,
                       destination, message, deviceNetExportText(r).c_str(),
                       r.group == 4 ? "    " : "  ", f.length);
    return n + dataCell(out + n, f, true);
}

int canOpenRow(char* out, std::size_t size, const CapturedFrame& f, std::uint32_t row) {
    int n = std::snprintf(out, size, "%07u    %02u-%02u-%03u-%03u   %02u", row, f.minutes, f.seconds,
                          f.millis, f.micros, f.loading);
    const CanOpenReading r = readCanOpen(f);
    if (!r.readable) {
        n += std::snprintf(out + n, size - static_cast<std::size_t>(n),
                           "    %03X Extended    -    --    %s    %u    ", f.identifier,
                           loadString(strings::kInvalidData).c_str(), f.length);
    } else {
        const char* text = r.description == CanOpenDescription::kUnassigned
                               ? "------"
                               : dataListText(r.description);
        n += std::snprintf(out + n, size - static_cast<std::size_t>(n),
                           "    %03X      Standard    %X    %02X    %-17s    %u    ", f.identifier,
                           r.functionCode, r.nodeId, text, f.length);
    }
    return n + dataCell(out + n, f, true);
}

struct Layout {
    std::uint32_t headerId;
    int hyphens;
    int closingHyphens;
    std::uint32_t closingId;
    const char* closing;
};

Layout layoutOf(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet: return {6005, 114, 115, 0, "End of message logs"};
        case ProtocolReading::kCanOpen: return {6006, 109, 109, 0, "End of message logs"};
        default: return {6004, 77, 83, 7011, nullptr};
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int exportRow(char* out, std::size_t size, ProtocolReading reading, const CapturedFrame& frame,
              std::uint32_t row) {
    switch (reading) {
        case ProtocolReading::kDeviceNet: return deviceNetRow(out, size, frame, row);
        case ProtocolReading::kCanOpen: return canOpenRow(out, size, frame, row);
        default: return canRow(out, size, frame, row);
    }
}

const char* exportDefaultName(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet: return "DeviceNetData";
        case ProtocolReading::kCanOpen: return "CANopenData";
        default: return "CANData";
    }
}

ExportResult exportText(const std::string& path, ProtocolReading reading,
                        const DisplayIndexList& rows, const FrameStore& store, std::time_t when,
                        Progress* progress) {
    std::vector<char> buffer(1 << 20);  // outlives the file that writes through it
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return {ExportResult::kCannotOpen, std::strerror(errno)};
    }
    std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
    const auto line = [&file](const std::string& text) {
        std::fputs(text.c_str(), file.get());
        std::fputs("\r\n", file.get());
    };
    // Rows whose frame is gone are not written (nor counted).
    const std::uint32_t storeCount = store.count();
    std::uint32_t amount = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (rows.at(r) < storeCount) ++amount;
    }
    char stamp[64];
    std::tm local{};
    localtime_r(&when, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const Layout layout = layoutOf(reading);
    line(loadString(7003));
    line(loadString(7004));
    line(loadString(7005) + stamp);
    line("");
    char amountText[64];
    std::snprintf(amountText, sizeof amountText, loadString(7006).c_str(), amount);
    line(amountText);
    line("");
    line(loadString(layout.headerId));
    line(std::string(static_cast<std::size_t>(layout.hyphens), '-'));

    if (amount > 0 && progress != nullptr) progress->begin(kExportingData);
    ProgressSteps steps(amount > 0 ? progress : nullptr, amount);
    char text[512];
    std::uint32_t written = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::uint32_t position = rows.at(r);
        if (position >= storeCount) continue;
        int n = exportRow(text, sizeof text - 2, reading, store.at(position), written);
        text[n++] = '\r';
        text[n++] = '\n';
        std::fwrite(text, 1, static_cast<std::size_t>(n), file.get());
        steps.at(++written);
    }
    if (amount > 0 && progress != nullptr) progress->end();
    line(std::string(static_cast<std::size_t>(layout.closingHyphens), '-'));
    std::fputs(layout.closing != nullptr ? layout.closing : loadString(layout.closingId).c_str(),
               file.get());
    // A full disk or a vanished folder is reported, not ignored.
    const bool failed = std::ferror(file.get()) != 0;
    const bool closed = std::fclose(file.release()) == 0;
    if (failed || !closed) {
        return {ExportResult::kWriteFailed, std::strerror(errno != 0 ? errno : EIO)};
    }
    return {};
}
