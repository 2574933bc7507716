#include "curves/CurveInfoColumns.h"

#include "curves/ChartCommon.h"
#include "resources/CurveStrings.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string hex(const char* f, std::uint32_t v) {
    char text[32];
    std::snprintf(text, sizeof text, f, v);
    return text;
}

}  // namespace

CurveInfoColumns::CurveInfoColumns() {
    for (Column c : {kName, kColor, kShow, kAxis, kIdn, kMouseValue}) {
        m_shown[c] = true;
    }
    m_order = {kName, kAxis, kColor, kShow, kIdn, kMouseValue};
}

void CurveInfoColumns::toggle(Column c) {
    m_shown[c] = !m_shown[c];
    m_order.erase(std::remove(m_order.begin(), m_order.end(), c), m_order.end());
    if (m_shown[c]) m_order.push_back(c);
    static constexpr Column kStatistics[] = {kMinValue, kMinIndex, kMaxValue, kMaxIndex};
    for (Column s : kStatistics) {
        m_order.erase(std::remove(m_order.begin(), m_order.end(), s), m_order.end());
    }
    for (Column s : kStatistics) {
        if (m_shown[s]) m_order.push_back(s);
    }
}

std::optional<CurveInfoColumns::Column> CurveInfoColumns::forCommand(unsigned id) {
    switch (id) {
        case 32864:
            return kColor;
        case 32865:
            return kShow;
        case 32867:
            return kIdn;
        case 32869:
            return kMinValue;
        case 32870:
            return kMinIndex;
        case 32871:
            return kMaxValue;
        case 32872:
            return kMaxIndex;
        case 32873:
            return kMouseValue;
        default:
            return std::nullopt;
    }
}

std::string CurveInfoColumns::title(Column c) {
    return strings::loadString(strings::kInfoColumnFirst + static_cast<std::uint32_t>(c));
}

std::vector<CurveInfoRow> infoRows(const CurveWindowRecord& record) {
    std::vector<CurveInfoRow> rows;
    const bool yx = (record.flags & window_flags::kYx) != 0;
    for (int i = 0; i < 4; ++i) {
        const auto slot = static_cast<std::size_t>(i);
        if (yx) {
            if ((record.yx[slot].flags & curve_flags::kDefined) == 0) continue;
            rows.push_back({record.yx[slot].name.text(), "Y", i});
            rows.push_back({record.yx[slot].name.text(), "X", i});
        } else if ((record.yt[slot].flags & curve_flags::kDefined) != 0) {
            rows.push_back({record.yt[slot].name.text(), "Y", i});
        }
    }
    return rows;
}

std::string infoCell(CurveInfoColumns::Column column, const CurveWindowRecord& record,
                     const CurveInfoRow& row, const CurveStatistics* statistics) {
    const auto slot = static_cast<std::size_t>(row.slot);
    const bool yx = (record.flags & window_flags::kYx) != 0;
    const bool xAxis = row.axis == "X";
    const std::uint32_t flags = yx ? record.yx[slot].flags : record.yt[slot].flags;
    const std::uint32_t colour = yx ? record.yx[slot].colour : record.yt[slot].colour;
    const std::uint32_t identifier = !yx     ? record.yt[slot].identifier
                                     : xAxis ? record.yx[slot].xIdentifier
                                             : record.yx[slot].yIdentifier;
    const bool isSignedReading = isSigned(flags, xAxis ? Axis::kX : Axis::kY);
    const bool hasValue = statistics != nullptr && statistics->hasFirst;
    switch (column) {
        case CurveInfoColumns::kName:
            return row.name;
        case CurveInfoColumns::kAxis:
            return row.axis;
        case CurveInfoColumns::kColor:
            return hex("0X%06X", colour);
        case CurveInfoColumns::kShow:
            return strings::loadString((flags & curve_flags::kShow) != 0 ? strings::kEnable
                                                                         : strings::kDisable);
        case CurveInfoColumns::kIdn:
            return hex("0X%X", identifier);
        case CurveInfoColumns::kMaxValue:
            return hasValue ? chart::valueText(statistics->maximum, isSignedReading) : "";
        case CurveInfoColumns::kMinValue:
            return hasValue ? chart::valueText(statistics->minimum, isSignedReading) : "";
        case CurveInfoColumns::kMaxIndex:
            return hasValue ? std::to_string(statistics->maximumIndex) : "";
        case CurveInfoColumns::kMinIndex:
            return hasValue ? std::to_string(statistics->minimumIndex) : "";
        default:
            return "";
    }
}
