#include "overview/LogReplaySource.h"

LogReplaySource::LogReplaySource(std::string path, LogFormat format)
    : m_path(std::move(path)), m_format(format) {}

bool LogReplaySource::open() {
    m_reader = makeLogReader(m_format);
    return m_reader->openFile(m_path);
}

bool LogReplaySource::next(LogFrame& frame) {
    return m_reader != nullptr && m_reader->next(frame);
}

bool LogReplaySource::rewind() {
    return open();
}

double LogReplaySource::progress() const {
    if (m_reader == nullptr || m_reader->size() == 0) return 0;
    return static_cast<double>(m_reader->bytesConsumed()) / static_cast<double>(m_reader->size());
}

std::string LogReplaySource::error() const {
    if (m_reader == nullptr) return "the log is not open";
    return m_reader->result().ok ? std::string() : m_reader->result().error;
}

const LogReadResult& LogReplaySource::result() const {
    static const LogReadResult none;
    return m_reader != nullptr ? m_reader->result() : none;
}
