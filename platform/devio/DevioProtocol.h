#pragma once

// The wire protocol between a device handle (client) and the driver host (server).
//
// One handle is one connected Unix stream socket. Every message, in both directions, is
//
//     u16 type   u16 reserved (0)   u32 payloadLength   payload[payloadLength]
//
// all little-endian. The client sends one request and waits for its response before it sends the
// next one on the same connection; requests on different connections are independent, so a read
// may stay pending on one handle while control requests travel on others.
//
// Requests (client -> host):
//   kOpen          payload: the file name suffix the handle was opened with (e.g. "\PIPE00")
//   kDeviceControl payload: u32 controlCode, u32 outputLength, input bytes
//   kRead          payload: u32 length
//   kWrite         payload: the bytes to write
// Closing the socket is the handle's close: the host issues cleanup and close for it.
//
// Response (host -> client), type echoes the request's type:
//   payload: u32 status (an NTSTATUS), u32 information (bytes transferred), then for kDeviceControl
//   and kRead exactly min(information, output length asked for) output bytes. A control request
//   that writes to the device reports the bytes it sent as information but returns no output.
//
// Anything else (unknown type, a payload larger than kMaxPayload, a short or inconsistent response)
// is a protocol error: the receiving side drops the connection.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace devio {

enum class MessageType : std::uint16_t {
    kOpen = 1,
    kDeviceControl = 2,
    kRead = 3,
    kWrite = 4,
};

inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::size_t kResponseFixedSize = 8;
inline constexpr std::uint32_t kMaxPayload = 64 * 1024;
// The most output one request may ask for: whatever more could never fit in a response.
inline constexpr std::uint32_t kMaxOutput = kMaxPayload - kResponseFixedSize;

// NTSTATUS values that cross the wire.
inline constexpr std::uint32_t kStatusSuccess = 0x00000000;
inline constexpr std::uint32_t kStatusTimeout = 0x00000102;
inline constexpr std::uint32_t kStatusPending = 0x00000103;
inline constexpr std::uint32_t kStatusUnsuccessful = 0xC0000001;
inline constexpr std::uint32_t kStatusInvalidParameter = 0xC000000D;
inline constexpr std::uint32_t kStatusNoSuchDevice = 0xC000000E;
inline constexpr std::uint32_t kStatusInsufficientResources = 0xC000009A;
inline constexpr std::uint32_t kStatusCancelled = 0xC0000120;
inline constexpr std::uint32_t kStatusDeviceRemoved = 0xC00002B6;

struct Message {
    MessageType type{};
    std::vector<std::uint8_t> payload;
};

enum class IoResult { kOk, kClosed, kTimeout, kError, kProtocolError };

void putU32(std::vector<std::uint8_t>& out, std::uint32_t value);
[[nodiscard]] std::uint32_t getU32(const std::uint8_t* p);

[[nodiscard]] std::vector<std::uint8_t> encode(MessageType type,
                                               std::span<const std::uint8_t> payload);

// Writes all of `bytes`; false when the peer is gone.
[[nodiscard]] bool sendAll(int fd, std::span<const std::uint8_t> bytes);

// Reads one whole message. `firstByteTimeoutMs` bounds the wait for the message to begin (-1 waits
// without limit); once it has begun, the rest must follow within `restTimeoutMs`.
[[nodiscard]] IoResult receiveMessage(int fd, Message& message, int firstByteTimeoutMs,
                                      int restTimeoutMs);

// A response payload split into its parts; false when it is too short to hold them.
struct Response {
    std::uint32_t status = 0;
    std::uint32_t information = 0;
    std::span<const std::uint8_t> output;
};
[[nodiscard]] bool parseResponse(const Message& message, Response& response);
// A request payload split into its parts, with the lengths it asks for checked.
struct Request {
    MessageType type{};
    std::uint32_t controlCode = 0;        // kDeviceControl
    std::uint32_t outputLength = 0;       // kDeviceControl and kRead
    std::span<const std::uint8_t> input;  // kDeviceControl input, kWrite data, kOpen name
};
enum class RequestCheck { kOk, kMalformed, kTooLarge };
[[nodiscard]] RequestCheck parseRequest(const Message& message, Request& request);

[[nodiscard]] std::vector<std::uint8_t> makeResponsePayload(std::uint32_t status,
                                                            std::uint32_t information,
                                                            std::span<const std::uint8_t> output);

}  // namespace devio
