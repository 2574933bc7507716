#pragma once

// The least of the kernel that the ADP4021 driver needs, under the kernel's own names, so the
// driver reads as it would in the kernel: device objects and stacks, IRPs with stack locations and
// completion routines, cancellation, events with relative time-outs, pool with tags, device
// interfaces, power calls, registry values and a debugger output.
//
// Threads: every call may come from any thread. Dispatch routines run on the caller's thread (the
// driver host's connection threads, its PnP thread, or the USB bus's completion thread).

#include <atomic>
#include <cstdarg>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

using NTSTATUS = std::int32_t;
using ULONG = std::uint32_t;
using UCHAR = std::uint8_t;
using ULONG_PTR = std::uintptr_t;
using PVOID = void*;
using HANDLE = void*;

[[nodiscard]] constexpr bool NT_SUCCESS(NTSTATUS s) {
    return s >= 0;
}

inline constexpr NTSTATUS STATUS_SUCCESS = 0x00000000;
inline constexpr NTSTATUS STATUS_TIMEOUT = 0x00000102;
inline constexpr NTSTATUS STATUS_PENDING = 0x00000103;
inline constexpr NTSTATUS STATUS_MORE_PROCESSING_REQUIRED = static_cast<NTSTATUS>(0xC0000016);
inline constexpr NTSTATUS STATUS_UNSUCCESSFUL = static_cast<NTSTATUS>(0xC0000001);
inline constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = static_cast<NTSTATUS>(0xC0000002);
inline constexpr NTSTATUS STATUS_INVALID_PARAMETER = static_cast<NTSTATUS>(0xC000000D);
inline constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = static_cast<NTSTATUS>(0xC000000E);
inline constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = static_cast<NTSTATUS>(0xC0000010);
inline constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = static_cast<NTSTATUS>(0xC000009A);
inline constexpr NTSTATUS STATUS_NOT_SUPPORTED = static_cast<NTSTATUS>(0xC00000BB);
inline constexpr NTSTATUS STATUS_CANCELLED = static_cast<NTSTATUS>(0xC0000120);
inline constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS STATUS_DELETE_PENDING = static_cast<NTSTATUS>(0xC0000056);
inline constexpr NTSTATUS STATUS_DEVICE_NOT_CONNECTED = static_cast<NTSTATUS>(0xC000009D);
inline constexpr NTSTATUS STATUS_DEVICE_REMOVED = static_cast<NTSTATUS>(0xC00002B6);
inline constexpr NTSTATUS STATUS_BUFFER_TOO_SMALL = static_cast<NTSTATUS>(0xC0000023);

// Major functions.
inline constexpr UCHAR IRP_MJ_CREATE = 0x00;
inline constexpr UCHAR IRP_MJ_CLOSE = 0x02;
inline constexpr UCHAR IRP_MJ_READ = 0x03;
inline constexpr UCHAR IRP_MJ_WRITE = 0x04;
inline constexpr UCHAR IRP_MJ_DEVICE_CONTROL = 0x0E;
inline constexpr UCHAR IRP_MJ_INTERNAL_DEVICE_CONTROL = 0x0F;
inline constexpr UCHAR IRP_MJ_CLEANUP = 0x12;
inline constexpr UCHAR IRP_MJ_POWER = 0x16;
inline constexpr UCHAR IRP_MJ_SYSTEM_CONTROL = 0x17;
inline constexpr UCHAR IRP_MJ_PNP = 0x1B;
inline constexpr UCHAR IRP_MJ_MAXIMUM_FUNCTION = 0x1B;

// PnP and power minor functions.
inline constexpr UCHAR IRP_MN_START_DEVICE = 0x00;
inline constexpr UCHAR IRP_MN_QUERY_REMOVE_DEVICE = 0x01;
inline constexpr UCHAR IRP_MN_REMOVE_DEVICE = 0x02;
inline constexpr UCHAR IRP_MN_CANCEL_REMOVE_DEVICE = 0x03;
inline constexpr UCHAR IRP_MN_STOP_DEVICE = 0x04;
inline constexpr UCHAR IRP_MN_QUERY_STOP_DEVICE = 0x05;
inline constexpr UCHAR IRP_MN_CANCEL_STOP_DEVICE = 0x06;
inline constexpr UCHAR IRP_MN_SURPRISE_REMOVAL = 0x17;
inline constexpr UCHAR IRP_MN_SET_POWER = 0x02;
inline constexpr UCHAR IRP_MN_QUERY_POWER = 0x03;

inline constexpr ULONG FILE_DEVICE_UNKNOWN = 0x22;
inline constexpr ULONG DO_DIRECT_IO = 0x10;
inline constexpr ULONG DO_POWER_PAGABLE = 0x2000;
inline constexpr ULONG DO_DEVICE_INITIALIZING = 0x80;

inline constexpr UCHAR SL_PENDING_RETURNED = 0x01;
inline constexpr UCHAR SL_INVOKE_ON_SUCCESS = 0x40;
inline constexpr UCHAR SL_INVOKE_ON_ERROR = 0x80;
inline constexpr UCHAR SL_INVOKE_ON_CANCEL = 0x20;

enum POOL_TYPE { NonPagedPool = 0, PagedPool = 1 };
enum DEVICE_POWER_STATE {
    PowerDeviceUnspecified = 0,
    PowerDeviceD0,
    PowerDeviceD1,
    PowerDeviceD2,
    PowerDeviceD3
};
enum POWER_STATE_TYPE { SystemPowerState = 0, DevicePowerState = 1 };

struct DRIVER_OBJECT;
struct DEVICE_OBJECT;
struct IRP;

using PDRIVER_DISPATCH = NTSTATUS (*)(DEVICE_OBJECT*, IRP*);
using PDRIVER_ADD_DEVICE = NTSTATUS (*)(DRIVER_OBJECT*, DEVICE_OBJECT*);
using PDRIVER_UNLOAD = void (*)(DRIVER_OBJECT*);
using PIO_COMPLETION_ROUTINE = NTSTATUS (*)(DEVICE_OBJECT*, IRP*, PVOID);
using PDRIVER_CANCEL = void (*)(DEVICE_OBJECT*, IRP*);

struct DRIVER_EXTENSION {
    PDRIVER_ADD_DEVICE AddDevice = nullptr;
};

struct DRIVER_OBJECT {
    std::string DriverName;
    DRIVER_EXTENSION DriverExtension;
    PDRIVER_UNLOAD DriverUnload = nullptr;
    PDRIVER_DISPATCH MajorFunction[IRP_MJ_MAXIMUM_FUNCTION + 1] = {};
};

struct DEVICE_OBJECT {
    DRIVER_OBJECT* DriverObject = nullptr;
    DEVICE_OBJECT* AttachedDevice = nullptr;  // the device above in the stack
    ULONG Flags = 0;
    ULONG DeviceType = 0;
    ULONG Characteristics = 0;
    char StackSize = 1;
    std::string Name;
    PVOID DeviceExtension = nullptr;
    std::vector<std::max_align_t> extensionStorage;
};

struct FILE_OBJECT {
    std::string FileName;
};

// Memory descriptor: in this host a plain view of the caller's buffer.
struct MDL {
    PVOID buffer = nullptr;
    ULONG byteCount = 0;
};
[[nodiscard]] inline PVOID MmGetSystemAddressForMdlSafe(MDL* mdl, int /*priority*/) {
    return mdl != nullptr ? mdl->buffer : nullptr;
}
[[nodiscard]] inline ULONG MmGetMdlByteCount(const MDL* mdl) {
    return mdl->byteCount;
}
inline constexpr int NormalPagePriority = 16;

struct IO_STATUS_BLOCK {
    NTSTATUS Status = STATUS_SUCCESS;
    ULONG_PTR Information = 0;
};

struct IO_STACK_LOCATION {
    UCHAR MajorFunction = 0;
    UCHAR MinorFunction = 0;
    UCHAR Flags = 0;
    UCHAR Control = 0;
    struct {
        struct {
            ULONG OutputBufferLength;
            ULONG InputBufferLength;
            ULONG IoControlCode;
            PVOID Type3InputBuffer;
        } DeviceIoControl;
        struct {
            ULONG Length;
        } Read, Write;
        struct {
            PVOID Argument1;
        } Others;
        struct {
            POWER_STATE_TYPE Type;
            int State;
        } Power;
    } Parameters{};
    DEVICE_OBJECT* DeviceObject = nullptr;
    FILE_OBJECT* FileObject = nullptr;
    PIO_COMPLETION_ROUTINE CompletionRoutine = nullptr;
    PVOID Context = nullptr;
};

struct IRP {
    IO_STATUS_BLOCK IoStatus;
    MDL* MdlAddress = nullptr;
    struct {
        PVOID SystemBuffer = nullptr;
    } AssociatedIrp;
    bool PendingReturned = false;
    std::atomic<bool> Cancel{false};
    std::atomic<PDRIVER_CANCEL> CancelRoutine{nullptr};
    char StackCount = 0;
    char CurrentLocation = 0;
    std::vector<IO_STACK_LOCATION> stack;
    // Called when the IRP has been completed all the way up (the I/O manager's own completion).
    std::function<void(IRP*)> onCompleted;
    // Driver-private room (Tail.Overlay.DriverContext), used by the bus to keep track of it.
    PVOID DriverContext[4] = {};
};

[[nodiscard]] IO_STACK_LOCATION* IoGetCurrentIrpStackLocation(IRP* irp);
[[nodiscard]] IO_STACK_LOCATION* IoGetNextIrpStackLocation(IRP* irp);
void IoSkipCurrentIrpStackLocation(IRP* irp);
void IoCopyCurrentIrpStackLocationToNext(IRP* irp);
void IoSetCompletionRoutine(IRP* irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                            bool invokeOnSuccess, bool invokeOnError, bool invokeOnCancel);
void IoMarkIrpPending(IRP* irp);
[[nodiscard]] IRP* IoAllocateIrp(char stackSize, bool chargeQuota);
void IoFreeIrp(IRP* irp);
NTSTATUS IofCallDriver(DEVICE_OBJECT* device, IRP* irp);
inline NTSTATUS IoCallDriver(DEVICE_OBJECT* device, IRP* irp) {
    return IofCallDriver(device, irp);
}
void IofCompleteRequest(IRP* irp, char priorityBoost);
inline void IoCompleteRequest(IRP* irp, char priorityBoost) {
    IofCompleteRequest(irp, priorityBoost);
}
inline constexpr char IO_NO_INCREMENT = 0;
bool IoCancelIrp(IRP* irp);
PDRIVER_CANCEL IoSetCancelRoutine(IRP* irp, PDRIVER_CANCEL routine);
void IoAcquireCancelSpinLock(std::uint8_t* irql);
void IoReleaseCancelSpinLock(std::uint8_t irql);

NTSTATUS IoCreateDevice(DRIVER_OBJECT* driver, ULONG extensionSize, const std::string* name,
                        ULONG deviceType, ULONG characteristics, bool exclusive,
                        DEVICE_OBJECT** device);
void IoDeleteDevice(DEVICE_OBJECT* device);
DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target);
void IoDetachDevice(DEVICE_OBJECT* target);
// The device at the top of the stack that `device` belongs to.
[[nodiscard]] DEVICE_OBJECT* IoGetAttachedDevice(DEVICE_OBJECT* device);

// Device interfaces: the I/O manager hears of each state change through the handler it installs.
NTSTATUS IoRegisterDeviceInterface(DEVICE_OBJECT* physicalDevice, const char* interfaceClass,
                                   const std::string* referenceString,
                                   std::string* symbolicLinkName);
NTSTATUS IoSetDeviceInterfaceState(const std::string& symbolicLinkName, bool enable);

// Power.
void PoStartNextPowerIrp(IRP* irp);
NTSTATUS PoCallDriver(DEVICE_OBJECT* device, IRP* irp);
void PoSetPowerState(DEVICE_OBJECT* device, POWER_STATE_TYPE type, int state);

// Pool.
PVOID ExAllocatePoolWithTag(POOL_TYPE type, std::size_t bytes, ULONG tag);
void ExFreePool(PVOID p);

// Events.
enum EVENT_TYPE { NotificationEvent = 0, SynchronizationEvent = 1 };
struct KEVENT {
    std::mutex mutex;
    std::condition_variable cv;
    bool signalled = false;
    EVENT_TYPE type = NotificationEvent;
};
void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool state);
void KeSetEvent(KEVENT* event, int increment, bool wait);
void KeClearEvent(KEVENT* event);
// `timeout` in 100 ns units, negative for relative; null waits without limit.
NTSTATUS KeWaitForSingleObject(KEVENT* event, int reason, int mode, bool alertable,
                               const std::int64_t* timeout);
inline constexpr int Executive = 0;
inline constexpr int KernelMode = 0;

// Registry values of the driver's service key.
inline constexpr ULONG REG_SZ = 1;
inline constexpr ULONG REG_BINARY = 3;
inline constexpr ULONG REG_DWORD = 4;
inline constexpr ULONG KEY_READ = 0x20019;
inline constexpr ULONG OBJ_CASE_INSENSITIVE = 0x40;
struct KEY_VALUE_PARTIAL_INFORMATION {
    ULONG TitleIndex = 0;
    ULONG Type = 0;
    ULONG DataLength = 0;
    UCHAR Data[64] = {};
};
NTSTATUS ZwOpenKey(HANDLE* key, ULONG desiredAccess, const std::string& path, ULONG attributes);
NTSTATUS ZwQueryValueKey(HANDLE key, const std::string& valueName,
                         KEY_VALUE_PARTIAL_INFORMATION* information, ULONG length,
                         ULONG* resultLength);
NTSTATUS ZwClose(HANDLE key);

// Kernel debugger output.
void DbgPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void vDbgPrintEx(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
