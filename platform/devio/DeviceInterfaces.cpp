#include "platform/devio/DeviceInterfaces.h"

#include "platform/devio/DeviceIo.h"
#include "platform/devio/RuntimeFolder.h"
#include "platform/devio/UnixSocket.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace devio {

std::string runtimeDirectory() {
    if (const char* dir = std::getenv("KORVANE_RUNTIME_DIR"); dir != nullptr && *dir != '\0') {
        return dir;
    }
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg != nullptr && *xdg != '\0') {
        return std::string(xdg) + "/korvane";
    }
    return "/tmp/korvane-" + std::to_string(::getuid());
}

std::string interfaceClassDirectory(const std::string& interfaceClass) {
    return runtimeDirectory() + "/interfaces/" + interfaceClass;
}

DeviceInterfaceSet::DeviceInterfaceSet(const std::string& interfaceClass) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path dir = interfaceClassDirectory(interfaceClass);
    if (!checkPrivateChain(runtimeDirectory(), dir.string(), true, m_error)) {
        return;
    }
    fs::directory_iterator it(dir, ec);
    if (ec) {
        // No folder means no device has ever been published: an empty, valid set.
        m_valid = ec == std::errc::no_such_file_or_directory;
        return;
    }
    for (const auto& entry : it) {
        // A ".new" socket is one the host is still putting in place.
        if (entry.is_socket(ec) && entry.path().extension() != ".new") {
            m_paths.push_back(entry.path().string());
        }
    }
    std::sort(m_paths.begin(), m_paths.end());
    std::erase_if(m_paths, [](const std::string& path) {
        const int fd = connectUnixSocket(path, std::min(callTimeLeftMs(), 1000));
        if (fd < 0) {
            return true;
        }
        ::close(fd);
        return false;
    });
    m_valid = true;
}

EnumStatus DeviceInterfaceSet::enumInterface(unsigned index, std::string& path) const {
    if (!m_valid) {
        return EnumStatus::kFailed;
    }
    if (index >= m_paths.size()) {
        return EnumStatus::kNoMoreItems;
    }
    path = m_paths[index];
    return EnumStatus::kOk;
}

}  // namespace devio
