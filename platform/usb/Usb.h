#pragma once

// The USB driver interface the driver submits to: descriptors, URBs and the helpers that build
// and parse configuration requests, under the USB stack's own names.

#include "platform/kernel/Wdm.h"

#include <cstdint>

inline constexpr ULONG IOCTL_INTERNAL_USB_SUBMIT_URB = 0x00220003;

inline constexpr UCHAR USB_DEVICE_DESCRIPTOR_TYPE = 0x01;
inline constexpr UCHAR USB_CONFIGURATION_DESCRIPTOR_TYPE = 0x02;
inline constexpr UCHAR USB_INTERFACE_DESCRIPTOR_TYPE = 0x04;
inline constexpr UCHAR USB_ENDPOINT_DESCRIPTOR_TYPE = 0x05;

#pragma pack(push, 1)
struct USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    std::uint16_t bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
};
struct USB_CONFIGURATION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    std::uint16_t wTotalLength;
    UCHAR bNumInterfaces;
    UCHAR bConfigurationValue;
    UCHAR iConfiguration;
    UCHAR bmAttributes;
    UCHAR MaxPower;
};
struct USB_INTERFACE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bInterfaceNumber;
    UCHAR bAlternateSetting;
    UCHAR bNumEndpoints;
    UCHAR bInterfaceClass;
    UCHAR bInterfaceSubClass;
    UCHAR bInterfaceProtocol;
    UCHAR iInterface;
};
struct USB_ENDPOINT_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bEndpointAddress;
    UCHAR bmAttributes;
    std::uint16_t wMaxPacketSize;
    UCHAR bInterval;
};
#pragma pack(pop)
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18 && sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9 &&
              sizeof(USB_INTERFACE_DESCRIPTOR) == 9 && sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);

using USBD_STATUS = std::int32_t;
inline constexpr USBD_STATUS USBD_STATUS_SUCCESS = 0;
inline constexpr USBD_STATUS USBD_STATUS_CANCELED = static_cast<USBD_STATUS>(0xC0010000);
inline constexpr USBD_STATUS USBD_STATUS_DEVICE_GONE = static_cast<USBD_STATUS>(0xC0007000);
inline constexpr USBD_STATUS USBD_STATUS_INVALID_PIPE_HANDLE = static_cast<USBD_STATUS>(0x80000600);
inline constexpr USBD_STATUS USBD_STATUS_REQUEST_FAILED = static_cast<USBD_STATUS>(0x80000500);
inline constexpr USBD_STATUS USBD_STATUS_STALL_PID = static_cast<USBD_STATUS>(0xC0000004);

inline constexpr std::uint16_t URB_FUNCTION_SELECT_CONFIGURATION = 0x0000;
inline constexpr std::uint16_t URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER = 0x0009;
inline constexpr std::uint16_t URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE = 0x000B;

inline constexpr ULONG USBD_TRANSFER_DIRECTION_IN = 0x1;
inline constexpr ULONG USBD_SHORT_TRANSFER_OK = 0x2;

// The size the bulk-or-interrupt request announces in its header.
inline constexpr std::uint16_t kBulkTransferUrbSize = 72;

using USBD_PIPE_HANDLE = void*;
using USBD_CONFIGURATION_HANDLE = void*;
using USBD_INTERFACE_HANDLE = void*;

enum USBD_PIPE_TYPE {
    UsbdPipeTypeControl,
    UsbdPipeTypeIsochronous,
    UsbdPipeTypeBulk,
    UsbdPipeTypeInterrupt
};

struct USBD_PIPE_INFORMATION {
    std::uint16_t MaximumPacketSize = 0;
    UCHAR EndpointAddress = 0;
    UCHAR Interval = 0;
    USBD_PIPE_TYPE PipeType = UsbdPipeTypeBulk;
    USBD_PIPE_HANDLE PipeHandle = nullptr;
    ULONG MaximumTransferSize = 0;
    ULONG PipeFlags = 0;
};

inline constexpr int kMaxPipesPerInterface = 16;

struct USBD_INTERFACE_INFORMATION {
    std::uint16_t Length = 0;
    UCHAR InterfaceNumber = 0;
    UCHAR AlternateSetting = 0;
    UCHAR Class = 0;
    UCHAR SubClass = 0;
    UCHAR Protocol = 0;
    USBD_INTERFACE_HANDLE InterfaceHandle = nullptr;
    ULONG NumberOfPipes = 0;
    USBD_PIPE_INFORMATION Pipes[kMaxPipesPerInterface];
};

struct USBD_INTERFACE_LIST_ENTRY {
    const USB_INTERFACE_DESCRIPTOR* InterfaceDescriptor = nullptr;
    USBD_INTERFACE_INFORMATION* Interface = nullptr;
};

struct URB_HEADER {
    std::uint16_t Length = 0;
    std::uint16_t Function = 0;
    USBD_STATUS Status = USBD_STATUS_SUCCESS;
};

struct URB_SELECT_CONFIGURATION {
    URB_HEADER Hdr;
    const USB_CONFIGURATION_DESCRIPTOR* ConfigurationDescriptor = nullptr;
    USBD_CONFIGURATION_HANDLE ConfigurationHandle = nullptr;
    ULONG NumberOfInterfaces = 0;
    USBD_INTERFACE_INFORMATION Interface[4];
};

struct URB_BULK_OR_INTERRUPT_TRANSFER {
    URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle = nullptr;
    ULONG TransferFlags = 0;
    ULONG TransferBufferLength = 0;
    PVOID TransferBuffer = nullptr;
    MDL* TransferBufferMDL = nullptr;
};

struct URB_CONTROL_DESCRIPTOR_REQUEST {
    URB_HEADER Hdr;
    ULONG TransferBufferLength = 0;
    PVOID TransferBuffer = nullptr;
    UCHAR Index = 0;
    UCHAR DescriptorType = 0;
    std::uint16_t LanguageId = 0;
};

union URB {
    URB() : UrbHeader() {}
    URB_HEADER UrbHeader;
    URB_SELECT_CONFIGURATION UrbSelectConfiguration;
    URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
    URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
};

// Finds the interface descriptor of `interfaceNumber`/`alternateSetting` (-1 matches any) in a
// configuration descriptor, looking only within its first `totalLength` bytes.
const USB_INTERFACE_DESCRIPTOR* USBD_ParseConfigurationDescriptorEx(
    const USB_CONFIGURATION_DESCRIPTOR* configuration, const void* startPosition,
    std::size_t totalLength, int interfaceNumber, int alternateSetting, int interfaceClass,
    int interfaceSubClass, int interfaceProtocol);

// A select-configuration request for the listed interfaces, from pool (tag "USBD"); each list
// entry's Interface points into the request afterwards. Null when the pool is dry.
URB* USBD_CreateConfigurationRequestEx(const USB_CONFIGURATION_DESCRIPTOR* configuration,
                                       USBD_INTERFACE_LIST_ENTRY* interfaceList);

void UsbBuildGetDescriptorRequest(URB* urb, std::uint16_t length, UCHAR descriptorType, UCHAR index,
                                  std::uint16_t languageId, PVOID transferBuffer,
                                  ULONG transferBufferLength);
void UsbBuildSelectConfigurationRequest(URB* urb, std::uint16_t length,
                                        const USB_CONFIGURATION_DESCRIPTOR* configuration);
void UsbBuildInterruptOrBulkTransferRequest(URB* urb, std::uint16_t length, USBD_PIPE_HANDLE pipe,
                                            PVOID transferBuffer, MDL* transferBufferMdl,
                                            ULONG transferBufferLength, ULONG transferFlags);
