#pragma once

// The host side of the kernel stand-in: where the debugger output goes, what the registry holds,
// who hears of device interfaces, and the pool's books (tests read them and can make the pool run
// dry).

#include "platform/kernel/Wdm.h"

#include <functional>
#include <string>
#include <vector>

namespace kernel {

void setDebugSink(std::function<void(const std::string&)> sink);

// Registry: values by key path (case-insensitive) and value name.
void clearRegistry();
void setRegistryValue(const std::string& keyPath, const std::string& name, ULONG type,
                      std::vector<std::uint8_t> data);
// Reads a registry file of [key path] sections with lines  name=dword:XXXXXXXX,
// name=hex:AA,BB,...  or  name="text". `error` says what was wrong with the file. Only a regular
// file of at most kMaxRegistryFileBytes is read: a FIFO would hold the host's start, a device
// never end.
inline constexpr std::size_t kMaxRegistryFileBytes = 64 * 1024;
[[nodiscard]] bool loadRegistryFile(const std::string& path, const std::string& rootKey,
                                    std::string& error);

// Called whenever a device interface is enabled or disabled.
using InterfaceHandler =
    std::function<void(const std::string& link, DEVICE_OBJECT* physicalDevice, bool enable)>;
void setInterfaceHandler(InterfaceHandler handler);

[[nodiscard]] std::size_t poolOutstanding(ULONG tag);
// The next `after` allocations succeed, the ones after them fail; -1 turns failures off.
void failPoolAllocationsAfter(int after);

[[nodiscard]] std::vector<std::string> deviceNames();

}  // namespace kernel
