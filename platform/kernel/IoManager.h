#pragma once

// The I/O manager and PnP manager of the driver host: loads a driver, adds and starts a device on
// a physical device object, removes it again, and turns device-handle requests into IRPs sent to
// the top of the device's stack, waiting until they complete.
//
// Threads: requests may come from many threads at once (one per open handle); PnP calls from one.

#include "platform/kernel/Wdm.h"

#include <cstdint>
#include <memory>
#include <string>

class IoManager {
public:
    using DriverEntryFunction = NTSTATUS (*)(DRIVER_OBJECT*, const std::string& registryPath);

    IoManager();
    ~IoManager();
    IoManager(const IoManager&) = delete;
    IoManager& operator=(const IoManager&) = delete;

    NTSTATUS loadDriver(DriverEntryFunction entry, const std::string& name,
                        const std::string& registryPath);

    // AddDevice, then IRP_MN_START_DEVICE.
    NTSTATUS addAndStartDevice(DEVICE_OBJECT* physicalDevice);
    // Surprise removal, then removal, of the stack above `physicalDevice`.
    void removeDevice(DEVICE_OBJECT* physicalDevice, bool surprise);
    // Any PnP minor function, sent to the top of the stack; for tests of the state machine.
    NTSTATUS sendPnp(DEVICE_OBJECT* physicalDevice, UCHAR minor);
    NTSTATUS setDevicePower(DEVICE_OBJECT* physicalDevice, DEVICE_POWER_STATE state);

    struct Result {
        NTSTATUS status = STATUS_SUCCESS;
        std::uint32_t information = 0;
    };
    Result create(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file);
    Result cleanupAndClose(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file);
    // Buffers as the control code's transfer method says: the input in the system buffer, the
    // output described by an MDL (direct methods) or returned through the system buffer.
    Result deviceControl(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file, ULONG code,
                         const void* input, ULONG inputLength, void* output, ULONG outputLength);
    Result read(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file, void* buffer, ULONG length);
    Result write(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file, const void* buffer,
                 ULONG length);

private:
    Result call(DEVICE_OBJECT* physicalDevice, IRP* irp);
    IRP* allocate(DEVICE_OBJECT* physicalDevice, UCHAR major, UCHAR minor, FILE_OBJECT* file);

    std::unique_ptr<DRIVER_OBJECT> m_driver;
};
