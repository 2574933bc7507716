#include "filters/ConditionListEditor.h"

#include "filters/FilterMatch.h"
#include "resources/StringTable.h"

#include <algorithm>

void ConditionListEditor::open(const FilterState& filter) {
    m_conditions = filter.conditions;
    m_mode = filter.mode;
    m_selected = -1;
}

const FilterCondition* ConditionListEditor::selected() const {
    return m_selected >= 0 && m_selected < static_cast<int>(m_conditions.size())
               ? &m_conditions[static_cast<std::size_t>(m_selected)]
               : nullptr;
}

void ConditionListEditor::takeChecks(const std::vector<bool>& checks) {
    const std::size_t n = std::min(checks.size(), m_conditions.size());
    for (std::size_t i = 0; i < n; ++i) {
        m_conditions[i].flags =
            checks[i] ? m_conditions[i].flags | FCF_ENABLED : m_conditions[i].flags & ~FCF_ENABLED;
    }
}

bool ConditionListEditor::select(int row) {
    if (row < 0 || row >= static_cast<int>(m_conditions.size())) {
        m_selected = -1;
        return false;
    }
    m_selected = row;
    return true;
}

bool ConditionListEditor::duplicate(ConditionProtocol protocol, const FilterCondition& c) const {
    const bool found = std::any_of(
        m_conditions.begin(), m_conditions.end(),
        [&](const FilterCondition& existing) { return sameCondition(protocol, c, existing); });
    if (found) m_messages.showMessage(strings::kSameCondition, MessageIcon::kInformation);
    return found;
}

bool ConditionListEditor::add(ConditionProtocol protocol, const FilterCondition& c) {
    if (duplicate(protocol, c)) return false;
    m_conditions.push_back(c);
    m_conditions.back().reserved = 0;
    return true;
}

bool ConditionListEditor::replaceSelected(ConditionProtocol protocol, const FilterCondition& c) {
    if (selected() == nullptr || duplicate(protocol, c)) return false;
    m_conditions[static_cast<std::size_t>(m_selected)] = c;
    m_conditions[static_cast<std::size_t>(m_selected)].reserved = 0;
    return true;
}

bool ConditionListEditor::removeSelected() {
    if (selected() == nullptr) return false;
    m_conditions.erase(m_conditions.begin() + m_selected);
    m_selected = -1;
    return true;
}
