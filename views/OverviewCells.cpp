#include "views/OverviewCells.h"

#include "candb/SignalDecoder.h"
#include "protocol/CanOpenReading.h"
#include "protocol/DeviceNetReading.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"
#include "resources/UiText.h"

#include <algorithm>

namespace {

using F = OverviewField;

constexpr OverviewField kCanColumns[] = {F::kIdentifier, F::kType,      F::kCount,
                                         F::kLength,     F::kData,      F::kTime,
                                         F::kMeanPeriod, F::kMinPeriod, F::kMaxPeriod};
constexpr OverviewField kNamedColumns[] = {
    F::kIdentifier, F::kType, F::kReadingName, F::kCount,     F::kLength,
    F::kData,       F::kTime, F::kMeanPeriod,  F::kMinPeriod, F::kMaxPeriod};
constexpr OverviewField kCanMessageColumns[] = {
    F::kIdentifier, F::kType, F::kMessageName, F::kCount,     F::kLength,
    F::kData,       F::kTime, F::kMeanPeriod,  F::kMinPeriod, F::kMaxPeriod};
constexpr OverviewField kNamedMessageColumns[] = {
    F::kIdentifier, F::kType, F::kReadingName, F::kMessageName, F::kCount,    F::kLength,
    F::kData,       F::kTime, F::kMeanPeriod,  F::kMinPeriod,   F::kMaxPeriod};

std::string dataText(const OverviewRow& row) {
    if (row.lastRemote) return strings::loadString(strings::kRemoteFrame);
    std::string text;
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < std::min<int>(row.lastDataLength, 8); ++i) {
        if (i > 0) text += ' ';
        text += kHex[row.lastData[i] >> 4];
        text += kHex[row.lastData[i] & 0xF];
    }
    return text;
}

// As the data list writes a frame's time: minutes, seconds, milliseconds, microseconds.
std::string timeText(std::uint64_t us) {
    return strprintf("%02llu-%02llu-%03llu-%03llu",
                     static_cast<unsigned long long>(us / 60'000'000),
                     static_cast<unsigned long long>(us / 1'000'000 % 60),
                     static_cast<unsigned long long>(us / 1000 % 1000),
                     static_cast<unsigned long long>(us % 1000));
}

std::string periodText(const OverviewRow& row, double us) {
    return row.hasPeriods() ? strprintf("%.3f", us / 1000.0) : std::string();
}

std::string readingName(const OverviewRow& row, ProtocolReading reading) {
    const std::uint8_t format = row.extended ? 1 : 0;
    if (reading == ProtocolReading::kDeviceNet) {
        const DeviceNetReading r = readDeviceNet(row.identifier, format, row.lastData[0]);
        return r.readable ? uiText(dataListText(r.description))
                          : strings::loadString(strings::kInvalidData);
    }
    const CanOpenReading r = readCanOpen(row.identifier, format);
    return r.readable ? dataListText(r.description) : strings::loadString(strings::kInvalidData);
}

}  // namespace

std::span<const OverviewField> overviewColumns(ProtocolReading reading, bool messageNames) {
    if (reading == ProtocolReading::kCan) {
        return messageNames ? std::span<const OverviewField>(kCanMessageColumns) : kCanColumns;
    }
    return messageNames ? std::span<const OverviewField>(kNamedMessageColumns) : kNamedColumns;
}

bool namesMessages(const SignalDecoder* decoder) {
    return decoder != nullptr && !decoder->databases().empty();
}

std::uint32_t overviewHeaderId(OverviewField field, ProtocolReading reading) {
    switch (field) {
        case F::kIdentifier:
            return reading == ProtocolReading::kCanOpen ? strings::kColumnCobId
                                                        : strings::kColumnIdentifier;
        case F::kType:
            return strings::kColumnType;
        case F::kCount:
            return strings::kOverviewColumnCount;
        case F::kLength:
            return strings::kColumnLength;
        case F::kData:
            return strings::kColumnData;
        case F::kTime:
            return strings::kColumnTime;
        case F::kMeanPeriod:
            return strings::kOverviewColumnMeanPeriod;
        case F::kMinPeriod:
            return strings::kOverviewColumnMinPeriod;
        case F::kMaxPeriod:
            return strings::kOverviewColumnMaxPeriod;
        case F::kReadingName:
            return reading == ProtocolReading::kCanOpen ? strings::kColumnCanOpenDescription
                                                        : strings::kColumnDescription;
        case F::kMessageName:
            return strings::kOverviewColumnMessage;
    }
    return 0;
}

std::optional<OverviewColumn> overviewSortColumn(OverviewField field) {
    switch (field) {
        case F::kIdentifier:
            return OverviewColumn::kIdentifier;
        case F::kType:
            return OverviewColumn::kType;
        case F::kCount:
            return OverviewColumn::kCount;
        case F::kLength:
            return OverviewColumn::kLength;
        case F::kData:
            return OverviewColumn::kData;
        case F::kTime:
            return OverviewColumn::kLastTime;
        case F::kMeanPeriod:
            return OverviewColumn::kMeanPeriod;
        case F::kMinPeriod:
            return OverviewColumn::kMinPeriod;
        case F::kMaxPeriod:
            return OverviewColumn::kMaxPeriod;
        case F::kReadingName:
        case F::kMessageName:
            break;
    }
    return std::nullopt;
}

std::string overviewCell(const OverviewRow& row, OverviewField field, bool hex,
                         ProtocolReading reading, const SignalDecoder* decoder) {
    switch (field) {
        case F::kIdentifier:
            return strprintf(hex ? "%X" : "%u", row.identifier);
        case F::kType:
            return strings::loadString(row.extended ? strings::kExtended : strings::kStandard);
        case F::kCount:
            return strprintf("%llu", static_cast<unsigned long long>(row.count));
        case F::kLength:
            return strprintf("%u", static_cast<unsigned>(row.lastLength));
        case F::kData:
            return dataText(row);
        case F::kTime:
            return timeText(row.lastTime);
        case F::kMeanPeriod:
            return periodText(row, row.meanPeriod());
        case F::kMinPeriod:
            return periodText(row, static_cast<double>(row.minPeriod));
        case F::kMaxPeriod:
            return periodText(row, static_cast<double>(row.maxPeriod));
        case F::kReadingName:
            return reading == ProtocolReading::kCan ? std::string() : readingName(row, reading);
        case F::kMessageName: {
            const int message =
                decoder != nullptr ? decoder->find(row.identifier, row.extended) : -1;
            return message >= 0 ? decoder->message(static_cast<std::size_t>(message)).name
                                : std::string();
        }
    }
    return {};
}

std::string overviewLine(const OverviewRow& row, bool hex, ProtocolReading reading,
                         const SignalDecoder* decoder) {
    const auto columns = overviewColumns(reading, namesMessages(decoder));
    std::string line;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (c > 0) line += '\t';
        line += overviewCell(row, columns[c], hex, reading, decoder);
    }
    return line;
}

double changeStrength(const OverviewRow& row, int i, std::uint64_t now) {
    if (i < 0 || i >= 8 || !row.changedWithin(i, now, kChangeFadeUs)) return 0;
    return 1.0 - static_cast<double>(now - row.changedAt[i]) / static_cast<double>(kChangeFadeUs);
}
