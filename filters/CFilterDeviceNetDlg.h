#pragma once

// "Filter in DeviceNet Protocol": DeviceNet conditions by group and message ID (Method 1) or by
// a named message (Method 2), with source and destination MAC IDs. Its logic is
// DeviceNetFilterLogic.
//
// Thread: the user-interface thread.

#include "filters/DeviceNetFilterLogic.h"
#include "filters/FilterDialogFor.h"

class QComboBox;

class CFilterDeviceNetDlg final : public FilterDialogFor<DeviceNetFilterLogic> {
public:
    explicit CFilterDeviceNetDlg(MessageService& messages, QWidget* parent = nullptr);

    void open(const FilterState& filter);

    [[nodiscard]] QComboBox* sourceList() const { return m_source; }
    [[nodiscard]] QComboBox* destinationList() const { return m_destination; }
    [[nodiscard]] QRadioButton* method1Radio() const { return m_method1; }
    [[nodiscard]] QRadioButton* method2Radio() const { return m_method2; }
    [[nodiscard]] QComboBox* groupList() const { return m_group; }
    [[nodiscard]] QComboBox* messageIdList() const { return m_messageId; }
    [[nodiscard]] QComboBox* method2List() const { return m_method2List; }

private:
    void showState() override;

    QComboBox* m_source;
    QComboBox* m_destination;
    QRadioButton* m_method1;
    QRadioButton* m_method2;
    QComboBox* m_group;
    QComboBox* m_messageId;
    QComboBox* m_method2List;
};
