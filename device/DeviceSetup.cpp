#include "device/DeviceSetup.h"

#include <string>

#include "platform/ProfileFile.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"

#include <iterator>

using platform::GetPrivateProfileStringA;
using platform::profileNumber;
using platform::WritePrivateProfileStringA;

DeviceSetup::DeviceSetup(DeviceCommands& device, DeviceSettings& settings, CaptureState& state,
                         MessageService& messages, std::string iniPath)
    : m_device(device),
      m_settings(settings),
      m_state(state),
      m_messages(messages),
      m_iniPath(std::move(iniPath)) {}

std::vector<std::string> DeviceSetup::workModes() {
    return {"Monitor ACK mode", "Monitor Non-ACK mode"};
}

std::vector<std::string> DeviceSetup::frameTypes() {
    return {"Standard", "Extend"};
}

void DeviceSetup::open() {
    m_usbDevices.clear();  // empty until the first search, a second after opening
    m_baudRates.clear();
    for (int rate : kStandardBaudRates) {
        m_baudRates.push_back(strprintf("%d", rate));
    }
    const auto read = [this](const char* key, std::size_t chars) {
        return profileNumber(GetPrivateProfileStringA(kSection, key, "0", chars, m_iniPath));
    };
    (void)read("USB Device", 2);
    const int workMode = read("Work Mode", 2);
    int baud = read("Baud Rate", 7);
    // A rate no adapter runs at (a negative one from a tampered file) is not offered.
    if (baud < 0 || baud > kMaxBaudRate) baud = 0;
    const int frameType = read("Frame Type", 1);
    // A value outside a list selects its first entry, so nothing out of range reaches the adapter.
    workModeIndex = workMode >= 0 && workMode < static_cast<int>(workModes().size()) ? workMode : 0;
    frameTypeIndex =
        frameType >= 0 && frameType < static_cast<int>(frameTypes().size()) ? frameType : 0;
    baudRateIndex = -1;
    for (int i = 0; i < static_cast<int>(std::size(kStandardBaudRates)); ++i) {
        if (kStandardBaudRates[i] == baud) baudRateIndex = i;
    }
    if (baud == 0) {
        baudRateIndex = 6;  // "500"
    } else if (baudRateIndex < 0) {
        m_baudRates.push_back(strprintf("%d", baud));
        baudRateIndex = 9;
    }
}

void DeviceSetup::searchAdapter(std::function<void()> done) {
    if (m_searching) return;
    m_searching = true;
    m_device.vexaInit(DeviceCommands::whileAlive(m_alive, [this, done](bool found) {
        m_searching = false;
        m_usbDevices.clear();
        if (found) {
            m_usbDevices.push_back("ADP4021");
        }
        if (done) done();
    }));
}

void DeviceSetup::ok(std::function<void(bool)> done) {
    if (m_sending) return;
    m_settings.workMode = workModeIndex >= 0 ? workModeIndex : 0;
    if (baudRateIndex >= 0 && baudRateIndex < 9) {
        m_settings.baudRate = kStandardBaudRates[baudRateIndex];
    } else if (m_baudRates.size() > 9) {
        m_settings.baudRate = profileNumber(m_baudRates[9]);
    }
    // With nothing selected the frame type stays standard.
    m_settings.frameType = frameTypeIndex >= 0 ? frameTypeIndex + 1 : 1;

    m_sending = true;
    m_device.setVexa(0, m_settings.baudRate, m_settings.workMode, m_settings.frameType,
                     DeviceCommands::whileAlive(m_alive, [this, done](bool sent) {
                         m_sending = false;
                         answered(sent);
                         if (done) done(sent);
                     }));
}

void DeviceSetup::answered(bool sent) {
    if (sent) {
        m_state.deviceReady = 1;
        m_state.downloaded = 0;  // after a set-up the cyclic set must be downloaded again
        // A set-up may follow a re-powered adapter, whose clock started again.
        m_state.anchors.startRun();
    } else {
        m_messages.showMessage(strings::kFailToSetupDevice, MessageIcon::kStop,
                               strings::kSetupInformationCaption);
    }
    WritePrivateProfileStringA(kSection, "USB Device", "", m_iniPath);
    WritePrivateProfileStringA(kSection, "Work Mode", strprintf("%d", m_settings.workMode),
                               m_iniPath);
    WritePrivateProfileStringA(kSection, "Baud Rate", strprintf("%d", m_settings.baudRate),
                               m_iniPath);
    WritePrivateProfileStringA(kSection, "Frame Type", strprintf("%d", m_settings.frameType - 1),
                               m_iniPath);
}

void DeviceInformation::open(std::function<void()> done) {
    status.clear();
    baudRate.clear();
    firmware.clear();
    framesLost = std::to_string(framesLostCount);
    captureStarted = captureStartUs ? formatTimeOfDay(*captureStartUs, false) : std::string();
    m_device.getVexaInfo(
        [alive = std::weak_ptr<bool>(m_alive), this, done](bool ok, const VexaDevice::Info& info) {
            if (alive.expired()) return;
            if (!ok) {
                m_messages.showMessage(strings::kCommunicationError);
            } else {
                status = info.status == 1 ? "Run" : "Stop";
                baudRate = strprintf("%d", info.baudRate);
                firmware =
                    strprintf("V%d.%02d", (info.version >> 8) & 0xFF, info.version & 0xFF);
            }
            if (done) done();
        });
}
