#pragma once

// A device interface served in-process whose answers a test scripts: it records every command
// block and answers like the adapter would, unless told otherwise.

#include "devapi/Blocks.h"
#include "platform/devio/DevioServer.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

class TempRuntimeDir {
public:
    TempRuntimeDir();
    ~TempRuntimeDir();
    [[nodiscard]] const std::string& path() const { return m_path; }
    [[nodiscard]] std::string interfacePath(const std::string& name) const;

private:
    std::string m_path;
};

class ScriptedAdapter final : public devio::DevioHandler {
public:
    explicit ScriptedAdapter(const TempRuntimeDir& dir, const std::string& name = "ADP4021Device0");
    ~ScriptedAdapter() override;

    // Command blocks written so far, in order.
    [[nodiscard]] std::vector<vexa::Block> commands() const;
    [[nodiscard]] std::vector<std::string> openedNames() const;
    [[nodiscard]] int openConnections() const;

    // The next reply is this instead of the automatic one; `size` bytes of it are returned.
    void queueReply(const vexa::Block& reply, std::uint32_t size = vexa::kBlockSize);
    // Bytes of the info reply (status, node, baud, version).
    void setInfo(std::uint8_t status, std::uint8_t node, std::uint16_t baud, std::uint16_t version);
    // Data reads are answered from this queue, one entry per read (cut to the length asked for);
    // an empty queue makes the read fail.
    void queueRead(std::vector<std::uint8_t> bytes);
    // While held, reads wait (a pending read) until released or the handle goes away.
    void holdReads(bool hold);
    [[nodiscard]] int readsServed() const;

    std::uint32_t create(ConnectionId connection, const std::string& fileName) override;
    devio::Reply deviceControl(ConnectionId connection, std::uint32_t code,
                               std::span<const std::uint8_t> input,
                               std::uint32_t outputLength) override;
    devio::Reply read(ConnectionId connection, std::uint32_t length) override;
    devio::Reply write(ConnectionId connection, std::span<const std::uint8_t> data) override;
    void closeConnection(ConnectionId connection) override;

private:
    struct QueuedReply {
        vexa::Block block;
        std::uint32_t size;
    };

    devio::DevioServer m_server;
    mutable std::mutex m_mutex;
    std::condition_variable m_readReleased;
    std::vector<vexa::Block> m_commands;
    std::vector<std::string> m_names;
    std::deque<QueuedReply> m_replies;
    std::deque<std::vector<std::uint8_t>> m_reads;
    vexa::Block m_lastCommand{};
    std::uint8_t m_info[6] = {1, 0, 0x01, 0xF4, 0x01, 0x05};
    bool m_holdReads = false;
    bool m_closing = false;
    int m_open = 0;
    int m_readsServed = 0;
};

// A data block's 19-byte record, as the adapter packs it.
struct RecordSpec {
    std::uint8_t lengthAndFormat = 0;  // byte 0
    std::uint8_t loading = 0;
    std::uint32_t millis22 = 0;  // 22-bit millisecond count
    std::uint16_t micros = 0;
    std::uint32_t identifier = 0;
    std::uint8_t data[8] = {};
    std::uint8_t kind = 0;
};
void putRecord(std::vector<std::uint8_t>& read, std::size_t block, std::size_t slot,
               const RecordSpec& record);
// A 384-byte read in which every record is empty (0xFF in byte 2).
[[nodiscard]] std::vector<std::uint8_t> emptyRead();
