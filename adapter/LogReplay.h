#pragma once

// Replay of a log (candump, ASC, BLF, pcap) at the log's own pace, read while it plays: a reader
// thread keeps at most kFramesAhead frames ready for the bus, so a log of any length takes the
// same little memory and the bus never waits for the file. Lines (or records) that give no frame
// are counted and reported by the reader, not fatal; a frame earlier than the one before it goes on the bus right after
// that one. Looping reopens the log and starts the next round a millisecond after the last frame.
// The log starts when the adapter first starts capturing, so a user sees it from its first frame;
// later starts find it where it is.
//
// Threads: next() and pop() from the bus thread; the report comes on the reader's thread.

#include "adapter/BusFrame.h"
#include "interop/LogReader.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

class LogReplay final : public BusSource {
public:
    static constexpr std::size_t kFramesAhead = 4096;

    // A reader on the log from its start, or null with `error`.
    using Open = std::function<std::unique_ptr<LogReader>(std::string& error)>;
    // What the first round gave (frames, skipped lines), or why reading stopped: once after the
    // first round, and again whenever reading fails.
    using Report = std::function<void(const LogReadResult&)>;

    LogReplay(Open open, bool loop, Report report);
    ~LogReplay() override;
    LogReplay(const LogReplay&) = delete;
    LogReplay& operator=(const LogReplay&) = delete;

    // The log at `path` (by its extension: ".asc", ".blf", ".pcap", ".pcapng", else candump),
    // opened here so that a log that cannot be read is refused at once. Only regular files: a
    // FIFO or a device could block the host or never end. Null, with `error`, otherwise.
    [[nodiscard]] static std::unique_ptr<LogReplay> openFile(const std::string& path, bool loop,
                                                             Report report, std::string& error);

    // While the reader is behind, the frame is no frame and wants the bus at kNothingYetUs.
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override;
    void pop() override;
    void captureStarted(std::uint64_t busUs) override;

    // Frames read and not yet on the bus.
    [[nodiscard]] std::size_t framesAhead() const;

private:
    struct Entry {
        std::uint64_t atUs;
        BusFrame frame;
    };
    LogReplay(std::unique_ptr<LogReader> first, Open open, bool loop, Report report);
    void readLoop(std::unique_ptr<LogReader> reader);
    // Waits for room; false when the replay is being destroyed.
    bool push(const Entry& entry);

    const Open m_open;
    const bool m_loop;
    const Report m_report;
    mutable std::mutex m_mutex;  // the members below
    std::condition_variable m_room;
    std::deque<Entry> m_ahead;
    bool m_readerDone = false;
    bool m_stop = false;
    std::optional<std::uint64_t> m_startUs;  // on the bus clock, from the first capture on
    std::thread m_reader;  // last: started when everything else is there
};
