#pragma once

// What a document keeps of its CAN databases, its signal curves and its signal filter in its
// extension block: taken out of the block when a document has been read, put back before one is
// written.
//
// Thread: the user-interface thread (or a batch run).

#include "candb/CanDatabaseSet.h"
#include "candb/SignalCurves.h"
#include "candb/SignalFilter.h"
#include "document/DocumentExtensions.h"
#include "document/ProgramState.h"

#include <cstdint>
#include <optional>
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

// The filter's conditions on signals: the document's lines compiled against its databases, or
// none when there are no lines or they do not compile any more (a database was removed).
void applySignalConditions(ProgramState& state);

// A record of `tag` whose layout (its first u32) is at most `newestLayout`, taken out of the
// block's kept records. A record of a newer layout stays where it is, to be written back as it
// came; nullopt then, and when there is none.
[[nodiscard]] std::optional<std::vector<std::uint8_t>> takeExtension(DocumentExtensions& extensions,
                                                                     ExtensionTag tag,
                                                                     std::uint32_t newestLayout);

// Puts `payload` as the record of `tag`. An empty payload writes nothing; a kept record of the
// tag (a newer program's, or one that could not be read) then stays, else it is replaced.
void putExtension(DocumentExtensions& extensions, ExtensionTag tag,
                  std::vector<std::uint8_t> payload);
