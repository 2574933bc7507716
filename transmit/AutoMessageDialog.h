#pragma once

// The Configure Automatic Message dialog (153): shows AutoMessageSetup and forwards every change
// to it. Download closes it once the adapter took a non-empty set.
//
// Thread: the user-interface thread.

#include "transmit/AutoMessageSetup.h"
#include "widgets/DataEditRow.h"

#include <QDialog>

#include <array>

class ConditionTableCtrl;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

class AutoMessageDialog final : public QDialog {
public:
    AutoMessageDialog(AutoMessageSetup& logic, QWidget* parent = nullptr);

    [[nodiscard]] ConditionTableCtrl* itemList() const { return m_list; }
    [[nodiscard]] QLineEdit* identifierEdit() const { return m_identifier; }
    [[nodiscard]] QLineEdit* dataEdit(int byte) const { return m_data->edit(byte); }
    [[nodiscard]] QPushButton* addButton() const { return m_add; }
    [[nodiscard]] QPushButton* editButton() const { return m_edit; }
    [[nodiscard]] QPushButton* deleteButton() const { return m_delete; }
    [[nodiscard]] QSpinBox* intervalSpin() const { return m_interval; }
    [[nodiscard]] QSpinBox* cycleSpin() const { return m_cycle; }
    [[nodiscard]] QRadioButton* decimalButton() const { return m_decimal; }
    void accept() override;  // Download; closes once the adapter took the set
    void reject() override;

private:
    void showFields();
    void enableData();
    void refill();
    void showSelection();

    AutoMessageSetup& m_logic;
    QRadioButton* m_hex;
    QRadioButton* m_decimal;
    QLineEdit* m_identifier;
    QRadioButton* m_dataFrame;
    QRadioButton* m_remote;
    QComboBox* m_size;
    DataEditRow* m_data = nullptr;
    QPushButton* m_add;
    QPushButton* m_edit;
    QPushButton* m_delete;
    ConditionTableCtrl* m_list;
    QSpinBox* m_interval;
    QSpinBox* m_cycle;
};
