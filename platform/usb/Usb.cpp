#include "platform/usb/Usb.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <new>

namespace {

constexpr ULONG kUsbdTag = 0x44425355;  // "USBD"

}  // namespace

const USB_INTERFACE_DESCRIPTOR* USBD_ParseConfigurationDescriptorEx(
    const USB_CONFIGURATION_DESCRIPTOR* configuration, const void* startPosition,
    std::size_t totalLength, int interfaceNumber, int alternateSetting, int interfaceClass,
    int interfaceSubClass, int interfaceProtocol) {
    const auto* base = reinterpret_cast<const UCHAR*>(configuration);
    const auto* p = static_cast<const UCHAR*>(startPosition);
    const UCHAR* end = base + totalLength;
    // Every descriptor is walked by its own length and never beyond the bytes there are.
    while (p + 2 <= end) {
        const UCHAR length = p[0];
        if (length < 2 || p + length > end) {
            return nullptr;
        }
        if (p[1] == USB_INTERFACE_DESCRIPTOR_TYPE && length >= sizeof(USB_INTERFACE_DESCRIPTOR)) {
            const auto* d = reinterpret_cast<const USB_INTERFACE_DESCRIPTOR*>(p);
            if ((interfaceNumber == -1 || d->bInterfaceNumber == interfaceNumber) &&
                (alternateSetting == -1 || d->bAlternateSetting == alternateSetting) &&
                (interfaceClass == -1 || d->bInterfaceClass == interfaceClass) &&
                (interfaceSubClass == -1 || d->bInterfaceSubClass == interfaceSubClass) &&
                (interfaceProtocol == -1 || d->bInterfaceProtocol == interfaceProtocol)) {
                return d;
            }
        }
        p += length;
    }
    return nullptr;
}

URB* USBD_CreateConfigurationRequestEx(const USB_CONFIGURATION_DESCRIPTOR* configuration,
                                       USBD_INTERFACE_LIST_ENTRY* interfaceList) {
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(URB), kUsbdTag);
    if (memory == nullptr) {
        return nullptr;
    }
    URB* urb = new (memory) URB;
    UsbBuildSelectConfigurationRequest(urb, sizeof(URB_SELECT_CONFIGURATION), configuration);
    auto& select = urb->UrbSelectConfiguration;
    ULONG n = 0;
    for (USBD_INTERFACE_LIST_ENTRY* e = interfaceList; e->InterfaceDescriptor != nullptr; ++e) {
        if (n == std::size(select.Interface)) {
            break;
        }
        USBD_INTERFACE_INFORMATION& info = select.Interface[n++];
        info.Length = sizeof(USBD_INTERFACE_INFORMATION);
        info.InterfaceNumber = e->InterfaceDescriptor->bInterfaceNumber;
        info.AlternateSetting = e->InterfaceDescriptor->bAlternateSetting;
        info.NumberOfPipes =
            std::min<ULONG>(e->InterfaceDescriptor->bNumEndpoints, kMaxPipesPerInterface);
        e->Interface = &info;
    }
    select.NumberOfInterfaces = n;
    return urb;
}

void UsbBuildGetDescriptorRequest(URB* urb, std::uint16_t length, UCHAR descriptorType, UCHAR index,
                                  std::uint16_t languageId, PVOID transferBuffer,
                                  ULONG transferBufferLength) {
    auto& r = urb->UrbControlDescriptorRequest;
    r = URB_CONTROL_DESCRIPTOR_REQUEST{};
    r.Hdr.Length = length;
    r.Hdr.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
    r.DescriptorType = descriptorType;
    r.Index = index;
    r.LanguageId = languageId;
    r.TransferBuffer = transferBuffer;
    r.TransferBufferLength = transferBufferLength;
}

void UsbBuildSelectConfigurationRequest(URB* urb, std::uint16_t length,
                                        const USB_CONFIGURATION_DESCRIPTOR* configuration) {
    auto& r = urb->UrbSelectConfiguration;
    r = URB_SELECT_CONFIGURATION{};
    r.Hdr.Length = length;
    r.Hdr.Function = URB_FUNCTION_SELECT_CONFIGURATION;
    r.ConfigurationDescriptor = configuration;
}

void UsbBuildInterruptOrBulkTransferRequest(URB* urb, std::uint16_t length, USBD_PIPE_HANDLE pipe,
                                            PVOID transferBuffer, MDL* transferBufferMdl,
                                            ULONG transferBufferLength, ULONG transferFlags) {
    auto& r = urb->UrbBulkOrInterruptTransfer;
    r = URB_BULK_OR_INTERRUPT_TRANSFER{};
    r.Hdr.Length = length;
    r.Hdr.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    r.PipeHandle = pipe;
    r.TransferBuffer = transferBuffer;
    r.TransferBufferMDL = transferBufferMdl;
    r.TransferBufferLength = transferBufferLength;
    r.TransferFlags = transferFlags;
}
