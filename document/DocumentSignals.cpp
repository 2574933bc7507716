#include "document/DocumentSignals.h"

#include "candb/ExtensionPayload.h"

#include <algorithm>

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

std::optional<std::vector<std::uint8_t>> takeExtension(DocumentExtensions& extensions,
                                                       ExtensionTag tag,
                                                       std::uint32_t newestLayout) {
    auto& kept = extensions.kept;
    const auto it = std::find_if(kept.begin(), kept.end(), [&](const ExtensionRecord& r) {
        if (r.tag != static_cast<std::uint32_t>(tag)) return false;
        PayloadReader reader(r.payload);
        const std::uint32_t layout = reader.u32();
        return reader.ok() && layout <= newestLayout;
    });
    if (it == kept.end()) return std::nullopt;
    std::vector<std::uint8_t> payload = std::move(it->payload);
    kept.erase(it);
    return payload;
}

void putExtension(DocumentExtensions& extensions, ExtensionTag tag,
                  std::vector<std::uint8_t> payload) {
    if (payload.empty()) return;
    auto& kept = extensions.kept;
    std::erase_if(
        kept, [&](const ExtensionRecord& r) { return r.tag == static_cast<std::uint32_t>(tag); });
    kept.push_back({static_cast<std::uint32_t>(tag), std::move(payload)});
}
