#include "platform/kernel/IoManager.h"

#include <algorithm>
#include <cstring>
#include <vector>

IoManager::IoManager() = default;

IoManager::~IoManager() {
    if (m_driver && m_driver->DriverUnload != nullptr) {
        m_driver->DriverUnload(m_driver.get());
    }
}

NTSTATUS IoManager::loadDriver(DriverEntryFunction entry, const std::string& name,
                               const std::string& registryPath) {
    m_driver = std::make_unique<DRIVER_OBJECT>();
    m_driver->DriverName = name;
    return entry(m_driver.get(), registryPath);
}

IRP* IoManager::allocate(DEVICE_OBJECT* physicalDevice, UCHAR major, UCHAR minor,
                         FILE_OBJECT* file) {
    DEVICE_OBJECT* top = IoGetAttachedDevice(physicalDevice);
    IRP* irp = IoAllocateIrp(top->StackSize, false);
    if (irp == nullptr) {
        return nullptr;
    }
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = major;
    next->MinorFunction = minor;
    next->FileObject = file;
    irp->IoStatus.Status = major == IRP_MJ_PNP ? STATUS_NOT_SUPPORTED : STATUS_SUCCESS;
    return irp;
}

IoManager::Result IoManager::call(DEVICE_OBJECT* physicalDevice, IRP* irp) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, false);
    irp->onCompleted = [&done](IRP*) { KeSetEvent(&done, 0, false); };
    IoCallDriver(IoGetAttachedDevice(physicalDevice), irp);
    KeWaitForSingleObject(&done, Executive, KernelMode, false, nullptr);
    Result r{irp->IoStatus.Status, static_cast<std::uint32_t>(irp->IoStatus.Information)};
    IoFreeIrp(irp);
    return r;
}

NTSTATUS IoManager::addAndStartDevice(DEVICE_OBJECT* physicalDevice) {
    NTSTATUS status = m_driver->DriverExtension.AddDevice(m_driver.get(), physicalDevice);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    return sendPnp(physicalDevice, IRP_MN_START_DEVICE);
}

NTSTATUS IoManager::sendPnp(DEVICE_OBJECT* physicalDevice, UCHAR minor) {
    if (physicalDevice->AttachedDevice == nullptr) {
        return STATUS_NO_SUCH_DEVICE;
    }
    IRP* irp = allocate(physicalDevice, IRP_MJ_PNP, minor, nullptr);
    return irp != nullptr ? call(physicalDevice, irp).status : STATUS_INSUFFICIENT_RESOURCES;
}

void IoManager::removeDevice(DEVICE_OBJECT* physicalDevice, bool surprise) {
    if (surprise) {
        sendPnp(physicalDevice, IRP_MN_SURPRISE_REMOVAL);
    }
    sendPnp(physicalDevice, IRP_MN_REMOVE_DEVICE);
}

NTSTATUS IoManager::setDevicePower(DEVICE_OBJECT* physicalDevice, DEVICE_POWER_STATE state) {
    if (physicalDevice->AttachedDevice == nullptr) {
        return STATUS_NO_SUCH_DEVICE;
    }
    IRP* irp = allocate(physicalDevice, IRP_MJ_POWER, IRP_MN_SET_POWER, nullptr);
    if (irp == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->Parameters.Power.Type = DevicePowerState;
    next->Parameters.Power.State = state;
    return call(physicalDevice, irp).status;
}

IoManager::Result IoManager::create(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file) {
    IRP* irp = allocate(physicalDevice, IRP_MJ_CREATE, 0, file);
    return irp != nullptr ? call(physicalDevice, irp) : Result{STATUS_INSUFFICIENT_RESOURCES, 0};
}

IoManager::Result IoManager::cleanupAndClose(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file) {
    IRP* irp = allocate(physicalDevice, IRP_MJ_CLEANUP, 0, file);
    if (irp != nullptr) {
        call(physicalDevice, irp);
    }
    irp = allocate(physicalDevice, IRP_MJ_CLOSE, 0, file);
    return irp != nullptr ? call(physicalDevice, irp) : Result{STATUS_INSUFFICIENT_RESOURCES, 0};
}

IoManager::Result IoManager::deviceControl(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file,
                                           ULONG code, const void* input, ULONG inputLength,
                                           void* output, ULONG outputLength) {
    IRP* irp = allocate(physicalDevice, IRP_MJ_DEVICE_CONTROL, 0, file);
    if (irp == nullptr) {
        return {STATUS_INSUFFICIENT_RESOURCES, 0};
    }
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->Parameters.DeviceIoControl.IoControlCode = code;
    next->Parameters.DeviceIoControl.InputBufferLength = inputLength;
    next->Parameters.DeviceIoControl.OutputBufferLength = outputLength;
    const ULONG method = code & 3;
    // The system buffer is the I/O manager's own copy of the input (and, buffered, the output).
    std::vector<std::uint8_t> system(method == 0 ? std::max(inputLength, outputLength)
                                                 : inputLength);
    if (inputLength > 0) {
        std::memcpy(system.data(), input, inputLength);
    }
    irp->AssociatedIrp.SystemBuffer = system.empty() ? nullptr : system.data();
    MDL mdl{output, outputLength};
    if ((method == 1 || method == 2) && outputLength > 0 && output != nullptr) {
        irp->MdlAddress = &mdl;
    }
    Result r = call(physicalDevice, irp);
    if (method == 0 && NT_SUCCESS(r.status) && output != nullptr) {
        r.information = std::min(r.information, outputLength);
        std::memcpy(output, system.data(), r.information);
    }
    return r;
}

IoManager::Result IoManager::read(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file, void* buffer,
                                  ULONG length) {
    IRP* irp = allocate(physicalDevice, IRP_MJ_READ, 0, file);
    if (irp == nullptr) {
        return {STATUS_INSUFFICIENT_RESOURCES, 0};
    }
    IoGetNextIrpStackLocation(irp)->Parameters.Read.Length = length;
    MDL mdl{buffer, length};
    irp->MdlAddress = length > 0 ? &mdl : nullptr;
    return call(physicalDevice, irp);
}

IoManager::Result IoManager::write(DEVICE_OBJECT* physicalDevice, FILE_OBJECT* file,
                                   const void* buffer, ULONG length) {
    IRP* irp = allocate(physicalDevice, IRP_MJ_WRITE, 0, file);
    if (irp == nullptr) {
        return {STATUS_INSUFFICIENT_RESOURCES, 0};
    }
    IoGetNextIrpStackLocation(irp)->Parameters.Write.Length = length;
    MDL mdl{const_cast<void*>(buffer), length};
    irp->MdlAddress = length > 0 ? &mdl : nullptr;
    return call(physicalDevice, irp);
}
