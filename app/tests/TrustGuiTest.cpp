// The window against a slow device, and the one data list against names from a document.

#include "app/MonitorApp.h"
#include "platform/SingleInstance.h"
#include "resources/CommandIds.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QTreeWidget>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A device whose opening hangs until the test lets it go (or three seconds pass, so that a
// program that waits for it fails the test instead of hanging it).
class SlowDevice final : public VexaDevice {
public:
    bool recvData(std::int32_t&, std::int32_t&, std::int32_t&, ReceivedFrame*) override {
        return false;
    }
    bool runVexa() override { return true; }
    bool stopVexa() override { return true; }
    bool vexaInit() override {
        std::unique_lock lock(m_mutex);
        opening = true;
        m_released.wait_for(lock, std::chrono::seconds(3), [this] { return m_release; });
        opened = true;
        return true;
    }
    bool setVexa(int, int, int, int) override { return true; }
    bool getVexaInfo(Info&) override { return true; }
    void release() {
        {
            std::lock_guard lock(m_mutex);
            m_release = true;
        }
        m_released.notify_all();
    }
    std::atomic<bool> opening{false};
    std::atomic<bool> opened{false};

private:
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_release = false;
};

}  // namespace

TEST(SlowDevice, TheWindowAppearsWhileTheDeviceIsStillOpening) {
    SlowDevice device;
    MessageRecorder messages;
    {
        MonitorApp app(&device, &messages);
        ASSERT_TRUE(app.InitInstance({}));
        app.mainFrame().show();
        EXPECT_TRUE(app.mainFrame().isVisible());
        EXPECT_FALSE(device.opened.load());  // the window did not wait for the device
        device.release();
        // A command that could reach the device waits for the opening to end.
        app.mainFrame().routeCommand(ID_FILE_NEW);
        EXPECT_TRUE(device.opened.load());
    }
    EXPECT_TRUE(device.opening.load());
}

TEST(DataListTree, AnItemNamedOtherwiseBringsTheOneDataListForward) {
    SlowDevice device;
    device.release();
    MessageRecorder messages;
    MonitorApp app(&device, &messages);
    ASSERT_TRUE(app.InitInstance({}));
    MainFrame& frame = app.mainFrame();
    frame.show();
    frame.routeCommand(ID_FILE_NEW);
    ASSERT_NE(frame.dataListFrame(), nullptr);
    auto* tree = frame.findChild<QTreeWidget*>(QStringLiteral("tree202"));
    ASSERT_NE(tree, nullptr);
    // The data-list node, with an item named as a loaded document may name it.
    QTreeWidgetItem* node = tree->topLevelItem(0)->child(0);
    auto* renamed = new QTreeWidgetItem(node, {QStringLiteral("Messages of the test bench")});
    Q_EMIT tree->itemDoubleClicked(renamed, 0);
    Q_EMIT tree->itemDoubleClicked(renamed, 0);
    EXPECT_EQ(frame.mdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(frame.mdiArea()->activeSubWindow(), frame.dataListFrame());
}

TEST(ExportCommand, ItsPromptIsTheListedText) {
    SlowDevice device;
    device.release();
    MessageRecorder messages;
    MonitorApp app(&device, &messages);
    ASSERT_TRUE(app.InitInstance({}));
    QAction* exportAction = app.mainFrame().action(ID_FUNCTIONS_EXPORT);
    ASSERT_NE(exportAction, nullptr);
    EXPECT_EQ(exportAction->statusTip(), QStringLiteral("Output the data in .txt format"));
    EXPECT_EQ(exportAction->toolTip(), QStringLiteral("Export"));
}

TEST(SingleInstanceFolder, AFolderOthersCanWriteToIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
    char folder[] = "/tmp/korvane-instance-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string real = std::string(folder) + "/real";
    const std::string link = std::string(folder) + "/link";
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    const std::string open = std::string(folder) + "/open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ::chmod(open.c_str(), 0733);
    const std::string foreign = std::string(folder) + "/foreign";
    ASSERT_EQ(::mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(::chown(foreign.c_str(), 65534, static_cast<gid_t>(-1)), 0);
    for (const std::string& runtime : {open, foreign, link}) {
        qputenv("KORVANE_RUNTIME_DIR", runtime.c_str());
        platform::SingleInstance instance(QStringLiteral("KorvaneTrust"));
        EXPECT_FALSE(instance.acquire([] {})) << runtime;
        EXPECT_TRUE(instance.refusal().contains(QStringLiteral("refusing"))) << runtime;
        EXPECT_FALSE(std::filesystem::exists(runtime + "/KorvaneTrust.lock")) << runtime;
    }
    // A sound folder is taken as before.
    qputenv("KORVANE_RUNTIME_DIR", real.c_str());
    platform::SingleInstance instance(QStringLiteral("KorvaneTrust"));
    EXPECT_TRUE(instance.acquire([] {}));
    EXPECT_TRUE(instance.refusal().isEmpty());
    qunsetenv("KORVANE_RUNTIME_DIR");
    std::filesystem::remove_all(folder);
}
