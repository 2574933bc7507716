#pragma once

// The order of the overview's rows when the user sorts by a column.
//
// Thread: any.

#include "overview/BusOverview.h"

#include <cstdint>
#include <vector>

enum class OverviewColumn {
    kIdentifier,  // by value, standard before extended where the values are equal
    kType,        // standard before extended, then by identifier
    kCount,
    kLength,
    kData,  // remote frames first, then the bytes as text would sort
    kLastTime,
    kMeanPeriod,
    kMinPeriod,
    kMaxPeriod,
};

// Indices into `rows` sorted by `column`; equal rows keep the order in which they were first
// seen. Rows without periods (a single frame) come last in the period columns either way, as
// empty cells do.
[[nodiscard]] std::vector<std::uint32_t> overviewOrder(const std::vector<OverviewRow>& rows,
                                                       OverviewColumn column, bool descending);
// Row `x` comes before row `y` in that order (indices into `rows`).
[[nodiscard]] bool overviewBefore(const std::vector<OverviewRow>& rows, std::uint32_t x,
                                  std::uint32_t y, OverviewColumn column, bool descending);
// `order` is still the order overviewOrder() gives: a live table sorts again only when not.
[[nodiscard]] bool overviewSorted(const std::vector<OverviewRow>& rows,
                                  const std::vector<std::uint32_t>& order, OverviewColumn column,
                                  bool descending);
