#include "filters/CFilterCanOpenDlg.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {

QComboBox* idList(int id, const QString& all) {
    auto* box = withId(new QComboBox, id);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItem(all);
    return box;
}

void setEditText(QComboBox* box, const QString& wanted) {
    if (box->currentText() == wanted) return;
    const QSignalBlocker block(box);
    box->setEditText(wanted);
}

}  // namespace

CFilterCanOpenDlg::CFilterCanOpenDlg(MessageService& messages, std::uint32_t& hexDisplay,
                                     QWidget* parent)
    : FilterDialogFor(ConditionTableKind::kCanOpen, "Filter in CANopen Protocol", parent, false,
                      messages, hexDisplay),
      m_method1(withId(new QRadioButton(text("Method 1:")), 1041)),
      m_method2(withId(new QRadioButton(text("Method 2:")), 1042)),
      m_cobId(idList(1052, text("ALL"))),
      m_functionCode(withId(new QComboBox, 1050)),
      m_nodeId(idList(1011, text("ALL"))),
      m_size(withId(new QComboBox, 1051)),
      m_dataFrame(withId(new QRadioButton(text("Data Frame")), 1113)),
      m_remoteFrame(withId(new QRadioButton(text("Remote Frame")), 1114)) {
    m_size->addItem(text("ALL"));
    for (int n = 0; n <= 8; ++n) m_size->addItem(QString::number(n));
    auto* methods = new QButtonGroup(this);
    methods->addButton(m_method1);
    methods->addButton(m_method2);
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

    connect(m_method1, &QRadioButton::toggled, this, [this](bool on) {
        m_logic.setMethod(on ? 1 : 2);
        showState();
    });
    connect(m_functionCode, &QComboBox::activated, this,
            [this](int item) { m_logic.selectFunctionCodeItem(item); });
    connect(m_cobId, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditText(m_cobId, shownText(m_logic.typeCobId(logicText(t))));
    });
    connect(m_nodeId, &QComboBox::editTextChanged, this, [this](const QString& t) {
        setEditText(m_nodeId, shownText(m_logic.typeNodeId(logicText(t))));
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
        setEditText(m_cobId, shownText(m_logic.cobIdText()));
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
    {
        const QSignalBlocker a(m_method1);
        const QSignalBlocker b(m_method2);
        m_method1->setChecked(method1);
        m_method2->setChecked(!method1);
    }
    m_cobId->setEnabled(method1);
    m_functionCode->setEnabled(!method1);
    m_nodeId->setEnabled(!method1);
    m_functionCode->clear();
    for (const std::string& item : m_logic.functionCodeItems()) {
        m_functionCode->addItem(shownText(item));
    }
    m_functionCode->setCurrentIndex(m_logic.functionCodeItem());
    setEditText(m_cobId, shownText(m_logic.cobIdText()));
    setEditText(m_nodeId, shownText(m_logic.nodeIdText()));
    setRadix(m_logic.hex());
    setEditDelete(m_logic.editEnabled(), m_logic.deleteEnabled());
    showData();
}

void CFilterCanOpenDlg::showData() {
    showFrame(m_logic.frame(), m_logic.hex(), m_dataFrame, m_remoteFrame, m_size, m_data);
}

void CFilterCanOpenDlg::typedData(int byte, const QString& typed) {
    showTypedByte(m_data, byte, m_logic.typeData(byte, typed.toStdString()));
}

