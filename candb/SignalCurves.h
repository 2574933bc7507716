#pragma once

// Which curves of a document's chart windows take a CAN database signal instead of their byte
// positions, kept in the document's extension block (ExtensionTag::kSignalCurves). A curve is
// found by its window's name and its own, both unique; its record keeps the byte positions closest
// to the signal, which is what a reader of the document's records alone shows.
//
// Payload, layout 1: u32 layout, u32 count, then per curve: window and curve name (u32 length and
// bytes each), u8 axis (0: the y(t) value or a y(x) curve's Y, 1: a y(x) curve's X), u32
// identifier, u8 extended, message and signal name.
//
// Thread: the user-interface thread (or a batch run).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct SignalCurve {
    std::string window;
    std::string curve;
    std::uint8_t axis = 0;  // 0: value or Y, 1: X
    std::uint32_t identifier = 0;
    bool extended = false;
    std::string message;
    std::string signal;
    bool operator==(const SignalCurve&) const = default;
};

class SignalCurves {
public:
    static constexpr std::uint32_t kLayout = 1;
    // Far above what four curves in each of any document's windows need.
    static constexpr std::uint32_t kMaxCurves = 1u << 20;
    static constexpr std::size_t kMaxName = 4096;

    std::vector<SignalCurve> curves;

    // The curve's signal on `axis`, or null.
    [[nodiscard]] const SignalCurve* find(const std::string& window, const std::string& curve,
                                          std::uint8_t axis) const;
    // The window's curves are now these (replacing what it had).
    void setWindow(const std::string& window, std::vector<SignalCurve> now);
    void renameWindow(const std::string& from, const std::string& to);

    // Empty while there are no signal curves.
    [[nodiscard]] std::vector<std::uint8_t> encode() const;
    // On failure the curves are as they were and `error` says why.
    [[nodiscard]] bool decode(std::span<const std::uint8_t> payload, std::string& error);
};
