#include "overview/OverviewCsv.h"

#include "framework/ReplacedFile.h"

#include <cerrno>
#include <cstring>

namespace {

// `span` / `n` with three decimals, rounded half away from zero, without floating point (and so
// without the locale's decimal mark).
std::string decimalQuotient(std::int64_t span, std::uint64_t n) {
    const bool negative = span < 0;
    const std::uint64_t magnitude = negative ? std::uint64_t{0} - static_cast<std::uint64_t>(span)
                                             : static_cast<std::uint64_t>(span);
    std::uint64_t whole = magnitude / n;
    const std::uint64_t rest = magnitude % n;
    // rest < n < 2^32 here (a store holds at most 2^32 frames), so rest × 1000 fits.
    std::uint64_t thousandths = (rest * 1000 + n / 2) / n;
    if (thousandths == 1000) {
        ++whole;
        thousandths = 0;
    }
    char text[48];
    std::snprintf(
        text, sizeof text, "%s%llu.%03llu", negative && (whole | thousandths) != 0 ? "-" : "",
        static_cast<unsigned long long>(whole), static_cast<unsigned long long>(thousandths));
    return text;
}

}  // namespace

std::size_t writeOverviewCsv(std::FILE* out, const BusOverview& overview) {
    std::fputs(
        "identifier,format,count,first_ms,last_ms,mean_period_ms,min_period_ms,"
        "max_period_ms,last_length,last_data\n",
        out);
    for (const OverviewRow& r : overview.rows()) {
        std::fprintf(out, "%X,%s,%llu,%llu,%llu,", r.identifier,
                     r.extended ? "extended" : "standard", static_cast<unsigned long long>(r.count),
                     static_cast<unsigned long long>(r.firstTime),
                     static_cast<unsigned long long>(r.lastTime));
        if (r.hasPeriods()) {
            const std::string mean =
                decimalQuotient(static_cast<std::int64_t>(r.lastTime - r.firstTime), r.count - 1);
            std::fprintf(out, "%s,%lld,%lld,", mean.c_str(), static_cast<long long>(r.minPeriod),
                         static_cast<long long>(r.maxPeriod));
        } else {
            std::fputs(",,,", out);
        }
        std::fprintf(out, "%u,", static_cast<unsigned>(r.lastLength));
        if (!r.lastRemote) {
            for (unsigned i = 0; i < r.lastDataLength; ++i) {
                std::fprintf(out, i == 0 ? "%02X" : " %02X", r.lastData[i]);
            }
        }
        std::fputc('\n', out);
    }
    return overview.size();
}

OverviewCsvResult exportOverviewCsv(const std::string& path, const FrameStore& store) {
    BusOverview overview(OverviewClock::kMilliseconds);
    overview.update(store);
    if (overview.framesOverLimit() > 0) {
        return {false,
                "the document holds more than " + std::to_string(BusOverview::kDefaultMaxRows) +
                    " identifiers",
                0};
    }
    ReplacedFile file(path);
    if (file.fd() < 0) return {false, file.error(), 0};
    std::FILE* out = file.openStream();
    if (out == nullptr) return {false, std::strerror(errno), 0};
    OverviewCsvResult result;
    errno = 0;
    result.rows = writeOverviewCsv(out, overview);
    const int writeError = errno;
    const bool written = std::ferror(out) == 0;
    const bool closed = std::fclose(out) == 0;
    if (!written || !closed) {
        const int e = !written ? writeError : errno;
        return {false, std::string("writing failed: ") + std::strerror(e != 0 ? e : EIO), 0};
    }
    if (!file.commit()) return {false, file.error(), 0};
    return result;
}
