#include "driver/KDriverFramework.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

// ---- Trace -----------------------------------------------------------------------------------

void KTrace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vDbgPrintEx(format, args);
    va_end(args);
}

// ---- KIrp ------------------------------------------------------------------------------------

std::string KIrp::Describe() const {
    char text[200];
    std::snprintf(text, sizeof text, "IRP: Major=0x%x Minor=0x%x Flags=0x%x\n", MajorFunction(),
                  MinorFunction(), Flags());
    std::string d = text;
    if (MajorFunction() == IRP_MJ_DEVICE_CONTROL) {
        std::snprintf(text, sizeof text, " Code=0x%x InputSize=0x%x OutputSize=0x%x\n", IoctlCode(),
                      IoctlInputBufferSize(), IoctlOutputBufferSize());
        d += text;
    } else if (MajorFunction() == IRP_MJ_READ || MajorFunction() == IRP_MJ_WRITE) {
        std::snprintf(text, sizeof text, " Length=0x%x\n",
                      MajorFunction() == IRP_MJ_READ ? ReadSize() : WriteSize());
        d += text;
    }
    return d;
}

NTSTATUS KIrp::PnpComplete(NTSTATUS status) const {
    return Complete(status);
}

// ---- Device registry -------------------------------------------------------------------------

namespace {

std::mutex g_devicesMutex;
std::map<DEVICE_OBJECT*, KPnpDevice*> g_devices;

NTSTATUS SignalEvent(DEVICE_OBJECT*, IRP*, PVOID context) {
    KeSetEvent(static_cast<KEVENT*>(context), 0, false);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

}  // namespace

KPnpDevice* KPnpDevice::FromDeviceObject(DEVICE_OBJECT* device) {
    std::lock_guard lock(g_devicesMutex);
    const auto it = g_devices.find(device);
    return it == g_devices.end() ? nullptr : it->second;
}

// ---- KDriver ---------------------------------------------------------------------------------

namespace {
KDriver* g_driver = nullptr;
}

NTSTATUS KDriver::Load(KDriver& driver, DRIVER_OBJECT* driverObject,
                       const std::string& registryPath) {
    g_driver = &driver;
    driver.m_driverObject = driverObject;
    for (auto& f : driverObject->MajorFunction) {
        f = &KDriver::Dispatch;
    }
    driverObject->DriverExtension.AddDevice = &KDriver::DispatchAddDevice;
    driverObject->DriverUnload = &KDriver::Unload;
    return driver.DriverEntry(registryPath);
}

NTSTATUS KDriver::DispatchAddDevice(DRIVER_OBJECT*, DEVICE_OBJECT* physicalDevice) {
    return g_driver->AddDevice(physicalDevice);
}

void KDriver::Unload(DRIVER_OBJECT*) {
    g_driver = nullptr;
}

NTSTATUS KDriver::Dispatch(DEVICE_OBJECT* device, IRP* irp) {
    KPnpDevice* pnp = KPnpDevice::FromDeviceObject(device);
    if (pnp == nullptr) {
        irp->IoStatus.Status = STATUS_NO_SUCH_DEVICE;
        irp->IoStatus.Information = 0;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_NO_SUCH_DEVICE;
    }
    return pnp->Dispatch(irp);
}

// ---- KPnpDevice ------------------------------------------------------------------------------

NTSTATUS KPnpDevice::Construct(DEVICE_OBJECT* device, DEVICE_OBJECT* physicalDevice,
                               const char* interfaceClass) {
    m_device = device;
    KeInitializeEvent(&m_removeEvent, NotificationEvent, false);
    m_lower = IoAttachDeviceToDeviceStack(device, physicalDevice);
    if (m_lower == nullptr) {
        return STATUS_NO_SUCH_DEVICE;
    }
    const NTSTATUS status =
        IoRegisterDeviceInterface(physicalDevice, interfaceClass, nullptr, &m_interfaceLink);
    if (!NT_SUCCESS(status)) {
        IoDetachDevice(m_lower);
        return status;
    }
    std::lock_guard lock(g_devicesMutex);
    g_devices[device] = this;
    return STATUS_SUCCESS;
}

void KPnpDevice::IncrementOutstandingRequestCount() {
    ++m_outstanding;
}

void KPnpDevice::DecrementOutstandingRequestCount() {
    if (--m_outstanding == 0) {
        KeSetEvent(&m_removeEvent, 0, false);
    }
}

void KPnpDevice::SetInterfaceState(bool enable) {
    if (m_interfaceEnabled != enable && !m_interfaceLink.empty()) {
        m_interfaceEnabled = enable;
        IoSetDeviceInterfaceState(m_interfaceLink, enable);
    }
}

NTSTATUS KPnpDevice::Dispatch(IRP* irp) {
    KIrp k(irp);
    const UCHAR major = k.MajorFunction();
    if (major == IRP_MJ_PNP) {
        return DispatchPnp(k);
    }
    if (major == IRP_MJ_POWER) {
        return DispatchPower(k);
    }
    if (major == IRP_MJ_SYSTEM_CONTROL) {
        return SystemControl(k);
    }
    const PnpState state = m_state.load();
    if (state == PnpState::kRemoved || state == PnpState::kSurpriseRemoved) {
        if (major != IRP_MJ_CLOSE && major != IRP_MJ_CLEANUP) {
            irp->IoStatus.Information = 0;
            return k.Complete(STATUS_DELETE_PENDING);
        }
    }
    IncrementOutstandingRequestCount();
    NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
    switch (major) {
        case IRP_MJ_CREATE:
            status = Create(k);
            break;
        case IRP_MJ_CLOSE:
            status = Close(k);
            break;
        case IRP_MJ_CLEANUP:
            status = CleanUp(k);
            break;
        case IRP_MJ_READ:
            // Read finishes its own count: its completion routine runs when the transfer ends.
            return Read(k);
        case IRP_MJ_WRITE:
            status = Write(k);
            break;
        case IRP_MJ_DEVICE_CONTROL:
            status = DeviceControl(k);
            break;
        default:
            irp->IoStatus.Information = 0;
            status = k.Complete(STATUS_INVALID_DEVICE_REQUEST);
            break;
    }
    DecrementOutstandingRequestCount();
    return status;
}

NTSTATUS KPnpDevice::ForwardAndWait(KIrp irp) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, false);
    IoCopyCurrentIrpStackLocationToNext(irp.irp());
    IoSetCompletionRoutine(irp.irp(), &SignalEvent, &event, true, true, true);
    if (IoCallDriver(m_lower, irp.irp()) == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, false, nullptr);
    }
    return irp.Status();
}

NTSTATUS KPnpDevice::DefaultPnp(KIrp irp) {
    IoSkipCurrentIrpStackLocation(irp.irp());
    return IoCallDriver(m_lower, irp.irp());
}

NTSTATUS KPnpDevice::DefaultPower(KIrp irp) {
    PoStartNextPowerIrp(irp.irp());
    IoCopyCurrentIrpStackLocationToNext(irp.irp());
    return PoCallDriver(m_lower, irp.irp());
}

NTSTATUS KPnpDevice::SystemControl(KIrp irp) {
    IoSkipCurrentIrpStackLocation(irp.irp());
    return IoCallDriver(m_lower, irp.irp());
}

NTSTATUS KPnpDevice::DispatchPnp(KIrp irp) {
    switch (irp.MinorFunction()) {
        case IRP_MN_START_DEVICE: {
            NTSTATUS status = ForwardAndWait(irp);
            if (NT_SUCCESS(status)) {
                status = OnStartDevice(irp);
            }
            if (NT_SUCCESS(status)) {
                m_state = PnpState::kStarted;
                SetInterfaceState(true);
            }
            return irp.PnpComplete(status);
        }
        case IRP_MN_QUERY_STOP_DEVICE:
            if (m_state == PnpState::kStarted) m_state = PnpState::kStopPending;
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_CANCEL_STOP_DEVICE:
            if (m_state == PnpState::kStopPending) m_state = PnpState::kStarted;
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_STOP_DEVICE:
            SetInterfaceState(false);
            OnStopDevice(irp);
            m_state = PnpState::kStopped;
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_QUERY_REMOVE_DEVICE:
            m_state = PnpState::kRemovePending;
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_CANCEL_REMOVE_DEVICE:
            m_state = PnpState::kStarted;
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_SURPRISE_REMOVAL:
            m_state = PnpState::kSurpriseRemoved;
            SetInterfaceState(false);
            irp.Status() = STATUS_SUCCESS;
            return DefaultPnp(irp);
        case IRP_MN_REMOVE_DEVICE: {
            m_state = PnpState::kRemoved;
            SetInterfaceState(false);
            // Wait for every request in flight before the device goes.
            DecrementOutstandingRequestCount();
            KeWaitForSingleObject(&m_removeEvent, Executive, KernelMode, false, nullptr);
            OnRemoveDevice(irp);
            irp.Status() = STATUS_SUCCESS;
            const NTSTATUS status = DefaultPnp(irp);
            {
                std::lock_guard lock(g_devicesMutex);
                g_devices.erase(m_device);
            }
            DEVICE_OBJECT* device = m_device;
            IoDetachDevice(m_lower);
            this->~KPnpDevice();
            IoDeleteDevice(device);
            return status;
        }
        default:
            return DefaultPnp(irp);
    }
}

NTSTATUS KPnpDevice::DispatchPower(KIrp irp) {
    IO_STACK_LOCATION* location = irp.current();
    if (irp.MinorFunction() == IRP_MN_SET_POWER &&
        location->Parameters.Power.Type == DevicePowerState) {
        if (location->Parameters.Power.State == PowerDeviceD0) {
            OnDevicePowerUp(irp);
        } else {
            OnDeviceSleep(irp);
        }
        PoSetPowerState(m_device, DevicePowerState, location->Parameters.Power.State);
    }
    return DefaultPower(irp);
}

// ---- USB -------------------------------------------------------------------------------------

void KUsbLowerDevice::Initialize(DEVICE_OBJECT* lowerDevice, DEVICE_OBJECT* physicalDevice) {
    m_lower = lowerDevice;
    m_physical = physicalDevice;
}

void KUsbLowerDevice::Register(KUsbInterface* usbInterface) {
    for (auto& slot : m_interfaces) {
        if (slot == nullptr) {
            slot = usbInterface;
            return;
        }
    }
}

void KUsbLowerDevice::Register(KUsbPipe* pipe) {
    for (auto& slot : m_pipes) {
        if (slot == nullptr) {
            slot = pipe;
            return;
        }
    }
}

NTSTATUS KUsbLowerDevice::SubmitUrb(URB* urb, ULONG timeoutMs) {
    IRP* irp = IoAllocateIrp(m_lower->StackSize, false);
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, false);
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
    next->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(irp, &SignalEvent, &event, true, true, true);
    NTSTATUS status = IoCallDriver(m_lower, irp);
    if (status == STATUS_PENDING) {
        const std::int64_t timeout = -static_cast<std::int64_t>(timeoutMs) * 10'000;
        if (KeWaitForSingleObject(&event, Executive, KernelMode, false,
                                  timeoutMs != 0 ? &timeout : nullptr) == STATUS_TIMEOUT) {
            IoCancelIrp(irp);
            KeWaitForSingleObject(&event, Executive, KernelMode, false, nullptr);
            IoFreeIrp(irp);
            return STATUS_TIMEOUT;
        }
    }
    status = irp->IoStatus.Status;
    IoFreeIrp(irp);
    return status;
}

NTSTATUS KUsbLowerDevice::GetDeviceDescriptor(USB_DEVICE_DESCRIPTOR* descriptor) {
    URB urb;
    UsbBuildGetDescriptorRequest(&urb, sizeof(URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor, sizeof *descriptor);
    const NTSTATUS status = SubmitUrb(&urb);
    if (NT_SUCCESS(status) &&
        urb.UrbControlDescriptorRequest.TransferBufferLength < sizeof *descriptor) {
        return STATUS_UNSUCCESSFUL;
    }
    return status;
}

NTSTATUS KUsbLowerDevice::GetConfigurationDescriptor(UCHAR index,
                                                     USB_CONFIGURATION_DESCRIPTOR** descriptor,
                                                     ULONG* length) {
    // The header first, to learn the total length; then the whole of it, capped.
    USB_CONFIGURATION_DESCRIPTOR header{};
    URB urb;
    UsbBuildGetDescriptorRequest(&urb, sizeof(URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_CONFIGURATION_DESCRIPTOR_TYPE, index, 0, &header,
                                 sizeof header);
    NTSTATUS status = SubmitUrb(&urb);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    if (urb.UrbControlDescriptorRequest.TransferBufferLength < sizeof header ||
        header.wTotalLength < sizeof header) {
        return STATUS_UNSUCCESSFUL;
    }
    const ULONG total = std::min<ULONG>(header.wTotalLength, kMaxConfigurationDescriptor);
    auto* full = static_cast<USB_CONFIGURATION_DESCRIPTOR*>(
        ExAllocatePoolWithTag(NonPagedPool, total, kWdmPoolTag));
    if (full == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    UsbBuildGetDescriptorRequest(&urb, sizeof(URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_CONFIGURATION_DESCRIPTOR_TYPE, index, 0, full, total);
    status = SubmitUrb(&urb);
    const ULONG got = urb.UrbControlDescriptorRequest.TransferBufferLength;
    if (!NT_SUCCESS(status) || got < sizeof header) {
        ExFreePool(full);
        return NT_SUCCESS(status) ? STATUS_UNSUCCESSFUL : status;
    }
    *descriptor = full;
    *length = got;  // parsed only as far as the bytes really returned
    return STATUS_SUCCESS;
}

AC_STATUS KUsbLowerDevice::ActivateConfiguration(UCHAR configurationValue) {
    USB_DEVICE_DESCRIPTOR device{};
    if (!NT_SUCCESS(GetDeviceDescriptor(&device))) {
        return AC_FAILED_TO_GET_DESCRIPTOR;
    }
    USB_CONFIGURATION_DESCRIPTOR* configuration = nullptr;
    ULONG length = 0;
    for (UCHAR index = 0; index < device.bNumConfigurations; ++index) {
        USB_CONFIGURATION_DESCRIPTOR* candidate = nullptr;
        ULONG candidateLength = 0;
        if (!NT_SUCCESS(GetConfigurationDescriptor(index, &candidate, &candidateLength))) {
            return AC_COULD_NOT_PRECONFIGURE_INTERFACE;
        }
        if (candidate->bConfigurationValue == configurationValue) {
            configuration = candidate;
            length = candidateLength;
            break;
        }
        ExFreePool(candidate);
    }
    if (configuration == nullptr) {
        return AC_NO_SUCH_CONFIGURATION;
    }

    USBD_INTERFACE_LIST_ENTRY list[kMaxInterfaces + 1] = {};
    int count = 0;
    for (KUsbInterface* i : m_interfaces) {
        if (i == nullptr || i->ConfigurationValue() != configurationValue) {
            continue;
        }
        list[count].InterfaceDescriptor = USBD_ParseConfigurationDescriptorEx(
            configuration, configuration, length, i->InterfaceNumber(), i->AlternateSetting(), -1,
            -1, -1);
        if (list[count].InterfaceDescriptor == nullptr) {
            ExFreePool(configuration);
            return AC_COULD_NOT_LOCATE_INTERFACE;
        }
        ++count;
    }
    URB* urb = USBD_CreateConfigurationRequestEx(configuration, list);
    if (urb == nullptr) {
        ExFreePool(configuration);
        return AC_INSUFFICIENT_RESOURCES;
    }
    for (int k = 0; k < count; ++k) {
        for (ULONG p = 0; p < list[k].Interface->NumberOfPipes; ++p) {
            list[k].Interface->Pipes[p].MaximumTransferSize = 4096;
        }
    }
    if (!NT_SUCCESS(SubmitUrb(urb))) {
        ExFreePool(urb);
        ExFreePool(configuration);
        return AC_CONFIGURATION_REQUEST_FAILED;
    }
    ReleaseResources();
    m_configuration = configuration;
    m_configurationLength = length;
    m_selectUrb = urb;

    AC_STATUS result = AC_SUCCESS;
    int k = 0;
    for (KUsbInterface* i : m_interfaces) {
        if (i == nullptr || i->ConfigurationValue() != configurationValue) {
            continue;
        }
        const USBD_INTERFACE_INFORMATION& info = *list[k++].Interface;
        if (!i->InitializeFromInformation(info)) {
            return AC_FAILED_TO_INITIALIZE_INTERFACE_OBJECT;
        }
        // Bind each pipe object to the pipe of its endpoint; a pipe nobody asked for is reported.
        for (ULONG p = 0; p < info.NumberOfPipes; ++p) {
            bool bound = false;
            for (KUsbPipe* pipe : m_pipes) {
                if (pipe != nullptr && pipe->EndpointAddress() == info.Pipes[p].EndpointAddress) {
                    pipe->Bind(info.Pipes[p].PipeHandle, info.Pipes[p].MaximumTransferSize);
                    bound = true;
                }
            }
            if (!bound) {
                result = AC_FAILED_TO_OPEN_PIPE_OBJECT;
            }
        }
        for (KUsbPipe* pipe : m_pipes) {
            if (pipe != nullptr && !pipe->IsOpen()) {
                result = AC_FAILED_TO_OPEN_PIPE_OBJECT;
            }
        }
    }
    return result;
}

void KUsbLowerDevice::DeActivateConfiguration() {
    URB urb;
    UsbBuildSelectConfigurationRequest(&urb, sizeof(URB_SELECT_CONFIGURATION), nullptr);
    SubmitUrb(&urb);
    for (KUsbPipe* pipe : m_pipes) {
        if (pipe != nullptr) pipe->Unbind();
    }
    for (KUsbInterface* i : m_interfaces) {
        if (i != nullptr) i->Invalidate();
    }
}

void KUsbLowerDevice::ReleaseResources() {
    for (KUsbPipe* pipe : m_pipes) {
        if (pipe != nullptr) pipe->Unbind();
    }
    for (KUsbInterface* i : m_interfaces) {
        if (i != nullptr) i->Invalidate();
    }
    ExFreePool(m_selectUrb);
    ExFreePool(m_configuration);
    m_selectUrb = nullptr;
    m_configuration = nullptr;
    m_configurationLength = 0;
}

void KUsbInterface::Initialize(KUsbLowerDevice& device, UCHAR interfaceNumber,
                               UCHAR configurationValue, UCHAR alternateSetting) {
    m_number = interfaceNumber;
    m_configuration = configurationValue;
    m_alternate = alternateSetting;
    device.Register(this);
}

bool KUsbInterface::InitializeFromInformation(const USBD_INTERFACE_INFORMATION& information) {
    if (information.InterfaceNumber != m_number || information.InterfaceHandle == nullptr) {
        return false;
    }
    m_information = &information;
    return true;
}

void KUsbPipe::Initialize(KUsbLowerDevice& device, UCHAR endpointAddress,
                          ULONG maximumTransferSize) {
    m_address = endpointAddress;
    m_configuredMaximum = maximumTransferSize;
    device.Register(this);
}

void KUsbPipe::Bind(USBD_PIPE_HANDLE handle, ULONG maximumTransferSize) {
    m_handle = handle;
    // The pipe's own table size wins; the stack's figure only ever lowers it.
    m_maximumTransferSize = std::min(m_configuredMaximum, maximumTransferSize);
}

void KUsbPipe::Unbind() {
    m_handle = nullptr;
    m_maximumTransferSize = 0;
}

URB* KUsbPipe::BuildBulkTransfer(ULONG length, PVOID buffer, MDL* mdl, bool in,
                                 bool shortOk) const {
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(URB), kWdmPoolTag);
    if (memory == nullptr) {
        return nullptr;
    }
    URB* urb = new (memory) URB;
    UsbBuildInterruptOrBulkTransferRequest(
        urb, kBulkTransferUrbSize, m_handle, buffer, mdl, length,
        (in ? USBD_TRANSFER_DIRECTION_IN : 0) | (shortOk ? USBD_SHORT_TRANSFER_OK : 0));
    return urb;
}
