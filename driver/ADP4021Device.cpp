#include "driver/ADP4021Device.h"

#include <algorithm>
#include <memory>
#include <new>

// ---- Driver ----------------------------------------------------------------------------------

NTSTATUS ADP4021::DriverEntry(const std::string& registryPath) {
    KTrace("In DriverEntry Compiled at " __DATE__ " " __TIME__ "\n");
    HANDLE key = nullptr;
    m_bBreakOnEntry = 0;
    if (NT_SUCCESS(
            ZwOpenKey(&key, KEY_READ, registryPath + "\\Parameters", OBJ_CASE_INSENSITIVE))) {
        KEY_VALUE_PARTIAL_INFORMATION value;
        ULONG length = 0;
        // Only a four-byte value is a DWORD; anything else leaves the default.
        if (NT_SUCCESS(ZwQueryValueKey(key, "BreakOnEntry", &value, sizeof value, &length)) &&
            value.DataLength == 4) {
            m_bBreakOnEntry = ULONG{value.Data[0]} | ULONG{value.Data[1]} << 8 |
                              ULONG{value.Data[2]} << 16 | ULONG{value.Data[3]} << 24;
        }
        ZwClose(key);
    }
    KTrace("m_bBreakOnEntry loaded from registry, resulting value: [%u]\n", m_bBreakOnEntry);
    m_Unit = 0;
    return STATUS_SUCCESS;
}

NTSTATUS ADP4021::AddDevice(DEVICE_OBJECT* physicalDevice) {
    KTrace("AddDevice called\n");
    const std::string name = "\\Device\\ADP4021Device" + std::to_string(m_Unit);
    DEVICE_OBJECT* device = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(DriverObject(), sizeof(ADP4021Device), &name,
                                   FILE_DEVICE_UNKNOWN, 0, false, &device))) {
        KTrace("Error creating device ADP4021Device%u\n", m_Unit);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    device->Flags |= DO_DIRECT_IO | DO_POWER_PAGABLE;
    auto* adp = new (device->DeviceExtension) ADP4021Device(device, physicalDevice, m_Unit);
    const NTSTATUS status = adp->ConstructorStatus();
    if (!NT_SUCCESS(status)) {
        KTrace("Error constructing device ADP4021Device%u status 0x%x\n", m_Unit,
               static_cast<unsigned>(status));
        adp->~ADP4021Device();
        IoDeleteDevice(device);
        return status;
    }
    ++m_Unit;
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    PoSetPowerState(device, DevicePowerState, PowerDeviceD0);
    return STATUS_SUCCESS;
}

// ---- Device ----------------------------------------------------------------------------------

ADP4021Device::ADP4021Device(DEVICE_OBJECT* device, DEVICE_OBJECT* physicalDevice, ULONG unit)
    : m_unit(unit) {
    m_constructorStatus = Construct(device, physicalDevice, kAdp4021InterfaceClass);
    if (!NT_SUCCESS(m_constructorStatus)) {
        return;
    }
    KTrace("Entering ADP4021Device::ADP4021Device (constructor)\n");
    m_Lower.Initialize(LowerDeviceObject(), physicalDevice);
    m_Interface.Initialize(m_Lower, 0, 1, 0);
    m_Endpoint1OUT.Initialize(m_Lower, 0x01, 64);
    m_Endpoint1IN.Initialize(m_Lower, 0x81, 64);
    m_Endpoint2IN.Initialize(m_Lower, 0x82, 512);
}

NTSTATUS ADP4021Device::OnStartDevice(KIrp) {
    KTrace("Entering ADP4021Device::OnStartDevice\n");
    switch (m_Lower.ActivateConfiguration(1)) {
        case AC_SUCCESS:
            KTrace("USB Configuration OK\n");
            return STATUS_SUCCESS;
        case AC_FAILED_TO_OPEN_PIPE_OBJECT:
            // The device works with what it has; requests on an unbound pipe fail.
            KTrace("Failed to open pipe object\n");
            return STATUS_SUCCESS;
        case AC_FAILED_TO_GET_DESCRIPTOR:
            KTrace("Failed to get device descriptor\n");
            break;
        case AC_COULD_NOT_LOCATE_INTERFACE:
            KTrace("Could not locate interface\n");
            break;
        case AC_COULD_NOT_PRECONFIGURE_INTERFACE:
            KTrace("Could not get configuration descriptor\n");
            break;
        case AC_CONFIGURATION_REQUEST_FAILED:
            KTrace("Board did not accept configuration URB\n");
            break;
        case AC_FAILED_TO_INITIALIZE_INTERFACE_OBJECT:
            KTrace("Failed to initialize interface object\n");
            break;
        default:
            KTrace("Unexpected error activating USB configuration\n");
            break;
    }
    return STATUS_UNSUCCESSFUL;
}

NTSTATUS ADP4021Device::OnStopDevice(KIrp) {
    KTrace("Entering ADP4021Device::OnStopDevice\n");
    m_Lower.DeActivateConfiguration();
    return STATUS_SUCCESS;
}

NTSTATUS ADP4021Device::OnRemoveDevice(KIrp) {
    KTrace("Entering ADP4021Device::OnRemoveDevice\n");
    m_Lower.ReleaseResources();
    return STATUS_SUCCESS;
}

NTSTATUS ADP4021Device::OnDevicePowerUp(KIrp) {
    KTrace("Entering ADP4021Device::OnDevicePowerUp\n");
    return STATUS_SUCCESS;
}

NTSTATUS ADP4021Device::OnDeviceSleep(KIrp) {
    KTrace("Entering ADP4021Device::OnDeviceSleep\n");
    return STATUS_SUCCESS;
}

// Create and Close succeed at once and say so.
static NTSTATUS CompleteOpenOrClose(KIrp irp, const char* name) {
    KTrace("Entering ADP4021Device::%s, %s", name, irp.Describe().c_str());
    irp.Information() = 0;
    const NTSTATUS status = irp.Complete(STATUS_SUCCESS);
    KTrace("ADP4021Device::%s Status 0x%x\n", name, static_cast<unsigned>(status));
    return status;
}

NTSTATUS ADP4021Device::Create(KIrp irp) {
    return CompleteOpenOrClose(irp, "Create");
}

NTSTATUS ADP4021Device::Close(KIrp irp) {
    return CompleteOpenOrClose(irp, "Close");
}

NTSTATUS ADP4021Device::CleanUp(KIrp irp) {
    KTrace("Entering ADP4021Device::Entering CleanUp, %s", irp.Describe().c_str());
    irp.Information() = 0;
    return irp.Complete(STATUS_SUCCESS);
}

NTSTATUS ADP4021Device::Write(KIrp irp) {
    KTrace("Entering ADP4021Device::Write, %s", irp.Describe().c_str());
    irp.Information() = 0;
    return irp.Complete(STATUS_SUCCESS);
}

NTSTATUS ADP4021Device::DeviceControl(KIrp irp) {
    KTrace("Entering ADP4021Device::Device Control, %s", irp.Describe().c_str());
    NTSTATUS status;
    switch (irp.IoctlCode()) {
        case IOCTL_ADP4021_READ_ENDPOINT1:
            status = READ_ENDPOINT1_Handler(irp);
            break;
        case IOCTL_ADP4021_WRITE_ENDPOINT1:
            status = WRITE_ENDPOINT1_Handler(irp);
            break;
        default:
            irp.Information() = 0;
            status = STATUS_INVALID_PARAMETER;
            break;
    }
    if (status == STATUS_PENDING) {
        return status;
    }
    return irp.Complete(status);
}

NTSTATUS ADP4021Device::WRITE_ENDPOINT1_Handler(KIrp irp) {
    KTrace("Entering ADP4021Device::WRITE_ENDPOINT1_Handler, %s", irp.Describe().c_str());
    irp.Information() = 0;
    if (irp.SystemBuffer() == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    return SubmitControlTransfer(irp, m_Endpoint1OUT, irp.IoctlInputBufferSize(),
                                 irp.SystemBuffer(), nullptr, false);
}

NTSTATUS ADP4021Device::READ_ENDPOINT1_Handler(KIrp irp) {
    KTrace("Entering ADP4021Device::READ_ENDPOINT1_Handler, %s", irp.Describe().c_str());
    irp.Information() = 0;
    if (irp.Mdl() == nullptr) {
        return STATUS_INVALID_PARAMETER;
    }
    return SubmitControlTransfer(irp, m_Endpoint1IN, irp.IoctlOutputBufferSize(), nullptr,
                                 irp.Mdl(), true);
}

NTSTATUS ADP4021Device::SubmitControlTransfer(KIrp irp, KUsbPipe& pipe, ULONG length, PVOID buffer,
                                              MDL* mdl, bool in) {
    // A pipe without an endpoint (or after Stop) sends nothing to the bus.
    if (!pipe.IsOpen()) {
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    // Replies may come short; commands go out whole.
    URB* urb = pipe.BuildBulkTransfer(length, buffer, mdl, in, in);
    if (urb == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    const NTSTATUS status = m_Lower.SubmitUrb(urb, kControlTimeoutMs);
    irp.Information() = urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
    ExFreePool(urb);
    return status;
}

NTSTATUS ADP4021Device::Read(KIrp irp) {
    KTrace("Entering ADP4021Device::Read, %s", irp.Describe().c_str());
    const auto finish = [this, &irp](NTSTATUS status) {
        irp.Information() = 0;
        irp.Complete(status);
        DecrementOutstandingRequestCount();
        return status;
    };
    if (irp.ReadSize() == 0) {
        return finish(STATUS_SUCCESS);
    }
    if (!m_Endpoint2IN.IsOpen() || irp.Mdl() == nullptr) {
        return finish(STATUS_INVALID_DEVICE_REQUEST);
    }
    auto* context = static_cast<ReadContext*>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(ReadContext), kWdmPoolTag));
    const ULONG length = std::min(m_Endpoint2IN.MaximumTransferSize(), irp.ReadSize());
    URB* urb = context != nullptr
                   ? m_Endpoint2IN.BuildBulkTransfer(length, nullptr, irp.Mdl(), true, true)
                   : nullptr;
    if (urb == nullptr) {
        ExFreePool(context);
        return finish(STATUS_INSUFFICIENT_RESOURCES);
    }
    context->device = this;
    context->urb = urb;
    // The caller's own request goes down with the transfer; no copy is made.
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp.irp());
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->MinorFunction = 0;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp.irp(), &ADP4021Device::ReadComplete, context, true, true, true);
    return IoCallDriver(LowerDeviceObject(), irp.irp());
}

NTSTATUS ADP4021Device::ReadComplete(DEVICE_OBJECT*, IRP* irp, PVOID context) {
    auto* c = static_cast<ReadContext*>(context);
    if (irp->PendingReturned) {
        IoMarkIrpPending(irp);
    }
    if (NT_SUCCESS(irp->IoStatus.Status)) {
        irp->IoStatus.Information = c->urb->UrbBulkOrInterruptTransfer.TransferBufferLength;
        if (irp->IoStatus.Information != 0) {
            KTrace("Read() got %u bytes from USB\n",
                   static_cast<unsigned>(irp->IoStatus.Information));
        }
    } else {
        irp->IoStatus.Information = 0;
    }
    ADP4021Device* device = c->device;
    ExFreePool(c->urb);
    ExFreePool(c);
    device->DecrementOutstandingRequestCount();
    return STATUS_SUCCESS;
}

NTSTATUS DriverEntry(DRIVER_OBJECT* driverObject, const std::string& registryPath) {
    // One driver object per load; a reload starts with a fresh one.
    static std::unique_ptr<ADP4021> driver;
    driver = std::make_unique<ADP4021>();
    return KDriver::Load(*driver, driverObject, registryPath);
}
