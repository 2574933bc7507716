#include "curves/CurveCsvExport.h"

#include "curves/CurveScan.h"
#include "curves/ExtractValue.h"
#include "framework/ReplacedFile.h"
#include "resources/StringTable.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace {

// Frames read between two looks at the progress.
constexpr std::uint32_t kStepFrames = 1u << 16;

// A reading as the file gives it: the integer, or a signal's physical value.
std::string valueText(std::int64_t reading, const CurveSignal* signal) {
    char text[40];
    const auto end = signal != nullptr
                         ? std::to_chars(text, text + sizeof text, signal->physical(reading))
                         : std::to_chars(text, text + sizeof text, reading);
    return std::string(text, end.ptr);
}

}  // namespace

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

std::size_t writeCurveValues(std::FILE* out, const CurveWindowRecord& window,
                             const FrameStore& store, const CurveSignals& values,
                             const CurveSignals& xValues, Progress* progress) {
    std::size_t rows = 0;
    const std::uint32_t count = store.count();
    ProgressSteps steps(progress, count);
    if ((window.flags & window_flags::kYx) != 0) {
        std::fputs("frame_x,frame_y,curve,x,y\n", out);
        YxScan scan;
        scan.setDefinitions(window.yx);
        scan.setSignals(values, xValues);
        const ApplicationFlags flags;
        // The pairings are made first; writing them is the short part.
        while (scan.scanPosition() < count) {
            if (steps.cancelled()) return rows;
            scan.scan(store, flags, std::min(kStepFrames, count - scan.scanPosition()));
            steps.at(scan.scanPosition());
        }
        for (int i = 0; i < 4; ++i) {
            const YxSlot& s = scan.slot(i);
            if (!s.defined()) continue;
            const std::string name = csvField(s.definition.name.text());
            const auto read = [&](const std::shared_ptr<const CurveSignal>& signal,
                                  std::uint32_t frame, Axis axis) {
                std::int64_t v = 0;
                if (!signal)
                    return valueText(readingValue(store.at(frame), s.definition.flags, axis),
                                     nullptr);
                (void)signal->reading(store.at(frame), v);
                return valueText(v, signal.get());
            };
            for (const XYSample& p : s.samples) {
                std::fprintf(out, "%u,%u,%s,%s,%s\n", p.xFrame, p.yFrame, name.c_str(),
                             read(s.xSignal, p.xFrame, Axis::kX).c_str(),
                             read(s.ySignal, p.yFrame, Axis::kY).c_str());
                ++rows;
            }
        }
        return rows;
    }
    std::fputs("frame,time_ms,curve,value\n", out);
    std::string names[4];
    for (std::size_t i = 0; i < 4; ++i) names[i] = csvField(window.yt[i].name.text());
    const auto write = [&](const CapturedFrame* records, std::size_t n, std::size_t first) {
        for (std::size_t k = 0; k < n; ++k) {
            const CapturedFrame& f = records[k];
            for (std::size_t i = 0; i < 4; ++i) {
                const CurveDefinition& d = window.yt[i];
                if ((d.flags & curve_flags::kDefined) == 0 || d.identifier != f.identifier)
                    continue;
                std::int64_t v = 0;
                if (values[i] && !values[i]->reading(f, v)) continue;
                if (!values[i]) v = readingValue(f, d.flags, Axis::kY);
                std::fprintf(out, "%zu,%llu,%s,%s\n", first + k,
                             static_cast<unsigned long long>(FrameTimeMs(f)), names[i].c_str(),
                             valueText(v, values[i].get()).c_str());
                ++rows;
            }
        }
    };
    for (std::uint32_t begin = 0; begin < count; begin += std::min(kStepFrames, count - begin)) {
        if (steps.cancelled()) return rows;
        store.visit(begin, begin + std::min(kStepFrames, count - begin), write);
        steps.at(begin);
    }
    return rows;
}

CsvResult exportCurveValues(const std::string& path, const CurveWindowRecord& window,
                            const FrameStore& store, const CurveSignals& values,
                            const CurveSignals& xValues, Progress* progress) {
    ReplacedFile file(path);
    if (file.fd() < 0) return {false, file.error(), 0};
    std::FILE* out = file.openStream();
    if (out == nullptr) return {false, std::strerror(errno), 0};
    CsvResult result;
    errno = 0;
    if (progress != nullptr) progress->begin(strings::kExportingData);
    result.rows = writeCurveValues(out, window, store, values, xValues, progress);
    const int writeError = errno;
    const bool written = std::ferror(out) == 0;
    const bool closed = std::fclose(out) == 0;
    if (progress != nullptr) progress->end();
    if (progress != nullptr && progress->cancelled()) {
        CsvResult cancelled{false, {}, 0};
        cancelled.cancelled = true;
        return cancelled;
    }
    if (!written || !closed) {
        const int e = !written ? writeError : errno;
        return {false, std::string("writing failed: ") + std::strerror(e != 0 ? e : EIO), 0};
    }
    if (!file.commit()) return {false, file.error(), 0};
    return result;
}
