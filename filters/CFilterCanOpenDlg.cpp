#include "filters/CFilterCanOpenDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

CFilterCanOpenDlg::CFilterCanOpenDlg(MessageService& messages, bool& hexDisplay,
                                     QWidget* parent)
    : FilterDialogFor(ConditionTableKind::kCanOpen, "Filter in CANopen Protocol", parent, false,
                      messages, hexDisplay),
      m_method1(methodRadio(1)),
      m_method2(methodRadio(2)),
      m_cobId(allOrTypedList(1052)),
      m_functionCode(withId(new QComboBox, 1050)),
      m_nodeId(allOrTypedList(1011)),
      m_size(withId(new QComboBox, 1051)),
      m_dataFrame(withId(new QRadioButton(text("Data Frame")), 1113)),
      m_remoteFrame(withId(new QRadioButton(text("Remote Frame")), 1114)) {
    m_size->addItem(text("ALL"));
    for (int n = 0; n <= 8; ++n) m_size->addItem(QString::number(n));
    groupMethods(m_method1, m_method2, [this](int method) {
        m_logic.setMethod(method);
        showState();
    });
    auto* frameKind = new QButtonGroup(this);
    frameKind->addButton(m_dataFrame);
    frameKind->addButton(m_remoteFrame);

    QGridLayout* grid = conditionGrid();
    grid->addWidget(m_method1, 0, 0);
    grid->addWidget(new QLabel(text("COB-ID:")), 0, 1);
    grid->addWidget(m_cobId, 0, 2);
    grid->addWidget(new QLabel(text("Frame:")), 0, 3);
    grid->addWidget(m_dataFrame, 0, 4);
    grid->addWidget(m_remoteFrame, 0, 5);
    grid->addWidget(m_method2, 1, 0);
    grid->addWidget(new QLabel(text("FunCode:")), 1, 1);
    grid->addWidget(m_functionCode, 1, 2);
    grid->addWidget(new QLabel(text("Node-ID:")), 1, 3);
    grid->addWidget(m_nodeId, 1, 4, 1, 2);
    grid->addWidget(new QLabel(text("Size:")), 2, 1);
    grid->addWidget(m_size, 2, 2);
    grid->addLayout(dataRow(m_data, [this](int byte, const QString& t) { typedData(byte, t); }),
                    3, 0, 1, 6);
    m_cobId->installEventFilter(this);

    connect(m_functionCode, &QComboBox::activated, this,
            [this](int item) { m_logic.selectFunctionCodeItem(item); });
    connect(m_cobId, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditTextQuietly(m_cobId, shownText(m_logic.typeCobId(logicText(t))));
    });
    connect(m_nodeId, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditTextQuietly(m_nodeId, shownText(m_logic.typeNodeId(logicText(t))));
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

bool CFilterCanOpenDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_cobId && event->type() == QEvent::FocusOut) {
        m_logic.leaveCobId();
        setEditTextQuietly(m_cobId, shownText(m_logic.cobIdText()));
    }
    return FilterDialogBase::eventFilter(watched, event);
}

void CFilterCanOpenDlg::open(const FilterState& filter) {
    m_logic.open(filter);
    table().markRow(-1);
    showMode();
    showState();
    fillTable(m_logic.rows(), false);
}

void CFilterCanOpenDlg::showState() {
    const bool method1 = m_logic.method() == 1;
    showMethod(m_logic.method(), m_method1, m_method2);
    m_cobId->setEnabled(method1);
    m_functionCode->setEnabled(!method1);
    m_nodeId->setEnabled(!method1);
    m_functionCode->clear();
    for (const std::string& item : m_logic.functionCodeItems()) {
        m_functionCode->addItem(shownText(item));
    }
    m_functionCode->setCurrentIndex(m_logic.functionCodeItem());
    setEditTextQuietly(m_cobId, shownText(m_logic.cobIdText()));
    setEditTextQuietly(m_nodeId, shownText(m_logic.nodeIdText()));
    setRadix(m_logic.hex());
    setEditDelete(m_logic.editEnabled(), m_logic.deleteEnabled());
    showData();
}

void CFilterCanOpenDlg::showData() {
    showFrame(m_logic.frame(), m_logic.hex(), m_dataFrame, m_remoteFrame, m_size, *m_data);
}

void CFilterCanOpenDlg::typedData(int byte, const QString& typed) {
    showTypedByte(*m_data, byte, m_logic.typeData(byte, typed.toStdString()));
}

