// The driver in-process: the I/O manager sends IRPs to ADP4021Device, whose URBs reach a scripted
// device function on the virtual USB bus.

#include "adapter/EmulatedAdapter.h"
#include "driver/ADP4021Device.h"
#include "driver/host/DriverHost.h"
#include "platform/kernel/KernelHost.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A device function that records every transfer and answers as the test says.
class RecordingFunction final : public UsbDeviceFunction {
public:
    struct Seen {
        UCHAR endpoint;
        bool in;
        ULONG length;
    };

    explicit RecordingFunction(bool dataEndpoint = true) : m_dataEndpoint(dataEndpoint) {}

    std::vector<std::uint8_t> descriptor(UCHAR type, UCHAR index) override {
        if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE) {
            std::lock_guard lock(m_mutex);
            ++m_configurationReads;
        }
        return m_model.descriptor(type, index);
    }
    bool selectConfiguration(UCHAR value) override {
        std::lock_guard lock(m_mutex);
        m_configurations.push_back(value);
        return true;
    }
    void submit(std::shared_ptr<UsbTransfer> t) override {
        std::unique_lock lock(m_mutex);
        m_seen.push_back({t->endpoint(), t->in(), t->length()});
        if (t->endpoint() == 0x82 && m_holdData) {
            m_held.push_back(std::move(t));
            m_changed.notify_all();
            return;
        }
        lock.unlock();
        if (t->endpoint() == 0x81) {
            if (!m_answerReplies) {
                std::lock_guard again(m_mutex);
                m_held.push_back(std::move(t));
                return;
            }
            std::vector<std::uint8_t> reply(64, 0);
            reply[0] = 0x81;
            reply[1] = 0x01;
            t->complete(USBD_STATUS_SUCCESS, reply);
            return;
        }
        std::vector<std::uint8_t> data(t->in() ? t->length() : 0, 0xAB);
        t->complete(USBD_STATUS_SUCCESS, data);
    }
    void detach() override {
        std::vector<std::shared_ptr<UsbTransfer>> held;
        {
            std::lock_guard lock(m_mutex);
            held.swap(m_held);
        }
        for (auto& t : held) t->complete(USBD_STATUS_DEVICE_GONE);
    }

    std::vector<Seen> seen() {
        std::lock_guard lock(m_mutex);
        return m_seen;
    }
    void clearSeen() {
        std::lock_guard lock(m_mutex);
        m_seen.clear();
    }
    void holdData(bool hold) { m_holdData = hold; }
    void answerReplies(bool answer) { m_answerReplies = answer; }
    bool waitForHeld() {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 2s, [this] { return !m_held.empty(); });
    }
    int configurationReads() {
        std::lock_guard lock(m_mutex);
        return m_configurationReads;
    }
    std::vector<UCHAR> configurations() {
        std::lock_guard lock(m_mutex);
        return m_configurations;
    }

private:
    class DescriptorModel {
    public:
        explicit DescriptorModel(bool data) : m_adapter(nullptr, options(data)) {}
        std::vector<std::uint8_t> descriptor(UCHAR type, UCHAR index) {
            return m_adapter.descriptor(type, index);
        }

    private:
        static AdapterOptions options(bool data) {
            AdapterOptions o;
            o.dataEndpoint = data;
            return o;
        }
        EmulatedAdapter m_adapter;
    };

    bool m_dataEndpoint;
    DescriptorModel m_model{m_dataEndpoint};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Seen> m_seen;
    std::vector<std::shared_ptr<UsbTransfer>> m_held;
    std::vector<UCHAR> m_configurations;
    std::atomic<bool> m_holdData{false};
    std::atomic<bool> m_answerReplies{true};
    int m_configurationReads = 0;
};

class TraceRecorder {
public:
    TraceRecorder() {
        kernel::setDebugSink([this](const std::string& line) {
            std::lock_guard lock(m_mutex);
            m_text += line;
        });
    }
    ~TraceRecorder() { kernel::setDebugSink(nullptr); }
    std::string text() {
        std::lock_guard lock(m_mutex);
        return m_text;
    }

private:
    std::mutex m_mutex;
    std::string m_text;
};

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kvd-XXXXXX";
        m_runtime = ::mkdtemp(tmpl);
        ::setenv("KORVANE_RUNTIME_DIR", m_runtime.c_str(), 1);
        std::string error;
        ASSERT_TRUE(m_host.loadDriver("", error)) << error;
    }
    void TearDown() override {
        m_host.unplugAll();
        kernel::failPoolAllocationsAfter(-1);
        std::filesystem::remove_all(m_runtime);
    }

    IoManager::Result control(DEVICE_OBJECT* pdo, ULONG code, std::vector<std::uint8_t> in,
                              ULONG outLength, std::vector<std::uint8_t>* out = nullptr) {
        std::vector<std::uint8_t> buffer(outLength);
        const auto r = m_host.ioManager().deviceControl(
            pdo, &m_file, code, in.empty() ? nullptr : in.data(), static_cast<ULONG>(in.size()),
            buffer.empty() ? nullptr : buffer.data(), outLength);
        if (out != nullptr) *out = buffer;
        return r;
    }

    RecordingFunction& function(bool dataEndpoint = true) {
        return m_functions.emplace_back(dataEndpoint);
    }

    TraceRecorder m_trace;
    std::string m_runtime;
    std::deque<RecordingFunction> m_functions;  // outlive the host that has them plugged
    DriverHost m_host;
    FILE_OBJECT m_file;
};

}  // namespace

TEST_F(DriverTest, StartsWithTheConfigurationAndNamesDevicesByUnit) {
    RecordingFunction& first = function();
    RecordingFunction& second = function();
    DEVICE_OBJECT* a = m_host.plug(first);
    DEVICE_OBJECT* b = m_host.plug(second);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(a->AttachedDevice->Name, "\\Device\\ADP4021Device0");
    EXPECT_EQ(b->AttachedDevice->Name, "\\Device\\ADP4021Device1");
    EXPECT_EQ(a->AttachedDevice->Flags & 0x2010u, 0x2010u);
    EXPECT_EQ(first.configurations(), std::vector<UCHAR>{1});
    // The driver reads the configuration twice (its header, then its whole length); the bus once
    // more to describe the pipes it selects.
    EXPECT_EQ(first.configurationReads(), 3);
    EXPECT_EQ(m_host.servedInterfaces().size(), 2u);
    const std::string trace = m_trace.text();
    EXPECT_NE(trace.find("AddDevice called\n"), std::string::npos);
    EXPECT_NE(trace.find("Entering ADP4021Device::ADP4021Device (constructor)\n"),
              std::string::npos);
    EXPECT_NE(trace.find("Entering ADP4021Device::OnStartDevice\nUSB Configuration OK\n"),
              std::string::npos);
    EXPECT_NE(trace.find("m_bBreakOnEntry loaded from registry, resulting value: [0]"),
              std::string::npos);
}

TEST_F(DriverTest, ControlRequestsFailAsTheFailureTableSays) {
    RecordingFunction& f = function();
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    // The configuration descriptor stays in pool while the device is configured.
    const std::size_t pool = kernel::poolOutstanding(kWdmPoolTag);
    f.clearSeen();

    auto r = control(pdo, 0x00222000, {1, 2, 3}, 64);
    EXPECT_EQ(r.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(r.information, 0u);
    r = control(pdo, IOCTL_ADP4021_WRITE_ENDPOINT1, {}, 0);  // no input buffer
    EXPECT_EQ(r.status, STATUS_INVALID_PARAMETER);
    r = control(pdo, IOCTL_ADP4021_READ_ENDPOINT1, {}, 0);  // no output buffer
    EXPECT_EQ(r.status, STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(f.seen().empty());

    kernel::failPoolAllocationsAfter(0);
    r = control(pdo, IOCTL_ADP4021_WRITE_ENDPOINT1, std::vector<std::uint8_t>(64, 1), 0);
    EXPECT_EQ(r.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(r.information, 0u);
    kernel::failPoolAllocationsAfter(-1);

    r = control(pdo, IOCTL_ADP4021_WRITE_ENDPOINT1, std::vector<std::uint8_t>(64, 1), 0);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 64u);
    std::vector<std::uint8_t> reply;
    r = control(pdo, IOCTL_ADP4021_READ_ENDPOINT1, {}, 64, &reply);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 64u);
    EXPECT_EQ(reply[0], 0x81);
    const auto seen = f.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].endpoint, 0x01);
    EXPECT_FALSE(seen[0].in);
    EXPECT_EQ(seen[1].endpoint, 0x81);
    EXPECT_TRUE(seen[1].in);
    EXPECT_EQ(kernel::poolOutstanding(kWdmPoolTag), pool);
}

TEST_F(DriverTest, AReplyThatNeverComesTimesOutAfterASecond) {
    RecordingFunction& f = function();
    f.answerReplies(false);
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    // The configuration descriptor stays in pool while the device is configured.
    const std::size_t pool = kernel::poolOutstanding(kWdmPoolTag);
    const auto start = std::chrono::steady_clock::now();
    const auto r = control(pdo, IOCTL_ADP4021_READ_ENDPOINT1, {}, 64);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, STATUS_TIMEOUT);
    EXPECT_EQ(r.information, 0u);
    EXPECT_GE(took, 950ms);
    EXPECT_LT(took, 3s);
    EXPECT_EQ(kernel::poolOutstanding(kWdmPoolTag), pool);
}

TEST_F(DriverTest, ReadsAndWrites) {
    RecordingFunction& f = function();
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    // The configuration descriptor stays in pool while the device is configured.
    const std::size_t pool = kernel::poolOutstanding(kWdmPoolTag);
    f.clearSeen();
    std::vector<std::uint8_t> buffer(1000);
    auto& io = m_host.ioManager();

    auto r = io.write(pdo, &m_file, buffer.data(), 1000);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 0u);
    r = io.read(pdo, &m_file, buffer.data(), 0);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 0u);
    EXPECT_TRUE(f.seen().empty());  // neither reaches the bus

    r = io.read(pdo, &m_file, buffer.data(), 384);
    EXPECT_EQ(r.status, STATUS_SUCCESS);
    EXPECT_EQ(r.information, 384u);
    r = io.read(pdo, &m_file, buffer.data(), 1000);
    EXPECT_EQ(r.information, 512u);  // cut to the data pipe's maximum
    const auto seen = f.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].endpoint, 0x82);
    EXPECT_EQ(seen[0].length, 384u);
    EXPECT_EQ(seen[1].length, 512u);
    EXPECT_NE(m_trace.text().find("Read() got 384 bytes from USB\n"), std::string::npos);

    kernel::failPoolAllocationsAfter(0);
    r = io.read(pdo, &m_file, buffer.data(), 384);
    EXPECT_EQ(r.status, STATUS_INSUFFICIENT_RESOURCES);
    EXPECT_EQ(r.information, 0u);
    kernel::failPoolAllocationsAfter(-1);
    EXPECT_EQ(kernel::poolOutstanding(kWdmPoolTag), pool);
}

TEST_F(DriverTest, AMissingDataEndpointStartsButReadsSendNothing) {
    RecordingFunction& f = function(false);
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    EXPECT_NE(m_trace.text().find("Failed to open pipe object\n"), std::string::npos);
    EXPECT_EQ(m_host.servedInterfaces().size(), 1u);
    f.clearSeen();
    std::vector<std::uint8_t> buffer(384);
    const auto r = m_host.ioManager().read(pdo, &m_file, buffer.data(), 384);
    EXPECT_FALSE(NT_SUCCESS(r.status));
    EXPECT_EQ(r.information, 0u);
    EXPECT_TRUE(f.seen().empty());
}

TEST_F(DriverTest, AfterStopNothingReachesTheBus) {
    RecordingFunction& f = function();
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    auto& io = m_host.ioManager();
    EXPECT_EQ(io.sendPnp(pdo, IRP_MN_QUERY_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(io.sendPnp(pdo, IRP_MN_STOP_DEVICE), STATUS_SUCCESS);
    EXPECT_EQ(f.configurations(), (std::vector<UCHAR>{1, 0}));
    EXPECT_TRUE(m_host.servedInterfaces().empty());
    f.clearSeen();
    auto r = control(pdo, IOCTL_ADP4021_WRITE_ENDPOINT1, std::vector<std::uint8_t>(64, 1), 0);
    EXPECT_FALSE(NT_SUCCESS(r.status));
    EXPECT_EQ(r.information, 0u);
    std::vector<std::uint8_t> buffer(384);
    r = io.read(pdo, &m_file, buffer.data(), 384);
    EXPECT_FALSE(NT_SUCCESS(r.status));
    EXPECT_TRUE(f.seen().empty());
    // Started again, it works again.
    EXPECT_EQ(io.sendPnp(pdo, IRP_MN_START_DEVICE), STATUS_SUCCESS);
    r = io.read(pdo, &m_file, buffer.data(), 384);
    EXPECT_EQ(r.information, 384u);
}

TEST_F(DriverTest, RemovalWaitsForThePendingReadWhichFails) {
    RecordingFunction& f = function();
    f.holdData(true);
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    IoManager::Result result{STATUS_SUCCESS, 99};
    std::vector<std::uint8_t> buffer(384);
    std::thread reader([&] { result = m_host.ioManager().read(pdo, &m_file, buffer.data(), 384); });
    ASSERT_TRUE(f.waitForHeld());
    m_host.unplug(pdo);
    reader.join();
    EXPECT_FALSE(NT_SUCCESS(result.status));
    EXPECT_EQ(result.information, 0u);
    const std::string trace = m_trace.text();
    EXPECT_NE(trace.find("Entering ADP4021Device::OnRemoveDevice\n"), std::string::npos);
    EXPECT_EQ(kernel::poolOutstanding(kWdmPoolTag), 0u);
    EXPECT_TRUE(m_host.servedInterfaces().empty());
}

TEST_F(DriverTest, PowerTransitionsOnlyTrace) {
    RecordingFunction& f = function();
    DEVICE_OBJECT* pdo = m_host.plug(f);
    ASSERT_NE(pdo, nullptr);
    EXPECT_EQ(m_host.ioManager().setDevicePower(pdo, PowerDeviceD3), STATUS_SUCCESS);
    EXPECT_EQ(m_host.ioManager().setDevicePower(pdo, PowerDeviceD0), STATUS_SUCCESS);
    const std::string trace = m_trace.text();
    EXPECT_NE(trace.find("Entering ADP4021Device::OnDeviceSleep\n"), std::string::npos);
    EXPECT_NE(trace.find("Entering ADP4021Device::OnDevicePowerUp\n"), std::string::npos);
}

namespace {

std::string loadWithRegistry(const std::string& contents) {
    char path[] = "/tmp/kvreg-XXXXXX";
    const int fd = ::mkstemp(path);
    ::close(fd);
    std::ofstream(path) << contents;
    TraceRecorder trace;
    DriverHost host;
    std::string error;
    const bool ok = host.loadDriver(path, error);
    std::remove(path);
    return ok ? trace.text() : "error: " + error;
}

}  // namespace

TEST(DriverEntryTest, BreakOnEntryIsReadOnlyAsAFourByteValue) {
    EXPECT_NE(loadWithRegistry("[Parameters]\nBreakOnEntry=dword:00000001\n")
                  .find("m_bBreakOnEntry loaded from registry, resulting value: [1]"),
              std::string::npos);
    EXPECT_NE(
        loadWithRegistry("[Parameters]\nBreakOnEntry=hex:01,00\n").find("resulting value: [0]"),
        std::string::npos);
    const std::string noKey = loadWithRegistry("; nothing\n");
    EXPECT_NE(noKey.find("In DriverEntry Compiled at "), std::string::npos);
    EXPECT_NE(noKey.find("resulting value: [0]"), std::string::npos);
    EXPECT_EQ(loadWithRegistry("[Parameters]\nBreakOnEntry=dword:xyz\n").rfind("error:", 0), 0u);
}

TEST(DriverEntryTest, TheRegistryFileIsASmallRegularFileOrRefusedAtOnce) {
    // Up to the limit a file of comments loads; one byte more is refused.
    const std::string comment = "; " + std::string(kernel::kMaxRegistryFileBytes - 3, 'x') + "\n";
    EXPECT_EQ(loadWithRegistry(comment).rfind("error:", 0), std::string::npos);
    const std::string tooLarge = loadWithRegistry(comment + "\n");
    EXPECT_EQ(tooLarge.rfind("error:", 0), 0u);
    EXPECT_NE(tooLarge.find("larger than 64 KiB"), std::string::npos) << tooLarge;

    std::string error;
    EXPECT_FALSE(kernel::loadRegistryFile("/dev/null", "\\Registry\\Test", error));
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;

    char dir[] = "/tmp/kvreg-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    const std::string fifo = std::string(dir) + "/registry.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto load = std::async(std::launch::async, [&fifo] {
        std::string why;
        return kernel::loadRegistryFile(fifo, "\\Registry\\Test", why) ? std::string() : why;
    });
    if (load.wait_for(10s) != std::future_status::ready) {
        // Lets a loader that waits for a writer go, so that the test ends.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        load.wait();
        ADD_FAILURE() << "loading a FIFO waited for a writer";
    } else {
        EXPECT_NE(load.get().find("not a regular file"), std::string::npos);
    }
    ::unlink(fifo.c_str());
    ::rmdir(dir);
}
