#include "views/ColumnWidths.h"

#include "resources/StringTable.h"

#include <algorithm>
#include <charconv>

namespace {

// The widest cell a column shows in everyday use, by the header it carries.
QStringList typicalCells(std::uint32_t headerId) {
    switch (headerId) {
        case strings::kColumnCanIndex:
        case strings::kColumnDeviceNetIndex:
        case strings::kColumnCanOpenIndex:
            return {QStringLiteral("0000000")};
        case strings::kColumnTime:
            return {QStringLiteral("00-00-000-000")};
        case strings::kColumnLoading:
            return {QStringLiteral("100")};
        case strings::kColumnIdentifier:
        case strings::kColumnCobId:
            return {QStringLiteral("1FFFFFFF")};
        case strings::kColumnType:
            return {QString::fromStdString(strings::loadString(strings::kStandard)),
                    QString::fromStdString(strings::loadString(strings::kExtended))};
        case strings::kColumnLength:
            return {QStringLiteral("8")};
        case strings::kColumnData: {
            // Hex digits differ in width in most fonts: eight bytes of each, the widest counts.
            QStringList cells{QString::fromStdString(strings::loadString(strings::kRemoteFrame))};
            for (const QChar digit : QStringLiteral("0123456789ABCDEF")) {
                cells << QString(QString(2, digit) + QLatin1Char(' ')).repeated(8);
            }
            return cells;
        }
        case strings::kColumnDescription:
            return {QStringLiteral("Slave's IO Poll Res or COS/CC Ack"),
                    QString::fromStdString(strings::loadString(strings::kInvalidData))};
        case strings::kColumnCanOpenDescription:
            return {QStringLiteral("NMT Error Control"),
                    QString::fromStdString(strings::loadString(strings::kInvalidData))};
        default:  // group, MAC IDs, message ID, function code, node-ID
            return {QStringLiteral("--"), QStringLiteral("7F")};
    }
}

}  // namespace

QStringList ColumnWidths::samples(ProtocolReading reading, int column) {
    const auto columns = dataListColumns(reading);
    if (column < 0 || static_cast<std::size_t>(column) >= columns.size()) return {};
    const std::uint32_t id = columns[static_cast<std::size_t>(column)].headerId;
    QStringList texts = typicalCells(id);
    texts.prepend(QString::fromStdString(strings::loadString(id)));
    return texts;
}

std::vector<int> ColumnWidths::fitted(ProtocolReading reading, int width, const Measure& measure,
                                      const std::vector<int>& chosen) {
    std::vector<int> widths = dataListColumnWidths(reading, width);
    std::vector<int> needs(widths.size(), 0);
    std::vector<bool> fixed(widths.size(), false);
    for (std::size_t c = 0; c < widths.size(); ++c) {
        if (c < chosen.size() && chosen[c] > 0) {
            widths[c] = needs[c] = chosen[c];
            fixed[c] = true;
            continue;
        }
        int needed = 0;
        for (const QString& text : samples(reading, static_cast<int>(c))) {
            needed = std::max(needed, measure(text));
        }
        // Room for the margins and the header's own padding.
        needs[c] = needed + 2 * kCellMargin + 2;
        widths[c] = std::max(widths[c], needs[c]);
    }
    // Columns that need more than their share take it from those with room to spare, so the
    // list fits its window whenever the texts allow; no column gets less than its texts need.
    const int available = std::max(width - 18, 0);
    long long total = 0;
    long long slack = 0;
    for (std::size_t c = 0; c < widths.size(); ++c) {
        total += widths[c];
        if (!fixed[c]) slack += widths[c] - needs[c];
    }
    const long long excess = std::min(total - available, slack);
    if (excess > 0) {
        long long taken = 0;
        for (std::size_t c = 0; c < widths.size(); ++c) {
            if (fixed[c] || slack == 0) continue;
            const long long share = (widths[c] - needs[c]) * excess / slack;
            widths[c] -= static_cast<int>(share);
            taken += share;
        }
        // Rounding leftovers, a pixel at a time from the columns that still have room.
        for (std::size_t c = 0; c < widths.size() && taken < excess; ++c) {
            if (!fixed[c] && widths[c] > needs[c]) {
                --widths[c];
                ++taken;
            }
        }
    }
    return widths;
}

std::string ColumnWidths::encode(const std::vector<int>& chosen) {
    std::string text;
    for (std::size_t c = 0; c < chosen.size(); ++c) {
        if (c > 0) text += ',';
        text += std::to_string(chosen[c]);
    }
    return text;
}

std::vector<int> ColumnWidths::decode(const std::string& text, std::size_t columns) {
    std::vector<int> chosen(columns, 0);
    std::size_t c = 0;
    const char* p = text.data();
    const char* end = text.data() + text.size();
    while (p < end && c < columns) {
        int value = 0;
        const auto [next, error] = std::from_chars(p, end, value);
        if (error != std::errc{}) return std::vector<int>(columns, 0);  // not ours: ignore all
        if (value >= kMinChosen && value <= kMaxChosen) chosen[c] = value;
        ++c;
        p = next;
        if (p < end && *p == ',')
            ++p;
        else if (p < end)
            return std::vector<int>(columns, 0);
    }
    return chosen;
}
