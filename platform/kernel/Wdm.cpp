#include "platform/kernel/Wdm.h"
#include "platform/kernel/KernelHost.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct KernelState {
    std::mutex mutex;
    std::function<void(const std::string&)> debugSink;
    std::map<std::string, std::map<std::string, KEY_VALUE_PARTIAL_INFORMATION>> registry;
    kernel::InterfaceHandler interfaceHandler;
    std::map<std::string, DEVICE_OBJECT*> interfaces;  // symbolic link -> physical device
    int interfaceCount = 0;
    std::map<PVOID, ULONG> poolBlocks;  // block -> tag
    int poolFailAfter = -1;
    std::vector<DEVICE_OBJECT*> devices;
};

KernelState& state() {
    static KernelState s;
    return s;
}

std::mutex g_cancelLock;

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

// ---- IRPs -----------------------------------------------------------------------------------

IO_STACK_LOCATION* IoGetCurrentIrpStackLocation(IRP* irp) {
    return &irp->stack[static_cast<std::size_t>(irp->CurrentLocation - 1)];
}

IO_STACK_LOCATION* IoGetNextIrpStackLocation(IRP* irp) {
    return &irp->stack[static_cast<std::size_t>(irp->CurrentLocation - 2)];
}

void IoSkipCurrentIrpStackLocation(IRP* irp) {
    ++irp->CurrentLocation;
}

void IoCopyCurrentIrpStackLocationToNext(IRP* irp) {
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    *next = *IoGetCurrentIrpStackLocation(irp);
    next->CompletionRoutine = nullptr;
    next->Context = nullptr;
    next->Control = 0;
}

void IoSetCompletionRoutine(IRP* irp, PIO_COMPLETION_ROUTINE routine, PVOID context,
                            bool invokeOnSuccess, bool invokeOnError, bool invokeOnCancel) {
    IO_STACK_LOCATION* next = IoGetNextIrpStackLocation(irp);
    next->CompletionRoutine = routine;
    next->Context = context;
    next->Control = static_cast<UCHAR>((invokeOnSuccess ? SL_INVOKE_ON_SUCCESS : 0) |
                                       (invokeOnError ? SL_INVOKE_ON_ERROR : 0) |
                                       (invokeOnCancel ? SL_INVOKE_ON_CANCEL : 0));
}

void IoMarkIrpPending(IRP* irp) {
    IoGetCurrentIrpStackLocation(irp)->Control |= SL_PENDING_RETURNED;
}

IRP* IoAllocateIrp(char stackSize, bool /*chargeQuota*/) {
    auto* irp = new (std::nothrow) IRP;
    if (irp == nullptr) {
        return nullptr;
    }
    irp->StackCount = stackSize;
    irp->CurrentLocation = static_cast<char>(stackSize + 1);
    irp->stack.resize(static_cast<std::size_t>(stackSize));
    return irp;
}

void IoFreeIrp(IRP* irp) {
    delete irp;
}

NTSTATUS IofCallDriver(DEVICE_OBJECT* device, IRP* irp) {
    --irp->CurrentLocation;
    if (irp->CurrentLocation <= 0) {
        // More drivers than stack locations: a bug in the caller, failed rather than crashed.
        irp->IoStatus.Status = STATUS_INVALID_PARAMETER;
        return STATUS_INVALID_PARAMETER;
    }
    IO_STACK_LOCATION* location = IoGetCurrentIrpStackLocation(irp);
    location->DeviceObject = device;
    PDRIVER_DISPATCH dispatch = device->DriverObject->MajorFunction[location->MajorFunction];
    if (dispatch == nullptr) {
        irp->IoStatus.Status = STATUS_INVALID_DEVICE_REQUEST;
        irp->IoStatus.Information = 0;
        IofCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_INVALID_DEVICE_REQUEST;
    }
    return dispatch(device, irp);
}

void IofCompleteRequest(IRP* irp, char /*priorityBoost*/) {
    irp->CancelRoutine.store(nullptr);
    // Walk up the stack: each location's completion routine belongs to the driver that set it
    // before passing the IRP down.
    while (irp->CurrentLocation <= irp->StackCount) {
        IO_STACK_LOCATION* location = IoGetCurrentIrpStackLocation(irp);
        irp->PendingReturned = (location->Control & SL_PENDING_RETURNED) != 0;
        const PIO_COMPLETION_ROUTINE routine = location->CompletionRoutine;
        const PVOID context = location->Context;
        const UCHAR control = location->Control;
        ++irp->CurrentLocation;
        DEVICE_OBJECT* upper = irp->CurrentLocation <= irp->StackCount
                                   ? IoGetCurrentIrpStackLocation(irp)->DeviceObject
                                   : nullptr;
        const NTSTATUS status = irp->IoStatus.Status;
        const bool invoke =
            routine != nullptr && ((NT_SUCCESS(status) && (control & SL_INVOKE_ON_SUCCESS) != 0) ||
                                   (!NT_SUCCESS(status) && (control & SL_INVOKE_ON_ERROR) != 0) ||
                                   (irp->Cancel.load() && (control & SL_INVOKE_ON_CANCEL) != 0));
        if (invoke) {
            if (routine(upper, irp, context) == STATUS_MORE_PROCESSING_REQUIRED) {
                return;
            }
        } else if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
            IoMarkIrpPending(irp);
        }
    }
    if (irp->onCompleted) {
        irp->onCompleted(irp);
    }
}

void IoAcquireCancelSpinLock(std::uint8_t* irql) {
    g_cancelLock.lock();
    *irql = 0;
}

void IoReleaseCancelSpinLock(std::uint8_t /*irql*/) {
    g_cancelLock.unlock();
}

PDRIVER_CANCEL IoSetCancelRoutine(IRP* irp, PDRIVER_CANCEL routine) {
    return irp->CancelRoutine.exchange(routine);
}

bool IoCancelIrp(IRP* irp) {
    std::uint8_t irql = 0;
    IoAcquireCancelSpinLock(&irql);
    irp->Cancel.store(true);
    const PDRIVER_CANCEL routine = irp->CancelRoutine.exchange(nullptr);
    if (routine == nullptr) {
        IoReleaseCancelSpinLock(irql);
        return false;
    }
    // The cancel routine releases the cancel lock, as in the kernel.
    routine(IoGetCurrentIrpStackLocation(irp)->DeviceObject, irp);
    return true;
}

// ---- Device objects --------------------------------------------------------------------------

NTSTATUS IoCreateDevice(DRIVER_OBJECT* driver, ULONG extensionSize, const std::string* name,
                        ULONG deviceType, ULONG characteristics, bool /*exclusive*/,
                        DEVICE_OBJECT** device) {
    auto* d = new (std::nothrow) DEVICE_OBJECT;
    if (d == nullptr) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    d->DriverObject = driver;
    d->DeviceType = deviceType;
    d->Characteristics = characteristics;
    d->Flags = DO_DEVICE_INITIALIZING;
    d->Name = name != nullptr ? *name : std::string();
    d->extensionStorage.resize((extensionSize + sizeof(std::max_align_t) - 1) /
                               sizeof(std::max_align_t));
    d->DeviceExtension = extensionSize > 0 ? d->extensionStorage.data() : nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        s.devices.push_back(d);
    }
    *device = d;
    return STATUS_SUCCESS;
}

void IoDeleteDevice(DEVICE_OBJECT* device) {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        std::erase(s.devices, device);
    }
    delete device;
}

DEVICE_OBJECT* IoGetAttachedDevice(DEVICE_OBJECT* device) {
    while (device->AttachedDevice != nullptr) {
        device = device->AttachedDevice;
    }
    return device;
}

DEVICE_OBJECT* IoAttachDeviceToDeviceStack(DEVICE_OBJECT* source, DEVICE_OBJECT* target) {
    DEVICE_OBJECT* top = IoGetAttachedDevice(target);
    top->AttachedDevice = source;
    source->StackSize = static_cast<char>(top->StackSize + 1);
    return top;
}

void IoDetachDevice(DEVICE_OBJECT* target) {
    target->AttachedDevice = nullptr;
}

NTSTATUS IoRegisterDeviceInterface(DEVICE_OBJECT* physicalDevice, const char* interfaceClass,
                                   const std::string* referenceString,
                                   std::string* symbolicLinkName) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::string link =
        "\\??\\USB#ADP4021#" + std::to_string(s.interfaceCount++) + "#" + interfaceClass;
    if (referenceString != nullptr && !referenceString->empty()) {
        link += "\\" + *referenceString;
    }
    s.interfaces[link] = physicalDevice;
    *symbolicLinkName = link;
    return STATUS_SUCCESS;
}

NTSTATUS IoSetDeviceInterfaceState(const std::string& symbolicLinkName, bool enable) {
    kernel::InterfaceHandler handler;
    DEVICE_OBJECT* pdo = nullptr;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        const auto it = s.interfaces.find(symbolicLinkName);
        if (it == s.interfaces.end()) {
            return STATUS_OBJECT_NAME_NOT_FOUND;
        }
        pdo = it->second;
        handler = s.interfaceHandler;
    }
    if (handler) {
        handler(symbolicLinkName, pdo, enable);
    }
    return STATUS_SUCCESS;
}

// ---- Power -----------------------------------------------------------------------------------

void PoStartNextPowerIrp(IRP* /*irp*/) {}

NTSTATUS PoCallDriver(DEVICE_OBJECT* device, IRP* irp) {
    return IofCallDriver(device, irp);
}

void PoSetPowerState(DEVICE_OBJECT* /*device*/, POWER_STATE_TYPE /*type*/, int /*state*/) {}

// ---- Pool ------------------------------------------------------------------------------------

PVOID ExAllocatePoolWithTag(POOL_TYPE /*type*/, std::size_t bytes, ULONG tag) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.poolFailAfter == 0) {
        return nullptr;
    }
    if (s.poolFailAfter > 0) {
        --s.poolFailAfter;
    }
    PVOID p = std::calloc(1, bytes == 0 ? 1 : bytes);
    if (p != nullptr) {
        s.poolBlocks[p] = tag;
    }
    return p;
}

void ExFreePool(PVOID p) {
    if (p == nullptr) {
        return;
    }
    auto& s = state();
    {
        std::lock_guard lock(s.mutex);
        s.poolBlocks.erase(p);
    }
    std::free(p);
}

// ---- Events ----------------------------------------------------------------------------------

void KeInitializeEvent(KEVENT* event, EVENT_TYPE type, bool signalled) {
    std::lock_guard lock(event->mutex);
    event->type = type;
    event->signalled = signalled;
}

void KeSetEvent(KEVENT* event, int /*increment*/, bool /*wait*/) {
    // Notified under the lock: a waiter that wakes may destroy the event at once, so nothing of it
    // may be touched after the lock is let go.
    std::lock_guard lock(event->mutex);
    event->signalled = true;
    event->cv.notify_all();
}

void KeClearEvent(KEVENT* event) {
    std::lock_guard lock(event->mutex);
    event->signalled = false;
}

NTSTATUS KeWaitForSingleObject(KEVENT* event, int, int, bool, const std::int64_t* timeout) {
    std::unique_lock lock(event->mutex);
    const auto ready = [event] { return event->signalled; };
    if (timeout == nullptr) {
        event->cv.wait(lock, ready);
    } else {
        // Relative time-outs only (negative, in 100 ns units), as the driver uses them.
        const auto wait = std::chrono::microseconds(*timeout < 0 ? -*timeout / 10 : 0);
        if (!event->cv.wait_for(lock, wait, ready)) {
            return STATUS_TIMEOUT;
        }
    }
    if (event->type == SynchronizationEvent) {
        event->signalled = false;
    }
    return STATUS_SUCCESS;
}

// ---- Registry --------------------------------------------------------------------------------

namespace {

struct OpenKey {
    std::string path;
};

}  // namespace

NTSTATUS ZwOpenKey(HANDLE* key, ULONG /*desiredAccess*/, const std::string& path,
                   ULONG /*attributes*/) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (s.registry.find(lower(path)) == s.registry.end()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    *key = new OpenKey{lower(path)};
    return STATUS_SUCCESS;
}

NTSTATUS ZwQueryValueKey(HANDLE key, const std::string& valueName,
                         KEY_VALUE_PARTIAL_INFORMATION* information, ULONG length,
                         ULONG* resultLength) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    const auto* open = static_cast<OpenKey*>(key);
    const auto k = s.registry.find(open->path);
    if (k == s.registry.end()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    const auto v = k->second.find(lower(valueName));
    if (v == k->second.end()) {
        return STATUS_OBJECT_NAME_NOT_FOUND;
    }
    const ULONG needed =
        static_cast<ULONG>(offsetof(KEY_VALUE_PARTIAL_INFORMATION, Data)) + v->second.DataLength;
    if (resultLength != nullptr) {
        *resultLength = needed;
    }
    if (length < needed) {
        return STATUS_BUFFER_TOO_SMALL;
    }
    *information = v->second;
    return STATUS_SUCCESS;
}

NTSTATUS ZwClose(HANDLE key) {
    delete static_cast<OpenKey*>(key);
    return STATUS_SUCCESS;
}

// ---- Debugger output ---------------------------------------------------------------------------

void DbgPrint(const char* format, ...) {
    va_list args;
    va_start(args, format);
    vDbgPrintEx(format, args);
    va_end(args);
}

void vDbgPrintEx(const char* format, va_list args) {
    char buffer[1024];
    std::vsnprintf(buffer, sizeof buffer, format, args);
    std::function<void(const std::string&)> sink;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        sink = s.debugSink;
    }
    if (sink) {
        sink(buffer);
    }
}

// ---- Host side -------------------------------------------------------------------------------

namespace kernel {

void setDebugSink(std::function<void(const std::string&)> sink) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.debugSink = std::move(sink);
}

void clearRegistry() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.registry.clear();
}

void setRegistryValue(const std::string& keyPath, const std::string& name, ULONG type,
                      std::vector<std::uint8_t> data) {
    KEY_VALUE_PARTIAL_INFORMATION v;
    v.Type = type;
    v.DataLength = static_cast<ULONG>(std::min(data.size(), sizeof v.Data));
    std::memcpy(v.Data, data.data(), v.DataLength);
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.registry[lower(keyPath)][lower(name)] = v;
}

namespace {

// The whole file, or false with `error`; never waits for a writer nor reads without end.
bool readRegistryText(const std::string& path, std::string& text, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    // One byte more than allowed tells a file that grew past the limit since fstat.
    text.resize(kMaxRegistryFileBytes + 1);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (got > kMaxRegistryFileBytes) {
        error = "cannot read " + path + ": larger than " +
                std::to_string(kMaxRegistryFileBytes / 1024) + " KiB";
        return false;
    }
    text.resize(got);
    return true;
}

}  // namespace

bool loadRegistryFile(const std::string& path, const std::string& rootKey, std::string& error) {
    std::string text;
    if (!readRegistryText(path, text, error)) {
        return false;
    }
    std::istringstream in(text);
    std::string line, key = rootKey;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        const auto where = path + ":" + std::to_string(number) + ": ";
        if (line.front() == '[') {
            if (line.back() != ']') {
                error = where + "a section must end with ']'";
                return false;
            }
            key = rootKey + "\\" + line.substr(1, line.size() - 2);
            // A section makes its key exist even with no values in it.
            auto& s = state();
            std::lock_guard lock(s.mutex);
            s.registry[lower(key)];
            continue;
        }
        const auto eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            error = where + "expected name=value";
            return false;
        }
        const std::string name = line.substr(0, eq);
        const std::string value = line.substr(eq + 1);
        std::vector<std::uint8_t> bytes;
        ULONG type = 0;
        if (value.rfind("dword:", 0) == 0 && value.size() == 14) {
            char* end = nullptr;
            const unsigned long v = std::strtoul(value.c_str() + 6, &end, 16);
            if (*end != '\0') {
                error = where + "a dword is eight hexadecimal digits";
                return false;
            }
            type = REG_DWORD;
            for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        } else if (value.rfind("hex:", 0) == 0) {
            type = REG_BINARY;
            std::size_t pos = 4;
            while (pos < value.size()) {
                char* end = nullptr;
                const unsigned long b = std::strtoul(value.c_str() + pos, &end, 16);
                const auto used = static_cast<std::size_t>(end - (value.c_str() + pos));
                if (used == 0 || used > 2 || b > 0xFF) {
                    error = where + "hex: takes bytes like 01,ff";
                    return false;
                }
                bytes.push_back(static_cast<std::uint8_t>(b));
                pos += used;
                if (pos < value.size() && value[pos] == ',') ++pos;
            }
        } else if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            type = REG_SZ;
            bytes.assign(value.begin() + 1, value.end() - 1);
            bytes.push_back(0);
        } else {
            error = where + "a value is dword:XXXXXXXX, hex:.. or \"text\"";
            return false;
        }
        setRegistryValue(key, name, type, std::move(bytes));
    }
    return true;
}

void setInterfaceHandler(InterfaceHandler handler) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.interfaceHandler = std::move(handler);
}

std::size_t poolOutstanding(ULONG tag) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return static_cast<std::size_t>(
        std::count_if(s.poolBlocks.begin(), s.poolBlocks.end(),
                      [tag](const auto& b) { return b.second == tag; }));
}

void failPoolAllocationsAfter(int after) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.poolFailAfter = after;
}

std::vector<std::string> deviceNames() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    std::vector<std::string> names;
    for (const DEVICE_OBJECT* d : s.devices) {
        if (!d->Name.empty()) names.push_back(d->Name);
    }
    return names;
}

}  // namespace kernel
