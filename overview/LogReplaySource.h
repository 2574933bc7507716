#pragma once

// A candump or ASC log for a replay, read line by line through the log readers as it is sent;
// another pass opens the file again. Lines that give no frame are skipped and counted by the
// reader (result()), as an import counts them.

#include "interop/LogReader.h"
#include "overview/ReplaySource.h"

#include <memory>
#include <string>

class LogReplaySource final : public ReplaySource {
public:
    LogReplaySource(std::string path, LogFormat format);

    // Opens the file; false, with error(), when it cannot be read.
    [[nodiscard]] bool open();

    bool next(LogFrame& frame) override;
    bool rewind() override;
    [[nodiscard]] double progress() const override;
    [[nodiscard]] std::string error() const override;
    // What the reader made of the current pass so far: frames and skipped lines.
    [[nodiscard]] const LogReadResult& result() const;

private:
    const std::string m_path;
    const LogFormat m_format;
    std::unique_ptr<LogReader> m_reader;
};
