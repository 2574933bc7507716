#pragma once

// The CAN databases of a document, in the order they were added, and the one decoder made over
// all of them (the first database that names an identifier decodes it). Each database is kept as
// the text of its file, so that a saved document decodes on another machine; the text is what the
// document's extension block carries (ExtensionTag::kCanDatabases).
//
// Payload, layout 1: u32 layout, u32 count, then per database its name and its text, each a u32
// length and the bytes.
//
// Thread: the user-interface thread (or a batch run). The decoder it hands out is immutable and
// outlives the set's changes for whoever holds it.

#include "candb/DbcReader.h"
#include "candb/SignalDecoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

struct CanDatabaseEntry {
    std::string name;  // the file's name, as the navigation tree shows it
    std::string text;  // the file's bytes
    std::shared_ptr<const CanDatabase> database;
};

struct CanDatabaseAddResult {
    bool ok = false;
    std::uint64_t errorLine = 0;  // the line that does not parse; 0 when the file was not read
    std::string error;            // DbcReadResult's error
    std::string summary;          // statements passed over, or ""
    // The added database's messages that an earlier database decodes instead.
    std::vector<SignalDecoder::Conflict> conflicts;
};

class CanDatabaseSet {
public:
    static constexpr std::uint32_t kLayout = 1;
    // Far above any real document; they bound what a damaged payload can make us hold.
    static constexpr std::uint32_t kMaxDatabases = 256;
    static constexpr std::size_t kMaxName = 4096;

    CanDatabaseSet();

    // Reads `text` as a DBC file and adds it as `name`; a text that does not read adds nothing.
    CanDatabaseAddResult add(std::string name, std::string text);
    // Reads the file at `path` and adds it under the file's name.
    CanDatabaseAddResult addFile(const std::string& path);
    // False when there is no such database.
    bool remove(std::size_t index);
    void clear();

    [[nodiscard]] const std::vector<CanDatabaseEntry>& entries() const { return m_entries; }
    [[nodiscard]] bool empty() const { return m_entries.empty(); }
    // Never null; one without messages while the set is empty.
    [[nodiscard]] const std::shared_ptr<const SignalDecoder>& decoder() const { return m_decoder; }
    // Changes with every change of the set, so views know their decoded texts are stale.
    [[nodiscard]] std::uint64_t generation() const { return m_generation; }

    // The payload of the extension block's record; empty while the set is empty.
    [[nodiscard]] std::vector<std::uint8_t> encode() const;
    // Replaces the set with the payload's databases. On failure the set is as it was and `error`
    // says why.
    [[nodiscard]] bool decode(std::span<const std::uint8_t> payload, std::string& error);

private:
    void rebuild();

    std::vector<CanDatabaseEntry> m_entries;
    std::shared_ptr<const SignalDecoder> m_decoder;
    std::uint64_t m_generation = 0;
};
