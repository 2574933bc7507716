#pragma once

// What the three filter dialogs show alike: the "Format:" and "Mode:" radios, "Add", "Edit",
// "Delete", the condition table, "OK" and "Cancel". Each dialog puts its own controls in the
// "Set filter condition" group and keeps its logic in a plain class.
//
// Thread: the user-interface thread.

#include "filters/ConditionListEditor.h"
#include "filters/ConditionTable.h"
#include "widgets/ConditionTableCtrl.h"
#include "widgets/DataEditRow.h"
#include "filters/FilterInput.h"

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class FilterDialogBase : public QDialog {
public:
    // The condition list and mode OK hands back, the table's check boxes taken in.
    [[nodiscard]] std::vector<FilterCondition> acceptedConditions();
    [[nodiscard]] FilterMode acceptedMode() const;

    // Called after every change of the dialog's list (the document is then modified).
    std::function<void()> onListChanged;

    [[nodiscard]] ConditionTableCtrl& table() const { return *m_table; }
    [[nodiscard]] QRadioButton* hexRadio() const { return m_hex; }
    [[nodiscard]] QRadioButton* decimalRadio() const { return m_decimal; }
    [[nodiscard]] QRadioButton* showRadio() const { return m_show; }
    [[nodiscard]] QRadioButton* hideRadio() const { return m_hide; }
    [[nodiscard]] QPushButton* addButton() const { return m_add; }
    [[nodiscard]] QPushButton* editButton() const { return m_edit; }
    [[nodiscard]] QPushButton* deleteButton() const { return m_delete; }
    [[nodiscard]] QPushButton* okButton() const { return m_ok; }

    // A part of the dialog that another subsystem adds (the CAN databases' signal conditions),
    // shown above OK and Cancel. OK asks `accept`, which keeps the dialog open by returning false.
    void addExtension(QWidget* widget, std::function<bool()> accept);

protected:
    FilterDialogBase(ConditionTableKind kind, const char* title, QWidget* parent);

    // The dialog's own copy of the list (the logic's).
    [[nodiscard]] virtual ConditionListEditor& list() = 0;

    // The group the dialog fills with its own controls.
    [[nodiscard]] QGridLayout* conditionGrid() const { return m_grid; }
    // Refills the table from `rows`; `toEnd` scrolls to its last row.
    void fillTable(const std::vector<ConditionTableRow>& rows, bool toEnd);
    void setEditDelete(bool edit, bool del);
    void setRadix(bool hex);
    // After Add / Edit / Delete: a changed list is announced and the table refilled.
    void listChanged(bool changed, const std::vector<ConditionTableRow>& rows, bool toEnd);
    // Sets the mode radios from the list's mode.
    void showMode();

    // Hooks for the dialog's own buttons.
    virtual void onAdd() = 0;
    virtual void onEdit() = 0;
    virtual void onDelete() = 0;
    virtual void onRowClicked(int row) = 0;
    virtual void onRadix(bool hex) = 0;

    static QString text(const char* english);
    // A list or edit text of the logic as shown, and back: "ALL" is the logic's word for any
    // value, whatever the language shows.
    static QString shownText(const std::string& logicText);
    static std::string logicText(const QString& shown);
    // Sets an edit's text without letting it report a change.
    static void setTextQuietly(QLineEdit* edit, const std::string& text);
    // The "Frame:" radios, the "Size:" list and the data edits of the CAN and CANopen dialogs.
    static void showFrame(const FrameFields& frame, bool hex, QRadioButton* dataFrame,
                          QRadioButton* remoteFrame, QComboBox* size, const DataEditRow& data);
    // The "Data:" row of eight edits (ids 1033, 1018 to 1024); `typed` hears each edit's text.
    QHBoxLayout* dataRow(DataEditRow*& data,
                         const std::function<void(int byte, const QString& text)>& typed);
    // What typing left in data edit `byte`; a complete byte moves on to the next edit.
    static void showTypedByte(const DataEditRow& data, int byte, const FrameFields::Typed& typed);

    // The DeviceNet and CANopen dialogs: "Method 1:" and "Method 2:" (ids 1041, 1042), one of
    // them chosen at a time, and `chosen` told of the user's choice.
    static QRadioButton* methodRadio(int method);
    void groupMethods(QRadioButton* method1, QRadioButton* method2,
                      const std::function<void(int method)>& chosen);
    static void showMethod(int method, QRadioButton* method1, QRadioButton* method2);
    // An editable list whose first item is "ALL", for a value typed or "ALL" chosen.
    static QComboBox* allOrTypedList(int controlId);
    // Sets a list's edit text without letting it report a change.
    static void setEditTextQuietly(QComboBox* box, const QString& text);

private:
    QGroupBox* m_group;
    QGridLayout* m_grid;
    QRadioButton* m_hex;
    QRadioButton* m_decimal;
    QRadioButton* m_show;
    QRadioButton* m_hide;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_delete;
    QPushButton* m_ok;
    ConditionTableCtrl* m_table;
    std::function<bool()> m_extensionAccepts;
};

// Tags a control with its dialog id, so that tests and scripts find it by number.
template <typename W>
W* withId(W* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}
