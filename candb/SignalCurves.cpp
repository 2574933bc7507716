#include "candb/SignalCurves.h"

#include "candb/ExtensionPayload.h"

#include <algorithm>

const SignalCurve* SignalCurves::find(const std::string& window, const std::string& curve,
                                      std::uint8_t axis) const {
    for (const SignalCurve& c : curves) {
        if (c.window == window && c.curve == curve && c.axis == axis) return &c;
    }
    return nullptr;
}

void SignalCurves::setWindow(const std::string& window, std::vector<SignalCurve> now) {
    std::erase_if(curves, [&](const SignalCurve& c) { return c.window == window; });
    for (SignalCurve& c : now) {
        c.window = window;
        curves.push_back(std::move(c));
    }
}

void SignalCurves::renameWindow(const std::string& from, const std::string& to) {
    for (SignalCurve& c : curves) {
        if (c.window == from) c.window = to;
    }
}

std::vector<std::uint8_t> SignalCurves::encode() const {
    if (curves.empty()) return {};
    PayloadWriter w;
    w.u32(kLayout);
    w.u32(static_cast<std::uint32_t>(curves.size()));
    for (const SignalCurve& c : curves) {
        w.text(c.window);
        w.text(c.curve);
        w.u8(c.axis);
        w.u32(c.identifier);
        w.u8(c.extended ? 1 : 0);
        w.text(c.message);
        w.text(c.signal);
    }
    return w.take();
}

bool SignalCurves::decode(std::span<const std::uint8_t> payload, std::string& error) {
    PayloadReader r(payload);
    const std::uint32_t layout = r.u32();
    const std::uint32_t count = r.u32();
    if (!r.ok() || layout == 0 || layout > kLayout) {
        error = "its signal curves have no valid header";
        return false;
    }
    // Each curve takes at least 22 bytes: no count may promise more than the payload holds.
    if (count > kMaxCurves || std::uint64_t{count} * 22 > r.remaining()) {
        error = "it counts more signal curves than it holds";
        return false;
    }
    std::vector<SignalCurve> read;
    read.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        SignalCurve c;
        c.window = r.text(kMaxName);
        c.curve = r.text(kMaxName);
        c.axis = r.u8();
        c.identifier = r.u32();
        const std::uint8_t extended = r.u8();
        c.message = r.text(kMaxName);
        c.signal = r.text(kMaxName);
        if (!r.ok() || c.axis > 1 || extended > 1 || c.signal.empty()) {
            error = "signal curve " + std::to_string(i + 1) + " does not read";
            return false;
        }
        c.extended = extended == 1;
        read.push_back(std::move(c));
    }
    if (r.remaining() != 0) {
        error = "bytes follow its signal curves";
        return false;
    }
    curves = std::move(read);
    return true;
}
