#include "candb/CanDatabaseSet.h"

#include "candb/ExtensionPayload.h"

CanDatabaseSet::CanDatabaseSet() : m_decoder(std::make_shared<const SignalDecoder>()) {}

void CanDatabaseSet::rebuild() {
    std::vector<std::shared_ptr<const CanDatabase>> databases;
    databases.reserve(m_entries.size());
    for (const CanDatabaseEntry& e : m_entries) databases.push_back(e.database);
    m_decoder = std::make_shared<const SignalDecoder>(std::move(databases));
    ++m_generation;
}

CanDatabaseAddResult CanDatabaseSet::add(std::string name, std::string text) {
    CanDatabaseAddResult result;
    if (m_entries.size() >= kMaxDatabases) {
        result.error = "a document holds at most " + std::to_string(kMaxDatabases) + " databases";
        return result;
    }
    DbcReadResult read = DbcReader::read(text);
    if (!read.ok) {
        result.errorLine = read.errorLine;
        result.error = std::move(read.error);
        return result;
    }
    if (name.size() > kMaxName) name.resize(kMaxName);
    m_entries.push_back({std::move(name), std::move(text), std::move(read.database)});
    rebuild();
    result.ok = true;
    result.summary = read.summary();
    const std::size_t added = m_entries.size() - 1;
    for (const SignalDecoder::Conflict& c : m_decoder->conflicts()) {
        if (c.droppedDatabase == added) result.conflicts.push_back(c);
    }
    return result;
}

CanDatabaseAddResult CanDatabaseSet::addFile(const std::string& path) {
    std::string text;
    const DbcReadResult read = DbcReader::readFile(path, &text);
    if (!read.ok) {
        CanDatabaseAddResult result;
        result.errorLine = read.errorLine;
        result.error = read.error;
        return result;
    }
    const std::size_t slash = path.find_last_of('/');
    return add(slash == std::string::npos ? path : path.substr(slash + 1), std::move(text));
}

bool CanDatabaseSet::remove(std::size_t index) {
    if (index >= m_entries.size()) return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    rebuild();
    return true;
}

void CanDatabaseSet::clear() {
    if (m_entries.empty()) return;
    m_entries.clear();
    rebuild();
}

std::vector<std::uint8_t> CanDatabaseSet::encode() const {
    if (m_entries.empty()) return {};
    PayloadWriter w;
    w.u32(kLayout);
    w.u32(static_cast<std::uint32_t>(m_entries.size()));
    for (const CanDatabaseEntry& e : m_entries) {
        w.text(e.name);
        w.text(e.text);
    }
    return w.take();
}

bool CanDatabaseSet::decode(std::span<const std::uint8_t> payload, std::string& error) {
    PayloadReader r(payload);
    const std::uint32_t layout = r.u32();
    const std::uint32_t count = r.u32();
    if (!r.ok() || layout == 0 || layout > kLayout) {
        error = "its CAN databases have no valid header";
        return false;
    }
    if (count > kMaxDatabases) {
        error = "it counts more CAN databases than any document holds";
        return false;
    }
    std::vector<CanDatabaseEntry> entries;
    for (std::uint32_t i = 0; i < count; ++i) {
        CanDatabaseEntry e;
        e.name = r.text(kMaxName);
        e.text = r.text(DbcReader::kMaxFileBytes);
        if (!r.ok()) {
            error = "CAN database " + std::to_string(i + 1) + " is cut short";
            return false;
        }
        DbcReadResult read = DbcReader::read(e.text);
        if (!read.ok) {
            error = "CAN database " + e.name + " does not read: " + read.error;
            return false;
        }
        e.database = std::move(read.database);
        entries.push_back(std::move(e));
    }
    if (r.remaining() != 0) {
        error = "bytes follow its CAN databases";
        return false;
    }
    m_entries = std::move(entries);
    rebuild();
    return true;
}
