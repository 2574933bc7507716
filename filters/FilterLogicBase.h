#pragma once

// What the logic of the three filter dialogs does alike with their copy of the condition list:
// Add, Edit and Delete, and "Edit" and "Delete" turned on and off as rows are clicked. Each
// dialog's logic adds its own controls and builds its own condition.
//
// Thread: the user-interface thread.

#include "filters/ConditionListEditor.h"

#include <vector>

class FilterLogicBase {
public:
    [[nodiscard]] ConditionListEditor& list() { return m_list; }
    [[nodiscard]] const ConditionListEditor& list() const { return m_list; }
    [[nodiscard]] bool editEnabled() const { return m_editEnabled; }
    [[nodiscard]] bool deleteEnabled() const { return m_deleteEnabled; }

    // Delete: removes the selected condition and turns "Edit" and "Delete" off; true when the list
    // changed (the document is then modified).
    bool remove();

protected:
    // What a click on a row of another protocol does to "Edit".
    enum class OtherProtocolRows { kEditOff, kEditOn };

    FilterLogicBase(MessageService& messages, ConditionProtocol protocol,
                    OtherProtocolRows otherRows = OtherProtocolRows::kEditOff)
        : m_messages(messages), m_list(messages), m_protocol(protocol), m_otherRows(otherRows) {}
    ~FilterLogicBase() = default;
    FilterLogicBase(const FilterLogicBase&) = delete;
    FilterLogicBase& operator=(const FilterLogicBase&) = delete;

    // A copy of the program's list; "Edit" and "Delete" off.
    void openList(const FilterState& filter);
    // Add and Edit of `built`, the table's check boxes taken in first.
    bool addCondition(const std::vector<bool>& checks, const FilterCondition& built);
    bool replaceCondition(const std::vector<bool>& checks, const FilterCondition& built);
    // A click on `row` selects it and turns "Delete" on, and "Edit" for a condition of the
    // dialog's own protocol. Returns that condition, for the controls to show; null for a row of
    // another protocol or a click beside the rows (which changes nothing).
    const FilterCondition* clickListRow(int row);

    MessageService& m_messages;
    ConditionListEditor m_list;
    bool m_editEnabled = false;
    bool m_deleteEnabled = false;

private:
    const ConditionProtocol m_protocol;
    const OtherProtocolRows m_otherRows;
};
