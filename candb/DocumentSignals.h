#pragma once

// What a document keeps of its CAN databases in its extension block: taken out of the block when
// a document has been read, put back before one is written.
//
// Thread: the user-interface thread (or a batch run).

#include "candb/CanDatabaseSet.h"
#include "capture/DocumentExtensions.h"

#include <string>
#include <vector>

// Replaces `databases` with those of the block (none when it has none). A record that does not
// read is left in the block, to be written back as it came, and a text says why.
[[nodiscard]] std::vector<std::string> takeDocumentSignals(DocumentExtensions& extensions,
                                                           CanDatabaseSet& databases);

// Puts the databases in the block, in place of the record that was there.
void putDocumentSignals(DocumentExtensions& extensions, const CanDatabaseSet& databases);
