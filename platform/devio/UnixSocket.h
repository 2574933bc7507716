#pragma once

#include <string>

namespace devio {

// Connects a stream socket to `path`; -1 on failure (including a path too long for a socket).
[[nodiscard]] int connectUnixSocket(const std::string& path);

// Creates a listening socket at `path` with mode 0600, replacing a stale socket file; -1 on
// failure.
[[nodiscard]] int listenUnixSocket(const std::string& path);

}  // namespace devio
