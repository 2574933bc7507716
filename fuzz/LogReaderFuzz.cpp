// Feeds arbitrary bytes to a log reader (candump, or ASC when built with FUZZ_ASC): it must never
// crash or read outside the input, every frame it gives must be a valid classic CAN frame, and
// every frame written back out by the writer must read back unchanged.

#include "interop/LogReader.h"
#include "interop/LogWriter.h"

#include <cstring>
#include <string_view>

namespace {

#ifdef FUZZ_ASC
constexpr LogFormat kFormat = LogFormat::kAsc;
#else
constexpr LogFormat kFormat = LogFormat::kCandump;
#endif

bool same(const LogFrame& a, const LogFrame& b) {
    return a.timeUs == b.timeUs && a.identifier == b.identifier && a.extended == b.extended &&
           a.remote == b.remote && a.length == b.length &&
           (a.remote || std::memcmp(a.data, b.data, a.length) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reader = makeLogReader(kFormat);
    reader->openMemory(std::string_view(reinterpret_cast<const char*>(data), size));
    LogFrame f;
    std::uint64_t frames = 0;
    while (reader->next(f)) {
        ++frames;
        if (f.length > 8 || f.identifier > (f.extended ? 0x1FFFFFFFu : 0x7FFu)) __builtin_trap();
        char line[LogWriter::kMaxLine];
        const int n = kFormat == LogFormat::kAsc ? formatAscLine(line, f, 1)
                                                 : formatCandumpLine(line, f, "can0");
        const auto again = makeLogReader(kFormat);
        again->openMemory(std::string_view(line, static_cast<std::size_t>(n)));
        LogFrame g;
        if (!again->next(g) || !same(f, g)) __builtin_trap();
    }
    const LogReadResult& r = reader->result();
    if (!r.ok || r.frames != frames || r.frames + r.skippedLines() > r.lines ||
        r.warnings.size() > LogReadResult::kWarningsKept) {
        __builtin_trap();
    }
    return 0;
}
