#include "overview/OverviewOrder.h"

#include <algorithm>
#include <compare>
#include <numeric>

namespace {

std::strong_ordering compareData(const OverviewRow& a, const OverviewRow& b) {
    if (a.lastRemote != b.lastRemote)
        return a.lastRemote ? std::strong_ordering::less : std::strong_ordering::greater;
    if (a.lastRemote) return std::strong_ordering::equal;
    const unsigned n = std::min(a.lastDataLength, b.lastDataLength);
    for (unsigned i = 0; i < n; ++i) {
        if (a.lastData[i] != b.lastData[i]) return a.lastData[i] <=> b.lastData[i];
    }
    return a.lastDataLength <=> b.lastDataLength;
}

std::strong_ordering compare(const OverviewRow& a, const OverviewRow& b, OverviewColumn column) {
    switch (column) {
        case OverviewColumn::kIdentifier:
            if (a.identifier != b.identifier) return a.identifier <=> b.identifier;
            return a.extended <=> b.extended;
        case OverviewColumn::kType:
            if (a.extended != b.extended) return a.extended <=> b.extended;
            return a.identifier <=> b.identifier;
        case OverviewColumn::kCount:
            return a.count <=> b.count;
        case OverviewColumn::kLength:
            return a.lastLength <=> b.lastLength;
        case OverviewColumn::kData:
            return compareData(a, b);
        case OverviewColumn::kLastTime:
            return a.lastTime <=> b.lastTime;
        case OverviewColumn::kMeanPeriod:
            // (last - first) / (count - 1) compared without rounding.
            return static_cast<__int128>(static_cast<std::int64_t>(a.lastTime - a.firstTime)) *
                       static_cast<__int128>(b.count - 1) <=>
                   static_cast<__int128>(static_cast<std::int64_t>(b.lastTime - b.firstTime)) *
                       static_cast<__int128>(a.count - 1);
        case OverviewColumn::kMinPeriod:
            return a.minPeriod <=> b.minPeriod;
        case OverviewColumn::kMaxPeriod:
            return a.maxPeriod <=> b.maxPeriod;
    }
    return std::strong_ordering::equal;
}

bool isPeriodColumn(OverviewColumn column) {
    return column == OverviewColumn::kMeanPeriod || column == OverviewColumn::kMinPeriod ||
           column == OverviewColumn::kMaxPeriod;
}

}  // namespace

bool overviewBefore(const std::vector<OverviewRow>& rows, std::uint32_t x, std::uint32_t y,
                    OverviewColumn column, bool descending) {
    const OverviewRow& a = rows[x];
    const OverviewRow& b = rows[y];
    std::strong_ordering c = std::strong_ordering::equal;
    if (isPeriodColumn(column) && a.hasPeriods() != b.hasPeriods()) {
        return a.hasPeriods();
    }
    if (!isPeriodColumn(column) || a.hasPeriods()) {
        c = compare(a, b, column);
        if (descending) c = 0 <=> c;
    }
    // Equal rows in the order they were first seen.
    return std::is_lt(c) || (c == 0 && x < y);
}

std::vector<std::uint32_t> overviewOrder(const std::vector<OverviewRow>& rows,
                                         OverviewColumn column, bool descending) {
    std::vector<std::uint32_t> order(rows.size());
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(), [&](std::uint32_t x, std::uint32_t y) {
        return overviewBefore(rows, x, y, column, descending);
    });
    return order;
}

bool overviewSorted(const std::vector<OverviewRow>& rows, const std::vector<std::uint32_t>& order,
                    OverviewColumn column, bool descending) {
    for (std::size_t i = 1; i < order.size(); ++i) {
        if (!overviewBefore(rows, order[i - 1], order[i], column, descending)) return false;
    }
    return true;
}
