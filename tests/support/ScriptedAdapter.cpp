#include "tests/support/ScriptedAdapter.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

TempRuntimeDir::TempRuntimeDir() {
    char tmpl[] = "/tmp/kvt-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    m_path = tmpl;
    ::setenv("KORVANE_RUNTIME_DIR", m_path.c_str(), 1);
}

TempRuntimeDir::~TempRuntimeDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    ::unsetenv("KORVANE_RUNTIME_DIR");
}

std::string TempRuntimeDir::interfacePath(const std::string& name) const {
    return m_path + "/interfaces/" + vexa::kInterfaceClass + "/" + name;
}

ScriptedAdapter::ScriptedAdapter(const TempRuntimeDir& dir, const std::string& name)
    : m_server(*this) {
    if (!m_server.start(dir.interfacePath(name))) {
        throw std::runtime_error("cannot serve " + dir.interfacePath(name));
    }
}

ScriptedAdapter::~ScriptedAdapter() {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
    }
    m_readReleased.notify_all();
    m_server.stop();
}

std::vector<vexa::Block> ScriptedAdapter::commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

std::vector<std::string> ScriptedAdapter::openedNames() const {
    std::lock_guard lock(m_mutex);
    return m_names;
}

int ScriptedAdapter::openConnections() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

void ScriptedAdapter::queueReply(const vexa::Block& reply, std::uint32_t size) {
    std::lock_guard lock(m_mutex);
    m_replies.push_back({reply, size});
}

void ScriptedAdapter::setInfo(std::uint8_t status, std::uint8_t node, std::uint16_t baud,
                              std::uint16_t version) {
    std::lock_guard lock(m_mutex);
    m_info[0] = status;
    m_info[1] = node;
    m_info[2] = static_cast<std::uint8_t>(baud >> 8);
    m_info[3] = static_cast<std::uint8_t>(baud);
    m_info[4] = static_cast<std::uint8_t>(version >> 8);
    m_info[5] = static_cast<std::uint8_t>(version);
}

void ScriptedAdapter::queueRead(std::vector<std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    m_reads.push_back(std::move(bytes));
}

void ScriptedAdapter::holdReads(bool hold) {
    {
        std::lock_guard lock(m_mutex);
        m_holdReads = hold;
    }
    m_readReleased.notify_all();
}

int ScriptedAdapter::readsServed() const {
    std::lock_guard lock(m_mutex);
    return m_readsServed;
}

std::uint32_t ScriptedAdapter::create(ConnectionId, const std::string& fileName) {
    std::lock_guard lock(m_mutex);
    m_names.push_back(fileName);
    ++m_open;
    return devio::kStatusSuccess;
}

devio::Reply ScriptedAdapter::deviceControl(ConnectionId, std::uint32_t code,
                                            std::span<const std::uint8_t> input,
                                            std::uint32_t outputLength) {
    std::lock_guard lock(m_mutex);
    devio::Reply reply;
    if (code == vexa::kIoctlWriteCommand) {
        if (input.size() != vexa::kBlockSize) {
            reply.status = devio::kStatusInvalidParameter;
            return reply;
        }
        std::copy(input.begin(), input.end(), m_lastCommand.begin());
        m_commands.push_back(m_lastCommand);
        reply.information = vexa::kBlockSize;
        return reply;
    }
    if (code != vexa::kIoctlReadReply) {
        reply.status = devio::kStatusInvalidParameter;
        return reply;
    }
    QueuedReply answer{};
    if (!m_replies.empty()) {
        answer = m_replies.front();
        m_replies.pop_front();
    } else {
        answer.size = vexa::kBlockSize;
        answer.block[0] = static_cast<std::uint8_t>(m_lastCommand[0] | 0x80);
        answer.block[1] = m_lastCommand[0] == vexa::kCmdInfo ? 0x06 : 0x01;
        if (m_lastCommand[0] == vexa::kCmdInfo) {
            std::copy(std::begin(m_info), std::end(m_info), answer.block.begin() + 2);
        }
    }
    reply.information = std::min(answer.size, outputLength);
    reply.output.assign(answer.block.begin(), answer.block.begin() + reply.information);
    return reply;
}

devio::Reply ScriptedAdapter::read(ConnectionId, std::uint32_t length) {
    std::unique_lock lock(m_mutex);
    m_readReleased.wait(lock, [this] { return !m_holdReads || m_closing; });
    devio::Reply reply;
    if (m_closing || m_reads.empty()) {
        reply.status = devio::kStatusUnsuccessful;
        return reply;
    }
    auto bytes = std::move(m_reads.front());
    m_reads.pop_front();
    if (bytes.size() > length) {
        bytes.resize(length);
    }
    ++m_readsServed;
    reply.information = static_cast<std::uint32_t>(bytes.size());
    reply.output = std::move(bytes);
    return reply;
}

devio::Reply ScriptedAdapter::write(ConnectionId, std::span<const std::uint8_t>) {
    return {};
}

void ScriptedAdapter::closeConnection(ConnectionId) {
    std::lock_guard lock(m_mutex);
    --m_open;
}

void putRecord(std::vector<std::uint8_t>& read, std::size_t block, std::size_t slot,
               const RecordSpec& r) {
    std::uint8_t* rec = &read[block * vexa::kBlockSize + slot * vexa::kRecordSize];
    rec[0] = r.lengthAndFormat;
    rec[1] = r.loading;
    rec[2] = static_cast<std::uint8_t>(r.millis22 >> 14);
    rec[3] = static_cast<std::uint8_t>(r.millis22 >> 6);
    rec[4] = static_cast<std::uint8_t>((r.millis22 & 0x3F) << 2 | (r.micros >> 8 & 0x03));
    rec[5] = static_cast<std::uint8_t>(r.micros);
    if ((r.lengthAndFormat >> 4) == 0x8) {
        rec[6] = static_cast<std::uint8_t>(r.identifier >> 24);
        rec[7] = static_cast<std::uint8_t>(r.identifier >> 16);
        rec[8] = static_cast<std::uint8_t>(r.identifier >> 8);
        rec[9] = static_cast<std::uint8_t>(r.identifier);
    } else {
        rec[6] = static_cast<std::uint8_t>(r.identifier >> 8);
        rec[7] = static_cast<std::uint8_t>(r.identifier);
    }
    std::copy(std::begin(r.data), std::end(r.data), rec + 10);
    rec[18] = r.kind;
}

std::vector<std::uint8_t> emptyRead() {
    std::vector<std::uint8_t> read(vexa::kDataReadSize, 0);
    for (std::size_t block = 0; block < vexa::kDataBlocksPerRead; ++block) {
        for (std::size_t slot = 0; slot < vexa::kRecordsPerBlock; ++slot) {
            read[block * vexa::kBlockSize + slot * vexa::kRecordSize + 2] = 0xFF;
        }
    }
    return read;
}
