// Where the program keeps its settings, and what it does with settings files and folders that
// are not what they should be.

#include "platform/ProfileFile.h"
#include "platform/UserSettings.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() /
                 ("korvane-settings-" + std::to_string(::getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_folder = (m_root / "korvane").string();
        ::setenv("KORVANE_CONFIG_DIR", m_folder.c_str(), 1);
        platform::setProfileWriteFailureHandler(
            [this](const std::string& why) { m_reports.push_back(why); });
    }
    void TearDown() override {
        platform::setProfileWriteFailureHandler(nullptr);
        ::unsetenv("KORVANE_CONFIG_DIR");
        fs::remove_all(m_root);
    }
    std::string settingsFile() const { return m_folder + "/settings.ini"; }

    fs::path m_root;
    std::string m_folder;
    std::vector<std::string> m_reports;
    platform::UserSettings m_settings{"Key"};
};

}  // namespace

TEST_F(SettingsTest, AFolderOthersMayWriteToIsRefusedAndToldOnce) {
    for (const mode_t mode : {0777, 0775}) {
        platform::setProfileWriteFailureHandler(
            [this](const std::string& why) { m_reports.push_back(why); });
        m_reports.clear();
        fs::remove_all(m_folder);
        ASSERT_EQ(::mkdir(m_folder.c_str(), 0700), 0);
        ::chmod(m_folder.c_str(), mode);
        EXPECT_FALSE(m_settings.WriteProfileInt("Settings", "LanguageId", 2052));
        EXPECT_FALSE(m_settings.WriteProfileString("Recent File List", "File1", "/x.krv"));
        EXPECT_FALSE(fs::exists(settingsFile()));
        ASSERT_EQ(m_reports.size(), 1u) << "mode " << mode;
        EXPECT_NE(m_reports[0].find(m_folder), std::string::npos);
        EXPECT_NE(m_reports[0].find("others may write"), std::string::npos);
    }
}

TEST_F(SettingsTest, AFifoReadsAsMissingWithoutWaitingAndIsNotWrittenOver) {
    ASSERT_TRUE(fs::create_directories(m_folder));
    ASSERT_EQ(::mkfifo(settingsFile().c_str(), 0600), 0);
    auto read = std::async(std::launch::async, [this] {
        return m_settings.GetProfileInt("Settings", "LanguageId", 7);
    });
    if (read.wait_for(10s) != std::future_status::ready) {
        // Lets a reader that waits for a writer go, so that the test ends.
        const int fd = ::open(settingsFile().c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        FAIL() << "reading a FIFO waited for a writer";
    }
    EXPECT_EQ(read.get(), 7);
    EXPECT_FALSE(m_settings.WriteProfileInt("Settings", "LanguageId", 2052));
    EXPECT_TRUE(fs::is_fifo(settingsFile()));
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_NE(m_reports[0].find("not a regular file"), std::string::npos);
}

TEST_F(SettingsTest, AFileLinkedToADeviceOrTooLargeReadsAsMissing) {
    ASSERT_TRUE(fs::create_directories(m_folder));
    fs::create_symlink("/dev/zero", settingsFile());
    EXPECT_EQ(m_settings.GetProfileInt("Settings", "LanguageId", 7), 7);
    EXPECT_FALSE(m_settings.WriteProfileInt("Settings", "LanguageId", 2052));
    EXPECT_TRUE(fs::is_symlink(settingsFile()));

    const std::string big = (m_root / "big.ini").string();
    {
        std::ofstream out(big, std::ios::binary);
        out << "[DeviceSetup]\r\n; " << std::string(platform::kMaxProfileBytes, 'x')
            << "\r\nBaud Rate=125\r\n";
    }
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "0", 7, big), "0");
    EXPECT_FALSE(platform::WritePrivateProfileStringA("DeviceSetup", "Baud Rate", "500", big));
    EXPECT_GT(fs::file_size(big), platform::kMaxProfileBytes);
}

TEST_F(SettingsTest, AFileNextToAProgramThatCannotWriteThereMovesToTheSettingsFolder) {
    const std::string program = (m_root / "bin").string();
    fs::create_directories(program);
    EXPECT_EQ(platform::UserSettings::besideProgramOrInFolder(program, "Configure.ini"),
              program + "/Configure.ini");
    EXPECT_TRUE(fs::is_empty(program)) << "the look at the folder leaves nothing behind";
    // No one can make files in /proc/self/fd, though its permission bits let root write there.
    EXPECT_EQ(platform::UserSettings::besideProgramOrInFolder("/proc/self/fd", "Configure.ini"),
              m_folder + "/Configure.ini");
    EXPECT_TRUE(fs::is_directory(m_folder));
    EXPECT_TRUE(platform::WritePrivateProfileStringA("DeviceSetup", "Baud Rate", "250",
                                                     m_folder + "/Configure.ini"));
    EXPECT_TRUE(m_reports.empty());

    // Nor is it moved to a folder that others may write to.
    ::chmod(m_folder.c_str(), 0777);
    EXPECT_EQ(platform::UserSettings::besideProgramOrInFolder("/proc/self/fd", "Configure.ini"),
              "/proc/self/fd/Configure.ini");
    ASSERT_EQ(m_reports.size(), 1u);
    EXPECT_NE(m_reports[0].find("others may write"), std::string::npos);
}

TEST_F(SettingsTest, TheSetUpShippedBesideAProgramIsWhereTheSettingsFolderCopyStarts) {
    // /proc/self/fd holds no file of our making, but each entry reads as a file this process
    // opened: there the shipped file sits in a folder no one can write to.
    const std::string shipped = (m_root / "Configure.ini").string();
    std::ofstream(shipped) << "[DeviceSetup]\r\nBaud Rate=250\r\n[Curves]\r\nLast=3\r\n";
    const int fd = ::open(shipped.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string name = std::to_string(fd);
    const std::string path = platform::UserSettings::besideProgramOrInFolder("/proc/self/fd", name);
    ASSERT_EQ(path, m_folder + "/" + name);
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "0", 7, path), "250");

    // The user's changes stay in the settings folder, beside what was shipped.
    EXPECT_TRUE(platform::WritePrivateProfileStringA("DeviceSetup", "Baud Rate", "500", path));
    EXPECT_EQ(platform::UserSettings::besideProgramOrInFolder("/proc/self/fd", name), path);
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "0", 7, path), "500");
    EXPECT_EQ(platform::GetPrivateProfileStringA("Curves", "Last", "0", 7, path), "3");
    EXPECT_EQ(platform::GetPrivateProfileStringA("DeviceSetup", "Baud Rate", "0", 7, shipped),
              "250");
    ::close(fd);
    EXPECT_TRUE(m_reports.empty());
}
