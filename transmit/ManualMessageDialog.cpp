#include "transmit/ManualMessageDialog.h"

#include "transmit/TransmitWidgets.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using transmitui::text;

namespace {

constexpr int kIdentifierIds[2] = {1108, 1109};
constexpr int kSizeIds[2] = {1010, 1011};
constexpr std::array<int, 8> kDataIds[2] = {{1033, 1018, 1019, 1020, 1021, 1022, 1023, 1024},
                                {1034, 1035, 1036, 1037, 1038, 1039, 1040, 1041}};
constexpr int kFrameIds[2][2] = {{1113, 1114}, {1115, 1116}};

}  // namespace

ManualMessageDialog::ManualMessageDialog(ManualMessage& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_hex(new QRadioButton(text("Hex"))),
      m_decimal(new QRadioButton(text("Decimal"))) {
    setWindowTitle(text("Manual Message"));
    m_hex->setObjectName("1015");
    m_decimal->setObjectName("1014");
    auto* radix = new QButtonGroup(this);
    radix->addButton(m_hex);
    radix->addButton(m_decimal);
    auto* format = new QHBoxLayout;
    format->addWidget(new QLabel(text("Format:")));
    format->addWidget(m_hex);
    format->addWidget(m_decimal);
    format->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(format);
    layout->addWidget(makeBuffer(0));
    layout->addWidget(makeBuffer(1));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_buffers[0].send);
    buttons->addWidget(m_buffers[1].send);
    auto* cancel = new QPushButton(text("Cancel"));
    cancel->setObjectName("2");
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    (m_logic.hex() ? m_hex : m_decimal)->setChecked(true);
    showAll();
    connect(m_hex, &QRadioButton::toggled, this, [this](bool hex) {
        m_logic.setHex(hex);
        showAll();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* ManualMessageDialog::makeBuffer(int b) {
    BufferControls& c = m_buffers[index(b)];
    auto* group = new QGroupBox(text(b == 0 ? "Buffer 1" : "Buffer 2"));
    auto* grid = new QGridLayout(group);
    c.identifier = new QLineEdit;
    c.identifier->setObjectName(QString::number(kIdentifierIds[b]));
    c.size = new QComboBox;
    c.size->setObjectName(QString::number(kSizeIds[b]));
    for (int i = 0; i <= 8; ++i) c.size->addItem(QString::number(i));
    grid->addWidget(new QLabel(text("Identifier:")), 0, 0);
    grid->addWidget(c.identifier, 0, 1, 1, 3);
    grid->addWidget(new QLabel(text("Size:")), 0, 4);
    grid->addWidget(c.size, 0, 5, 1, 2);
    grid->addWidget(new QLabel(text("Data:")), 1, 0);
    c.data = new DataEditRow(kDataIds[b], 40, this);
    c.data->placeIn(grid, 1, 1);
    for (int i = 0; i < 8; ++i) {
        transmitui::watchEntry(
            c.data->edit(i),
            [this, b, i](const std::string& t, std::size_t cursor) {
                return m_logic.typeData(b, i, t, cursor);
            },
            [this, b, i](const EntryOutcome& outcome) {
                if (outcome.messages.empty() &&
                    outcome.text.size() >= dataEntryLimit(m_logic.hex())) {
                    m_buffers[index(b)].data->handOn(i);
                }
            });
    }
    transmitui::watchEntry(c.identifier, [this, b](const std::string& t, std::size_t cursor) {
        return m_logic.typeIdentifier(b, t, cursor);
    });
    c.dataFrame = new QRadioButton(text("Data Frame"));
    c.dataFrame->setObjectName(QString::number(kFrameIds[b][0]));
    c.remote = new QRadioButton(text("Remote Frame"));
    c.remote->setObjectName(QString::number(kFrameIds[b][1]));
    auto* kind = new QButtonGroup(group);
    kind->addButton(c.dataFrame);
    kind->addButton(c.remote);
    grid->addWidget(new QLabel(text("Frame:")), 2, 0);
    grid->addWidget(c.dataFrame, 2, 1, 1, 3);
    grid->addWidget(c.remote, 2, 4, 1, 3);
    (m_logic.buffer(b).remote == 1 ? c.remote : c.dataFrame)->setChecked(true);
    c.size->setCurrentIndex(static_cast<int>(m_logic.buffer(b).size));

    c.send = new QPushButton(text(b == 0 ? "Send Buffer 1" : "Send Buffer 2"));
    c.send->setObjectName(b == 0 ? "1" : "3");
    if (b == 0) c.send->setDefault(true);
    connect(c.size, &QComboBox::currentIndexChanged, this, [this, b](int size) {
        m_logic.setSize(b, size);
        enableData(b);
    });
    connect(c.remote, &QRadioButton::toggled, this, [this, b](bool remote) {
        m_logic.setRemote(b, remote);
        enableData(b);
    });
    connect(c.send, &QPushButton::clicked, this, [this, b] { sendBuffer(b); });
    return group;
}

void ManualMessageDialog::enableData(int b) {
    for (int i = 0; i < 8; ++i) {
        m_buffers[index(b)].data->edit(i)->setEnabled(
            m_logic.dataEnabled(b, i));
    }
}

void ManualMessageDialog::showAll() {
    const int limit = static_cast<int>(dataEntryLimit(m_logic.hex()));
    for (int b = 0; b < 2; ++b) {
        BufferControls& c = m_buffers[index(b)];
        c.identifier->setText(QString::fromStdString(m_logic.identifierText(b)));
        for (int i = 0; i < 8; ++i) {
            QLineEdit* edit = c.data->edit(i);
            edit->setMaxLength(limit);
            edit->setText(QString::fromStdString(m_logic.dataText(b, i)));
        }
        enableData(b);
    }
}

void ManualMessageDialog::sendBuffer(int b) {
    if (m_logic.sending()) return;
    // Both buttons wait for the adapter's answer.
    for (BufferControls& c : m_buffers) c.send->setEnabled(false);
    QPointer<ManualMessageDialog> self(this);
    m_logic.send(b, [self](bool) {
        if (self == nullptr) return;
        for (BufferControls& c : self->m_buffers) c.send->setEnabled(true);
    });
}

void ManualMessageDialog::reject() {
    // A frame on its way is recorded when the adapter took it: the dialog waits for the answer.
    if (m_logic.sending()) return;
    QDialog::reject();
}
