#include "driver/host/DriverHost.h"

#include "driver/ADP4021Device.h"
#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/RuntimeFolder.h"
#include "platform/kernel/KernelHost.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// One enabled device interface: a socket whose connections are handles on the device stack.
class DriverHost::Interface final : public devio::DevioHandler {
public:
    Interface(IoManager& io, DEVICE_OBJECT* physicalDevice)
        : m_io(io), m_pdo(physicalDevice), m_server(*this) {}
    ~Interface() override { m_server.stop(); }

    bool start(const std::string& path) { return m_server.start(path); }
    [[nodiscard]] const std::string& error() const { return m_server.error(); }
    [[nodiscard]] const std::string& path() const { return m_server.path(); }

    std::uint32_t create(ConnectionId id, const std::string& fileName) override {
        auto file = std::make_unique<FILE_OBJECT>();
        file->FileName = fileName;
        const auto r = m_io.create(m_pdo, file.get());
        if (NT_SUCCESS(r.status)) {
            std::lock_guard lock(m_mutex);
            m_files[id] = std::move(file);
        }
        return static_cast<std::uint32_t>(r.status);
    }

    devio::Reply deviceControl(ConnectionId id, std::uint32_t code,
                               std::span<const std::uint8_t> input,
                               std::uint32_t outputLength) override {
        std::vector<std::uint8_t> output(outputLength);
        const auto r = m_io.deviceControl(m_pdo, file(id), code, input.data(),
                                          static_cast<ULONG>(input.size()),
                                          output.empty() ? nullptr : output.data(), outputLength);
        return reply(r, std::move(output));
    }

    devio::Reply read(ConnectionId id, std::uint32_t length) override {
        std::vector<std::uint8_t> buffer(length);
        const auto r = m_io.read(m_pdo, file(id), buffer.empty() ? nullptr : buffer.data(), length);
        return reply(r, std::move(buffer));
    }

    devio::Reply write(ConnectionId id, std::span<const std::uint8_t> data) override {
        const auto r = m_io.write(m_pdo, file(id), data.data(), static_cast<ULONG>(data.size()));
        return reply(r, {});
    }

    void closeConnection(ConnectionId id) override {
        std::unique_ptr<FILE_OBJECT> file;
        {
            std::lock_guard lock(m_mutex);
            const auto it = m_files.find(id);
            if (it == m_files.end()) return;
            file = std::move(it->second);
            m_files.erase(it);
        }
        m_io.cleanupAndClose(m_pdo, file.get());
    }

private:
    FILE_OBJECT* file(ConnectionId id) {
        std::lock_guard lock(m_mutex);
        const auto it = m_files.find(id);
        return it == m_files.end() ? nullptr : it->second.get();
    }

    static devio::Reply reply(const IoManager::Result& r, std::vector<std::uint8_t> output) {
        devio::Reply reply;
        reply.status = static_cast<std::uint32_t>(r.status);
        reply.information = r.information;
        output.resize(std::min<std::size_t>(output.size(), r.information));
        reply.output = std::move(output);
        return reply;
    }

    IoManager& m_io;
    DEVICE_OBJECT* m_pdo;
    std::mutex m_mutex;
    std::map<ConnectionId, std::unique_ptr<FILE_OBJECT>> m_files;
    devio::DevioServer m_server;  // last: stopped before the files go
};

DriverHost::DriverHost() {
    kernel::setInterfaceHandler([this](const std::string& link, DEVICE_OBJECT* pdo, bool enable) {
        onInterfaceState(link, pdo, enable);
    });
}

DriverHost::~DriverHost() {
    unplugAll();
    kernel::setInterfaceHandler(nullptr);
    if (m_folderLock >= 0) {
        ::close(m_folderLock);
    }
}

bool DriverHost::claimRuntimeFolder(std::string& error) {
    const std::string dir = devio::runtimeDirectory();
    if (!devio::ensurePrivateDirectory(dir, error)) {
        return false;
    }
    const std::string lockPath = dir + "/adp4021d.lock";
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot open the host lock " + lockPath;
        return false;
    }
    // The lock goes with the process, so a host that died leaves nothing to clean up.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        error = "another adp4021d already serves " + dir;
        return false;
    }
    m_folderLock = fd;
    return true;
}

bool DriverHost::loadDriver(const std::string& registryFile, std::string& error) {
    kernel::clearRegistry();
    // The service key exists; its "Parameters" subkey only when the registry file makes it.
    kernel::setRegistryValue(kRegistryPath, "Start", REG_DWORD, {3, 0, 0, 0});
    if (!registryFile.empty() && !kernel::loadRegistryFile(registryFile, kRegistryPath, error)) {
        return false;
    }
    const NTSTATUS status = m_io.loadDriver(&DriverEntry, "\\Driver\\ADP4021", kRegistryPath);
    if (!NT_SUCCESS(status)) {
        error = "DriverEntry failed";
        return false;
    }
    return true;
}

DEVICE_OBJECT* DriverHost::plug(UsbDeviceFunction& function) {
    DEVICE_OBJECT* pdo = m_bus.plug(function);
    if (pdo == nullptr) {
        return nullptr;
    }
    m_plugged.push_back(pdo);
    const NTSTATUS status = m_io.addAndStartDevice(pdo);
    if (pdo->AttachedDevice == nullptr) {
        (void)status;
        m_plugged.pop_back();
        m_bus.deleteDevice(pdo);
        return nullptr;
    }
    return pdo;
}

void DriverHost::unplug(DEVICE_OBJECT* pdo) {
    const auto it = std::find(m_plugged.begin(), m_plugged.end(), pdo);
    if (it == m_plugged.end()) {
        return;
    }
    m_plugged.erase(it);
    // The device leaves the bus first, so pending transfers fail; then the PnP manager tells the
    // driver: surprise removal, then removal.
    m_bus.unplug(pdo);
    m_io.removeDevice(pdo, true);
    m_bus.deleteDevice(pdo);
}

void DriverHost::unplugAll() {
    while (!m_plugged.empty()) {
        unplug(m_plugged.back());
    }
}

std::vector<std::string> DriverHost::servedInterfaces() const {
    std::lock_guard lock(m_interfacesMutex);
    std::vector<std::string> paths;
    for (const auto& [link, i] : m_interfaces) {
        paths.push_back(i->path());
    }
    return paths;
}

void DriverHost::onInterfaceState(const std::string& link, DEVICE_OBJECT* pdo, bool enable) {
    std::unique_ptr<Interface> gone;
    {
        std::lock_guard lock(m_interfacesMutex);
        if (!enable) {
            const auto it = m_interfaces.find(link);
            if (it != m_interfaces.end()) {
                gone = std::move(it->second);
                m_interfaces.erase(it);
            }
        } else if (m_interfaces.find(link) == m_interfaces.end()) {
            // The socket is named after the function device object: "ADP4021Device<unit>".
            std::string name = pdo->AttachedDevice != nullptr ? pdo->AttachedDevice->Name : link;
            name = name.substr(name.rfind('\\') + 1);
            auto i = std::make_unique<Interface>(m_io, pdo);
            if (i->start(devio::interfaceClassDirectory(kAdp4021InterfaceClass) + "/" + name)) {
                m_interfaces[link] = std::move(i);
            } else {
                DbgPrint("adp4021d: cannot serve the device interface %s: %s\n", name.c_str(),
                         i->error().c_str());
            }
        }
    }
    // Stopped outside the lock: its connections finish their requests first.
    gone.reset();
}
