#include "views/TextExport.h"

#include "framework/ReplacedFile.h"

#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"
#include "resources/StringTable.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <sys/stat.h>

namespace {

using strings::loadString;

using strings::kExportingData;

// Builds one line in a caller's buffer without formatting calls: the export writes millions.
class Line {
public:
    explicit Line(char* out) : m_start(out), m_p(out) {}
    [[nodiscard]] int length() const { return static_cast<int>(m_p - m_start); }
    Line& text(std::string_view s) {
        std::memcpy(m_p, s.data(), s.size());
        m_p += s.size();
        return *this;
    }
    Line& spaces(int n) {
        std::memset(m_p, ' ', static_cast<std::size_t>(n));
        m_p += n;
        return *this;
    }
    // Decimal, zero-padded to `digits` ("%0*u").
    Line& dec(std::uint32_t v, int digits = 1) {
        char tmp[12];
        int n = 0;
        do {
            tmp[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0);
        while (n < digits) tmp[n++] = '0';
        while (n > 0) *m_p++ = tmp[--n];
        return *this;
    }
    // Upper-case hexadecimal, zero-padded to `digits` ("%0*X").
    Line& hex(std::uint32_t v, int digits = 1) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        char tmp[8];
        int n = 0;
        do {
            tmp[n++] = kHex[v & 0xF];
            v >>= 4;
        } while (v != 0);
        while (n < digits) tmp[n++] = '0';
        while (n > 0) *m_p++ = tmp[--n];
        return *this;
    }
    // "%02d-%02d-%03d-%03d" of the time stamp.
    Line& time(const CapturedFrame& f) {
        return dec(f.minutes, 2)
            .text("-")
            .dec(f.seconds, 2)
            .text("-")
            .dec(f.millis, 3)
            .text("-")
            .dec(f.micros, 3);
    }
    // The data cell: each byte as "%02X ", or "Remote Frame" for a remote frame.
    Line& data(const CapturedFrame& f, bool remoteText) {
        if (remoteText && f.status == 1) {
            static const std::string remote = loadString(strings::kRemoteFrame);
            return text(remote);
        }
        const int n = f.length > 8 ? 8 : f.length;
        for (int i = 0; i < n; ++i) hex(f.data[i], 2).text(" ");
        return *this;
    }

private:
    char* m_start;
    char* m_p;
};

// The DeviceNet descriptions as the export writes them: leading spaces, then the text, padded to
// the group's width.
const std::string& deviceNetExportText(DeviceNetDescription description) {
    static const auto table = [] {
        std::array<std::string, kDeviceNetDescriptionCount> cells;
        for (int d = 0; d < kDeviceNetDescriptionCount; ++d) {
            using D = DeviceNetDescription;
            const auto description = static_cast<D>(d);
            const char* text =
                description == D::kGroup2OnlyUnconnExpReq ? "Grp2 Only Unconn Exp Req Msg(rsd)"
                : description == D::kOfflineOwnershipRes  ? "Offline Ownership Res Msg"
                                                          : dataListText(description);
            const int group = d <= static_cast<int>(D::kSlaveIoPollResOrCosCcAck) ? 1
                              : d <= static_cast<int>(D::kDuplicateMacIdCheck)    ? 2
                              : d <= static_cast<int>(D::kUnconnExpReq)           ? 3
                                                                                  : 4;
            std::string cell(group == 2 ? 2 : 4, ' ');
            cell += text;
            const std::size_t width = group == 1 || group == 3 ? 37 : 35;
            if (cell.size() < width) cell.resize(width, ' ');
            cells[static_cast<std::size_t>(d)] = cell;
        }
        return cells;
    }();
    return table[static_cast<std::size_t>(description)];
}

int canRow(char* out, const CapturedFrame& f, std::uint32_t row) {
    Line l(out);
    l.dec(row, 7).spaces(4).time(f).spaces(4).dec(f.loading, 2).spaces(4).hex(f.identifier, 3);
    l.text(f.format == 1 ? " Extended" : "      Standard").spaces(4).dec(f.length).spaces(4);
    return l.data(f, true).length();
}

int deviceNetRow(char* out, const CapturedFrame& f, std::uint32_t row) {
    Line l(out);
    l.dec(row, 7).spaces(2).time(f).spaces(3).dec(f.loading, 2).spaces(3);
    const DeviceNetReading r = readDeviceNet(f);
    if (!r.readable) {
        static const std::string invalid = loadString(strings::kInvalidData);
        l.spaces(2).hex(f.identifier, 3).text("Extended  -  --   --     --    ").text(invalid);
        return l.spaces(27).dec(f.length).spaces(2).data(f, false).length();
    }
    l.spaces(4).hex(f.identifier, 3).text("   Standard  ").dec(r.group);
    const auto mac = [&l](const std::optional<std::uint8_t>& v, int lead) {
        l.spaces(lead);
        if (v)
            l.hex(*v, 2);
        else
            l.text("--");
    };
    switch (r.group) {
        case 1:
            mac(r.source, 2);
            l.text("   --").spaces(5).hex(r.messageId, 2);
            break;
        case 2:
            mac(r.source, 2);
            mac(r.destination, 3);
            l.spaces(5).hex(r.messageId, 2).spaces(2);
            break;
        case 3:
            mac(r.source, 2);
            l.spaces(2);
            mac(r.destination, 1);
            l.spaces(5).hex(r.messageId, 2);
            break;
        default:
            l.text("  --   --").spaces(5).hex(r.messageId, 2);
            break;
    }
    l.text(deviceNetExportText(r.description)).spaces(r.group == 4 ? 4 : 2).dec(f.length).spaces(2);
    return l.data(f, true).length();
}

int canOpenRow(char* out, const CapturedFrame& f, std::uint32_t row) {
    Line l(out);
    l.dec(row, 7).spaces(4).time(f).spaces(3).dec(f.loading, 2).spaces(4).hex(f.identifier, 3);
    const CanOpenReading r = readCanOpen(f);
    if (!r.readable) {
        static const std::string invalid = loadString(strings::kInvalidData);
        l.text(" Extended    -    --    ").text(invalid);
    } else {
        const char* text = r.description == CanOpenDescription::kUnassigned
                               ? "------"
                               : dataListText(r.description);
        const std::size_t n = std::strlen(text);
        l.text("      Standard    ")
            .hex(r.functionCode)
            .spaces(4)
            .hex(r.nodeId, 2)
            .spaces(4)
            .text(text);
        l.spaces(n < 17 ? static_cast<int>(17 - n) : 0);
    }
    return l.spaces(4).dec(f.length).spaces(4).data(f, true).length();
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
        case ProtocolReading::kDeviceNet:
            return {6005, 114, 115, 0, "End of message logs"};
        case ProtocolReading::kCanOpen:
            return {6006, 109, 109, 0, "End of message logs"};
        default:
            return {6004, 77, 83, 7011, nullptr};
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

int exportRow(char* out, ProtocolReading reading, const CapturedFrame& frame, std::uint32_t row) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return deviceNetRow(out, frame, row);
        case ProtocolReading::kCanOpen:
            return canOpenRow(out, frame, row);
        default:
            return canRow(out, frame, row);
    }
}

const char* exportDefaultName(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return "DeviceNetData";
        case ProtocolReading::kCanOpen:
            return "CANopenData";
        default:
            return "CANData";
    }
}

ExportResult exportText(const std::string& path, ProtocolReading reading,
                        const DisplayIndexList& rows, const FrameStore& store, std::time_t when,
                        Progress* progress) {
    std::vector<char> buffer(1 << 20);  // outlives the file that writes through it
    // Written beside the old export and put in its place only when complete, so a full disk or
    // a size limit never leaves a cut-off file where a whole one was.
    // A device or a pipe (/dev/stdout in a batch run, say) cannot be replaced: it is written
    // straight.
    struct stat st {};
    const bool straight = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    std::optional<ReplacedFile> replaced;
    if (!straight) {
        replaced.emplace(path);
        if (replaced->fd() < 0) {
            return {ExportResult::kCannotOpen, replaced->error()};
        }
    }
    std::unique_ptr<std::FILE, FileCloser> file(straight ? std::fopen(path.c_str(), "wb")
                                                         : replaced->openStream());
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
        int n = exportRow(text, reading, store.at(position), written);
        text[n++] = '\r';
        text[n++] = '\n';
        std::fwrite(text, 1, static_cast<std::size_t>(n), file.get());
        steps.at(++written);
        if ((written & 0xFFF) == 0 && steps.cancelled()) break;
    }
    // A cancelled export leaves the old file: the temporary is removed unreplaced.
    if (steps.cancelled()) {
        if (amount > 0 && progress != nullptr) progress->end();
        return {ExportResult::kCancelled, "cancelled"};
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
    if (replaced && !replaced->commit()) {
        return {ExportResult::kWriteFailed, replaced->error()};
    }
    return {};
}
