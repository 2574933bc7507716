#include "transmit/AutoMessageDialog.h"

#include "widgets/ConditionTableCtrl.h"
#include "resources/StringTable.h"
#include "transmit/TransmitStrings.h"
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
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

using transmitui::stringText;
using transmitui::text;

namespace {

constexpr std::array<int, 8> kDataIds = {1033, 1018, 1019, 1020, 1021, 1022, 1023, 1024};

std::vector<std::string> headers() {
    return {strings::loadString(strings::kColumnIndex), strings::loadString(strings::kColumnType),
            strings::loadString(strings::kColumnIdentifier),
            strings::loadString(strings::kColumnLength), strings::loadString(strings::kColumnData)};
}

}  // namespace

AutoMessageDialog::AutoMessageDialog(AutoMessageSetup& logic, QWidget* parent)
    : QDialog(parent),
      m_logic(logic),
      m_hex(new QRadioButton(text("Hex"))),
      m_decimal(new QRadioButton(text("Decimal"))),
      m_identifier(new QLineEdit),
      m_dataFrame(new QRadioButton(text("Data Frame"))),
      m_remote(new QRadioButton(text("Remote Frame"))),
      m_size(new QComboBox),
      m_data(new DataEditRow(kDataIds, 40, this)),
      m_add(new QPushButton(text("Add"))),
      m_edit(new QPushButton(text("Edit"))),
      m_delete(new QPushButton(text("Delete"))),
      m_list(new ConditionTableCtrl(headers(), {12, 15, 20, 15, 38})),
      m_interval(new QSpinBox),
      m_cycle(new QSpinBox) {
    setWindowTitle(text("Configure Automatic Message"));
    m_hex->setObjectName("1015");
    m_decimal->setObjectName("1014");
    m_identifier->setObjectName("1108");
    m_dataFrame->setObjectName("1113");
    m_remote->setObjectName("1114");
    m_size->setObjectName("1010");
    m_add->setObjectName("1026");
    m_edit->setObjectName("1029");
    m_delete->setObjectName("1027");
    m_list->setObjectName("1028");
    m_interval->setObjectName("1058");
    m_cycle->setObjectName("1060");
    for (int i = 0; i <= 8; ++i) m_size->addItem(QString::number(i));

    auto* radix = new QButtonGroup(this);
    radix->addButton(m_hex);
    radix->addButton(m_decimal);
    auto* kind = new QButtonGroup(this);
    kind->addButton(m_dataFrame);
    kind->addButton(m_remote);
    // Shown for information: the format is always the device's frame type.
    auto* standard = new QRadioButton(stringText(strings::kStandard));
    auto* extended = new QRadioButton(stringText(strings::kExtended));
    standard->setObjectName("1016");
    extended->setObjectName("1017");
    auto* formatGroup = new QButtonGroup(this);
    formatGroup->addButton(standard);
    formatGroup->addButton(extended);
    (m_logic.formatIndex() == 1 ? extended : standard)->setChecked(true);
    standard->setEnabled(false);
    extended->setEnabled(false);

    auto* entry = new QGroupBox;
    auto* grid = new QGridLayout(entry);
    grid->addWidget(new QLabel(text("Format:")), 0, 0);
    grid->addWidget(m_hex, 0, 1, 1, 2);
    grid->addWidget(m_decimal, 0, 3, 1, 2);
    grid->addWidget(new QLabel(text("Identifier:")), 1, 0);
    grid->addWidget(m_identifier, 1, 1, 1, 4);
    grid->addWidget(standard, 1, 5, 1, 2);
    grid->addWidget(extended, 1, 7, 1, 2);
    grid->addWidget(new QLabel(text("Frame:")), 2, 0);
    grid->addWidget(m_dataFrame, 2, 1, 1, 2);
    grid->addWidget(m_remote, 2, 3, 1, 2);
    grid->addWidget(new QLabel(text("Size:")), 2, 5);
    grid->addWidget(m_size, 2, 6, 1, 2);
    grid->addWidget(new QLabel(text("Data:")), 3, 0);
    m_data->placeIn(grid, 3, 1);
    for (int i = 0; i < 8; ++i) {
        transmitui::watchEntry(
            m_data->edit(i),
            [this, i](const std::string& t, std::size_t cursor) {
                return m_logic.typeData(i, t, cursor);
            },
            [this, i](const EntryOutcome& outcome) {
                if (outcome.messages.empty() &&
                    outcome.text.size() >= dataEntryLimit(m_logic.hex())) {
                    m_data->handOn(i);
                }
            });
    }
    transmitui::watchEntry(m_identifier, [this](const std::string& t, std::size_t cursor) {
        return m_logic.typeIdentifier(t, cursor);
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_delete);
    buttons->addStretch();

    m_interval->setRange(0, static_cast<int>(AutoMessageSetup::kSpinMax));
    m_cycle->setRange(0, static_cast<int>(AutoMessageSetup::kSpinMax));
    m_interval->setValue(static_cast<int>(m_logic.interval()));
    m_cycle->setValue(static_cast<int>(m_logic.cycle()));
    auto* timing = new QHBoxLayout;
    timing->addWidget(new QLabel(text("Interval (ms):")));
    timing->addWidget(m_interval);
    timing->addSpacing(20);
    timing->addWidget(new QLabel(text("Cycle (ms):")));
    timing->addWidget(m_cycle);
    timing->addStretch();

    auto* download = new QPushButton(text("Download"));
    download->setObjectName("1");
    download->setDefault(true);
    auto* cancel = new QPushButton(text("Cancel"));
    cancel->setObjectName("2");
    auto* closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(download);
    closing->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(entry);
    layout->addLayout(buttons);
    layout->addWidget(m_list);
    layout->addWidget(new QLabel(text("Note: Maximum number of items is 8")));
    layout->addLayout(timing);
    layout->addLayout(closing);
    resize(560, 520);

    m_hex->setChecked(true);
    m_dataFrame->setChecked(true);
    showFields();
    refill();
    showSelection();

    connect(m_hex, &QRadioButton::toggled, this, [this](bool hex) {
        m_logic.setHex(hex);
        showFields();
        refill();
    });
    connect(m_remote, &QRadioButton::toggled, this, [this](bool remote) {
        m_logic.setRemote(remote);
        enableData();
    });
    connect(m_size, &QComboBox::currentIndexChanged, this, [this](int size) {
        m_logic.setSize(size);
        enableData();
    });
    connect(m_add, &QPushButton::clicked, this, [this] {
        m_logic.add();
        refill();
    });
    connect(m_edit, &QPushButton::clicked, this, [this] {
        m_logic.edit();
        refill();
    });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        m_logic.remove();
        refill();
        showSelection();
    });
    m_list->onRowClicked = [this](int row) {
        m_logic.select(row);
        showFields();
        showSelection();
    };
    m_list->onClickedBesideRows = [this] {
        m_logic.select(-1);
        showSelection();
    };
    m_list->onCheckToggled = [this](int row, bool checked) {
        const auto rows = m_logic.rows();
        if (row < static_cast<int>(rows.size()) &&
            rows[static_cast<std::size_t>(row)].ticked != checked) {
            m_logic.toggleTick(row);
        }
    };
    connect(m_interval, &QSpinBox::valueChanged, this,
            [this](int v) { m_logic.setInterval(static_cast<std::uint32_t>(v)); });
    connect(m_cycle, &QSpinBox::valueChanged, this,
            [this](int v) { m_logic.setCycle(static_cast<std::uint32_t>(v)); });
    connect(download, &QPushButton::clicked, this, &AutoMessageDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void AutoMessageDialog::showFields() {
    const QSignalBlocker blockRemote(m_remote);
    const QSignalBlocker blockSize(m_size);
    m_identifier->setText(QString::fromStdString(m_logic.identifierText()));
    (m_logic.remote() ? m_remote : m_dataFrame)->setChecked(true);
    m_size->setCurrentIndex(m_logic.size());
    const int limit = static_cast<int>(dataEntryLimit(m_logic.hex()));
    for (int i = 0; i < 8; ++i) {
        QLineEdit* edit = m_data->edit(i);
        edit->setMaxLength(limit);
        edit->setText(QString::fromStdString(m_logic.dataText(i)));
    }
    enableData();
}

void AutoMessageDialog::enableData() {
    for (int i = 0; i < 8; ++i)
        m_data->edit(i)->setEnabled(m_logic.dataEnabled(i));
}

void AutoMessageDialog::refill() {
    std::vector<ConditionTableRow> rows;
    for (const AutoMessageSetup::Row& r : m_logic.rows()) {
        rows.push_back({r.ticked, std::vector<std::string>(r.cells.begin(), r.cells.end())});
    }
    m_list->setRows(rows);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        m_list->setRowColour(r, m_logic.rowColour(r));
    }
}

void AutoMessageDialog::showSelection() {
    m_edit->setEnabled(m_logic.editEnabled());
    m_delete->setEnabled(m_logic.editEnabled());
    for (int r = 0; r < m_list->rowCount(); ++r) m_list->setRowColour(r, m_logic.rowColour(r));
    if (!m_logic.editEnabled()) m_list->clearSelection();
}

void AutoMessageDialog::accept() {
    if (m_logic.downloading()) return;
    setEnabled(false);
    QPointer<AutoMessageDialog> self(this);
    m_logic.download([self](bool closes) {
        if (self == nullptr) return;
        self->setEnabled(true);
        if (closes) self->QDialog::accept();
    });
}

void AutoMessageDialog::reject() {
    // The set is on its way: the answer decides.
    if (m_logic.downloading()) return;
    QDialog::reject();
}
