#pragma once

// The layout of a BLF file, as its reader and writer share it. All numbers are little-endian.
//
// The file: a header ("LOGG", its size, ..., the measurement's start and stop as calendar
// times), then objects. An object: "LOBJ", the header's size, its version, the object's size, its
// type, then (header version 1 or 2) flags, ..., a 64-bit time at offset 24; the object's size
// modulo 4 bytes of padding follow it. Log containers hold further objects, stored or
// deflated; an object may begin in one container and end in the next.

#include <cstdint>
#include <cstring>

namespace blf {

inline constexpr char kFileSignature[4] = {'L', 'O', 'G', 'G'};
inline constexpr char kObjectSignature[4] = {'L', 'O', 'B', 'J'};

inline constexpr std::uint32_t kFileHeaderSize = 144;
inline constexpr std::uint32_t kFileHeaderFields = 72;  // what is read of it; zeros follow
inline constexpr std::uint32_t kStartTimeAt = 40;       // the measurement's start; its stop at 56
inline constexpr std::uint32_t kBaseHeaderSize = 16;
inline constexpr std::uint32_t kHeaderV1Size = 32;
inline constexpr std::uint32_t kHeaderV2Size = 40;
inline constexpr std::uint32_t kContainerHeaderSize = 32;  // the base header, method and sizes
inline constexpr std::uint32_t kCanMessageSize = 16;       // channel, flags, DLC, id, 8 bytes

// Object types.
inline constexpr std::uint32_t kCanMessage = 1;
inline constexpr std::uint32_t kCanError = 2;
inline constexpr std::uint32_t kLogContainer = 10;
inline constexpr std::uint32_t kCanErrorExt = 73;
inline constexpr std::uint32_t kCanMessage2 = 86;
inline constexpr std::uint32_t kCanFdMessage = 100;
inline constexpr std::uint32_t kCanFdMessage64 = 101;
inline constexpr std::uint32_t kCanFdError64 = 104;

// Container compression.
inline constexpr std::uint16_t kStored = 0;
inline constexpr std::uint16_t kDeflated = 2;

// Object flags: the unit of the object's time.
inline constexpr std::uint32_t kTimeTenMicros = 1;
inline constexpr std::uint32_t kTimeOneNanos = 2;

// A CAN message's identifier and flags.
inline constexpr std::uint32_t kExtendedId = 0x80000000u;
inline constexpr std::uint8_t kRemoteFrame = 0x80;

inline std::uint16_t load16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline std::uint32_t load32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
           std::uint32_t{p[3]} << 24;
}
inline std::uint64_t load64(const unsigned char* p) {
    return std::uint64_t{load32(p)} | std::uint64_t{load32(p + 4)} << 32;
}
inline void store16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
inline void store32(unsigned char* p, std::uint32_t v) {
    store16(p, static_cast<std::uint16_t>(v));
    store16(p + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void store64(unsigned char* p, std::uint64_t v) {
    store32(p, static_cast<std::uint32_t>(v));
    store32(p + 4, static_cast<std::uint32_t>(v >> 32));
}
inline bool isObject(const unsigned char* p) {
    return std::memcmp(p, kObjectSignature, 4) == 0;
}

}  // namespace blf
