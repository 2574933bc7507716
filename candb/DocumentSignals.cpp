#include "candb/DocumentSignals.h"

#include "candb/ExtensionPayload.h"

std::vector<std::string> takeDocumentSignals(DocumentExtensions& extensions,
                                             CanDatabaseSet& databases) {
    std::vector<std::string> problems;
    databases.clear();
    if (auto payload =
            takeExtension(extensions, ExtensionTag::kCanDatabases, CanDatabaseSet::kLayout)) {
        std::string error;
        if (!databases.decode(*payload, error)) {
            problems.push_back(error);
            extensions.kept.push_back(
                {static_cast<std::uint32_t>(ExtensionTag::kCanDatabases), std::move(*payload)});
        }
    }
    return problems;
}

void putDocumentSignals(DocumentExtensions& extensions, const CanDatabaseSet& databases) {
    putExtension(extensions, ExtensionTag::kCanDatabases, databases.encode());
}
