#include "device/DeviceSetup.h"
#include "platform/ProfileFile.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include <unistd.h>

namespace {

class ScriptedDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return present; }
    bool setVexa(int node, int baud, int mode, int type) override {
        sent = {node, baud, mode, type};
        return present;
    }
    bool getVexaInfo(Info& i) override {
        if (!present) return false;
        i = info;
        return true;
    }
    bool present = true;
    std::vector<int> sent;
    Info info;
};

class DeviceSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_ini = (std::filesystem::temp_directory_path() /
                 ("Configure-" + std::to_string(::getpid()) + ".ini"))
                    .string();
        std::remove(m_ini.c_str());
    }
    void TearDown() override { std::remove(m_ini.c_str()); }
    DeviceSetup setup() { return DeviceSetup(m_commands, m_settings, m_state, m_messages, m_ini); }
    // Without a device thread the answer is there when ok() returns.
    static bool okNow(DeviceSetup& s) {
        std::optional<bool> closes;
        s.ok([&](bool answer) { closes = answer; });
        EXPECT_TRUE(closes.has_value()) << "OK was not answered";
        return closes.value_or(false);
    }
    std::string ini(const char* key) {
        return platform::GetPrivateProfileStringA("DeviceSetup", key, "<none>", 20, m_ini);
    }

    std::string m_ini;
    ScriptedDevice m_device;
    DeviceCommands m_commands{m_device};
    DeviceSettings m_settings;
    CaptureState m_state;
    MessageRecorder m_messages;
};

}  // namespace

TEST_F(DeviceSetupTest, WithoutASettingsFileOpensWithAckMode500Standard) {
    DeviceSetup s = setup();
    s.open();
    EXPECT_EQ(s.workModeIndex, 0);
    EXPECT_EQ(s.baudRates().at(static_cast<std::size_t>(s.baudRateIndex)), "500");
    EXPECT_EQ(s.frameTypeIndex, 0);
    EXPECT_EQ(s.baudRates().size(), 9u);
    EXPECT_TRUE(s.usbDevices().empty());  // until the first search
    s.searchAdapter();
    EXPECT_EQ(s.usbDevices(), std::vector<std::string>{"ADP4021"});
    m_device.present = false;
    s.searchAdapter();
    EXPECT_TRUE(s.usbDevices().empty());
}

TEST_F(DeviceSetupTest, AnUnlistedBaudRateBecomesTheTenthEntryAndIsSent) {
    std::ofstream(m_ini) << "[DeviceSetup]\r\nUSB Device=\r\nWork Mode=1\r\nBaud Rate=33\r\n"
                            "Frame Type=1\r\n";
    DeviceSetup s = setup();
    s.open();
    ASSERT_EQ(s.baudRates().size(), 10u);
    EXPECT_EQ(s.baudRates()[9], "33");
    EXPECT_EQ(s.baudRateIndex, 9);
    EXPECT_EQ(s.workModeIndex, 1);
    EXPECT_EQ(s.frameTypeIndex, 1);
    m_state.anchors.frameTaken(0, {}, 0);  // the run so far has its anchor
    ASSERT_FALSE(m_state.anchors.runPending());
    ASSERT_TRUE(okNow(s));
    // A set-up may follow a re-powered adapter whose clock started again: a new run begins.
    EXPECT_TRUE(m_state.anchors.runPending());
    EXPECT_EQ(m_device.sent, (std::vector<int>{0, 33, 1, 2}));
    EXPECT_EQ(m_state.deviceReady.load(), 1u);
    EXPECT_EQ(m_settings.baudRate, 33);
    EXPECT_EQ(m_settings.frameType, 2);
}

TEST_F(DeviceSetupTest, ValuesOutOfRangeSelectTheFirstEntry) {
    std::ofstream(m_ini) << "[DeviceSetup]\nWork Mode=7\nFrame Type=9\nBaud Rate=1000\n";
    DeviceSetup s = setup();
    s.open();
    EXPECT_EQ(s.workModeIndex, 0);
    EXPECT_EQ(s.frameTypeIndex, 0);
    EXPECT_EQ(s.baudRates()[static_cast<std::size_t>(s.baudRateIndex)], "1000");
    s.frameTypeIndex = -1;  // nothing selected keeps standard frames
    ASSERT_TRUE(okNow(s));
    EXPECT_EQ(m_device.sent.at(3), 1);
    EXPECT_EQ(ini("Frame Type"), "0");
}

TEST_F(DeviceSetupTest, ARateNoAdapterRunsAtIsNotOffered) {
    for (const char* rate : {"-5", "-999999", "1024", "9999999"}) {
        std::ofstream(m_ini) << "[DeviceSetup]\nBaud Rate=" << rate << "\n";
        DeviceSetup s = setup();
        s.open();
        EXPECT_EQ(s.baudRates().size(), 9u) << rate;
        EXPECT_EQ(s.baudRates().at(static_cast<std::size_t>(s.baudRateIndex)), "500") << rate;
    }
    std::ofstream(m_ini) << "[DeviceSetup]\nBaud Rate=1023\n";
    DeviceSetup s = setup();
    s.open();
    ASSERT_EQ(s.baudRates().size(), 10u);
    EXPECT_EQ(s.baudRates()[9], "1023");
}

TEST_F(DeviceSetupTest, ARefusedSetupTellsTheUserAndStillWritesTheFile) {
    m_device.present = false;
    DeviceSetup s = setup();
    s.open();
    s.baudRateIndex = 8;
    m_state.anchors.frameTaken(0, {}, 0);
    EXPECT_FALSE(okNow(s));
    EXPECT_FALSE(m_state.anchors.runPending());
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, strings::kFailToSetupDevice);
    EXPECT_EQ(m_messages.shown()[0].icon, MessageIcon::kStop);
    EXPECT_EQ(strings::loadString(m_messages.shown()[0].captionId), "Setup Information");
    EXPECT_EQ(m_state.deviceReady.load(), 0u);
    EXPECT_EQ(ini("Baud Rate"), "1000");
    EXPECT_EQ(ini("Work Mode"), "0");
    EXPECT_EQ(ini("USB Device"), "");
}

TEST_F(DeviceSetupTest, InformationShowsStatusBaudRateAndFirmware) {
    m_device.info.status = 2;
    m_device.info.baudRate = 250;
    m_device.info.version = 0x0105;
    DeviceInformation info(m_commands, m_messages);
    info.open();
    EXPECT_EQ(info.status, "Stop");
    EXPECT_EQ(info.baudRate, "250");
    EXPECT_EQ(info.firmware, "V1.05");
    m_device.info.status = 1;
    m_device.info.version = 0x020A;
    info.open();
    EXPECT_EQ(info.status, "Run");
    EXPECT_EQ(info.firmware, "V2.10");
    EXPECT_EQ(info.captureStarted, "");  // a document without a time of day
    m_device.present = false;
    info.captureStartUs = 1'700'000'000'000'000;
    info.open();
    EXPECT_EQ(info.status, "");
    EXPECT_EQ(info.captureStarted, formatTimeOfDay(1'700'000'000'000'000, false));
    ASSERT_EQ(m_messages.shown().size(), 1u);
    EXPECT_EQ(m_messages.shown()[0].stringId, strings::kCommunicationError);
}

TEST(ProfileFile, KeepsOtherSectionsAndKeysWithSpaces) {
    const std::string path = (std::filesystem::temp_directory_path() / "profile-test.ini").string();
    std::ofstream(path) << "; comment\n[CurveYT]\nName=a b\n\n[DeviceSetup]\nBaud Rate=125\n";
    EXPECT_EQ(platform::GetPrivateProfileStringA("devicesetup", "baud rate", "", 7, path), "125");
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "", 2, path), "12");
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Missing", "0", 7, path), "0");
    ASSERT_TRUE(platform::WritePrivateProfileStringA("DeviceSetup", "Work Mode", "1", path));
    ASSERT_TRUE(platform::WritePrivateProfileStringA("CurveYT", "Name", "c", path));
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Work Mode", "", 7, path), "1");
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "", 7, path), "125");
    EXPECT_EQ(platform::GetPrivateProfileStringA("CurveYT", "Name", "", 7, path), "c");
    std::remove(path.c_str());
}
