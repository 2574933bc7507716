#pragma once

// The Manual Message dialog (150): shows ManualMessage and forwards every change to it. It stays
// open after a send.
//
// Thread: the user-interface thread.

#include "transmit/ManualMessage.h"
#include "widgets/DataEditRow.h"

#include <QDialog>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class ManualMessageDialog final : public QDialog {
public:
    ManualMessageDialog(ManualMessage& logic, QWidget* parent = nullptr);

    [[nodiscard]] QLineEdit* identifierEdit(int b) const { return m_buffers[index(b)].identifier; }
    [[nodiscard]] QLineEdit* dataEdit(int b, int byte) const {
        return m_buffers[index(b)].data->edit(byte);
    }
    [[nodiscard]] QComboBox* sizeList(int b) const { return m_buffers[index(b)].size; }
    [[nodiscard]] QRadioButton* remoteButton(int b) const { return m_buffers[index(b)].remote; }
    [[nodiscard]] QRadioButton* hexButton() const { return m_hex; }
    [[nodiscard]] QRadioButton* decimalButton() const { return m_decimal; }
    [[nodiscard]] QPushButton* sendButton(int b) const { return m_buffers[index(b)].send; }
    void reject() override;

private:
    // Send Buffer 1 or 2.
    void sendBuffer(int b);
    struct BufferControls {
        QLineEdit* identifier = nullptr;
        QComboBox* size = nullptr;
        DataEditRow* data = nullptr;
        QRadioButton* dataFrame = nullptr;
        QRadioButton* remote = nullptr;
        QPushButton* send = nullptr;
    };
    [[nodiscard]] static std::size_t index(int b) { return static_cast<std::size_t>(b); }
    QWidget* makeBuffer(int b);
    void showAll();
    void enableData(int b);

    ManualMessage& m_logic;
    QRadioButton* m_hex;
    QRadioButton* m_decimal;
    std::array<BufferControls, 2> m_buffers;
};
