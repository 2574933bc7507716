#include "filters/CAdvancedIdentifierDlg.h"

#include "filters/FilterDialogBase.h"
#include "resources/UiText.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// Button ids of bits 1 .. 29: eleven in the top row, eighteen in the bottom one.
constexpr int kButtonIds[AdvancedIdentifierClicks::kBits] = {
    1097, 1094, 1086, 1076, 1077, 1093, 1092, 1091, 1090, 1089, 1088, 1087, 1096, 1095, 1085,
    1084, 1083, 1082, 1081, 1080, 1079, 1078, 1074, 1073, 1072, 1071, 1070, 1075, 1069};
constexpr int kTopRow = 11;

}  // namespace

CAdvancedIdentifierDlg::CAdvancedIdentifierDlg(AdvancedIdentifierClicks& clicks, bool standard,
                                               QWidget* parent)
    : QDialog(parent), m_logic(clicks, standard) {
    setWindowTitle(QString::fromStdString(uiText("Advanced Identifier")));
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(2);
    for (int bit = 0; bit < AdvancedIdentifierClicks::kBits; ++bit) {
        const auto b = static_cast<std::size_t>(bit);
        m_buttons[b] = withId(new QPushButton(QString::number(bit + 1)), kButtonIds[bit]);
        m_states[b] = withId(new QLineEdit, 1098 + bit);
        const int width = m_buttons[b]->fontMetrics().horizontalAdvance(QStringLiteral("29")) + 16;
        m_buttons[b]->setFixedWidth(width);
        m_states[b]->setFixedWidth(width);
        m_states[b]->setReadOnly(true);
        m_states[b]->setAlignment(Qt::AlignCenter);
        m_states[b]->setMaxLength(1);
        const bool top = bit < kTopRow;
        const int row = top ? 0 : 2;
        const int column = top ? bit : bit - kTopRow;
        grid->addWidget(m_buttons[b], row, column);
        grid->addWidget(m_states[b], row + 1, column);
        const bool shown = bit < m_logic.shownBits();
        m_buttons[b]->setVisible(shown);
        m_states[b]->setVisible(shown);
        connect(m_buttons[b], &QPushButton::clicked, this, [this, bit] {
            m_logic.click(bit);
            showState(bit);
        });
        showState(bit);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    withId(buttons->button(QDialogButtonBox::Ok), 1);
    withId(buttons->button(QDialogButtonBox::Cancel), 2);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CAdvancedIdentifierDlg::showState(int bit) {
    m_states[static_cast<std::size_t>(bit)]->setText(QString(QChar(m_logic.stateText(bit))));
}
