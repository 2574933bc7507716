#pragma once

// The device class of the ADP4021 USB-to-CAN adapter: configuration 1, interface 0, a command pipe
// (0x01 OUT), a reply pipe (0x81 IN) and a data pipe (0x82 IN), and the dispatch of the library's
// requests to them.

#include "driver/KDriverFramework.h"

inline constexpr char kAdp4021InterfaceClass[] = "{A71602A8-A799-44DC-805F-7FF25F30BEDB}";
inline constexpr ULONG IOCTL_ADP4021_WRITE_ENDPOINT1 = 0x0022A002;
inline constexpr ULONG IOCTL_ADP4021_READ_ENDPOINT1 = 0x00226005;
inline constexpr ULONG kControlTimeoutMs = 1000;

class ADP4021Device : public KPnpDevice {
public:
    ADP4021Device(DEVICE_OBJECT* device, DEVICE_OBJECT* physicalDevice, ULONG unit);
    [[nodiscard]] NTSTATUS ConstructorStatus() const { return m_constructorStatus; }
    [[nodiscard]] ULONG Unit() const { return m_unit; }

protected:
    NTSTATUS OnStartDevice(KIrp irp) override;
    NTSTATUS OnStopDevice(KIrp irp) override;
    NTSTATUS OnRemoveDevice(KIrp irp) override;
    NTSTATUS OnDevicePowerUp(KIrp irp) override;
    NTSTATUS OnDeviceSleep(KIrp irp) override;
    NTSTATUS Create(KIrp irp) override;
    NTSTATUS Close(KIrp irp) override;
    NTSTATUS CleanUp(KIrp irp) override;
    NTSTATUS Read(KIrp irp) override;
    NTSTATUS Write(KIrp irp) override;
    NTSTATUS DeviceControl(KIrp irp) override;

private:
    NTSTATUS WRITE_ENDPOINT1_Handler(KIrp irp);
    NTSTATUS READ_ENDPOINT1_Handler(KIrp irp);
    // One synchronous transfer on the command or reply pipe, with the 1000 ms time-out.
    NTSTATUS SubmitControlTransfer(KIrp irp, KUsbPipe& pipe, ULONG length, PVOID buffer, MDL* mdl,
                                   bool in);
    static NTSTATUS ReadComplete(DEVICE_OBJECT* device, IRP* irp, PVOID context);

    struct ReadContext {
        ADP4021Device* device;
        URB* urb;
    };

    KUsbLowerDevice m_Lower;
    KUsbInterface m_Interface;
    KUsbPipe m_Endpoint1OUT;  // commands
    KUsbPipe m_Endpoint1IN;   // replies
    KUsbPipe m_Endpoint2IN;   // received frames
    ULONG m_unit = 0;
    NTSTATUS m_constructorStatus = STATUS_SUCCESS;
};

// The driver object: DriverEntry and AddDevice.
class ADP4021 : public KDriver {
public:
    NTSTATUS DriverEntry(const std::string& registryPath) override;
    NTSTATUS AddDevice(DEVICE_OBJECT* physicalDevice) override;
    [[nodiscard]] ULONG BreakOnEntry() const { return m_bBreakOnEntry; }

private:
    ULONG m_Unit = 0;
    ULONG m_bBreakOnEntry = 0;
};

// The driver's entry point, as the driver host's I/O manager calls it.
NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, const std::string& registryPath);
