#pragma once

#include <string>

namespace devio {

// Connects a stream socket to `path` within `timeoutMs` (a host whose queue of waiting connections
// is full cannot hold the caller); -1 on failure (including a path too long for a socket), with
// errno EAGAIN when the time ran out.
[[nodiscard]] int connectUnixSocket(const std::string& path, int timeoutMs = 1000);

// Creates a listening socket at `path` with mode 0600, replacing a stale socket file; -1 on
// failure. A socket at `path` that still accepts connections is left alone (errno EADDRINUSE).
[[nodiscard]] int listenUnixSocket(const std::string& path);

}  // namespace devio
