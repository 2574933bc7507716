#pragma once

// Stand-in for the device-interface enumeration of the setup API. A driver host publishes each
// enabled interface as a listening Unix socket in
//     <runtime dir>/interfaces/<interface class>/
// and the path of an interface is the path of its socket.

#include <string>
#include <vector>

namespace devio {

// $KORVANE_RUNTIME_DIR, else $XDG_RUNTIME_DIR/korvane, else /tmp/korvane-<uid>.
[[nodiscard]] std::string runtimeDirectory();

// The folder that holds the sockets of one interface class (a "{...}" string).
[[nodiscard]] std::string interfaceClassDirectory(const std::string& interfaceClass);

enum class EnumStatus { kOk, kNoMoreItems, kFailed };

// A snapshot of the present interfaces of one class, in a stable (name) order. Only sockets that
// accept a connection count as present, so a socket left behind by a host that died is not listed.
// A runtime folder that is not private to this user makes the set invalid: its sockets could be
// anyone's.
// Thread: any; each snapshot is used by one thread.
class DeviceInterfaceSet {
public:
    explicit DeviceInterfaceSet(const std::string& interfaceClass);

    [[nodiscard]] bool valid() const { return m_valid; }
    [[nodiscard]] EnumStatus enumInterface(unsigned index, std::string& path) const;
    // Why the set is not valid, e.g. a runtime folder that others could have planted sockets in.
    [[nodiscard]] const std::string& error() const { return m_error; }

private:
    bool m_valid = false;
    std::string m_error;
    std::vector<std::string> m_paths;
};

}  // namespace devio
