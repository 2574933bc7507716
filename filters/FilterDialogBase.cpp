#include "filters/FilterDialogBase.h"

#include "resources/UiText.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

std::vector<std::string> translated(std::vector<std::string> headers) {
    for (std::string& h : headers) h = uiText(h.c_str());
    return headers;
}

}  // namespace

QString FilterDialogBase::text(const char* english) {
    return QString::fromStdString(uiText(english));
}

QString FilterDialogBase::shownText(const std::string& logicText) {
    return logicText == "ALL" ? text("ALL") : QString::fromStdString(logicText);
}

std::string FilterDialogBase::logicText(const QString& shown) {
    const QString all = text("ALL");
    if (all == QLatin1String("ALL")) return shown.toStdString();
    // Typing after the translated word, or erasing part of it, acts on the word as a whole.
    if (shown.startsWith(all)) return "ALL" + shown.mid(all.size()).toStdString();
    if (!shown.isEmpty() && all.startsWith(shown)) return {};
    return shown.toStdString();
}

FilterDialogBase::FilterDialogBase(ConditionTableKind kind, const char* title, QWidget* parent)
    : QDialog(parent),
      m_group(new QGroupBox(text("Set filter condition"))),
      m_grid(new QGridLayout(m_group)),
      m_hex(withId(new QRadioButton(text("Hex")), 1015)),
      m_decimal(withId(new QRadioButton(text("Decimal")), 1014)),
      m_show(withId(new QRadioButton(text("Show")), 1200)),
      m_hide(withId(new QRadioButton(text("Hide")), 1201)),
      m_add(withId(new QPushButton(text("Add")), 1026)),
      m_edit(withId(new QPushButton(text("Edit")), 1029)),
      m_delete(withId(new QPushButton(text("Delete")), 1027)),
      m_ok(nullptr),
      m_table(withId(new ConditionTableCtrl(translated(conditionTableHeaders(kind)),
                                            conditionTablePercents(kind)),
                     1028)) {
    setWindowTitle(text(title));

    auto* format = new QHBoxLayout;
    format->addWidget(new QLabel(text("Format:")));
    format->addWidget(m_hex);
    format->addWidget(m_decimal);
    format->addSpacing(24);
    format->addWidget(new QLabel(text("Mode:")));
    format->addWidget(m_show);
    format->addWidget(m_hide);
    format->addStretch();
    // Two groups: the radix and the mode are independent choices.
    auto* radix = new QButtonGroup(this);
    radix->addButton(m_hex);
    radix->addButton(m_decimal);
    auto* mode = new QButtonGroup(this);
    mode->addButton(m_show);
    mode->addButton(m_hide);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_add);
    buttons->addWidget(m_edit);
    buttons->addWidget(m_delete);

    auto* okCancel = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    m_ok = okCancel->button(QDialogButtonBox::Ok);
    withId(m_ok, 1);
    withId(okCancel->button(QDialogButtonBox::Cancel), 2);
    connect(okCancel, &QDialogButtonBox::accepted, this, [this] {
        if (!m_extensionAccepts || m_extensionAccepts()) accept();
    });
    connect(okCancel, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_group);
    layout->addLayout(format);
    layout->addLayout(buttons);
    layout->addWidget(m_table, 1);
    layout->addWidget(okCancel);
    // Wide enough for the narrowest column ("Type", a tenth) to show "Standard" whole.
    m_table->setMinimumSize(660, 200);

    connect(m_add, &QPushButton::clicked, this, [this] { onAdd(); });
    connect(m_edit, &QPushButton::clicked, this, [this] { onEdit(); });
    connect(m_delete, &QPushButton::clicked, this, [this] { onDelete(); });
    connect(m_hex, &QRadioButton::toggled, this, [this](bool on) { onRadix(on); });
    connect(m_show, &QRadioButton::toggled, this,
            [this](bool on) { list().setMode(on ? FilterMode::kShow : FilterMode::kHide); });
    m_table->onRowClicked = [this](int row) {
        m_table->markRow(row);
        onRowClicked(row);
    };
}

void FilterDialogBase::addExtension(QWidget* widget, std::function<bool()> accept) {
    auto* box = static_cast<QVBoxLayout*>(layout());
    box->insertWidget(box->count() - 1, widget);
    m_extensionAccepts = std::move(accept);
}

std::vector<FilterCondition> FilterDialogBase::acceptedConditions() {
    list().takeChecks(m_table->checkStates());
    return list().conditions();
}

FilterMode FilterDialogBase::acceptedMode() const {
    return m_hide->isChecked() ? FilterMode::kHide : FilterMode::kShow;
}

void FilterDialogBase::fillTable(const std::vector<ConditionTableRow>& rows, bool toEnd) {
    m_table->setRows(rows);
    if (toEnd) m_table->scrollToLastRow();
}

void FilterDialogBase::setEditDelete(bool edit, bool del) {
    m_edit->setEnabled(edit);
    m_delete->setEnabled(del);
}

void FilterDialogBase::setRadix(bool hex) {
    const QSignalBlocker a(m_hex);
    const QSignalBlocker b(m_decimal);
    m_hex->setChecked(hex);
    m_decimal->setChecked(!hex);
}

void FilterDialogBase::showMode() {
    const QSignalBlocker a(m_show);
    const QSignalBlocker b(m_hide);
    m_show->setChecked(list().mode() == FilterMode::kShow);
    m_hide->setChecked(list().mode() == FilterMode::kHide);
}

void FilterDialogBase::listChanged(bool changed, const std::vector<ConditionTableRow>& rows,
                                   bool toEnd) {
    if (changed && onListChanged) onListChanged();
    fillTable(rows, toEnd);
}

void FilterDialogBase::setTextQuietly(QLineEdit* edit, const std::string& text) {
    const QString wanted = QString::fromStdString(text);
    if (edit->text() == wanted) return;
    const QSignalBlocker block(edit);
    edit->setText(wanted);
}

void FilterDialogBase::showFrame(const FrameFields& frame, bool hex, QRadioButton* dataFrame,
                                 QRadioButton* remoteFrame, QComboBox* size,
                                 const DataEditRow& data) {
    {
        const QSignalBlocker a(dataFrame);
        const QSignalBlocker b(remoteFrame);
        dataFrame->setChecked(!frame.remote());
        remoteFrame->setChecked(frame.remote());
    }
    size->setCurrentIndex(frame.sizeItem());
    for (int i = 0; i < 8; ++i) {
        QLineEdit* edit = data.edit(i);
        edit->setMaxLength(FrameFields::dataLimit(hex));
        setTextQuietly(edit, frame.dataText(i));
        edit->setEnabled(frame.dataEnabled(i));
    }
}

void FilterDialogBase::showTypedByte(const DataEditRow& data, int byte,
                                     const FrameFields::Typed& typed) {
    setTextQuietly(data.edit(byte), typed.text);
    if (typed.moveFocus) data.handOn(byte);
}

QHBoxLayout* FilterDialogBase::dataRow(
    DataEditRow*& data, const std::function<void(int byte, const QString& text)>& typed) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(text("Data:")));
    data = new DataEditRow({1033, 1018, 1019, 1020, 1021, 1022, 1023, 1024}, 0, this);
    data->setMaxLength(2);
    data->placeIn(row);
    data->onTyped(typed);
    row->addStretch();
    return row;
}

QRadioButton* FilterDialogBase::methodRadio(int method) {
    return withId(new QRadioButton(text(method == 1 ? "Method 1:" : "Method 2:")), 1040 + method);
}

void FilterDialogBase::groupMethods(QRadioButton* method1, QRadioButton* method2,
                                    const std::function<void(int method)>& chosen) {
    auto* methods = new QButtonGroup(this);
    methods->addButton(method1);
    methods->addButton(method2);
    connect(method1, &QRadioButton::toggled, this, [chosen](bool on) { chosen(on ? 1 : 2); });
}

void FilterDialogBase::showMethod(int method, QRadioButton* method1, QRadioButton* method2) {
    const QSignalBlocker a(method1);
    const QSignalBlocker b(method2);
    method1->setChecked(method == 1);
    method2->setChecked(method != 1);
}

QComboBox* FilterDialogBase::allOrTypedList(int controlId) {
    auto* box = withId(new QComboBox, controlId);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->addItem(text("ALL"));
    return box;
}

void FilterDialogBase::setEditTextQuietly(QComboBox* box, const QString& wanted) {
    if (box->currentText() == wanted) return;
    const QSignalBlocker block(box);
    box->setEditText(wanted);
}
