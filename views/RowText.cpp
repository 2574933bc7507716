#include "views/RowText.h"

#include "views/TextExport.h"

#include <algorithm>

std::string copiedRows(ProtocolReading reading, const DisplayIndexList& rows,
                       const FrameStore& store, std::uint32_t first, std::uint32_t last) {
    std::string text;
    if (first > last || first >= rows.size()) return text;
    last = std::min<std::uint32_t>(
        {last, static_cast<std::uint32_t>(rows.size() - 1), first + kMaxCopiedRows - 1});
    const std::uint32_t frames = store.count();
    char line[256];
    for (std::uint32_t r = first; r <= last; ++r) {
        const std::uint32_t index = rows.at(r);
        if (index >= frames) break;  // emptied meanwhile
        const int n = exportRow(line, reading, store.at(index), r);
        text.append(line, static_cast<std::size_t>(std::max(n, 0)));
        text += '\n';
    }
    return text;
}
