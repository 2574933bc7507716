#include "devapi/Blocks.h"

#include <algorithm>
#include <cstring>

namespace vexa {

bool isValidMessage(const TxMessage& message) {
    return (message.remote == 0 || message.remote == 1) && message.length <= 8;
}

void packFrameItem(const TxMessage& message, std::uint8_t* item) {
    const std::uint32_t id = message.identifier;
    const bool extended = message.format == 1;
    item[0] = static_cast<std::uint8_t>(message.length | (extended ? 0x80 : 0x00));
    if (extended) {
        item[1] = static_cast<std::uint8_t>((id >> 24) & 0x1F);
        item[2] = static_cast<std::uint8_t>(id >> 16);
        item[3] = static_cast<std::uint8_t>(id >> 8);
        item[4] = static_cast<std::uint8_t>(id);
    } else {
        item[1] = static_cast<std::uint8_t>((id >> 8) & 0x07);
        item[2] = static_cast<std::uint8_t>(id);
        item[3] = 0;
        item[4] = 0;
    }
    std::memset(item + 5, 0, 8);
    std::memcpy(item + 5, message.data, std::min<std::size_t>(message.length, 8));
    item[13] = static_cast<std::uint8_t>(message.remote);
}

Block setupBlock(std::uint8_t nodeId, std::uint16_t baudRate, std::uint8_t workMode,
                 std::uint8_t frameType) {
    Block b{};
    b[0] = kCmdSetup;
    b[1] = 0x05;
    b[2] = workMode;
    b[3] = nodeId;
    b[5] = static_cast<std::uint8_t>(baudRate >> 8);
    b[6] = static_cast<std::uint8_t>(baudRate);
    b[7] = frameType;
    return b;
}

Block singleSendBlock(const TxMessage& message) {
    Block b{};
    b[0] = kCmdSend;
    b[1] = static_cast<std::uint8_t>(message.length + 6);
    packFrameItem(message, &b[3]);
    return b;
}

namespace {

constexpr std::size_t kSlotsPerPacket = 4;
constexpr std::size_t kFirstSlotOffset = 5;

std::uint8_t slotMask(std::size_t slots) {
    return static_cast<std::uint8_t>((1u << slots) - 1);
}

Block cyclicPacket(std::uint8_t number, const TxMessage* messages, std::size_t slots) {
    Block b{};
    b[0] = kCmdSend;
    b[1] = 0x39;
    b[2] = 0x01;
    b[3] = number;
    b[4] = slotMask(slots);
    for (std::size_t i = 0; i < slots; ++i) {
        packFrameItem(messages[i], &b[kFirstSlotOffset + i * kFrameItemSize]);
    }
    return b;
}

}  // namespace

std::vector<Block> cyclicSetPackets(const TxMessage* messages, int count, std::uint8_t interval,
                                    std::uint8_t cycle) {
    const auto n = static_cast<std::size_t>(std::clamp(count, 0, 8));
    std::vector<Block> packets;
    packets.push_back(cyclicPacket(0, messages, std::min(n, kSlotsPerPacket)));
    packets[0][61] = interval;
    packets[0][62] = cycle;
    if (n > kSlotsPerPacket) {
        // The second packet carries no interval or cycle: bytes 61 to 63 stay 0.
        packets.push_back(cyclicPacket(1, messages + kSlotsPerPacket, n - kSlotsPerPacket));
    }
    return packets;
}

Block cyclicControlBlock(bool start) {
    Block b{};
    b[0] = kCmdSend;
    b[1] = 0x02;
    b[2] = 0x02;
    b[3] = start ? 0x01 : 0x02;
    return b;
}

Block captureBlock(bool start) {
    Block b{};
    b[0] = kCmdCapture;
    b[1] = 0x01;
    b[2] = start ? 0x01 : 0x02;
    return b;
}

Block infoBlock() {
    Block b{};
    b[0] = kCmdInfo;
    return b;
}

bool replyMatches(const Block& command, const Block& reply) {
    const std::uint8_t expectedStatus = command[0] == kCmdInfo ? 0x06 : 0x01;
    return reply[0] == (command[0] | 0x80) && reply[1] == expectedStatus;
}

AdapterInfo unpackInfo(const Block& reply) {
    AdapterInfo info;
    info.status = reply[2];
    info.nodeId = reply[3];
    info.baudRate = reply[4] << 8 | reply[5];
    info.version = reply[6] << 8 | reply[7];
    return info;
}

DecodedRead decodeDataRead(const std::uint8_t* read, ReceivedFrame* frames) {
    DecodedRead result;
    std::uint8_t format = 0;
    for (std::size_t block = 0; block < kDataBlocksPerRead; ++block) {
        const std::uint8_t* b = read + block * kBlockSize;
        for (std::size_t r = 0; r < kRecordsPerBlock; ++r) {
            const std::uint8_t* rec = b + r * kRecordSize;
            const std::uint8_t length = rec[0] & 0x0F;
            if (length > 8 || rec[2] == 0xFF) {
                continue;
            }
            // An unknown format nibble keeps the format of the record before it.
            const std::uint8_t nibble = rec[0] >> 4;
            if (nibble == 0x8) {
                format = 1;
            } else if (nibble == 0x0) {
                format = 0;
            }
            const std::uint32_t t = std::uint32_t{rec[2]} << 14 | std::uint32_t{rec[3]} << 6 |
                                    std::uint32_t{rec[4]} >> 2;
            ReceivedFrame& f = frames[result.count++];
            f.loading = rec[1];
            f.micros = (std::uint32_t{rec[4]} & 0x03) << 8 | rec[5];
            f.minutes = t / 60000;
            f.seconds = t % 60000 / 1000;
            f.millis = t % 1000;
            f.status = rec[18];
            f.format = format;
            f.length = length;
            f.identifier = format == 1 ? std::uint32_t{rec[6]} << 24 | std::uint32_t{rec[7]} << 16 |
                                             std::uint32_t{rec[8]} << 8 | rec[9]
                                       : std::uint32_t{rec[6]} << 8 | rec[7];
            std::memcpy(f.data, rec + 10, length);
        }
        result.statusA = b[kStatusAOffset];
        result.statusB = b[kStatusBOffset];
    }
    return result;
}

}  // namespace vexa
