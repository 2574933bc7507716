#pragma once

// The ADP4021 deliverable on Linux: hosts the driver in user space. It loads the driver, plugs
// devices of the virtual USB bus in (AddDevice, start), serves each enabled device interface as a
// socket for device handles, and unplugs the devices again (surprise removal, removal).
//
// Threads: construct, plug and unplug from one thread; handles are served on their own threads.

#include "platform/devio/DevioServer.h"
#include "platform/kernel/IoManager.h"
#include "platform/usb/VirtualUsbBus.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class DriverHost {
public:
    DriverHost();
    ~DriverHost();
    DriverHost(const DriverHost&) = delete;
    DriverHost& operator=(const DriverHost&) = delete;

    // Makes sure the runtime folder is private to this user and that no other host serves it,
    // and holds the folder until the host ends. False, with `error`, otherwise.
    bool claimRuntimeFolder(std::string& error);

    // Registry values come from `registryFile` when given. False, with `error`, when the driver
    // could not be loaded.
    bool loadDriver(const std::string& registryFile, std::string& error);

    // Plugs a device in and starts it; null when AddDevice failed (a device whose start failed
    // stays plugged, unstarted, as it would on the bus).
    DEVICE_OBJECT* plug(UsbDeviceFunction& function);
    void unplug(DEVICE_OBJECT* physicalDevice);
    void unplugAll();

    [[nodiscard]] IoManager& ioManager() { return m_io; }
    // The socket paths being served.
    [[nodiscard]] std::vector<std::string> servedInterfaces() const;

    static constexpr char kRegistryPath[] =
        "\\Registry\\Machine\\System\\CurrentControlSet\\Services\\ADP4021";

private:
    class Interface;
    void onInterfaceState(const std::string& link, DEVICE_OBJECT* physicalDevice, bool enable);

    IoManager m_io;
    VirtualUsbBus m_bus;
    std::vector<DEVICE_OBJECT*> m_plugged;
    mutable std::mutex m_interfacesMutex;
    std::map<std::string, std::unique_ptr<Interface>> m_interfaces;
    int m_folderLock = -1;
};
