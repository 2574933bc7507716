// Feeds arbitrary bytes to the DBC reader: it must never crash or read outside the input; a
// refused file leaves no database and names a line; a read one holds only what decoding can
// trust (lengths 1 to 64, CAN identifiers, multiplexers that exist and end), and frames decoded
// with it, whole or one signal at a time, agree.

#include "candb/DbcReader.h"
#include "candb/SignalDecoder.h"

#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DbcReadResult r =
        DbcReader::read(std::string_view(reinterpret_cast<const char*>(data), size));
    if (r.warnings.size() > DbcReadResult::kWarningsKept) __builtin_trap();
    if (!r.ok) {
        if (r.database || r.error.rfind("line ", 0) != 0 || r.errorLine == 0) __builtin_trap();
        return 0;
    }
    if (!r.database) __builtin_trap();
    const CanDatabase& db = *r.database;
    for (const CanMessage& m : db.messages()) {
        if (m.identifier > (m.extended ? 0x1FFFFFFFu : 0x7FFu)) __builtin_trap();
        if (db.find(m.identifier, m.extended) == nullptr) __builtin_trap();
        for (const CanSignal& s : m.signals) {
            if (s.length < 1 || s.length > 64) __builtin_trap();
            if (s.multiplexer >= static_cast<int>(m.signals.size())) __builtin_trap();
            if (s.multiplexer >= 0 &&
                !m.signals[static_cast<std::size_t>(s.multiplexer)].isMultiplexer)
                __builtin_trap();
            if (s.isFloat() && s.length != (s.type == ValueType::kFloat ? 32 : 64))
                __builtin_trap();
        }
    }
    const SignalDecoder decoder({r.database});
    DecodedFrame out = decoder.makeFrame();
    for (std::size_t i = 0; i < decoder.messageCount() && i < 64; ++i) {
        const CanMessage& m = decoder.message(i);
        for (std::uint8_t length = 0; length <= 8; ++length) {
            CapturedFrame f;
            f.identifier = m.identifier;
            f.format = m.extended ? 1 : 0;
            f.length = length;
            std::memcpy(f.data, data + (size >= 8 ? (i * 7 + length) % (size - 7) : 0),
                        std::min<std::size_t>(size, 8));
            if (!decoder.decode(f, out) || out.message() != &m) __builtin_trap();
            if (out.values().size() + out.unfit() > m.signals.size()) __builtin_trap();
            std::size_t next = 0;
            for (std::size_t s = 0; s < m.signals.size(); ++s) {
                SignalValue one;
                const bool decoded = decoder.decodeSignal(f, i, s, one);
                const bool inFrame = next < out.values().size() && out.values()[next].index == s;
                if (decoded != inFrame) __builtin_trap();
                if (inFrame && one.raw != out.values()[next++].raw) __builtin_trap();
                char text[kMaxNumberText];
                if (decoded && writeRaw(text, m.signals[s], one.raw) > text + kMaxNumberText)
                    __builtin_trap();
            }
        }
    }
    return 0;
}
