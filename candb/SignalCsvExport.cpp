#include "candb/SignalCsvExport.h"

#include "framework/ReplacedFile.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include <sys/stat.h>

namespace {

// Collects rows in one block while a writer thread hands the other, full one to the stream: the
// kernel's copy of gigabytes into a file then overlaps the formatting instead of following it.
//
// Threads: the exporting thread fills blocks; only the writer thread touches the stream while it
// runs, and the exporting thread only once the writer is idle (a row longer than a block).
class Output {
public:
    static constexpr std::size_t kSize = std::size_t{4} << 20;
    static constexpr std::size_t kRoom = 256;  // what a row's numbers can take at most

    explicit Output(std::FILE* out) : m_out(out) {
        m_blocks[0].resize(kSize);
        m_blocks[1].resize(kSize);
        m_begin = m_p = m_blocks[0].data();
        m_writer = std::thread([this] { writeBlocks(); });
    }
    ~Output() { finish(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // Makes room for kRoom bytes at cursor().
    char* cursor() {
        if (m_p + kRoom > m_begin + kSize) handOver();
        return m_p;
    }
    void advance(char* to) { m_p = to; }
    void put(std::string_view s) {
        if (m_p + s.size() > m_begin + kSize) {
            handOver();
            if (s.size() > kSize) {
                waitIdle();
                std::fwrite(s.data(), 1, s.size(), m_out);
                return;
            }
        }
        std::memcpy(m_p, s.data(), s.size());
        m_p += s.size();
    }
    // Everything put so far is in the stream when it returns; the writer has ended.
    void finish() {
        if (!m_writer.joinable()) return;
        handOver();
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return m_pending == nullptr; });
            m_done = true;
        }
        m_work.notify_one();
        m_writer.join();
    }

private:
    void handOver() {
        if (m_p == m_begin) return;
        {
            std::unique_lock lock(m_mutex);
            m_idle.wait(lock, [this] { return m_pending == nullptr; });
            m_pending = m_begin;
            m_pendingSize = static_cast<std::size_t>(m_p - m_begin);
        }
        m_work.notify_one();
        m_filling ^= 1;
        m_begin = m_p = m_blocks[m_filling].data();
    }
    void waitIdle() {
        std::unique_lock lock(m_mutex);
        m_idle.wait(lock, [this] { return m_pending == nullptr; });
    }
    void writeBlocks() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_work.wait(lock, [this] { return m_pending != nullptr || m_done; });
            if (m_pending == nullptr) return;
            const char* block = m_pending;
            const std::size_t size = m_pendingSize;
            lock.unlock();
            std::fwrite(block, 1, size, m_out);
            lock.lock();
            m_pending = nullptr;
            m_idle.notify_one();
        }
    }

    std::FILE* m_out;
    std::vector<char> m_blocks[2];
    int m_filling = 0;
    char* m_begin = nullptr;
    char* m_p = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_work;   // a block is pending, or the export is done
    std::condition_variable m_idle;   // the writer has taken the pending block out
    const char* m_pending = nullptr;  // guarded by m_mutex
    std::size_t m_pendingSize = 0;    // guarded by m_mutex
    bool m_done = false;              // guarded by m_mutex
    std::thread m_writer;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string signalCsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + '"';
}

SignalCsvWriter::SignalCsvWriter(const SignalDecoder& decoder, FrameTimeFunction time)
    : m_decoder(decoder), m_time(time) {
    for (std::size_t i = 0; i < decoder.messageCount(); ++i) {
        const CanMessage& m = decoder.message(i);
        char hex[16];
        char* const end = std::to_chars(hex, hex + sizeof hex, m.identifier, 16).ptr;
        std::string id(hex, static_cast<std::size_t>(end - hex));
        std::transform(id.begin(), id.end(), id.begin(),
                       [](char c) { return c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c; });
        std::string text = ",0x";
        text.append(id).append(",").append(signalCsvField(m.name)).append(",");
        m_messageText.push_back(std::move(text));
        m_firstSignal.push_back(m_signalText.size());
        for (const CanSignal& s : m.signals) {
            SignalText t;
            t.name = signalCsvField(s.name) + ",";
            t.unit.append(",").append(signalCsvField(s.unit)).append(",");
            for (const ValueDescription& v : s.values) t.labels.push_back(signalCsvField(v.text));
            m_signalText.push_back(std::move(t));
        }
    }
}

SignalExportResult SignalCsvWriter::write(std::FILE* stream, const FrameStore& store) const {
    SignalExportResult result;
    Output out(stream);
    out.put("frame,time_ms,identifier,message,signal,raw,value,unit,label\n");
    DecodedFrame decoded = m_decoder.makeFrame();
    char lead[48];  // "frame,time_ms"
    store.visit(0, store.count(),
                [&](const CapturedFrame* records, std::size_t n, std::size_t first) {
                    for (std::size_t k = 0; k < n; ++k) {
                        const CapturedFrame& f = records[k];
                        if (!m_decoder.decode(f, decoded)) continue;
                        ++result.frames;
                        result.unfit += decoded.unfit();
                        if (f.status != 0) ++result.remote;
                        const auto values = decoded.values();
                        if (values.empty()) continue;
                        char* p = std::to_chars(lead, lead + 20, first + k).ptr;
                        *p++ = ',';
                        p = std::to_chars(p, lead + sizeof lead, m_time(f)).ptr;
                        const std::string_view leadText(lead, static_cast<std::size_t>(p - lead));
                        const std::string& messageText = m_messageText[decoded.messageIndex()];
                        const SignalText* texts =
                            m_signalText.data() + m_firstSignal[decoded.messageIndex()];
                        for (const SignalValue& v : values) {
                            const SignalText& t = texts[v.index];
                            out.put(leadText);
                            out.put(messageText);
                            out.put(t.name);
                            char* q = out.cursor();
                            q = writeRaw(q, *v.signal, v.raw);
                            *q++ = ',';
                            q = writeValue(q, v.value);
                            out.advance(q);
                            out.put(t.unit);
                            if (!t.labels.empty()) {
                                const int label = labelIndex(*v.signal, v.raw);
                                if (label >= 0) out.put(t.labels[static_cast<std::size_t>(label)]);
                            }
                            out.put("\n");
                            ++result.rows;
                        }
                    }
                });
    out.finish();
    if (std::ferror(stream) != 0) {
        result.ok = false;
        result.error = std::strerror(errno != 0 ? errno : EIO);
    }
    return result;
}

SignalExportResult exportSignalValues(const std::string& path, const SignalDecoder& decoder,
                                      const FrameStore& store, FrameTimeFunction time) {
    // A device or a pipe cannot be replaced: it is written straight.
    struct stat st {};
    const bool straight = ::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode);
    std::optional<ReplacedFile> replaced;
    if (!straight) {
        replaced.emplace(path);
        if (replaced->fd() < 0) return {false, replaced->error()};
    }
    std::unique_ptr<std::FILE, FileCloser> file(straight ? std::fopen(path.c_str(), "wb")
                                                         : replaced->openStream());
    if (!file) return {false, std::strerror(errno)};
    SignalExportResult result = SignalCsvWriter(decoder, time).write(file.get(), store);
    const bool closed = std::fclose(file.release()) == 0;
    if (!result.ok) return result;
    if (!closed) return {false, std::strerror(errno != 0 ? errno : EIO)};
    if (replaced && !replaced->commit()) return {false, replaced->error()};
    return result;
}
