#include "views/PrintLayout.h"

#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"

#include <algorithm>

namespace {

std::string data(const CapturedFrame& f) {
    if (f.status == 1) return strings::loadString(strings::kRemoteFrame);
    std::string text;
    for (int i = 0; i < std::min<int>(f.length, 8); ++i) text += strprintf("%02X ", f.data[i]);
    return text;
}

std::string time(const CapturedFrame& f) {
    return strprintf("    %02u-%02u-%03u-%03u", f.minutes, f.seconds, f.millis, f.micros);
}

std::string padded(const std::string& text, std::size_t width) {
    std::string cell = text;
    if (cell.size() < width) cell.resize(width, ' ');
    return cell;
}

// Four spaces, the text, and spaces up to the total the printed layout gives each text.
std::string deviceNetPrintText(const DeviceNetReading& r) {
    using D = DeviceNetDescription;
    struct Text {
        const char* text;
        std::size_t total;
    };
    static constexpr Text kTexts[kDeviceNetDescriptionCount] = {
        {"--------", 66},
        {"Slave's IO COS/CC Msg", 55},
        {"Slave's IO Bit-Strobe Res Msg", 54},
        {"Slave's IO Poll Res or COS/CC Ack", 52},
        {"Master's I/O Bit-Strobe Cmd Msg", 51},
        {"Reserved for Master's TBD", 54},
        {"Master's COS/CC Ack Msg", 53},
        {"Slave's Exp Res Msg", 56},
        {"Master's Exp Req Msg", 54},
        {"Master's IO Poll/COS/CC Msg", 52},
        {"Grp 2 Only Unconn Exp Req Msg(reserved)", 43},
        {"Duplicate MAC ID Check Msg", 50},
        {"------", 66},
        {"Unconn Exp Res Msg", 55},
        {"Unconn Exp Req Msg", 55},
        {"Reserved Group 4 Msg", 54},
        {"Comm Faulted Res Msg", 54},
        {"Comm Faulted Req Msg", 54},
        {"Offline Ownership Res Msg", 50},
        {"Offline Ownership Req Msg", 50},
        {"Invalid CAN Identifiers", 60},
    };
    static_assert(static_cast<int>(D::kInvalidCanIdentifiers) == kDeviceNetDescriptionCount - 1);
    const Text& t = kTexts[static_cast<int>(r.description)];
    return padded(std::string("    ") + t.text, t.total);
}

std::string canLine(const CapturedFrame& f, std::uint32_t row) {
    return strprintf("%07u :", row) + time(f) +
           strprintf("    %02u    %03X  ", f.loading, f.identifier) +
           (f.format == 1 ? "Extended" : "Standard") + strprintf("    %u    ", f.length) + data(f);
}

std::string deviceNetLine(const CapturedFrame& f, std::uint32_t row) {
    const DeviceNetReading r = readDeviceNet(f);
    if (!r.readable) {
        return strprintf("%07u :", row) + time(f) +
               strprintf("    %02u    %03X  ", f.loading, f.identifier) + "Extended" +
               "    --    --    --" + "    --    " + strings::loadString(strings::kInvalidData) +
               std::string(42, ' ') + strprintf("%u    ", f.length) + data(f);
    }
    const auto mac = [](const std::optional<std::uint8_t>& v) {
        return v ? strprintf("    %02X", *v) : std::string("    --");
    };
    std::string line = strprintf("%07u", row) + time(f) +
                       strprintf("   %02u    %03X  ", f.loading, f.identifier) + "Standard";
    line += r.group == 2 ? strprintf("    %X", r.group) : strprintf("    %d", r.group);
    switch (r.group) {
        case 1:
            line += mac(r.source) + "   --";
            break;
        case 2:
        case 3:
            line += mac(r.source) + mac(r.destination);
            break;
        default:
            line += "    --    --";
            break;
    }
    line += strprintf("    %02X", r.messageId) + deviceNetPrintText(r);
    return line + strprintf("    %u    ", f.length) + data(f);
}

std::string canOpenLine(const CapturedFrame& f, std::uint32_t row) {
    const CanOpenReading r = readCanOpen(f);
    std::string line = strprintf("%07u", row) + time(f) +
                       strprintf("   %02u    %03X  ", f.loading, f.identifier) +
                       (f.format == 1 ? "Extended" : "Standard");
    if (!r.readable) {
        line += "    --    --    " + strings::loadString(strings::kInvalidData);
    } else {
        const bool unassigned = r.description == CanOpenDescription::kUnassigned;
        line += strprintf("    %X    %02X    ", r.functionCode, r.nodeId) +
                padded(unassigned ? "------" : dataListText(r.description), unassigned ? 22 : 21);
    }
    return line + strprintf("    %u    ", f.length) + data(f);
}

}  // namespace

PrintMetrics PrintMetrics::compute(int pageWidth, int pageHeight, int lineHeight, int charWidth,
                                   std::uint32_t rows) {
    PrintMetrics m;
    m.pageWidth = std::max(pageWidth, 1);
    m.pageHeight = std::max(pageHeight, 1);
    m.lineHeight = std::max(lineHeight, 1);
    m.charWidth = std::max(charWidth, 1);
    m.charsPerLine = m.pageWidth / m.charWidth - 8;
    m.linesPerPage = std::max(m.pageHeight / m.lineHeight - 5, 1);
    m.pageCount = rows / static_cast<std::uint32_t>(m.linesPerPage) + 1;
    return m;
}

std::uint32_t PrintMetrics::firstRow(std::uint32_t page) const {
    return (page - 1) * static_cast<std::uint32_t>(linesPerPage);
}

std::uint32_t PrintMetrics::endRow(std::uint32_t page, std::uint32_t rows) const {
    return std::min(page * static_cast<std::uint32_t>(linesPerPage), rows);
}

int PrintMetrics::lineY(int top, int k) const {
    return top + 680 + ((pageHeight - lineHeight - 1300) * k) / linesPerPage;
}

int scaleBodyFont(int size, int dotsPerInch) {
    return size / 2 * dotsPerInch / 72;
}

int titleFontHeight(int dotsPerInch) {
    return 12 * dotsPerInch / 72;
}

std::uint32_t printHeaderId(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return 7008;
        case ProtocolReading::kCanOpen:
            return 7009;
        default:
            return 7007;
    }
}

std::string printLine(ProtocolReading reading, const CapturedFrame& frame, std::uint32_t row) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return deviceNetLine(frame, row);
        case ProtocolReading::kCanOpen:
            return canOpenLine(frame, row);
        default:
            return canLine(frame, row);
    }
}

std::string printFooter(std::uint32_t page, std::uint32_t pageCount) {
    return strprintf("- Page %u of %u -", page, pageCount);
}
