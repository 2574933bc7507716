#pragma once

// What a document keeps of its CAN databases and its signal curves in its extension block: taken
// out of the block when a document has been read, put back before one is written.
//
// Thread: the user-interface thread (or a batch run).

#include "candb/CanDatabaseSet.h"
#include "candb/SignalCurves.h"
#include "capture/DocumentExtensions.h"

#include <string>
#include <vector>

// Replaces `databases` and `curves` with those of the block (none when it has none). A record
// that does not read is left in the block, to be written back as it came, and a text says why.
[[nodiscard]] std::vector<std::string> takeDocumentSignals(DocumentExtensions& extensions,
                                                           CanDatabaseSet& databases,
                                                           SignalCurves& curves);

// Puts them in the block, in place of the records that were there.
void putDocumentSignals(DocumentExtensions& extensions, const CanDatabaseSet& databases,
                        const SignalCurves& curves);
