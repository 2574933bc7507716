#include "device/DeviceDialogs.h"

#include "resources/UiText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace {

void fill(QComboBox* box, const std::vector<std::string>& entries, int selected) {
    box->clear();
    for (const std::string& e : entries) box->addItem(QString::fromStdString(uiText(e.c_str())));
    box->setCurrentIndex(selected);
}

QDialogButtonBox* okCancel(QDialog* dialog, bool withCancel) {
    auto* buttons = new QDialogButtonBox(
        withCancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok,
        dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

}  // namespace

DeviceSetupDialog::DeviceSetupDialog(DeviceSetup& setup, QWidget* parent)
    : QDialog(parent),
      m_setup(setup),
      m_usbDevice(new QComboBox),
      m_workMode(new QComboBox),
      m_baudRate(new QComboBox),
      m_frameType(new QComboBox) {
    setWindowTitle(QString::fromStdString(uiText("Device Setup")));
    m_setup.open();
    fill(m_usbDevice, m_setup.usbDevices(), -1);
    fill(m_workMode, DeviceSetup::workModes(), m_setup.workModeIndex);
    fill(m_baudRate, m_setup.baudRates(), m_setup.baudRateIndex);
    fill(m_frameType, DeviceSetup::frameTypes(), m_setup.frameTypeIndex);
    auto* group = new QGroupBox(QString::fromStdString(uiText("Configure Parameters")));
    auto* form = new QFormLayout(group);
    form->addRow(QString::fromStdString(uiText("USB Device:")), m_usbDevice);
    form->addRow(QString::fromStdString(uiText("Work Mode:")), m_workMode);
    form->addRow(QString::fromStdString(uiText("Baud Rate(Kbps):")), m_baudRate);
    form->addRow(QString::fromStdString(uiText("Frame Type:")), m_frameType);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    m_buttons = okCancel(this, true);
    layout->addWidget(m_buttons);
    connect(&m_timer, &QTimer::timeout, this, &DeviceSetupDialog::onTimer);
    m_timer.start(1000);
}

void DeviceSetupDialog::onTimer() {
    QPointer<DeviceSetupDialog> self(this);
    m_setup.searchAdapter([self] {
        if (self == nullptr) return;
        const auto& found = self->m_setup.usbDevices();
        fill(self->m_usbDevice, found, found.empty() ? -1 : 0);
    });
}

void DeviceSetupDialog::accept() {
    if (m_setup.sending()) return;
    m_setup.workModeIndex = m_workMode->currentIndex();
    m_setup.baudRateIndex = m_baudRate->currentIndex();
    m_setup.frameTypeIndex = m_frameType->currentIndex();
    m_buttons->setEnabled(false);
    QPointer<DeviceSetupDialog> self(this);
    m_setup.ok([self](bool sent) {
        if (self == nullptr) return;
        self->m_buttons->setEnabled(true);
        // After a refusal the dialog stays open for another try.
        if (sent) {
            self->m_timer.stop();
            self->QDialog::accept();
        }
    });
}

void DeviceSetupDialog::reject() {
    // The settings are on their way: the answer decides.
    if (m_setup.sending()) return;
    QDialog::reject();
}

DeviceInformationDialog::DeviceInformationDialog(DeviceInformation& information, QWidget* parent)
    : QDialog(parent),
      m_status(new QLineEdit),
      m_baudRate(new QLineEdit),
      m_firmware(new QLineEdit),
      m_framesLost(new QLineEdit),
      m_captureStarted(new QLineEdit) {
    setWindowTitle(QString::fromStdString(uiText("Device Information")));
    for (QLineEdit* e : {m_status, m_baudRate, m_firmware, m_framesLost, m_captureStarted}) {
        e->setReadOnly(true);
    }
    m_framesLost->setText(QString::fromStdString(information.framesLost));
    m_captureStarted->setText(QString::fromStdString(information.captureStarted));
    m_status->setText(QString::fromStdString(uiText(information.status.c_str())));
    m_baudRate->setText(QString::fromStdString(information.baudRate));
    m_firmware->setText(QString::fromStdString(information.firmware));
    auto* group = new QGroupBox(QString::fromStdString(uiText("Device Information")));
    auto* form = new QFormLayout(group);
    form->addRow(QString::fromStdString(uiText("Status:")), m_status);
    form->addRow(QString::fromStdString(uiText("Baud Rate(Kbps):")), m_baudRate);
    form->addRow(QString::fromStdString(uiText("Firmware:")), m_firmware);
    form->addRow(QString::fromStdString(uiText("Lost frames:")), m_framesLost);
    form->addRow(QString::fromStdString(uiText("Capture started:")), m_captureStarted);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(okCancel(this, false));
}

QString DeviceInformationDialog::status() const {
    return m_status->text();
}
QString DeviceInformationDialog::baudRate() const {
    return m_baudRate->text();
}
QString DeviceInformationDialog::firmware() const {
    return m_firmware->text();
}
QString DeviceInformationDialog::framesLost() const {
    return m_framesLost->text();
}
QString DeviceInformationDialog::captureStarted() const {
    return m_captureStarted->text();
}
