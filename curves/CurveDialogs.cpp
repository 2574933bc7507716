#include "curves/CurveDialogs.h"

#include "curves/CurveFlags.h"
#include "resources/CurveStrings.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString uiLabel(const char* english) {
    return QString::fromStdString(uiText(english));
}

QLineEdit* lineEdit(QWidget* parent, int maxLength = 32) {
    auto* e = new QLineEdit(parent);
    e->setMaxLength(maxLength);
    return e;
}

QLineEdit* nameEdit(QWidget* parent) {
    // The record's name field holds 31 characters.
    return lineEdit(parent, static_cast<int>(kMaxNameLength));
}

// Two radio buttons in a row of their own group; returns the first.
QRadioButton* radioPair(QWidget* parent, QBoxLayout* row, const char* first, const char* second,
                        QRadioButton** secondOut) {
    auto* group = new QButtonGroup(parent);
    auto* a = new QRadioButton(uiLabel(first), parent);
    auto* b = new QRadioButton(uiLabel(second), parent);
    group->addButton(a);
    group->addButton(b);
    row->addWidget(a);
    row->addWidget(b);
    *secondOut = b;
    return a;
}

QTableWidget* curveList(QWidget* parent, std::uint32_t firstTitle, int columns) {
    auto* list = new QTableWidget(0, columns, parent);
    QStringList titles;
    for (int i = 0; i < columns; ++i) {
        titles << QString::fromStdString(
            strings::loadString(firstTitle + static_cast<std::uint32_t>(i)));
    }
    list->setHorizontalHeaderLabels(titles);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setShowGrid(true);
    list->verticalHeader()->hide();
    list->horizontalHeader()->setStretchLastSection(true);
    return list;
}

template <std::size_t N>
void fillList(QTableWidget* list, const std::vector<std::array<std::string, N>>& rows) {
    list->setRowCount(static_cast<int>(rows.size()));
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < N; ++c) {
            list->setItem(static_cast<int>(r), static_cast<int>(c),
                          new QTableWidgetItem(QString::fromStdString(rows[r][c])));
        }
    }
}

std::string text(const QLineEdit* e) {
    return e->text().toStdString();
}

// The slot of the n-th defined curve (list rows skip free slots).
template <typename Slots>
int slotOfRow(const Slots& curveSlots, int row) {
    for (std::size_t i = 0; i < curveSlots.size(); ++i) {
        if ((curveSlots[i].flags & curve_flags::kDefined) != 0 && row-- == 0)
            return static_cast<int>(i);
    }
    return -1;
}

QDialogButtonBox* okCancel(QDialog* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

ColourButton::ColourButton(QWidget* parent) : QPushButton(parent) {
    setObjectName(QStringLiteral("colourButton"));
    connect(this, &QPushButton::clicked, this, [this] {
        // Parented to the dialog, not the button, so the button's colours stay its own.
        const QColor chosen = QColorDialog::getColor(QColor(255, 0, 0), window());
        if (chosen.isValid()) {
            setColour(static_cast<std::uint32_t>(chosen.red()) |
                      static_cast<std::uint32_t>(chosen.green()) << 8 |
                      static_cast<std::uint32_t>(chosen.blue()) << 16);
        }
    });
    setColour(m_colour);
}

void ColourButton::setColour(std::uint32_t bbggrr) {
    m_colour = bbggrr & 0xFFFFFF;
    const QColor c(static_cast<int>(m_colour & 0xFF), static_cast<int>((m_colour >> 8) & 0xFF),
                   static_cast<int>((m_colour >> 16) & 0xFF));
    setText(QString::asprintf("0X %06X", m_colour));
    setStyleSheet(QStringLiteral("#colourButton { background-color: %1; color: %2 }")
                      .arg(c.name(), c.lightness() > 128 ? "black" : "white"));
}

ByteBoxes::ByteBoxes(QWidget* parent) : QWidget(parent), m_layout(new QHBoxLayout(this)) {
    m_layout->setContentsMargins(0, 0, 0, 0);
    for (int i = 0; i < 8; ++i) {
        m_boxes[static_cast<std::size_t>(i)] = new QCheckBox(QStringLiteral("D%1").arg(i), this);
        m_layout->addWidget(m_boxes[static_cast<std::size_t>(i)]);
    }
}

void ByteBoxes::setMirrored(bool mirrored) {
    if (mirrored == m_mirrored) return;
    m_mirrored = mirrored;
    for (QCheckBox* b : m_boxes) m_layout->removeWidget(b);
    for (int i = 0; i < 8; ++i)
        m_layout->addWidget(m_boxes[static_cast<std::size_t>(mirrored ? 7 - i : i)]);
}

void ByteBoxes::setTicked(const std::array<bool, 8>& ticked) {
    for (std::size_t i = 0; i < 8; ++i) m_boxes[i]->setChecked(ticked[i]);
}

std::array<bool, 8> ByteBoxes::ticked() const {
    std::array<bool, 8> t{};
    for (std::size_t i = 0; i < 8; ++i) t[i] = m_boxes[i]->isChecked();
    return t;
}

SignalPicker::SignalPicker(const CurveSignalCatalog& catalog, QWidget* parent)
    : QWidget(parent),
      m_catalog(catalog),
      m_messages(new QComboBox(this)),
      m_signals(new QComboBox(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_messages, 1);
    row->addWidget(m_signals, 1);
    m_messages->addItem(uiLabel("(byte positions)"), -1);
    for (std::size_t i = 0; i < catalog.size(); ++i) {
        const CurveSignalRef& r = catalog[i].ref;
        if (i > 0 && catalog[i - 1].ref.identifier == r.identifier &&
            catalog[i - 1].ref.extended == r.extended) {
            continue;
        }
        m_messages->addItem(QStringLiteral("%1 (0x%2)")
                                .arg(QString::fromStdString(r.message),
                                     QString::number(r.identifier, 16).toUpper()),
                            static_cast<int>(i));
    }
    connect(m_messages, &QComboBox::activated, this, [this] {
        fillSignals();
        choose();
    });
    connect(m_signals, &QComboBox::activated, this, [this] { choose(); });
    fillSignals();
}

void SignalPicker::fillSignals() {
    m_signals->clear();
    const int first = m_messages->currentData().toInt();
    if (first < 0) return;
    const CurveSignalRef& message = m_catalog[static_cast<std::size_t>(first)].ref;
    for (std::size_t i = static_cast<std::size_t>(first); i < m_catalog.size(); ++i) {
        const CurveSignalOffer& o = m_catalog[i];
        if (o.ref.identifier != message.identifier || o.ref.extended != message.extended) break;
        const QString unit = QString::fromStdString(o.unit);
        m_signals->addItem(QString::fromStdString(o.ref.signal) +
                               (unit.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(unit)),
                           static_cast<int>(i));
    }
}

void SignalPicker::choose() {
    if (m_setting || !m_chosen) return;
    const int offer = m_signals->count() > 0 ? m_signals->currentData().toInt() : -1;
    m_chosen(offer < 0 ? CurveSignalOffer{} : m_catalog[static_cast<std::size_t>(offer)]);
}

void SignalPicker::setChoice(const CurveSignalRef& ref) {
    m_setting = true;
    int offer = -1;
    for (std::size_t i = 0; i < m_catalog.size() && !ref.empty(); ++i) {
        if (m_catalog[i].ref.sameSignal(ref)) offer = static_cast<int>(i);
    }
    int message = 0;
    for (int item = 1; item < m_messages->count() && offer >= 0; ++item) {
        if (m_messages->itemData(item).toInt() <= offer) message = item;
    }
    m_messages->setCurrentIndex(message);
    fillSignals();
    if (offer >= 0) m_signals->setCurrentIndex(m_signals->findData(offer));
    m_setting = false;
}

NewCurveWindowDialog::NewCurveWindowDialog(ChartKind kind, int counter, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(uiLabel("New Curve Window"));
    setMinimumWidth(300);
    auto* form = new QFormLayout(this);
    auto* row = new QHBoxLayout;
    m_yt = radioPair(this, row, "y(t)", "y(x)", &m_yx);
    form->addRow(uiLabel("Type:"), row);
    m_name = nameEdit(this);
    form->addRow(uiLabel("Name:"), m_name);
    form->addRow(okCancel(this));
    (kind == ChartKind::kYx ? m_yx : m_yt)->setChecked(true);
    m_name->setText(QString::fromStdString(defaultWindowName(kind, counter)));
    connect(m_yt, &QRadioButton::clicked, this, [this, counter] {
        m_name->setText(QString::fromStdString(defaultWindowName(ChartKind::kYt, counter)));
    });
    connect(m_yx, &QRadioButton::clicked, this, [this, counter] {
        m_name->setText(QString::fromStdString(defaultWindowName(ChartKind::kYx, counter)));
    });
}

ChartKind NewCurveWindowDialog::kind() const {
    return m_yx->isChecked() ? ChartKind::kYx : ChartKind::kYt;
}

std::string NewCurveWindowDialog::name() const {
    return text(m_name);
}

RenameDialog::RenameDialog(const std::string& name, QWidget* parent) : QDialog(parent) {
    setWindowTitle(uiLabel("Rename"));
    setMinimumWidth(300);
    auto* form = new QFormLayout(this);
    m_name = nameEdit(this);
    m_name->setText(QString::fromStdString(name));
    form->addRow(uiLabel("Name:"), m_name);
    form->addRow(okCancel(this));
}

std::string RenameDialog::name() const {
    return text(m_name);
}

YtCurveDialog::YtCurveDialog(const CurveWindowRecord& record, MessageService& messages,
                             const CurveSettingsFile* settings, QWidget* parent,
                             const CurveSignalCatalog& catalog, const CurveSignalRefs& slotSignals)
    : QDialog(parent), m_editor(record, messages, settings, slotSignals), m_catalog(catalog) {
    setWindowTitle(uiLabel("y(t) Curve"));
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    top->addLayout(form);
    if (!m_catalog.empty()) {
        m_picker = new SignalPicker(m_catalog, this);
        form->addRow(uiLabel("Signal:"), m_picker);
        m_picker->onChosen([this](const CurveSignalOffer& offer) {
            YtCurveForm f = this->form();
            chooseSignal(f, offer);
            setForm(f);
        });
    }
    m_identifier = lineEdit(this, 8);
    form->addRow(uiLabel("Identifier(Hex):"), m_identifier);
    m_yOrg = lineEdit(this, 11);
    form->addRow(uiLabel("Y Org:"), m_yOrg);
    m_resolution = lineEdit(this, 11);
    form->addRow(uiLabel("Resolution:"), m_resolution);
    auto* data = new QHBoxLayout;
    m_bytes = new ByteBoxes(this);
    m_signed = new QCheckBox(uiLabel("Signed"), this);
    m_reverse = new QCheckBox(uiLabel("Reverse"), this);
    data->addWidget(m_bytes);
    data->addWidget(m_signed);
    data->addWidget(m_reverse);
    form->addRow(uiLabel("Data:"), data);
    auto* time = new QHBoxLayout;
    m_timeResolution = lineEdit(this, 11);
    time->addWidget(m_timeResolution);
    time->addWidget(new QLabel(QStringLiteral("ms"), this));
    form->addRow(uiLabel("Time Resolution:"), time);
    auto* autoMove = new QHBoxLayout;
    QRadioButton* autoMoveOff = nullptr;
    m_autoMoveOn = radioPair(this, autoMove, "Enable", "Disable", &autoMoveOff);
    form->addRow(uiLabel("Auto Move:"), autoMove);
    m_name = nameEdit(this);
    form->addRow(uiLabel("Name:"), m_name);
    auto* axis = new QHBoxLayout;
    QRadioButton* single = nullptr;
    m_yMulti = radioPair(this, axis, "Multi", "Single", &single);
    form->addRow(uiLabel("Y Axis:"), axis);
    auto* show = new QHBoxLayout;
    m_showOn = radioPair(this, show, "Enable", "Disable", &m_showOff);
    form->addRow(uiLabel("Show:"), show);
    m_colour = new ColourButton(this);
    form->addRow(uiLabel("Color:"), m_colour);
    auto* buttons = new QHBoxLayout;
    for (auto [label, slot] : {std::pair{"Add", &YtCurveDialog::add},
                               {"Edit", &YtCurveDialog::edit},
                               {"Delete", &YtCurveDialog::remove}}) {
        auto* b = new QPushButton(uiLabel(label), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    top->addLayout(buttons);
    m_list = curveList(this, strings::kYtColumnFirst, 6);
    top->addWidget(m_list);
    top->addWidget(okCancel(this));
    connect(m_reverse, &QCheckBox::toggled, m_bytes, &ByteBoxes::setMirrored);
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row) {
        const int slot = slotOfRow(m_editor.record().yt, row);
        if (slot >= 0) setForm(m_editor.formOf(slot));
    });

    (record.flags & window_flags::kAutoMove ? m_autoMoveOn : autoMoveOff)->setChecked(true);
    (record.flags & window_flags::kYMulti ? m_yMulti : single)->setChecked(true);
    YtCurveForm initial;
    initial.timeResolution = std::to_string(record.timeResolution);
    setForm(initial);
    refreshList();
    resize(640, 560);
}

void YtCurveDialog::setForm(const YtCurveForm& f) {
    m_identifier->setText(QString::fromStdString(f.identifier));
    m_yOrg->setText(QString::fromStdString(f.yOrg));
    m_resolution->setText(QString::fromStdString(f.resolution));
    m_timeResolution->setText(QString::fromStdString(f.timeResolution));
    m_name->setText(QString::fromStdString(f.name));
    m_bytes->setTicked(f.bytes);
    m_signed->setChecked(f.isSigned);
    m_reverse->setChecked(f.reverse);
    m_bytes->setMirrored(f.reverse);
    (f.show ? m_showOn : m_showOff)->setChecked(true);
    m_colour->setColour(f.colour);
    // A signal's identifier and byte positions are its own.
    m_signal = f.signal;
    if (m_picker != nullptr) m_picker->setChoice(f.signal);
    for (QWidget* w : std::initializer_list<QWidget*>{m_identifier, m_bytes, m_signed, m_reverse}) {
        w->setEnabled(f.signal.empty());
    }
}

YtCurveForm YtCurveDialog::form() const {
    YtCurveForm f;
    f.identifier = text(m_identifier);
    f.yOrg = text(m_yOrg);
    f.resolution = text(m_resolution);
    f.timeResolution = text(m_timeResolution);
    f.name = text(m_name);
    f.bytes = m_bytes->ticked();
    f.isSigned = m_signed->isChecked();
    f.reverse = m_reverse->isChecked();
    f.show = m_showOn->isChecked();
    f.colour = m_colour->colour();
    f.signal = m_signal;
    return f;
}

void YtCurveDialog::add() {
    if (m_editor.add(form())) refreshList();
}

void YtCurveDialog::edit() {
    if (m_editor.edit(form())) refreshList();
}

void YtCurveDialog::remove() {
    m_editor.remove(text(m_name));
    refreshList();
}

void YtCurveDialog::refreshList() {
    fillList(m_list, m_editor.rows());
}

CurveWindowRecord YtCurveDialog::result() const {
    return m_editor.accepted(m_autoMoveOn->isChecked(), m_yMulti->isChecked());
}

YxCurveDialog::YxCurveDialog(const CurveWindowRecord& record, MessageService& messages,
                             const CurveSettingsFile* settings, QWidget* parent,
                             const CurveSignalCatalog& catalog, const CurveSignalRefs& ySignals,
                             const CurveSignalRefs& xSignals)
    : QDialog(parent),
      m_editor(record, messages, settings, ySignals, xSignals),
      m_catalog(catalog) {
    setWindowTitle(uiLabel("y(x) Curve"));
    auto* top = new QVBoxLayout(this);
    auto signal = [this, top](const char* title, QLineEdit*& identifier, const char* orgLabel,
                              QLineEdit*& org, ByteBoxes*& bytes, QCheckBox*& isSigned,
                              QCheckBox*& reverse, SignalPicker*& picker, Axis axis) {
        auto* group = new QGroupBox(uiLabel(title), this);
        auto* form = new QFormLayout(group);
        if (!m_catalog.empty()) {
            picker = new SignalPicker(m_catalog, group);
            form->addRow(uiLabel("Signal:"), picker);
            picker->onChosen([this, axis](const CurveSignalOffer& offer) {
                YxCurveForm f = this->form();
                chooseSignal(f, axis, offer);
                setForm(f);
            });
        }
        identifier = lineEdit(group, 8);
        form->addRow(uiLabel("Identifier(Hex):"), identifier);
        org = lineEdit(group, 11);
        form->addRow(uiLabel(orgLabel), org);
        auto* data = new QHBoxLayout;
        bytes = new ByteBoxes(group);
        isSigned = new QCheckBox(uiLabel("Signed"), group);
        reverse = new QCheckBox(uiLabel("Reverse"), group);
        data->addWidget(bytes);
        data->addWidget(isSigned);
        data->addWidget(reverse);
        form->addRow(data);
        connect(reverse, &QCheckBox::toggled, bytes, &ByteBoxes::setMirrored);
        top->addWidget(group);
    };
    signal("Y Axis", m_yIdentifier, "Y Org:", m_yOrg, m_yBytes, m_ySigned, m_yReverse, m_yPicker,
           Axis::kY);
    signal("X Axis", m_xIdentifier, "X Org:", m_xOrg, m_xBytes, m_xSigned, m_xReverse, m_xPicker,
           Axis::kX);
    auto* curve = new QGroupBox(uiLabel("Curve"), this);
    auto* form = new QFormLayout(curve);
    m_name = nameEdit(curve);
    form->addRow(uiLabel("Name:"), m_name);
    m_colour = new ColourButton(curve);
    form->addRow(uiLabel("Color:"), m_colour);
    auto* show = new QHBoxLayout;
    m_showOn = radioPair(curve, show, "Enable", "Disable", &m_showOff);
    form->addRow(uiLabel("Show:"), show);
    m_resolution = lineEdit(curve, 11);
    form->addRow(uiLabel("Resolution:"), m_resolution);
    auto* xAxis = new QHBoxLayout;
    QRadioButton* xSingle = nullptr;
    m_xMulti = radioPair(curve, xAxis, "Multi", "Single", &xSingle);
    form->addRow(uiLabel("X Axis"), xAxis);
    auto* yAxis = new QHBoxLayout;
    QRadioButton* ySingle = nullptr;
    m_yMulti = radioPair(curve, yAxis, "Multi", "Single", &ySingle);
    form->addRow(uiLabel("Y Axis"), yAxis);
    m_sync = lineEdit(curve, 8);
    form->addRow(uiLabel("Synchronizing Signal(Hex):"), m_sync);
    top->addWidget(curve);
    auto* buttons = new QHBoxLayout;
    for (auto [label, slot] : {std::pair{"Add", &YxCurveDialog::add},
                               {"Edit", &YxCurveDialog::edit},
                               {"Delete", &YxCurveDialog::remove}}) {
        auto* b = new QPushButton(uiLabel(label), this);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, slot);
        buttons->addWidget(b);
    }
    top->addLayout(buttons);
    m_list = curveList(this, strings::kYxColumnFirst, 8);
    top->addWidget(m_list);
    top->addWidget(okCancel(this));
    connect(m_list, &QTableWidget::cellClicked, this, [this](int row) {
        const int slot = slotOfRow(m_editor.record().yx, row);
        if (slot >= 0) setForm(m_editor.formOf(slot));
    });
    (record.flags & window_flags::kXMulti ? m_xMulti : xSingle)->setChecked(true);
    (record.flags & window_flags::kYMulti ? m_yMulti : ySingle)->setChecked(true);
    setForm(YxCurveForm{});
    refreshList();
    resize(680, 720);
}

void YxCurveDialog::setForm(const YxCurveForm& f) {
    m_xIdentifier->setText(QString::fromStdString(f.xIdentifier));
    m_yIdentifier->setText(QString::fromStdString(f.yIdentifier));
    m_xOrg->setText(QString::fromStdString(f.xOrg));
    m_yOrg->setText(QString::fromStdString(f.yOrg));
    m_resolution->setText(QString::fromStdString(f.resolution));
    m_sync->setText(QString::fromStdString(f.sync));
    m_name->setText(QString::fromStdString(f.name));
    m_xBytes->setTicked(f.xBytes);
    m_yBytes->setTicked(f.yBytes);
    m_xSigned->setChecked(f.xSigned);
    m_ySigned->setChecked(f.ySigned);
    m_xReverse->setChecked(f.xReverse);
    m_yReverse->setChecked(f.yReverse);
    m_xBytes->setMirrored(f.xReverse);
    m_yBytes->setMirrored(f.yReverse);
    (f.show ? m_showOn : m_showOff)->setChecked(true);
    m_colour->setColour(f.colour);
    m_ySignal = f.ySignal;
    m_xSignal = f.xSignal;
    if (m_yPicker != nullptr) m_yPicker->setChoice(f.ySignal);
    if (m_xPicker != nullptr) m_xPicker->setChoice(f.xSignal);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_yIdentifier, m_yBytes, m_ySigned, m_yReverse}) {
        w->setEnabled(f.ySignal.empty());
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_xIdentifier, m_xBytes, m_xSigned, m_xReverse}) {
        w->setEnabled(f.xSignal.empty());
    }
}

YxCurveForm YxCurveDialog::form() const {
    YxCurveForm f;
    f.xIdentifier = text(m_xIdentifier);
    f.yIdentifier = text(m_yIdentifier);
    f.xOrg = text(m_xOrg);
    f.yOrg = text(m_yOrg);
    f.resolution = text(m_resolution);
    f.sync = text(m_sync);
    f.name = text(m_name);
    f.xBytes = m_xBytes->ticked();
    f.yBytes = m_yBytes->ticked();
    f.xSigned = m_xSigned->isChecked();
    f.ySigned = m_ySigned->isChecked();
    f.xReverse = m_xReverse->isChecked();
    f.yReverse = m_yReverse->isChecked();
    f.show = m_showOn->isChecked();
    f.colour = m_colour->colour();
    f.ySignal = m_ySignal;
    f.xSignal = m_xSignal;
    return f;
}

void YxCurveDialog::add() {
    if (m_editor.add(form())) refreshList();
}

void YxCurveDialog::edit() {
    if (m_editor.edit(form())) refreshList();
}

void YxCurveDialog::remove() {
    m_editor.remove(text(m_name));
    refreshList();
}

void YxCurveDialog::refreshList() {
    fillList(m_list, m_editor.rows());
}

CurveWindowRecord YxCurveDialog::result() const {
    return m_editor.accepted(m_xMulti->isChecked(), m_yMulti->isChecked());
}
