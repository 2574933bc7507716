#pragma once

// The small modeless "Please wait ......" window that saving, loading and exporting show: a bar
// from 0 to 100 and the percentage over its middle, black below 51 and white from 51 on.

#include "framework/Progress.h"

#include <QDialog>

class QLabel;
class QProgressBar;

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
    // A long task runs its steps under a shown progress window and lets posted events through
    // between them; a modal message then would let the user start another command inside it.
    [[nodiscard]] static bool anyShown() { return s_shown > 0; }

private:
    QProgressBar* m_bar;
    QLabel* m_percent;
    int m_updates = 0;
    bool m_counted = false;
    static inline int s_shown = 0;  // GUI thread only
};

// The progress window, given the event loop's turn it needs to appear and repaint: a long import
// or export runs on this thread. User input stays queued meanwhile.
class ShownProgress final : public Progress {
public:
    explicit ShownProgress(QWidget* parent) : m_window(parent) {}
    void begin(std::uint32_t captionStringId) override;
    void setPercent(int percent) override;
    void end() override { m_window.end(); }

private:
    static void settle();
    ProgressWindow m_window;
};
