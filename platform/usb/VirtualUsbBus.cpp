#include "platform/usb/VirtualUsbBus.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uintptr_t kPipeHandleBase = 0xB000;

USBD_PIPE_HANDLE pipeHandleFor(UCHAR endpoint) {
    return reinterpret_cast<USBD_PIPE_HANDLE>(kPipeHandleBase | endpoint);
}

NTSTATUS toNtStatus(USBD_STATUS status) {
    switch (status) {
        case USBD_STATUS_SUCCESS:
            return STATUS_SUCCESS;
        case USBD_STATUS_CANCELED:
            return STATUS_CANCELLED;
        case USBD_STATUS_DEVICE_GONE:
            return STATUS_DEVICE_NOT_CONNECTED;
        default:
            return STATUS_UNSUCCESSFUL;
    }
}

}  // namespace

UsbTransfer::UsbTransfer(UCHAR endpoint, bool in, bool shortOk, std::uint8_t* buffer, ULONG length,
                         std::function<void(USBD_STATUS, ULONG)> onDone)
    : m_endpoint(endpoint),
      m_in(in),
      m_shortOk(shortOk),
      m_buffer(buffer),
      m_length(length),
      m_onDone(std::move(onDone)) {}

bool UsbTransfer::complete(USBD_STATUS status, std::span<const std::uint8_t> inData) {
    ULONG actual = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_ended) {
            return false;
        }
        m_ended = true;
        if (status == USBD_STATUS_SUCCESS) {
            if (m_in) {
                actual = static_cast<ULONG>(std::min<std::size_t>(inData.size(), m_length));
                if (actual > 0) {
                    std::memcpy(m_buffer, inData.data(), actual);
                }
                if (actual < m_length && !m_shortOk) {
                    status = USBD_STATUS_REQUEST_FAILED;
                }
            } else {
                actual = m_length;
            }
        }
    }
    m_onDone(status, actual);
    return true;
}

bool UsbTransfer::ended() const {
    std::lock_guard lock(m_mutex);
    return m_ended;
}

struct VirtualUsbBus::Port {
    UsbDeviceFunction* function = nullptr;
    std::mutex mutex;
    bool present = true;
    UCHAR configuration = 0;
    std::vector<UCHAR> endpoints;  // of the active configuration
    std::map<IRP*, std::shared_ptr<UsbTransfer>> pending;
};

VirtualUsbBus::VirtualUsbBus() {
    m_driver.DriverName = "\\Driver\\VirtualUsbBus";
    for (auto& f : m_driver.MajorFunction) {
        f = &VirtualUsbBus::dispatchSucceed;
    }
    m_driver.MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL] =
        &VirtualUsbBus::dispatchInternalControl;
}

VirtualUsbBus::~VirtualUsbBus() = default;

VirtualUsbBus::Port* VirtualUsbBus::portOf(DEVICE_OBJECT* device) {
    return *static_cast<Port**>(device->DeviceExtension);
}

DEVICE_OBJECT* VirtualUsbBus::plug(UsbDeviceFunction& function) {
    DEVICE_OBJECT* pdo = nullptr;
    // The device extension holds the pointer to the port.
    if (!NT_SUCCESS(IoCreateDevice(&m_driver, sizeof(Port*),  // NOLINT(bugprone-sizeof-expression)
                                   nullptr, FILE_DEVICE_UNKNOWN, 0, false, &pdo))) {
        return nullptr;
    }
    auto* port = new Port;
    port->function = &function;
    *static_cast<Port**>(pdo->DeviceExtension) = port;
    pdo->Flags &= ~DO_DEVICE_INITIALIZING;
    return pdo;
}

void VirtualUsbBus::unplug(DEVICE_OBJECT* physicalDevice) {
    Port* port = portOf(physicalDevice);
    {
        std::lock_guard lock(port->mutex);
        port->present = false;
        port->endpoints.clear();
    }
    port->function->detach();
}

void VirtualUsbBus::deleteDevice(DEVICE_OBJECT* physicalDevice) {
    delete portOf(physicalDevice);
    IoDeleteDevice(physicalDevice);
}

NTSTATUS VirtualUsbBus::dispatchSucceed(DEVICE_OBJECT*, IRP* irp) {
    // PnP, power and everything else a bus driver would simply accept for this device.
    const NTSTATUS status =
        irp->IoStatus.Status == STATUS_NOT_SUPPORTED ? STATUS_SUCCESS : irp->IoStatus.Status;
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

void VirtualUsbBus::cancelTransfer(DEVICE_OBJECT* device, IRP* irp) {
    IoReleaseCancelSpinLock(0);
    Port* port = portOf(device);
    std::shared_ptr<UsbTransfer> transfer;
    {
        std::lock_guard lock(port->mutex);
        const auto it = port->pending.find(irp);
        if (it != port->pending.end()) {
            transfer = it->second;
        }
    }
    if (transfer) {
        transfer->complete(USBD_STATUS_CANCELED);
    }
}

NTSTATUS VirtualUsbBus::dispatchInternalControl(DEVICE_OBJECT* device, IRP* irp) {
    Port* port = portOf(device);
    IO_STACK_LOCATION* location = IoGetCurrentIrpStackLocation(irp);
    const auto finish = [irp](NTSTATUS status) {
        irp->IoStatus.Status = status;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    };
    if (location->Parameters.DeviceIoControl.IoControlCode != IOCTL_INTERNAL_USB_SUBMIT_URB ||
        location->Parameters.Others.Argument1 == nullptr) {
        return finish(STATUS_INVALID_PARAMETER);
    }
    URB* urb = static_cast<URB*>(location->Parameters.Others.Argument1);
    std::unique_lock lock(port->mutex);
    if (!port->present) {
        urb->UrbHeader.Status = USBD_STATUS_DEVICE_GONE;
        lock.unlock();
        return finish(STATUS_DEVICE_NOT_CONNECTED);
    }
    switch (urb->UrbHeader.Function) {
        case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE: {
            auto& r = urb->UrbControlDescriptorRequest;
            lock.unlock();
            const auto bytes = port->function->descriptor(r.DescriptorType, r.Index);
            if (bytes.empty()) {
                r.Hdr.Status = USBD_STATUS_STALL_PID;
                r.TransferBufferLength = 0;
                return finish(STATUS_UNSUCCESSFUL);
            }
            const ULONG n =
                std::min<ULONG>(r.TransferBufferLength, static_cast<ULONG>(bytes.size()));
            std::memcpy(r.TransferBuffer, bytes.data(), n);
            r.TransferBufferLength = n;
            r.Hdr.Status = USBD_STATUS_SUCCESS;
            return finish(STATUS_SUCCESS);
        }
        case URB_FUNCTION_SELECT_CONFIGURATION: {
            auto& r = urb->UrbSelectConfiguration;
            const UCHAR value = r.ConfigurationDescriptor != nullptr
                                    ? r.ConfigurationDescriptor->bConfigurationValue
                                    : 0;
            lock.unlock();
            if (!port->function->selectConfiguration(value)) {
                r.Hdr.Status = USBD_STATUS_REQUEST_FAILED;
                return finish(STATUS_UNSUCCESSFUL);
            }
            std::vector<UCHAR> endpoints;
            if (value != 0) {
                // Describe the pipes of each requested interface from the device's own bytes.
                const auto config =
                    port->function->descriptor(USB_CONFIGURATION_DESCRIPTOR_TYPE, 0);
                const auto* cd =
                    reinterpret_cast<const USB_CONFIGURATION_DESCRIPTOR*>(config.data());
                for (ULONG i = 0; i < r.NumberOfInterfaces; ++i) {
                    USBD_INTERFACE_INFORMATION& info = r.Interface[i];
                    const auto* id = config.size() >= sizeof *cd
                                         ? USBD_ParseConfigurationDescriptorEx(
                                               cd, cd, config.size(), info.InterfaceNumber,
                                               info.AlternateSetting, -1, -1, -1)
                                         : nullptr;
                    if (id == nullptr) {
                        r.Hdr.Status = USBD_STATUS_REQUEST_FAILED;
                        return finish(STATUS_UNSUCCESSFUL);
                    }
                    info.Class = id->bInterfaceClass;
                    info.SubClass = id->bInterfaceSubClass;
                    info.Protocol = id->bInterfaceProtocol;
                    info.InterfaceHandle = const_cast<USB_INTERFACE_DESCRIPTOR*>(id);
                    const auto* p = reinterpret_cast<const UCHAR*>(id) + id->bLength;
                    const auto* end = config.data() + config.size();
                    ULONG pipes = 0;
                    while (p + 2 <= end && p[0] >= 2 && p + p[0] <= end &&
                           p[1] != USB_INTERFACE_DESCRIPTOR_TYPE && pipes < kMaxPipesPerInterface) {
                        if (p[1] == USB_ENDPOINT_DESCRIPTOR_TYPE &&
                            p[0] >= sizeof(USB_ENDPOINT_DESCRIPTOR)) {
                            const auto* ed = reinterpret_cast<const USB_ENDPOINT_DESCRIPTOR*>(p);
                            USBD_PIPE_INFORMATION& pipe = info.Pipes[pipes++];
                            pipe.EndpointAddress = ed->bEndpointAddress;
                            pipe.MaximumPacketSize = ed->wMaxPacketSize;
                            pipe.Interval = ed->bInterval;
                            pipe.PipeType = (ed->bmAttributes & 3) == 3 ? UsbdPipeTypeInterrupt
                                                                        : UsbdPipeTypeBulk;
                            pipe.PipeHandle = pipeHandleFor(ed->bEndpointAddress);
                            pipe.MaximumTransferSize = 4096;
                            endpoints.push_back(ed->bEndpointAddress);
                        }
                        p += p[0];
                    }
                    info.NumberOfPipes = pipes;
                }
                r.ConfigurationHandle =
                    reinterpret_cast<USBD_CONFIGURATION_HANDLE>(static_cast<std::uintptr_t>(value));
            }
            lock.lock();
            port->configuration = value;
            port->endpoints = std::move(endpoints);
            lock.unlock();
            r.Hdr.Status = USBD_STATUS_SUCCESS;
            return finish(STATUS_SUCCESS);
        }
        case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: {
            auto& r = urb->UrbBulkOrInterruptTransfer;
            const auto handle = reinterpret_cast<std::uintptr_t>(r.PipeHandle);
            const auto endpoint = static_cast<UCHAR>(handle & 0xFF);
            if ((handle & ~std::uintptr_t{0xFF}) != kPipeHandleBase ||
                std::find(port->endpoints.begin(), port->endpoints.end(), endpoint) ==
                    port->endpoints.end()) {
                r.Hdr.Status = USBD_STATUS_INVALID_PIPE_HANDLE;
                r.TransferBufferLength = 0;
                lock.unlock();
                return finish(STATUS_INVALID_PARAMETER);
            }
            auto* buffer = static_cast<std::uint8_t*>(
                r.TransferBuffer != nullptr
                    ? r.TransferBuffer
                    : MmGetSystemAddressForMdlSafe(r.TransferBufferMDL, NormalPagePriority));
            const bool in = (r.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
            auto transfer = std::make_shared<UsbTransfer>(
                endpoint, in, (r.TransferFlags & USBD_SHORT_TRANSFER_OK) != 0, buffer,
                buffer != nullptr ? r.TransferBufferLength : 0,
                [port, irp, urb](USBD_STATUS status, ULONG actual) {
                    {
                        std::lock_guard done(port->mutex);
                        port->pending.erase(irp);
                    }
                    IoSetCancelRoutine(irp, nullptr);
                    urb->UrbBulkOrInterruptTransfer.Hdr.Status = status;
                    urb->UrbBulkOrInterruptTransfer.TransferBufferLength = actual;
                    irp->IoStatus.Status = toNtStatus(status);
                    irp->IoStatus.Information = 0;
                    IoCompleteRequest(irp, IO_NO_INCREMENT);
                });
            port->pending[irp] = transfer;
            IoMarkIrpPending(irp);
            IoSetCancelRoutine(irp, &VirtualUsbBus::cancelTransfer);
            lock.unlock();
            if (irp->Cancel.load() && IoSetCancelRoutine(irp, nullptr) != nullptr) {
                transfer->complete(USBD_STATUS_CANCELED);
            } else {
                port->function->submit(transfer);
            }
            return STATUS_PENDING;
        }
        default:
            lock.unlock();
            urb->UrbHeader.Status = USBD_STATUS_REQUEST_FAILED;
            return finish(STATUS_NOT_SUPPORTED);
    }
}
