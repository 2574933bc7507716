#pragma once

// "Filter in DeviceNet Protocol": DeviceNet conditions by group and message ID (Method 1) or by
// a named message (Method 2), with source and destination MAC IDs. Its logic is
// DeviceNetFilterLogic.
//
// Thread: the user-interface thread.

#include "filters/DeviceNetFilterLogic.h"
#include "filters/FilterDialogBase.h"

class QComboBox;

class CFilterDeviceNetDlg final : public FilterDialogBase {
public:
    explicit CFilterDeviceNetDlg(MessageService& messages, QWidget* parent = nullptr);

    void open(const FilterState& filter);
    [[nodiscard]] DeviceNetFilterLogic& logic() { return m_logic; }

    [[nodiscard]] QComboBox* sourceList() const { return m_source; }
    [[nodiscard]] QComboBox* destinationList() const { return m_destination; }
    [[nodiscard]] QRadioButton* method1Radio() const { return m_method1; }
    [[nodiscard]] QRadioButton* method2Radio() const { return m_method2; }
    [[nodiscard]] QComboBox* groupList() const { return m_group; }
    [[nodiscard]] QComboBox* messageIdList() const { return m_messageId; }
    [[nodiscard]] QComboBox* method2List() const { return m_method2List; }

private:
    ConditionListEditor& list() override { return m_logic.list(); }
    void onAdd() override;
    void onEdit() override;
    void onDelete() override;
    void onRowClicked(int row) override;
    void onRadix(bool hex) override;
    void showState();

    DeviceNetFilterLogic m_logic;
    QComboBox* m_source;
    QComboBox* m_destination;
    QRadioButton* m_method1;
    QRadioButton* m_method2;
    QComboBox* m_group;
    QComboBox* m_messageId;
    QComboBox* m_method2List;
};
