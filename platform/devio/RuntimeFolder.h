#pragma once

// The runtime folder holds the device sockets, the host's lock and the program's instance lock.
// Anyone who could place a file there could pose as the host or the program, so a folder is used
// only when it is a real directory (not a symlink) owned by this user, with no access for group or
// others. Where it is missing it is made so.
//
// Thread: any.

#include <string>

namespace devio {

// Checks one existing folder; false with a readable `error` when it may not be trusted.
[[nodiscard]] bool isPrivateDirectory(const std::string& path, std::string& error);

// Makes `path` (mode 0700) where it is missing, parents included, and then checks it. Missing
// parents are made 0700 too; existing parents are not judged, they may well be /tmp.
[[nodiscard]] bool ensurePrivateDirectory(const std::string& path, std::string& error);

// Checks `path` and each folder below it down to `leaf` (which must lie inside it). Folders that
// do not exist are fine when `missingOk`; the first one that exists and is not private fails.
[[nodiscard]] bool checkPrivateChain(const std::string& root, const std::string& leaf,
                                     bool missingOk, std::string& error);

}  // namespace devio
