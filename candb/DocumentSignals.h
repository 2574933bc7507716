#pragma once

// What a document keeps of its CAN databases, its signal curves and its signal filter in its
// extension block: taken out of the block when a document has been read, put back before one is
// written.
//
// Thread: the user-interface thread (or a batch run).

#include "candb/CanDatabaseSet.h"
#include "candb/SignalCurves.h"
#include "candb/SignalFilter.h"
#include "capture/DocumentExtensions.h"

#include <string>
#include <vector>

// Replaces `databases`, `curves` and `filter` with those of the block (none when it has none). A
// record that does not read is left in the block, to be written back as it came, and a text says
// why.
[[nodiscard]] std::vector<std::string> takeDocumentSignals(DocumentExtensions& extensions,
                                                           CanDatabaseSet& databases,
                                                           SignalCurves& curves,
                                                           SignalFilterList& filter);

// Puts them in the block, in place of the records that were there.
void putDocumentSignals(DocumentExtensions& extensions, const CanDatabaseSet& databases,
                        const SignalCurves& curves, const SignalFilterList& filter);
