#include "filters/CFilterDeviceNetDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

CFilterDeviceNetDlg::CFilterDeviceNetDlg(MessageService& messages, QWidget* parent)
    : FilterDialogFor(ConditionTableKind::kDeviceNet, "Filter in DeviceNet Protocol", parent, true,
                      messages),
      m_source(allOrTypedList(1043)),
      m_destination(allOrTypedList(1044)),
      m_method1(methodRadio(1)),
      m_method2(methodRadio(2)),
      m_group(withId(new QComboBox, 1045)),
      m_messageId(withId(new QComboBox, 1046)),
      m_method2List(withId(new QComboBox, 1047)) {
    m_group->addItems(
        {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    for (int item = 0; item < DeviceNetFilterLogic::kMethod2Items; ++item) {
        m_method2List->addItem(text(DeviceNetFilterLogic::namedMessage(item).text));
    }
    groupMethods(m_method1, m_method2, [this](int method) {
        m_logic.setMethod(method);
        showState();
    });

    QGridLayout* grid = conditionGrid();
    grid->addWidget(new QLabel(text("MAC ID:")), 0, 0);
    grid->addWidget(new QLabel(text("Source ID:")), 0, 1);
    grid->addWidget(m_source, 0, 2);
    grid->addWidget(new QLabel(text("Destination ID:")), 0, 3);
    grid->addWidget(m_destination, 0, 4);
    grid->addWidget(m_method1, 1, 0);
    grid->addWidget(new QLabel(text("Group:")), 1, 1);
    grid->addWidget(m_group, 1, 2);
    grid->addWidget(new QLabel(text("Message ID:")), 1, 3);
    grid->addWidget(m_messageId, 1, 4);
    grid->addWidget(m_method2, 2, 0);
    grid->addWidget(m_method2List, 2, 1, 1, 4);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(4, 1);

    connect(m_group, &QComboBox::activated, this, [this](int item) {
        m_logic.selectGroup(item + 1);
        showState();
    });
    connect(m_messageId, &QComboBox::activated, this,
            [this](int item) { m_logic.selectMessageIdItem(item); });
    connect(m_method2List, &QComboBox::activated, this, [this](int item) {
        m_logic.selectMethod2Item(item);
        showState();
    });
    connect(m_source, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditTextQuietly(m_source, shownText(m_logic.typeSource(logicText(t))));
    });
    connect(m_destination, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditTextQuietly(m_destination, shownText(m_logic.typeDestination(logicText(t))));
    });
}

void CFilterDeviceNetDlg::open(const FilterState& filter) {
    m_logic.open(filter);
    table().markRow(-1);
    showMode();
    showState();
    fillTable(m_logic.rows(), false);
}

void CFilterDeviceNetDlg::showState() {
    const bool method1 = m_logic.method() == 1;
    showMethod(m_logic.method(), m_method1, m_method2);
    m_group->setEnabled(method1);
    m_messageId->setEnabled(method1);
    m_method2List->setEnabled(!method1);
    m_group->setCurrentIndex(m_logic.group() - 1);
    m_messageId->clear();
    for (const std::string& item : m_logic.messageIdItems()) {
        m_messageId->addItem(shownText(item));
    }
    m_messageId->setCurrentIndex(m_logic.messageIdItem());
    m_method2List->setCurrentIndex(m_logic.method2Item());
    m_source->setEnabled(m_logic.macListsEnabled());
    m_destination->setEnabled(m_logic.macListsEnabled());
    setEditTextQuietly(m_source, shownText(m_logic.sourceText()));
    setEditTextQuietly(m_destination, shownText(m_logic.destinationText()));
    setRadix(m_logic.hex());
    setEditDelete(m_logic.editEnabled(), m_logic.deleteEnabled());
}

