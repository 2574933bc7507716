#pragma once

// The printed pages of the data list as numbers and texts: the page metrics, the page count, where
// each line goes, and the text of each line in the three readings. The painter only draws them.

#include "capture/CapturedFrame.h"
#include "views/DataListCells.h"

#include <cstdint>
#include <string>

struct PrintMetrics {
    int pageWidth = 1;
    int pageHeight = 1;
    int lineHeight = 1;
    int charWidth = 1;
    int charsPerLine = 0;
    int linesPerPage = 1;
    std::uint32_t pageCount = 1;

    // Every divisor is kept at 1 or more, so no page size or font makes the layout divide by 0.
    static PrintMetrics compute(int pageWidth, int pageHeight, int lineHeight, int charWidth,
                                std::uint32_t rows);
    // The rows of page `page` (1-based): [first, end).
    [[nodiscard]] std::uint32_t firstRow(std::uint32_t page) const;
    [[nodiscard]] std::uint32_t endRow(std::uint32_t page, std::uint32_t rows) const;
    // Where line k (1-based) of a page goes, from the top of the page.
    [[nodiscard]] int lineY(int top, int k) const;
};

// A font height (or width) of the body font description, scaled to `dotsPerInch`: half of it, in
// points, on the printer.
[[nodiscard]] int scaleBodyFont(int size, int dotsPerInch);
[[nodiscard]] int titleFontHeight(int dotsPerInch);  // 12 points

[[nodiscard]] std::uint32_t printHeaderId(ProtocolReading reading);
[[nodiscard]] std::string printLine(ProtocolReading reading, const CapturedFrame& frame,
                                    std::uint32_t row);
[[nodiscard]] std::string printFooter(std::uint32_t page, std::uint32_t pageCount);
