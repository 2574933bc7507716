#include "views/DataListCells.h"

#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"
#include "resources/UiText.h"

#include <algorithm>
#include <optional>

namespace {

using namespace strings;

constexpr DataListColumn kCanColumns[] = {
    {kColumnCanIndex, 15, false},   {kColumnTime, 20, false}, {kColumnLoading, 10, false},
    {kColumnIdentifier, 10, false}, {kColumnType, 10, false}, {kColumnLength, 10, false},
    {kColumnData, 25, false},
};
constexpr DataListColumn kDeviceNetColumns[] = {
    {kColumnDeviceNetIndex, 5, false}, {kColumnTime, 10, false},
    {kColumnLoading, 8, false},        {kColumnIdentifier, 7, false},
    {kColumnType, 6, false},           {kColumnGroup, 5, false},
    {kColumnSourceId, 7, false},       {kColumnDestinationId, 9, false},
    {kColumnMessageId, 8, false},      {kColumnDescription, 13, false},
    {kColumnLength, 5, false},         {kColumnData, 17, false},
};
constexpr DataListColumn kCanOpenColumns[] = {
    {kColumnCanOpenIndex, 5, true}, {kColumnTime, 10, false},
    {kColumnLoading, 10, false},    {kColumnCobId, 10, false},
    {kColumnType, 5, false},        {kColumnFCode, 8, false},
    {kColumnNodeId, 8, false},      {kColumnCanOpenDescription, 12, false},
    {kColumnLength, 5, false},      {kColumnData, 27, false},
};

std::string dataBytes(const CapturedFrame& f) {
    std::string text;
    const int n = std::min<int>(f.length, 8);
    text.reserve(static_cast<std::size_t>(n) * 3);
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < n; ++i) {
        text += kHex[f.data[i] >> 4];
        text += kHex[f.data[i] & 0xF];
        text += ' ';
    }
    return text;
}

std::string typeText(const CapturedFrame& f) {
    return loadString(f.format == 1 ? kExtended : kStandard);
}

std::string timeText(const CapturedFrame& f) {
    return strprintf("%02u-%02u-%03u-%03u", f.minutes, f.seconds, f.millis, f.micros);
}

// Index, time, loading, identifier and type: the first five columns of every reading.
std::optional<std::string> leadingCell(const CapturedFrame& f, std::uint32_t row, int column,
                                       const char* loadingFormat) {
    switch (column) {
        case 0:
            return strprintf("%u", row);
        case 1:
            return timeText(f);
        case 2:
            return strprintf(loadingFormat, f.loading);
        case 3:
            return strprintf("%X", f.identifier);
        case 4:
            return typeText(f);
        default:
            return std::nullopt;
    }
}

std::string canCell(const CapturedFrame& f, std::uint32_t row, int column) {
    if (auto cell = leadingCell(f, row, column, "%2u")) return *cell;
    switch (column) {
        case 5:
            return strprintf("%d", f.length);
        case 6:
            return f.status == 1 ? loadString(kRemoteFrame) : dataBytes(f);
        default:
            return {};
    }
}

std::string deviceNetCell(const CapturedFrame& f, std::uint32_t row, int column) {
    const auto mac = [](const std::optional<std::uint8_t>& v) {
        return v ? strprintf("%02X", *v) : std::string("--");
    };
    if (auto cell = leadingCell(f, row, column, "%02u")) return *cell;
    switch (column) {
        case 10:
            return strprintf("%d", f.length);
        case 11:
            return f.status == 1 ? loadString(kRemoteFrame) : dataBytes(f);
        default:
            break;
    }
    const DeviceNetReading r = readDeviceNet(f);
    if (!r.readable) {
        return column == 9 ? loadString(kInvalidData) : std::string("--");
    }
    switch (column) {
        case 5:
            return strprintf("%d", r.group);
        case 6:
            return mac(r.source);
        case 7:
            return mac(r.destination);
        case 8:
            return strprintf("%02X", r.messageId);
        case 9:
            // The list speaks the user's language; export and print keep the English texts.
            return f.status == 1 ? loadString(kInvalidData) : uiText(dataListText(r.description));
        default:
            return {};
    }
}

std::string canOpenCell(const CapturedFrame& f, std::uint32_t row, int column) {
    if (auto cell = leadingCell(f, row, column, "%02u")) return *cell;
    switch (column) {
        case 8:
            return strprintf("%d", f.length);
        case 9:
            return f.status != 0 ? loadString(kRemoteFrame) : dataBytes(f);
        default:
            break;
    }
    const CanOpenReading r = readCanOpen(f);
    if (!r.readable) {
        return column == 7 ? loadString(kInvalidData) : std::string("--");
    }
    switch (column) {
        case 5:
            return strprintf("%X", r.functionCode);
        case 6:
            return strprintf("%X", r.nodeId);
        case 7:
            return dataListText(r.description);
        default:
            return {};
    }
}

}  // namespace

std::span<const DataListColumn> dataListColumns(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return kDeviceNetColumns;
        case ProtocolReading::kCanOpen:
            return kCanOpenColumns;
        default:
            return kCanColumns;
    }
}

std::vector<int> dataListColumnWidths(ProtocolReading reading, int width) {
    std::vector<int> widths;
    const int w = std::max(width - 18, 0);
    for (const DataListColumn& c : dataListColumns(reading)) {
        widths.push_back((c.ofWholeWidth ? std::max(width, 0) : w) * c.percent / 100);
    }
    return widths;
}

std::string dataListCell(const CapturedFrame& frame, std::uint32_t row, int column,
                         ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return deviceNetCell(frame, row, column);
        case ProtocolReading::kCanOpen:
            return canOpenCell(frame, row, column);
        default:
            return canCell(frame, row, column);
    }
}

std::string dataListCellText(const FilterState& filter, const FrameStore& store,
                             const ApplicationFlags& flags, std::uint32_t row, int column,
                             ProtocolReading reading) {
    if (flags.test(ApplicationFlags::kClearing) || !filter.displayIndexList.contains(row)) {
        return {};
    }
    const std::uint32_t position = filter.displayIndexList.at(row);
    if (position >= store.count()) {
        return {};
    }
    return dataListCell(store.at(position), row, column, reading);
}

std::optional<std::uint32_t> dataListPosition(const FilterState& filter, const FrameStore& store,
                                              const ApplicationFlags& flags, std::uint32_t row) {
    if (flags.test(ApplicationFlags::kClearing) || !filter.displayIndexList.contains(row)) {
        return std::nullopt;
    }
    const std::uint32_t position = filter.displayIndexList.at(row);
    if (position >= store.count()) return std::nullopt;
    return position;
}

std::string dataListTimeOfDay(const FilterState& filter, const FrameStore& store,
                              const ApplicationFlags& flags, const TimeAnchorList& anchors,
                              std::uint32_t row) {
    if (flags.test(ApplicationFlags::kClearing) || !filter.displayIndexList.contains(row)) {
        return {};
    }
    const std::uint32_t position = filter.displayIndexList.at(row);
    if (position >= store.count()) {
        return {};
    }
    const std::optional<std::int64_t> us = anchors.timeOfDayUs(position, store.at(position));
    return us ? formatTimeOfDay(*us) : std::string();
}
