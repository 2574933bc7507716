#pragma once

// Filter conditions on what a CAN database names, typed one per line in the CAN filter dialog:
//
//   EngineData                     frames of the message of that name
//   EngineSpeed > 3000             frames whose signal of that name has a physical value there
//   EngineData.EngineSpeed <= 800  the signal of that message only
//   2500 <= EngineSpeed < 3000     a range
//   Gear == Drive                  a value description (== and != only)
//
// Operators: < <= > >= == !=. A signal name that several messages use stands for each of them.
// A frame matches the list when it matches one of its lines; a frame whose signal does not decode
// (a remote frame, too short, not selected by its multiplexer) matches no line on that signal.
// The lines are kept as typed, in the document's extension block (ExtensionTag::kSignalFilters):
// payload layout 1 is u32 layout, u32 count, then each line as a u32 length and its bytes.
//
// Thread: compiled on the user-interface thread; a matcher is immutable and may be used anywhere.

#include "candb/SignalDecoder.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

enum class SignalFilterError : std::uint8_t {
    kNone,
    kSyntax,          // not a name, nor a signal, an operator and a value
    kUnknownMessage,  // `name`: no database names such a message
    kUnknownSignal,   // `name`: no database names such a signal
    kUnknownLabel,    // `name` has no value described as `value`
    kLabelOperator,   // a value description compared other than by == or !=
};

struct SignalFilterList {
    static constexpr std::uint32_t kLayout = 1;
    static constexpr std::uint32_t kMaxLines = 4096;
    static constexpr std::size_t kMaxLine = 4096;

    std::vector<std::string> lines;

    [[nodiscard]] bool empty() const { return lines.empty(); }
    // Empty while there are no lines.
    [[nodiscard]] std::vector<std::uint8_t> encode() const;
    // On failure the lines are as they were and `error` says why.
    [[nodiscard]] bool decode(std::span<const std::uint8_t> payload, std::string& error);
};

class SignalFilterMatcher {
public:
    struct Compiled;
    struct Result {
        SignalFilterError error = SignalFilterError::kNone;
        std::size_t line = 0;  // the line at fault, 0-based
        std::string name;      // the message, signal or description named
        std::string value;
        std::shared_ptr<const SignalFilterMatcher> matcher;  // null unless every line compiles
    };

    // The lines (blank ones skipped) against the decoder's messages.
    [[nodiscard]] static Result compile(const std::vector<std::string>& lines,
                                        std::shared_ptr<const SignalDecoder> decoder);

    [[nodiscard]] bool matches(const CapturedFrame& frame) const;
    ~SignalFilterMatcher();

private:
    SignalFilterMatcher() = default;
    std::shared_ptr<const SignalDecoder> m_decoder;
    std::unique_ptr<Compiled> m_compiled;
};
