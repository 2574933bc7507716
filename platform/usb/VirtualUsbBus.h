#pragma once

// A virtual USB bus: each plugged device function gets a physical device object that takes URBs
// (descriptors, select configuration, bulk-or-interrupt transfers) and hands them to the function.
//
// Threads: URBs arrive on the submitting thread; a function may complete a transfer on any thread.

#include "platform/usb/Usb.h"

#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

// One bulk-or-interrupt transfer as the device function sees it. It ends exactly once: by the
// function, by cancellation, or by the device going away, whichever comes first.
class UsbTransfer {
public:
    UsbTransfer(UCHAR endpoint, bool in, bool shortOk, std::uint8_t* buffer, ULONG length,
                std::function<void(USBD_STATUS, ULONG)> onDone);

    [[nodiscard]] UCHAR endpoint() const { return m_endpoint; }
    [[nodiscard]] bool in() const { return m_in; }
    [[nodiscard]] ULONG length() const { return m_length; }
    // The bytes of an OUT transfer; valid only during the function's submit().
    [[nodiscard]] std::span<const std::uint8_t> outData() const { return {m_buffer, m_length}; }

    // Ends the transfer, copying IN data (cut to the length asked for). False when it had already
    // ended, in which case nothing is written.
    bool complete(USBD_STATUS status, std::span<const std::uint8_t> inData = {});
    [[nodiscard]] bool ended() const;

private:
    const UCHAR m_endpoint;
    const bool m_in;
    const bool m_shortOk;
    std::uint8_t* const m_buffer;
    const ULONG m_length;
    std::function<void(USBD_STATUS, ULONG)> m_onDone;
    mutable std::mutex m_mutex;
    bool m_ended = false;
};

class UsbDeviceFunction {
public:
    virtual ~UsbDeviceFunction() = default;
    // The whole descriptor of `type` and `index` (a configuration with all it contains); empty
    // when there is none.
    virtual std::vector<std::uint8_t> descriptor(UCHAR type, UCHAR index) = 0;
    // 0 unconfigures. False refuses the configuration.
    virtual bool selectConfiguration(UCHAR value) = 0;
    // Takes a transfer on one of the endpoints of the active configuration.
    virtual void submit(std::shared_ptr<UsbTransfer> transfer) = 0;
    // The device is unplugged: end whatever is pending.
    virtual void detach() = 0;
};

class VirtualUsbBus {
public:
    VirtualUsbBus();
    ~VirtualUsbBus();
    VirtualUsbBus(const VirtualUsbBus&) = delete;
    VirtualUsbBus& operator=(const VirtualUsbBus&) = delete;

    // Creates the physical device object of a newly plugged device.
    DEVICE_OBJECT* plug(UsbDeviceFunction& function);
    // The device leaves the bus: pending and later transfers fail. The object stays until
    // deleteDevice, once the function driver has let go of it.
    void unplug(DEVICE_OBJECT* physicalDevice);
    void deleteDevice(DEVICE_OBJECT* physicalDevice);

private:
    struct Port;
    static NTSTATUS dispatchInternalControl(DEVICE_OBJECT* device, IRP* irp);
    static NTSTATUS dispatchSucceed(DEVICE_OBJECT* device, IRP* irp);
    static void cancelTransfer(DEVICE_OBJECT* device, IRP* irp);
    static Port* portOf(DEVICE_OBJECT* device);

    DRIVER_OBJECT m_driver;
};
