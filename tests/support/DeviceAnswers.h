#pragma once

// GUI tests: the adapter's answers come back through the event loop, which these let run.

#include "capture/DeviceCommands.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <functional>

// Runs the event loop until `condition` holds; false when it did not within `limit`.
inline bool processUntil(const std::function<bool()>& condition,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Until every waited command of `commands` has its answer.
inline bool awaitAnswers(const DeviceCommands& commands,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    return processUntil([&] { return commands.waiting() == 0; }, limit);
}
