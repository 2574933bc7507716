#pragma once

// A small class framework for WDM function drivers of USB devices: the driver object, a Plug and
// Play device base with its PnP and power state machines and outstanding-request counting, the USB
// lower device, interface and pipe objects, an IRP wrapper and the trace facility. Only as much of
// it as the ADP4021 driver needs.

#include "platform/kernel/Wdm.h"
#include "platform/usb/Usb.h"

#include <atomic>
#include <cstdint>
#include <string>

// ---- Trace -----------------------------------------------------------------------------------

void KTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// ---- IRP wrapper -----------------------------------------------------------------------------

class KIrp {
public:
    explicit KIrp(IRP* irp) : m_irp(irp) {}
    [[nodiscard]] IRP* irp() const { return m_irp; }
    [[nodiscard]] IO_STACK_LOCATION* current() const { return IoGetCurrentIrpStackLocation(m_irp); }
    [[nodiscard]] UCHAR MajorFunction() const { return current()->MajorFunction; }
    [[nodiscard]] UCHAR MinorFunction() const { return current()->MinorFunction; }
    [[nodiscard]] UCHAR Flags() const { return current()->Flags; }
    [[nodiscard]] ULONG IoctlCode() const {
        return current()->Parameters.DeviceIoControl.IoControlCode;
    }
    [[nodiscard]] ULONG IoctlInputBufferSize() const {
        return current()->Parameters.DeviceIoControl.InputBufferLength;
    }
    [[nodiscard]] ULONG IoctlOutputBufferSize() const {
        return current()->Parameters.DeviceIoControl.OutputBufferLength;
    }
    [[nodiscard]] ULONG ReadSize() const { return current()->Parameters.Read.Length; }
    [[nodiscard]] ULONG WriteSize() const { return current()->Parameters.Write.Length; }
    [[nodiscard]] PVOID SystemBuffer() const { return m_irp->AssociatedIrp.SystemBuffer; }
    [[nodiscard]] MDL* Mdl() const { return m_irp->MdlAddress; }
    ULONG_PTR& Information() const { return m_irp->IoStatus.Information; }
    NTSTATUS& Status() const { return m_irp->IoStatus.Status; }
    NTSTATUS PnpComplete(NTSTATUS status) const;
    NTSTATUS Complete(NTSTATUS status) const {
        m_irp->IoStatus.Status = status;
        IoCompleteRequest(m_irp, IO_NO_INCREMENT);
        return status;
    }
    // The request's description for trace lines: "IRP: Major=0x.. Minor=0x.. Flags=0x..\n"
    // followed by the control code and sizes, or the length, where the request has them.
    [[nodiscard]] std::string Describe() const;

private:
    IRP* m_irp;
};

// ---- USB lower device, interface, pipe -------------------------------------------------------

enum AC_STATUS {
    AC_SUCCESS,
    AC_COULD_NOT_LOCATE_INTERFACE,
    AC_COULD_NOT_PRECONFIGURE_INTERFACE,
    AC_CONFIGURATION_REQUEST_FAILED,
    AC_FAILED_TO_INITIALIZE_INTERFACE_OBJECT,
    AC_FAILED_TO_GET_DESCRIPTOR,
    AC_FAILED_TO_OPEN_PIPE_OBJECT,
    AC_NO_SUCH_CONFIGURATION,
    AC_INSUFFICIENT_RESOURCES,
};

class KUsbInterface;
class KUsbPipe;

class KUsbLowerDevice {
public:
    static constexpr int kMaxInterfaces = 4;
    static constexpr int kMaxPipes = 8;
    static constexpr ULONG kMaxConfigurationDescriptor = 1024;

    void Initialize(DEVICE_OBJECT* lowerDevice, DEVICE_OBJECT* physicalDevice);
    [[nodiscard]] DEVICE_OBJECT* DeviceObject() const { return m_lower; }

    AC_STATUS ActivateConfiguration(UCHAR configurationValue);
    void DeActivateConfiguration();
    void ReleaseResources();

    // Submits a URB and waits for it, at most `timeoutMs` (0: without limit); on time-out the
    // request is cancelled, waited for, and STATUS_TIMEOUT returned.
    NTSTATUS SubmitUrb(URB* urb, ULONG timeoutMs = 0);

    void Register(KUsbInterface* usbInterface);
    void Register(KUsbPipe* pipe);

private:
    NTSTATUS GetDeviceDescriptor(USB_DEVICE_DESCRIPTOR* descriptor);
    // Reads configuration `index`: first its header, then its whole length (capped).
    NTSTATUS GetConfigurationDescriptor(UCHAR index, USB_CONFIGURATION_DESCRIPTOR** descriptor,
                                        ULONG* length);

    DEVICE_OBJECT* m_lower = nullptr;
    DEVICE_OBJECT* m_physical = nullptr;
    USB_CONFIGURATION_DESCRIPTOR* m_configuration = nullptr;  // pool, while configured
    ULONG m_configurationLength = 0;
    URB* m_selectUrb = nullptr;
    KUsbInterface* m_interfaces[kMaxInterfaces] = {};
    KUsbPipe* m_pipes[kMaxPipes] = {};
};

class KUsbInterface {
public:
    void Initialize(KUsbLowerDevice& device, UCHAR interfaceNumber, UCHAR configurationValue,
                    UCHAR alternateSetting);
    [[nodiscard]] UCHAR InterfaceNumber() const { return m_number; }
    [[nodiscard]] UCHAR ConfigurationValue() const { return m_configuration; }
    [[nodiscard]] UCHAR AlternateSetting() const { return m_alternate; }
    // From the interface information the select-configuration request returned.
    bool InitializeFromInformation(const USBD_INTERFACE_INFORMATION& information);
    void Invalidate() { m_information = nullptr; }
    [[nodiscard]] const USBD_INTERFACE_INFORMATION* Information() const { return m_information; }

private:
    UCHAR m_number = 0;
    UCHAR m_configuration = 0;
    UCHAR m_alternate = 0;
    const USBD_INTERFACE_INFORMATION* m_information = nullptr;
};

class KUsbPipe {
public:
    void Initialize(KUsbLowerDevice& device, UCHAR endpointAddress, ULONG maximumTransferSize);
    [[nodiscard]] UCHAR EndpointAddress() const { return m_address; }
    [[nodiscard]] ULONG MaximumTransferSize() const { return m_maximumTransferSize; }
    [[nodiscard]] USBD_PIPE_HANDLE Handle() const { return m_handle; }
    [[nodiscard]] bool IsOpen() const { return m_handle != nullptr; }
    void Bind(USBD_PIPE_HANDLE handle, ULONG maximumTransferSize);
    void Unbind();
    // A bulk-or-interrupt request on this pipe, from pool tag "Wdm "; null when the pool is dry.
    URB* BuildBulkTransfer(ULONG length, PVOID buffer, MDL* mdl, bool in, bool shortOk) const;

private:
    UCHAR m_address = 0;
    ULONG m_configuredMaximum = 0;
    ULONG m_maximumTransferSize = 0;
    USBD_PIPE_HANDLE m_handle = nullptr;
};

// ---- Driver object and PnP device ------------------------------------------------------------

inline constexpr ULONG kWdmPoolTag = 0x206D6457;  // "Wdm "

class KPnpDevice;

class KDriver {
public:
    virtual ~KDriver() = default;
    virtual NTSTATUS DriverEntry(const std::string& registryPath) = 0;
    virtual NTSTATUS AddDevice(DEVICE_OBJECT* physicalDevice) = 0;

    // Installs the dispatch entry points and calls DriverEntry.
    static NTSTATUS Load(KDriver& driver, DRIVER_OBJECT* driverObject,
                         const std::string& registryPath);
    [[nodiscard]] DRIVER_OBJECT* DriverObject() const { return m_driverObject; }

private:
    static NTSTATUS Dispatch(DEVICE_OBJECT* device, IRP* irp);
    static NTSTATUS DispatchAddDevice(DRIVER_OBJECT* driver, DEVICE_OBJECT* physicalDevice);
    static void Unload(DRIVER_OBJECT* driver);
    DRIVER_OBJECT* m_driverObject = nullptr;
};

class KPnpDevice {
public:
    enum class PnpState {
        kNotStarted,
        kStarted,
        kStopPending,
        kStopped,
        kRemovePending,
        kSurpriseRemoved,
        kRemoved
    };

    virtual ~KPnpDevice() = default;

    // Device objects created through the framework hold their KPnpDevice in the extension.
    [[nodiscard]] static KPnpDevice* FromDeviceObject(DEVICE_OBJECT* device);
    [[nodiscard]] DEVICE_OBJECT* DeviceObject() const { return m_device; }
    [[nodiscard]] PnpState State() const { return m_state.load(); }
    [[nodiscard]] long OutstandingRequests() const { return m_outstanding.load(); }

    NTSTATUS Dispatch(IRP* irp);
    void IncrementOutstandingRequestCount();
    void DecrementOutstandingRequestCount();

protected:
    // Attaches to the stack above `physicalDevice` and registers the device interface.
    NTSTATUS Construct(DEVICE_OBJECT* device, DEVICE_OBJECT* physicalDevice,
                       const char* interfaceClass);
    [[nodiscard]] DEVICE_OBJECT* LowerDeviceObject() const { return m_lower; }

    virtual NTSTATUS OnStartDevice(KIrp irp) = 0;
    virtual NTSTATUS OnStopDevice(KIrp irp) = 0;
    virtual NTSTATUS OnRemoveDevice(KIrp irp) = 0;
    virtual NTSTATUS OnDevicePowerUp(KIrp irp) = 0;
    virtual NTSTATUS OnDeviceSleep(KIrp irp) = 0;
    virtual NTSTATUS DefaultPnp(KIrp irp);
    virtual NTSTATUS DefaultPower(KIrp irp);
    virtual NTSTATUS SystemControl(KIrp irp);
    virtual NTSTATUS Create(KIrp irp) = 0;
    virtual NTSTATUS Close(KIrp irp) = 0;
    virtual NTSTATUS CleanUp(KIrp irp) = 0;
    virtual NTSTATUS Read(KIrp irp) = 0;
    virtual NTSTATUS Write(KIrp irp) = 0;
    virtual NTSTATUS DeviceControl(KIrp irp) = 0;

private:
    NTSTATUS DispatchPnp(KIrp irp);
    NTSTATUS DispatchPower(KIrp irp);
    // Passes the IRP down and waits until the lower drivers have completed it.
    NTSTATUS ForwardAndWait(KIrp irp);
    void SetInterfaceState(bool enable);

    DEVICE_OBJECT* m_device = nullptr;
    DEVICE_OBJECT* m_lower = nullptr;
    std::string m_interfaceLink;
    bool m_interfaceEnabled = false;
    std::atomic<PnpState> m_state{PnpState::kNotStarted};
    std::atomic<long> m_outstanding{1};  // 1 while the device is not being removed
    KEVENT m_removeEvent;
};
