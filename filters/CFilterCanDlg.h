#pragma once

// "Filter in CAN Protocol": CAN conditions by identifier (all, bit by bit, or one value), frame
// kind, size and data bytes. Its logic is CanFilterLogic.
//
// Thread: the user-interface thread.

#include "filters/CanFilterLogic.h"
#include "filters/FilterDialogFor.h"

#include <array>

class QComboBox;
class QStackedWidget;

class CFilterCanDlg final : public FilterDialogFor<CanFilterLogic> {
public:
    CFilterCanDlg(MessageService& messages, AdvancedIdentifierClicks& clicks,
                  QWidget* parent = nullptr);

    // Resets the controls and copies the program's list; `frameType` 1 standard, else extended.
    void open(const FilterState& filter, int frameType);

    [[nodiscard]] QComboBox* identifierList() const { return m_identifier; }
    [[nodiscard]] QPushButton* advancedButton() const { return m_advanced; }
    [[nodiscard]] QLineEdit* identifierEdit() const { return m_identifierEdit; }
    [[nodiscard]] QComboBox* sizeList() const { return m_size; }
    [[nodiscard]] QLineEdit* dataEdit(int byte) const { return m_data->edit(byte); }
    [[nodiscard]] QRadioButton* dataFrameRadio() const { return m_dataFrame; }
    [[nodiscard]] QRadioButton* remoteFrameRadio() const { return m_remoteFrame; }

    // "Advanced...": runs "Advanced Identifier" over the application's click states.
    void openAdvanced();

private:
    void showState() override;
    void showData();
    void typedData(int byte, const QString& text);

    QComboBox* m_identifier;
    QPushButton* m_advanced;
    QLineEdit* m_identifierEdit;
    QStackedWidget* m_identifierPlace;
    QRadioButton* m_dataFrame;
    QRadioButton* m_remoteFrame;
    QComboBox* m_size;
    DataEditRow* m_data = nullptr;
};
