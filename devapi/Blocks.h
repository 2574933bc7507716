#pragma once

// The byte layouts exchanged with the adapter: 64-byte command and reply blocks, 14-byte frame
// items and the 384-byte data read of six 64-byte data blocks of three 19-byte records each.

#include "devapi/VexaApi.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa {

inline constexpr char kInterfaceClass[] = "{A71602A8-A799-44DC-805F-7FF25F30BEDB}";
inline constexpr char kCommandSuffix[] = "\\PIPE00";
inline constexpr char kReplySuffix[] = "\\PIPE01";
inline constexpr char kDataSuffix[] = "\\PIPE02";

inline constexpr std::uint32_t kIoctlWriteCommand = 0x0022A002;  // function 0x800, out-direct
inline constexpr std::uint32_t kIoctlReadReply = 0x00226005;     // function 0x801, in-direct

inline constexpr std::size_t kBlockSize = 64;
inline constexpr std::size_t kDataBlocksPerRead = 6;
inline constexpr std::size_t kDataReadSize = kBlockSize * kDataBlocksPerRead;
inline constexpr std::size_t kRecordsPerBlock = 3;
inline constexpr std::size_t kRecordSize = 19;
inline constexpr std::size_t kFrameItemSize = 14;
inline constexpr std::size_t kStatusAOffset = 57;
inline constexpr std::size_t kStatusBOffset = 58;

inline constexpr std::uint8_t kCmdSetup = 0x01;
inline constexpr std::uint8_t kCmdSend = 0x02;
inline constexpr std::uint8_t kCmdCapture = 0x03;
inline constexpr std::uint8_t kCmdInfo = 0x04;

using Block = std::array<std::uint8_t, kBlockSize>;

// A message the adapter can take: remote 0 or 1, length at most 8.
[[nodiscard]] bool isValidMessage(const TxMessage& message);
// Packs a valid message; extended when its format is 1.
void packFrameItem(const TxMessage& message, std::uint8_t* item);

[[nodiscard]] Block setupBlock(std::uint8_t nodeId, std::uint16_t baudRate, std::uint8_t workMode,
                               std::uint8_t frameType);
[[nodiscard]] Block singleSendBlock(const TxMessage& message);
// One packet for 0 to 4 messages, two for 5 to 8. The messages must be valid.
[[nodiscard]] std::vector<Block> cyclicSetPackets(const TxMessage* messages, int count,
                                                  std::uint8_t interval, std::uint8_t cycle);
[[nodiscard]] Block cyclicControlBlock(bool start);
[[nodiscard]] Block captureBlock(bool start);
[[nodiscard]] Block infoBlock();

// Reply bytes 0 and 1 as the command in `command` expects them.
[[nodiscard]] bool replyMatches(const Block& command, const Block& reply);

struct AdapterInfo {
    std::int32_t status = 0;
    std::int32_t nodeId = 0;
    std::int32_t baudRate = 0;
    std::int32_t version = 0;
};
[[nodiscard]] AdapterInfo unpackInfo(const Block& reply);

struct DecodedRead {
    std::int32_t statusA = 0;
    std::int32_t statusB = 0;
    std::int32_t count = 0;
};
// Decodes a whole data read into up to 18 frames, skipping empty records. Only the first `length`
// data bytes of each frame are written.
DecodedRead decodeDataRead(const std::uint8_t* read, ReceivedFrame* frames);

}  // namespace vexa
