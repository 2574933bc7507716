#include "document/DocumentSignals.h"

#include "candb/ExtensionPayload.h"

#include <algorithm>

namespace {

// The compiled lines as the filter asks them.
class SignalConditions final : public FrameConditions {
public:
    explicit SignalConditions(std::shared_ptr<const SignalFilterMatcher> matcher)
        : m_matcher(std::move(matcher)) {}
    [[nodiscard]] bool matches(const CapturedFrame& frame) const override {
        return m_matcher->matches(frame);
    }

private:
    std::shared_ptr<const SignalFilterMatcher> m_matcher;
};

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

void applySignalConditions(ProgramState& state) {
    state.filter.moreConditions = nullptr;
    if (state.signalFilter.empty()) return;
    const SignalFilterMatcher::Result result =
        SignalFilterMatcher::compile(state.signalFilter.lines, state.databases.decoder());
    if (result.matcher)
        state.filter.moreConditions = std::make_shared<SignalConditions>(result.matcher);
}
