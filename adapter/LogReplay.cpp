#include "adapter/LogReplay.h"

#include <cerrno>
#include <cstring>

#include <sys/stat.h>

LogReplay::LogReplay(Open open, bool loop, Report report)
    : LogReplay(nullptr, std::move(open), loop, std::move(report)) {}

LogReplay::LogReplay(std::unique_ptr<LogReader> first, Open open, bool loop, Report report)
    : m_open(std::move(open)), m_loop(loop), m_report(std::move(report)) {
    m_reader =
        std::thread([this, reader = std::move(first)]() mutable { readLoop(std::move(reader)); });
}

LogReplay::~LogReplay() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_room.notify_all();
    m_reader.join();
}

std::unique_ptr<LogReplay> LogReplay::openFile(const std::string& path, bool loop, Report report,
                                               std::string& error) {
    Open open = [path](std::string& why) -> std::unique_ptr<LogReader> {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            why = std::strerror(errno);
            return nullptr;
        }
        if (!S_ISREG(st.st_mode)) {
            why = "not a regular file";
            return nullptr;
        }
        LogFormat format = LogFormat::kCandump;
        (void)logFormatOf(fileKindOf(path), format);
        auto reader = makeLogReader(format);
        if (!reader->openFile(path)) {
            why = reader->result().error;
            return nullptr;
        }
        return reader;
    };
    auto first = open(error);
    if (!first) {
        return nullptr;
    }
    return std::unique_ptr<LogReplay>(
        new LogReplay(std::move(first), std::move(open), loop, std::move(report)));
}

bool LogReplay::next(BusFrame& frame, std::uint64_t& wantedAtUs) {
    std::lock_guard lock(m_mutex);
    if (m_ahead.empty()) {
        if (m_readerDone) {
            return false;
        }
        frame = BusFrame{};
        wantedAtUs = kNothingYetUs;
        return true;
    }
    if (!m_startUs) {
        frame = BusFrame{};
        wantedAtUs = kNothingYetUs;
        return true;
    }
    frame = m_ahead.front().frame;
    wantedAtUs = *m_startUs + m_ahead.front().atUs;
    return true;
}

void LogReplay::captureStarted(std::uint64_t busUs) {
    std::lock_guard lock(m_mutex);
    if (!m_startUs) m_startUs = busUs;
}

void LogReplay::pop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_ahead.empty()) {
            return;
        }
        m_ahead.pop_front();
    }
    m_room.notify_one();
}

std::size_t LogReplay::framesAhead() const {
    std::lock_guard lock(m_mutex);
    return m_ahead.size();
}

bool LogReplay::push(const Entry& entry) {
    std::unique_lock lock(m_mutex);
    m_room.wait(lock, [this] { return m_stop || m_ahead.size() < kFramesAhead; });
    if (m_stop) {
        return false;
    }
    m_ahead.push_back(entry);
    return true;
}

void LogReplay::readLoop(std::unique_ptr<LogReader> reader) {
    std::uint64_t roundStartUs = 0;
    bool reported = false;
    std::string error;
    if (!reader) {
        reader = m_open(error);
    }
    while (reader) {
        LogFrame f;
        bool any = false;
        std::uint64_t first = 0, previous = 0;
        while (reader->next(f)) {
            if (!any) {
                first = previous = f.timeUs;
                any = true;
            }
            previous = std::max(previous, f.timeUs);
            Entry e{roundStartUs + (previous - first), BusFrame{}};
            e.frame.identifier = f.identifier;
            e.frame.extended = f.extended;
            e.frame.remote = f.remote;
            e.frame.length = f.length;
            std::memcpy(e.frame.data, f.data, sizeof e.frame.data);
            if (!push(e)) {
                return;
            }
        }
        const LogReadResult& result = reader->result();
        if (!reported || !result.ok) {
            if (m_report) m_report(result);
            reported = true;
        }
        if (!result.ok || !m_loop || !any) {
            reader.reset();
            break;
        }
        roundStartUs += previous - first + 1000;
        reader = m_open(error);
    }
    if (!error.empty() && m_report) {
        LogReadResult failed;
        failed.ok = false;
        failed.error = error;
        m_report(failed);
    }
    std::lock_guard lock(m_mutex);
    m_readerDone = true;
}
