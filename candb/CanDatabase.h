#pragma once

// A CAN database as read from a DBC file: the messages by identifier, each with its signals in
// the file's order, their value descriptions, comments and the attributes that matter here.
//
// Texts (names, units, comments, value descriptions) are UTF-8: a file that is not valid UTF-8
// is read as Latin-1, as most tools write it.
//
// Thread: built by the DBC reader on one thread, then immutable; any thread may read it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class DbcParser;

enum class ByteOrder : std::uint8_t {
    kIntel,     // @1: the start bit is the least significant bit
    kMotorola,  // @0: the start bit is the most significant bit, in the sawtooth numbering
};

enum class ValueType : std::uint8_t {
    kUnsigned,
    kSigned,
    kFloat,   // SIG_VALTYPE_ 1: the 32 bits are an IEEE single
    kDouble,  // SIG_VALTYPE_ 2: the 64 bits are an IEEE double
};

// A raw value and its text (VAL_, VAL_TABLE_). The raw value is kept as its 64-bit two's
// complement, so that -1 and 18446744073709551615 are the same key, as they are the same bits.
struct ValueDescription {
    std::uint64_t raw = 0;
    std::string text;
};

// Raw values of a multiplexer that select a signal, both ends included.
struct MuxRange {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
};

struct CanSignal {
    std::string name;
    std::uint16_t startBit = 0;  // as written: the DBC's numbering, bit b of byte k is 8k + b
    std::uint8_t length = 1;     // bits, 1 to 64
    ByteOrder order = ByteOrder::kIntel;
    ValueType type = ValueType::kUnsigned;
    double factor = 1;
    double offset = 0;
    double minimum = 0;
    double maximum = 0;
    std::string unit;
    std::vector<std::string> receivers;
    std::string comment;

    // Multiplexing. A multiplexer ('M', or 'mNM' for one that is itself multiplexed) selects
    // the signals whose `multiplexer` names it, by its raw value.
    bool isMultiplexer = false;
    int multiplexer = -1;  // index of the selecting signal in the message; -1: always present
    std::vector<MuxRange> selectors;  // the selecting raw values ('mN' gives N-N)

    std::vector<ValueDescription> values;  // sorted by raw value, no repeats

    // The description of a raw value (two's complement bits), or null.
    [[nodiscard]] const std::string* label(std::uint64_t raw) const;
    [[nodiscard]] bool isFloat() const {
        return type == ValueType::kFloat || type == ValueType::kDouble;
    }
};

struct CanMessage {
    std::uint32_t identifier = 0;  // 11 or 29 bits, without the file's extended flag
    bool extended = false;
    std::string name;
    std::uint32_t size = 0;  // bytes, as declared
    std::string transmitter;
    std::string comment;
    std::optional<std::uint32_t> cycleTimeMs;  // GenMsgCycleTime, or its default
    std::vector<CanSignal> signals;

    [[nodiscard]] const CanSignal* signal(std::string_view name) const;
};

enum class AttributeObject : std::uint8_t { kNetwork, kNode, kMessage, kSignal, kEnvironment };

// BA_DEF_ and its BA_DEF_DEF_. The type is kept as written ("INT 0 65535", "ENUM ...").
struct AttributeDefinition {
    std::string name;
    AttributeObject object = AttributeObject::kNetwork;
    std::string type;
    std::string defaultValue;  // empty when there is none
};

// BA_: one attribute's value on one object. Strings without their quotes.
struct AttributeValue {
    std::string name;
    AttributeObject object = AttributeObject::kNetwork;
    std::string node;           // kNode, kEnvironment: the name
    std::uint32_t message = 0;  // kMessage, kSignal: the identifier as written (bit 31 extended)
    std::string signal;         // kSignal
    std::string value;
};

struct ValueTable {
    std::string name;
    std::vector<ValueDescription> values;
};

class CanDatabase {
public:
    [[nodiscard]] const std::string& version() const { return m_version; }
    [[nodiscard]] const std::string& comment() const { return m_comment; }
    [[nodiscard]] const std::vector<std::string>& nodes() const { return m_nodes; }
    // In the file's order.
    [[nodiscard]] const std::vector<CanMessage>& messages() const { return m_messages; }
    [[nodiscard]] const std::vector<ValueTable>& valueTables() const { return m_valueTables; }
    [[nodiscard]] const std::vector<AttributeDefinition>& attributeDefinitions() const {
        return m_attributeDefinitions;
    }
    [[nodiscard]] const std::vector<AttributeValue>& attributes() const { return m_attributes; }

    // The message with this identifier, or null. Standard and extended identifiers are apart.
    [[nodiscard]] const CanMessage* find(std::uint32_t identifier, bool extended) const;
    // The largest number of signals in one message.
    [[nodiscard]] std::size_t maxSignals() const { return m_maxSignals; }

private:
    friend class DbcParser;
    static std::uint64_t key(std::uint32_t identifier, bool extended) {
        return std::uint64_t{identifier} | (extended ? std::uint64_t{1} << 32 : 0);
    }

    std::string m_version;
    std::string m_comment;
    std::vector<std::string> m_nodes;
    std::vector<CanMessage> m_messages;
    std::vector<ValueTable> m_valueTables;
    std::vector<AttributeDefinition> m_attributeDefinitions;
    std::vector<AttributeValue> m_attributes;
    std::unordered_map<std::uint64_t, std::size_t> m_byIdentifier;  // into m_messages
    std::size_t m_maxSignals = 0;
};
