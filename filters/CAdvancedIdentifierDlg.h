#pragma once

// "Advanced Identifier": one button per identifier bit; each click moves the bit from free ("X")
// to 0, to 1 and back. The states are the application's, so they outlive the dialog.
//
// Thread: the user-interface thread.

#include "filters/AdvancedIdentifier.h"

#include <QDialog>

#include <array>

class QLineEdit;
class QPushButton;

class CAdvancedIdentifierDlg final : public QDialog {
public:
    // `standard`: only bits 1 .. 11 are offered.
    CAdvancedIdentifierDlg(AdvancedIdentifierClicks& clicks, bool standard,
                           QWidget* parent = nullptr);

    [[nodiscard]] std::uint32_t mask() const { return m_logic.mask(); }
    [[nodiscard]] std::uint32_t bits() const { return m_logic.bits(); }
    // Button n (1 .. 29) and the state under it.
    [[nodiscard]] QPushButton* bitButton(int n) const { return m_buttons[n - 1]; }
    [[nodiscard]] QLineEdit* bitState(int n) const { return m_states[n - 1]; }

private:
    void showState(int bit);

    AdvancedIdentifier m_logic;
    std::array<QPushButton*, AdvancedIdentifierClicks::kBits> m_buttons{};
    std::array<QLineEdit*, AdvancedIdentifierClicks::kBits> m_states{};
};
