#include "resources/StringTable.h"

#include <algorithm>
#include <iterator>

namespace strings {

namespace {

struct Entry {
    std::uint32_t id;
    const char* text;
};

// Sorted by id.
constexpr Entry kTable[] = {
    {kDeviceError,
     "Device error,\n\nPlease check:\n1-The connection of the device.\n2-The configuration of "
     "the device."},
    {kCannotRunDevice, "Can't make the device run ,\nPlease try it again."},
    {kStopDeviceFirst, "Please stop the device first."},
    {kOutOfMemoryCaptureStopped,
     "Out of memory: capturing has stopped.\nThe frames captured so far are kept; save them, "
     "then clear the list to capture again."},
};

}  // namespace

const char* loadString(std::uint32_t id) {
    const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                     [](const Entry& e, std::uint32_t v) { return e.id < v; });
    return it != std::end(kTable) && it->id == id ? it->text : "";
}

}  // namespace strings
