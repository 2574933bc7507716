#include "candb/CanDatabase.h"

#include <algorithm>

const std::string* CanSignal::label(std::uint64_t raw) const {
    const auto it =
        std::lower_bound(values.begin(), values.end(), raw,
                         [](const ValueDescription& v, std::uint64_t r) { return v.raw < r; });
    return it != values.end() && it->raw == raw ? &it->text : nullptr;
}

const CanSignal* CanMessage::signal(std::string_view wanted) const {
    for (const CanSignal& s : signals) {
        if (s.name == wanted) return &s;
    }
    return nullptr;
}

const CanMessage* CanDatabase::find(std::uint32_t identifier, bool extended) const {
    const auto it = m_byIdentifier.find(key(identifier, extended));
    return it == m_byIdentifier.end() ? nullptr : &m_messages[it->second];
}
