#pragma once

// The body font printed pages use: fixed pitch, so the columns of the printed lines stand under
// their headers, and as large as lets the reading's longest line fit an A4 or Letter page.
//
// Thread: the user-interface thread, or a batch run with a GUI application object.

#include "views/DataListCells.h"

#include <QFont>

// The font description printing scales (half its pixel size, in points, on the paper).
[[nodiscard]] QFont printBodyFont(ProtocolReading reading);
// The size in points the reading's lines are printed at.
[[nodiscard]] double printBodyPoints(ProtocolReading reading);
