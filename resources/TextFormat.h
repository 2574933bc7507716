#pragma once

// printf-style formatting into a std::string, for the system's own cell and message formats.

#include <cstdarg>
#include <cstdio>
#include <string>

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
inline std::string
strprintf(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) {
        return {};
    }
    if (static_cast<std::size_t>(n) < sizeof buffer) {
        return std::string(buffer, static_cast<std::size_t>(n));
    }
    std::string out(static_cast<std::size_t>(n), '\0');
    va_start(args, format);
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    va_end(args);
    return out;
}
