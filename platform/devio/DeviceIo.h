#pragma once

// Stand-ins for CreateFileA, DeviceIoControl, ReadFile, WriteFile and CloseHandle on device
// interface paths. A handle is one connection to the driver host (see DevioProtocol.h).
//
// Thread: any. Requests on one handle are serialized; requests on different handles run side by
// side. CloseHandle from another thread makes a request in flight on that handle fail at once.

#include <cstdint>

namespace devio {

using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t{0});

// `fileName` is an interface path with a "\NAME" suffix; the suffix travels to the driver as the
// file name. The access, share and creation arguments of the original call are implied (read and
// write, shared, open-existing).
[[nodiscard]] HANDLE CreateFileA(const char* fileName);

bool DeviceIoControl(HANDLE device, std::uint32_t controlCode, const void* inBuffer,
                     std::uint32_t inSize, void* outBuffer, std::uint32_t outSize,
                     std::uint32_t* bytesReturned);
bool ReadFile(HANDLE file, void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesRead);
bool WriteFile(HANDLE file, const void* buffer, std::uint32_t bytesToWrite,
               std::uint32_t* bytesWritten);
bool CloseHandle(HANDLE object);

// The NTSTATUS of this thread's last completed request, or a devio failure code when the request
// never got an answer (kStatusDeviceRemoved for a dead connection).
[[nodiscard]] std::uint32_t lastStatus();

// How long a request waits for its answer to begin. A pending read legitimately waits, so the bound
// is generous; it only keeps a wedged host from hanging the caller for ever.
void setAnswerTimeoutMs(int ms);

// While one lives on a thread, every request of that thread (connecting included) shares a single
// deadline, the answer time-out from the moment it was made: a call made of several requests
// waits no longer in all than one request would. Nested ones keep the outer deadline.
class CallDeadline {
public:
    CallDeadline();
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

private:
    bool m_outer;
};

// What is left of this thread's deadline, or the whole answer time-out without one.
[[nodiscard]] int callTimeLeftMs();

}  // namespace devio
