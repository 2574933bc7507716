#include "candb/DocumentSignals.h"

#include "candb/ExtensionPayload.h"

namespace {

// Reads the record of `tag` into `into`; one that does not read goes back among the kept ones.
template <class Part>
void take(DocumentExtensions& extensions, ExtensionTag tag, Part& into,
          std::vector<std::string>& problems) {
    if (auto payload = takeExtension(extensions, tag, Part::kLayout)) {
        std::string error;
        if (!into.decode(*payload, error)) {
            problems.push_back(error);
            extensions.kept.push_back({static_cast<std::uint32_t>(tag), std::move(*payload)});
        }
    }
}

}  // namespace

std::vector<std::string> takeDocumentSignals(DocumentExtensions& extensions,
                                             CanDatabaseSet& databases, SignalCurves& curves,
                                             SignalFilterList& filter) {
    std::vector<std::string> problems;
    databases.clear();
    curves = {};
    filter = {};
    take(extensions, ExtensionTag::kCanDatabases, databases, problems);
    take(extensions, ExtensionTag::kSignalCurves, curves, problems);
    take(extensions, ExtensionTag::kSignalFilters, filter, problems);
    return problems;
}

void putDocumentSignals(DocumentExtensions& extensions, const CanDatabaseSet& databases,
                        const SignalCurves& curves, const SignalFilterList& filter) {
    putExtension(extensions, ExtensionTag::kCanDatabases, databases.encode());
    putExtension(extensions, ExtensionTag::kSignalCurves, curves.encode());
    putExtension(extensions, ExtensionTag::kSignalFilters, filter.encode());
}
