#pragma once

// Functions > Replay...: a modeless dialog that chooses the frames (the document's, all or the
// rows the list shows, or a log file), the speed and looping, starts the replay and shows its
// progress while the rest of the program goes on; Stop, or closing the dialog, ends it. Frames
// the adapter could not send are reported when the replay ends. The replay itself is
// ReplayController's.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "framework/MessageService.h"
#include "overview/ReplayController.h"

#include <QDialog>
#include <QTimer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class ReplayDialog final : public QDialog {
public:
    static constexpr int kRefreshMs = 100;

    ReplayDialog(ReplayController& controller, ProgramState& state, MessageService& messages,
                 QWidget* parent = nullptr);
    ~ReplayDialog() override;

    [[nodiscard]] ReplayChoice choice() const;
    void setChoice(const ReplayChoice& choice);
    // Start: checks the adapter and the choice, then starts the replay.
    void start();
    void stop();
    // Timer: the progress, and the report once the replay has ended.
    void refresh();

    [[nodiscard]] QProgressBar* progressBar() const { return m_progress; }
    [[nodiscard]] QLabel* statusLabel() const { return m_status; }
    [[nodiscard]] QLabel* notSentLabel() const { return m_notSent; }
    [[nodiscard]] QPushButton* startButton() const { return m_start; }
    [[nodiscard]] QPushButton* stopButton() const { return m_stop; }

    void reject() override;

private:
    void showRunning(bool running);

    ReplayController& m_controller;
    ProgramState& m_state;
    MessageService& m_messages;
    QRadioButton* m_all;
    QRadioButton* m_shown;
    QRadioButton* m_log;
    QLineEdit* m_logPath;
    QPushButton* m_browse;
    QComboBox* m_speed;
    QCheckBox* m_loop;
    QProgressBar* m_progress;
    QLabel* m_status;
    QLabel* m_notSent;
    QPushButton* m_start;
    QPushButton* m_stop;
    QTimer m_timer;
    bool m_wasRunning = false;
};
