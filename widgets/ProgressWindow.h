#pragma once

// The small modeless "Please wait ......" window that saving, loading and exporting show: a bar
// from 0 to 100 and the percentage over its middle, black below 51 and white from 51 on.

#include "framework/BackgroundTask.h"
#include "framework/Progress.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

class ProgressWindow final : public QDialog, public Progress {
public:
    explicit ProgressWindow(QWidget* parent);
    ~ProgressWindow() override {
        if (m_counted) --s_shown;
    }

    void begin(std::uint32_t captionStringId) override;
    void setPercent(int percent) override;
    void end() override;

    [[nodiscard]] int percent() const;
    [[nodiscard]] QString percentText() const;
    [[nodiscard]] QColor percentColour() const;
    [[nodiscard]] int updates() const { return m_updates; }
    // A long task's progress window is shown; a modal message then waits for the task, which
    // reads or replaces what the message's choices would touch.
    [[nodiscard]] static bool anyShown() { return s_shown > 0; }

    // A Cancel button under the bar that calls `cancel` (a run on a worker can be stopped).
    void offerCancel(std::function<void()> cancel);
    // A line under "Please wait" (none: 0).
    void setNote(std::uint32_t stringId);
    [[nodiscard]] QPushButton* cancelButton() const { return m_cancel; }
    [[nodiscard]] QString note() const;

private:
    QProgressBar* m_bar;
    QLabel* m_percent;
    QLabel* m_note;
    QPushButton* m_cancel = nullptr;
    int m_updates = 0;
    bool m_counted = false;
    static inline int s_shown = 0;  // GUI thread only
};

// The progress window of the state's work: a timer of the window's thread polls how far the
// worker has come, shows the window while a step runs, and its Cancel button stops the work.
class TaskProgressWindow final : public QObject {
public:
    static constexpr int kPollMs = 30;
    TaskProgressWindow(BackgroundTask& task, QWidget* parent);
    // Says that the content is what there was when the command was given (a save or an export
    // during capture); until the work ends.
    void noteContentUpToStart() { m_noteNext = true; }
    // Catches up with the work now (the timer does so on its own).
    void poll();
    [[nodiscard]] ProgressWindow& window() { return m_window; }

private:
    BackgroundTask& m_task;
    ProgressWindow m_window;
    QTimer m_timer;
    std::uint32_t m_steps = 0;
    bool m_noteNext = false;
    std::uint64_t m_seen = 0;  // the work shown
};

// Runs the event loop of this thread until `finished` says so (a work's waiting form).
void runEventsUntil(const std::function<bool()>& finished);
