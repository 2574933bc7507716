#pragma once

// "Filter in CANopen Protocol": CANopen conditions by COB-ID (Method 1) or by function code and
// node-ID (Method 2), with frame kind, size and data bytes. Its logic is CanOpenFilterLogic; its
// radix is the program-wide Hex/Decimal choice.
//
// Thread: the user-interface thread.

#include "filters/CanOpenFilterLogic.h"
#include "filters/FilterDialogFor.h"

#include <array>

class QComboBox;

class CFilterCanOpenDlg final : public FilterDialogFor<CanOpenFilterLogic> {
public:
    CFilterCanOpenDlg(MessageService& messages, bool& hexDisplay,
                      QWidget* parent = nullptr);

    void open(const FilterState& filter);

    [[nodiscard]] QRadioButton* method1Radio() const { return m_method1; }
    [[nodiscard]] QRadioButton* method2Radio() const { return m_method2; }
    [[nodiscard]] QComboBox* cobIdList() const { return m_cobId; }
    [[nodiscard]] QComboBox* functionCodeList() const { return m_functionCode; }
    [[nodiscard]] QComboBox* nodeIdList() const { return m_nodeId; }
    [[nodiscard]] QComboBox* sizeList() const { return m_size; }
    [[nodiscard]] QLineEdit* dataEdit(int byte) const { return m_data->edit(byte); }
    [[nodiscard]] QRadioButton* dataFrameRadio() const { return m_dataFrame; }
    [[nodiscard]] QRadioButton* remoteFrameRadio() const { return m_remoteFrame; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showState() override;
    void showData();
    void typedData(int byte, const QString& text);

    QRadioButton* m_method1;
    QRadioButton* m_method2;
    QComboBox* m_cobId;
    QComboBox* m_functionCode;
    QComboBox* m_nodeId;
    QComboBox* m_size;
    QRadioButton* m_dataFrame;
    QRadioButton* m_remoteFrame;
    DataEditRow* m_data = nullptr;
};
