#pragma once

// The Device Setup dialog (136) and the Device Information dialog (160); their logic is in
// DeviceSetup and DeviceInformation.

#include "device/DeviceSetup.h"

#include <QDialog>
#include <QTimer>

class QComboBox;
class QDialogButtonBox;
class QLineEdit;

class DeviceSetupDialog final : public QDialog {
public:
    DeviceSetupDialog(DeviceSetup& setup, QWidget* parent = nullptr);

    [[nodiscard]] QComboBox* usbDevice() const { return m_usbDevice; }
    [[nodiscard]] QComboBox* workMode() const { return m_workMode; }
    [[nodiscard]] QComboBox* baudRate() const { return m_baudRate; }
    [[nodiscard]] QComboBox* frameType() const { return m_frameType; }
    // The one-second adapter search; the list fills when the adapter answers.
    void onTimer();
    // Sends the settings; the dialog closes when the adapter took them. Until it answered, OK and
    // Cancel wait.
    void accept() override;
    void reject() override;
    [[nodiscard]] QDialogButtonBox* buttons() const { return m_buttons; }

private:
    DeviceSetup& m_setup;
    QDialogButtonBox* m_buttons = nullptr;
    QComboBox* m_usbDevice;
    QComboBox* m_workMode;
    QComboBox* m_baudRate;
    QComboBox* m_frameType;
    QTimer m_timer;
};

class DeviceInformationDialog final : public QDialog {
public:
    // Shows what `information` holds: open it first.
    DeviceInformationDialog(DeviceInformation& information, QWidget* parent = nullptr);
    [[nodiscard]] QString status() const;
    [[nodiscard]] QString baudRate() const;
    [[nodiscard]] QString firmware() const;
    [[nodiscard]] QString framesLost() const;
    [[nodiscard]] QString captureStarted() const;

private:
    QLineEdit* m_status;
    QLineEdit* m_baudRate;
    QLineEdit* m_firmware;
    QLineEdit* m_framesLost;
    QLineEdit* m_captureStarted;
};
