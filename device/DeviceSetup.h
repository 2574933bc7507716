#pragma once

// The logic of the Device Setup dialog: what its lists hold and select when it opens (from
// Configure.ini), the adapter search of its one-second timer, and OK.
//
// Thread: the user-interface thread. The adapter's answers come back on it, later (see
// DeviceCommands).

#include "framework/MessageService.h"
#include "capture/CaptureState.h"
#include "capture/DeviceCommands.h"
#include "device/DeviceSettings.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class DeviceSetup {
public:
    static constexpr const char* kSection = "DeviceSetup";
    static constexpr int kStandardBaudRates[9] = {10, 20, 50, 100, 125, 250, 500, 800, 1000};
    // The most the adapter takes (SetVexa refuses more); a file's rate beyond 1..this reads as
    // missing.
    static constexpr int kMaxBaudRate = 1023;

    DeviceSetup(DeviceCommands& device, DeviceSettings& settings, CaptureState& state,
                MessageService& messages, std::string iniPath);

    // Reads Configure.ini and fills the lists.
    void open();

    [[nodiscard]] const std::vector<std::string>& usbDevices() const { return m_usbDevices; }
    [[nodiscard]] static std::vector<std::string> workModes();
    [[nodiscard]] const std::vector<std::string>& baudRates() const { return m_baudRates; }
    [[nodiscard]] static std::vector<std::string> frameTypes();
    // -1: nothing selected.
    int workModeIndex = -1;
    int baudRateIndex = -1;
    int frameTypeIndex = -1;

    // The one-second search: the USB Device list holds "ADP4021" when the adapter answers; `done`
    // follows the answer. A search still waiting for its answer is not asked again.
    void searchAdapter(std::function<void()> done = {});

    // OK: sends the settings; once the adapter answered, `done` says whether the dialog may
    // close.
    void ok(std::function<void(bool)> done);
    // OK's answer has not come yet.
    [[nodiscard]] bool sending() const { return m_sending; }

private:
    // The settings' answer: the state, message 5026 on a refusal, Configure.ini.
    void answered(bool sent);

    DeviceCommands& m_device;
    DeviceSettings& m_settings;
    CaptureState& m_state;
    MessageService& m_messages;
    std::string m_iniPath;
    std::vector<std::string> m_usbDevices;
    std::vector<std::string> m_baudRates;
    bool m_searching = false;
    bool m_sending = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

class DeviceInformation {
public:
    explicit DeviceInformation(DeviceCommands& device, MessageService& messages)
        : m_device(device), m_messages(messages) {}
    // Asks the adapter once; on failure message 5025 and empty fields. `done` follows the answer.
    void open(std::function<void()> done = {});
    std::string status, baudRate, firmware;
    // The program's own count of frames the adapter dropped, shown whatever the adapter answers.
    std::uint64_t framesLostCount = 0;
    std::string framesLost;
    // When the document's last capture run started (its newest time anchor), shown in local time
    // whatever the adapter answers; empty when the document has no time of day.
    std::optional<std::int64_t> captureStartUs;
    std::string captureStarted;

private:
    DeviceCommands& m_device;
    MessageService& m_messages;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
