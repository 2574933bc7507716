#pragma once

// What the three filter dialogs share: their own copy of the condition list, the selected row,
// the Show/Hide choice, and Add / Edit / Delete with the duplicate rule. OK hands the copy back;
// Cancel simply drops it.
//
// Thread: the user-interface thread.

#include "filters/FilterCondition.h"
#include "filters/FilterState.h"
#include "framework/MessageService.h"

#include <vector>

class ConditionListEditor {
public:
    explicit ConditionListEditor(MessageService& messages) : m_messages(messages) {}

    // Takes a copy of the program's list and its mode.
    void open(const FilterState& filter);
    [[nodiscard]] const std::vector<FilterCondition>& conditions() const { return m_conditions; }
    [[nodiscard]] int selectedRow() const { return m_selected; }
    [[nodiscard]] const FilterCondition* selected() const;
    [[nodiscard]] FilterMode mode() const { return m_mode; }
    void setMode(FilterMode mode) { m_mode = mode; }

    // The table's check boxes become FCF_ENABLED of the rows they stand for.
    void takeChecks(const std::vector<bool>& checks);
    // Selects `row` (-1: none); false when there is no such row.
    bool select(int row);

    // Appends `c` unless a condition of the list says the same; false after the message.
    bool add(ConditionProtocol protocol, const FilterCondition& c);
    // Replaces the selected condition unless one of the list (itself included) says the same.
    bool replaceSelected(ConditionProtocol protocol, const FilterCondition& c);
    // Removes the selected condition; the selection is gone afterwards.
    bool removeSelected();

private:
    [[nodiscard]] bool duplicate(ConditionProtocol protocol, const FilterCondition& c) const;

    MessageService& m_messages;
    std::vector<FilterCondition> m_conditions;
    int m_selected = -1;
    FilterMode m_mode = FilterMode::kShow;
};
