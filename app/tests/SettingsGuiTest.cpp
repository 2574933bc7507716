// Settings kept in a folder made by `mkdir -p`, settings that cannot be kept, and an adapter that
// must be set up again after its host restarted.

#include "app/LanguageManager.h"
#include "tests/support/DeviceAnswers.h"
#include "app/MonitorApp.h"
#include "app/RecentFiles.h"
#include "device/DeviceDialogs.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStatusBar>
#include <QTimer>

#include <cstdlib>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// An adapter that refuses to start, as one does after its host restarted.
class RestartedAdapter final : public VexaDevice {
public:
    bool recvData(std::int32_t& a, std::int32_t& b, std::int32_t& count, ReceivedFrame*) override {
        a = b = count = 0;
        return true;
    }
    bool runVexa() override { return starts; }
    bool stopVexa() override { return true; }
    bool vexaInit() override { return true; }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return true; }
    bool starts = false;  // set up again, it starts
};

class SettingsGuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* dir = std::getenv("KORVANE_CONFIG_DIR")) m_previous = dir;
        m_root = fs::temp_directory_path() / ("korvane-settings-gui-" + std::to_string(::getpid()));
        fs::remove_all(m_root);
        fs::create_directories(m_root);
        m_folder = m_root / "korvane";
        ::setenv("KORVANE_CONFIG_DIR", m_folder.c_str(), 1);
    }
    void TearDown() override {
        ::setenv("KORVANE_CONFIG_DIR", m_previous.c_str(), 1);
        fs::remove_all(m_root);
    }
    // The settings folder as `mkdir -p` leaves it, with `mode`.
    void makeFolder(mode_t mode) {
        ASSERT_EQ(::mkdir(m_folder.c_str(), 0700), 0);
        ASSERT_EQ(::chmod(m_folder.c_str(), mode), 0);
    }
    QString statusMessage() { return m_app.mainFrame().statusBar()->currentMessage(); }
    bool shown(std::uint32_t id) const {
        for (const auto& s : m_messages.shown()) {
            if (s.stringId == id) return true;
        }
        return false;
    }

    std::string m_previous;
    fs::path m_root;
    fs::path m_folder;
    RestartedAdapter m_device;
    MessageRecorder m_messages;
    MonitorApp m_app{&m_device, &m_messages};
};

}  // namespace

TEST_F(SettingsGuiTest, RecentFilesAndTheLanguageAreKeptInAFolderMadeByMkdirP) {
    makeFolder(0755);
    ASSERT_TRUE(m_app.InitInstance({}));
    RecentFiles recent;
    recent.add(QStringLiteral("/home/user/bus.krv"));
    SystemLanguageEnvironment languages(QCoreApplication::applicationDirPath().toStdString());
    languages.writeSettingLanguageId(2052);

    RecentFiles stored;
    stored.load();
    EXPECT_EQ(stored.files(), QStringList{QStringLiteral("/home/user/bus.krv")});
    EXPECT_EQ(languages.settingLanguageId(), 2052);
    EXPECT_TRUE(statusMessage().isEmpty() || statusMessage() == "Ready");
}

TEST_F(SettingsGuiTest, SettingsThatCannotBeSavedAreNamedOnceInTheStatusBar) {
    makeFolder(0777);
    ASSERT_TRUE(m_app.InitInstance({}));
    RecentFiles recent;
    recent.add(QStringLiteral("/home/user/bus.krv"));
    EXPECT_EQ(statusMessage(),
              QString::fromStdString(strings::loadString(strings::kSettingsNotSaved))
                  .arg(QStringLiteral("the settings folder %1 has mode 0777 and others may "
                                      "write to it")
                           .arg(QString::fromStdString(m_folder.string()))));
    EXPECT_FALSE(fs::exists(m_folder / "settings.ini"));

    m_app.mainFrame().statusBar()->clearMessage();
    recent.add(QStringLiteral("/home/user/other.krv"));
    SystemLanguageEnvironment(QCoreApplication::applicationDirPath().toStdString())
        .writeSettingLanguageId(2052);
    EXPECT_TRUE(statusMessage().isEmpty());
    EXPECT_TRUE(m_messages.shown().empty());
}

TEST_F(SettingsGuiTest, ACaptureTheAdapterRefusesLeavesCaptureOffAndSetupOpens) {
    ASSERT_TRUE(m_app.InitInstance({}));
    MainFrame& frame = m_app.mainFrame();
    m_app.newDocument();
    // Set up before its host restarted; the adapter has forgotten it since.
    m_app.state().capture.deviceReady = 1;
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    // The window goes on while the adapter answers: Capture waits for the answer.
    frame.updateCommandUI();
    EXPECT_FALSE(frame.action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    ASSERT_TRUE(awaitAnswers(frame.deviceCommands()));
    EXPECT_TRUE(shown(strings::kCannotRunDevice));
    EXPECT_EQ(m_app.state().capture.capturing.load(), 0u);
    EXPECT_TRUE(frame.action(ID_FUNCTIONS_CAPTURE)->isEnabled());
    EXPECT_FALSE(frame.action(ID_FUNCTIONS_STOP)->isEnabled());
    EXPECT_EQ(statusMessage().toStdString(), strings::loadString(strings::kAdapterNeedsSetup));

    bool setupOpened = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            setupOpened = dynamic_cast<DeviceSetupDialog*>(dialog) != nullptr;
            dialog->reject();
        }
    });
    frame.routeCommand(ID_OPTIONS_SETUP);
    EXPECT_TRUE(setupOpened);
    EXPECT_FALSE(shown(strings::kDeviceCapturing));
}

TEST_F(SettingsGuiTest, TheWordThatTheAdapterNeedsSetupGoesOnceItIsSetUpOrCaptures) {
    ASSERT_TRUE(m_app.InitInstance({}));
    MainFrame& frame = m_app.mainFrame();
    m_app.newDocument();
    m_app.state().capture.deviceReady = 1;
    const QString needsSetup =
        QString::fromStdString(strings::loadString(strings::kAdapterNeedsSetup));

    // Set up again through Options > Setup.
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_TRUE(awaitAnswers(frame.deviceCommands()));
    ASSERT_EQ(statusMessage(), needsSetup);
    QTimer::singleShot(0, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialog->accept();
        }
    });
    frame.routeCommand(ID_OPTIONS_SETUP);
    EXPECT_NE(statusMessage(), needsSetup);

    // Or set up by other means, and capturing.
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_TRUE(awaitAnswers(frame.deviceCommands()));
    ASSERT_EQ(statusMessage(), needsSetup);
    m_device.starts = true;
    frame.routeCommand(ID_FUNCTIONS_CAPTURE);
    ASSERT_TRUE(awaitAnswers(frame.deviceCommands()));
    ASSERT_EQ(m_app.state().capture.capturing.load(), 1u);
    EXPECT_NE(statusMessage(), needsSetup);
    frame.routeCommand(ID_FUNCTIONS_STOP);
}
