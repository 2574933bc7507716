#include "filters/FilterLogicBase.h"

bool FilterLogicBase::remove() {
    if (!m_list.removeSelected()) return false;
    m_editEnabled = false;
    m_deleteEnabled = false;
    return true;
}

void FilterLogicBase::openList(const FilterState& filter) {
    m_list.open(filter);
    m_editEnabled = false;
    m_deleteEnabled = false;
}

bool FilterLogicBase::addCondition(const std::vector<bool>& checks, const FilterCondition& built) {
    m_list.takeChecks(checks);
    return m_list.add(m_protocol, built);
}

bool FilterLogicBase::replaceCondition(const std::vector<bool>& checks,
                                       const FilterCondition& built) {
    m_list.takeChecks(checks);
    return m_list.replaceSelected(m_protocol, built);
}

const FilterCondition* FilterLogicBase::clickListRow(int row) {
    if (!m_list.select(row)) return nullptr;
    m_deleteEnabled = true;
    const FilterCondition* c = m_list.selected();
    const bool own = protocolOf(*c) == m_protocol;
    m_editEnabled = own || m_otherRows == OtherProtocolRows::kEditOn;
    return own ? c : nullptr;
}
