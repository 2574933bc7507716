#pragma once

// The handling of "Add", "Edit", "Delete", a row click and the radix that every filter dialog does
// alike over its own logic class. The dialog shows the logic's state in showState().
//
// Thread: the user-interface thread.

#include "filters/FilterDialogBase.h"

#include <utility>

template <class Logic>
class FilterDialogFor : public FilterDialogBase {
public:
    [[nodiscard]] Logic& logic() { return m_logic; }

protected:
    // `radixToEnd`: a radix switch scrolls the table to its last row.
    template <class... LogicArgs>
    FilterDialogFor(ConditionTableKind kind, const char* title, QWidget* parent, bool radixToEnd,
                    LogicArgs&&... logicArgs)
        : FilterDialogBase(kind, title, parent),
          m_logic(std::forward<LogicArgs>(logicArgs)...),
          m_radixToEnd(radixToEnd) {}

    // Puts the logic's field values and button states into the controls.
    virtual void showState() = 0;

    ConditionListEditor& list() override { return m_logic.list(); }

    void onAdd() override {
        const bool added = m_logic.add(table().checkStates());
        listChanged(added, m_logic.rows(), true);
    }
    void onEdit() override {
        if (m_logic.list().selected() == nullptr) return;
        const bool edited = m_logic.edit(table().checkStates());
        listChanged(edited, m_logic.rows(), false);
    }
    void onDelete() override {
        if (!m_logic.remove()) return;
        table().markRow(-1);
        listChanged(true, m_logic.rows(), false);
        setEditDelete(m_logic.editEnabled(), m_logic.deleteEnabled());
    }
    void onRowClicked(int row) override {
        m_logic.clickRow(row);
        showState();
    }
    void onRadix(bool hex) override {
        m_logic.setHex(hex);
        showState();
        fillTable(m_logic.rows(), m_radixToEnd);
    }

    Logic m_logic;

private:
    const bool m_radixToEnd;
};
