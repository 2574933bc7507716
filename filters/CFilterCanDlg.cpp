#include "filters/CFilterCanDlg.h"

#include "filters/CAdvancedIdentifierDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStackedWidget>

CFilterCanDlg::CFilterCanDlg(MessageService& messages, AdvancedIdentifierClicks& clicks,
                             QWidget* parent)
    : FilterDialogFor(ConditionTableKind::kCan, "Filter in CAN Protocol", parent, false, messages,
                      clicks),
      m_identifier(withId(new QComboBox, 1009)),
      m_advanced(withId(new QPushButton(text("Advanced...")), 1065)),
      m_identifierEdit(withId(new QLineEdit, 1108)),
      m_identifierPlace(new QStackedWidget),
      m_dataFrame(withId(new QRadioButton(text("Data Frame")), 1113)),
      m_remoteFrame(withId(new QRadioButton(text("Remote Frame")), 1114)),
      m_size(withId(new QComboBox, 1010)) {
    m_identifier->addItems({text("ALL"), text("Advanced"), text("Custom")});
    m_size->addItem(text("ALL"));
    for (int n = 0; n <= 8; ++n) m_size->addItem(QString::number(n));
    auto* frameKind = new QButtonGroup(this);
    frameKind->addButton(m_dataFrame);
    frameKind->addButton(m_remoteFrame);

    QGridLayout* grid = conditionGrid();
    grid->addWidget(new QLabel(text("Identifier:")), 0, 0);
    grid->addWidget(m_identifier, 0, 1);
    // The button and the edit share one place (nothing shows there for "ALL"), so the dialog
    // keeps its size whichever is chosen.
    m_identifierPlace->addWidget(new QWidget);
    m_identifierPlace->addWidget(m_advanced);
    m_identifierPlace->addWidget(m_identifierEdit);
    grid->addWidget(m_identifierPlace, 0, 2);
    grid->addWidget(new QLabel(text("Frame:")), 0, 3);
    grid->addWidget(m_dataFrame, 0, 4);
    grid->addWidget(m_remoteFrame, 0, 5);
    grid->addWidget(new QLabel(text("Size:")), 1, 0);
    grid->addWidget(m_size, 1, 1);
    grid->addLayout(dataRow(m_data, [this](int byte, const QString& t) { typedData(byte, t); }),
                    2, 0, 1, 6);
    m_identifierEdit->setFixedWidth(
        m_identifierEdit->fontMetrics().horizontalAdvance(QStringLiteral("0000000000")) + 12);

    connect(m_identifier, &QComboBox::activated, this, [this](int item) {
        m_logic.selectIdentifier(static_cast<CanFilterLogic::Identifier>(item));
        showState();
    });
    connect(m_advanced, &QPushButton::clicked, this, &CFilterCanDlg::openAdvanced);
    connect(m_identifierEdit, &QLineEdit::textEdited, this, [this](const QString& t) {
        setTextQuietly(m_identifierEdit, m_logic.typeIdentifier(t.toStdString()));
    });
    connect(m_size, &QComboBox::activated, this, [this](int item) {
        m_logic.frame().selectSize(item);
        showData();
    });
    connect(m_dataFrame, &QRadioButton::toggled, this, [this](bool on) {
        m_logic.frame().setRemote(!on);
        showData();
    });
}

void CFilterCanDlg::open(const FilterState& filter, int frameType) {
    m_logic.open(filter, frameType);
    table().markRow(-1);
    showMode();
    showState();
    fillTable(m_logic.rows(), false);
}

void CFilterCanDlg::showState() {
    m_identifier->setCurrentIndex(static_cast<int>(m_logic.identifier()));
    m_identifierPlace->setCurrentIndex(m_logic.advancedButtonShown()    ? 1
                                       : m_logic.identifierEditShown() ? 2
                                                                       : 0);
    setTextQuietly(m_identifierEdit, m_logic.identifierText());
    setRadix(m_logic.hex());
    setEditDelete(m_logic.editEnabled(), m_logic.deleteEnabled());
    showData();
}

void CFilterCanDlg::showData() {
    showFrame(m_logic.frame(), m_logic.hex(), m_dataFrame, m_remoteFrame, m_size, *m_data);
}

void CFilterCanDlg::typedData(int byte, const QString& typed) {
    showTypedByte(*m_data, byte, m_logic.typeData(byte, typed.toStdString()));
}

void CFilterCanDlg::openAdvanced() {
    CAdvancedIdentifierDlg dialog(m_logic.clicks(), m_logic.standard(), this);
    if (dialog.exec() == QDialog::Accepted) {
        m_logic.advancedAccepted(dialog.mask(), dialog.bits());
    }
}

