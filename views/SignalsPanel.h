#pragma once

// The Signals panel: the decoded values of one frame, one line per signal (name, physical value
// with its unit, raw value, value description, the database's minimum and maximum, the comment as
// tool tip). The frame is the data list's selected row; with none selected, the newest frame of
// the message chosen in the panel, followed live while capturing. Hidden, it does nothing.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "candb/NewestFrame.h"
#include "candb/SignalDecoder.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QTreeWidget;

class SignalsPanel final : public QWidget {
public:
    static constexpr int kRefreshMs = 100;
    enum Column { kName, kValue, kRaw, kDescription, kMinimum, kMaximum, kColumns };

    explicit SignalsPanel(ProgramState& state, QWidget* parent = nullptr);

    // Where the data list's selected frame is (a store position), or nullopt with none selected.
    void setSelection(std::function<std::optional<std::uint32_t>()> selected) {
        m_selected = std::move(selected);
    }
    // The document's databases changed: the list of messages follows, keeping the chosen one
    // where a database still names it.
    void databasesChanged();
    // Shows the frame it should show now.
    void refresh();
    // Follows the newest frame of the decoder's message `index` (-1: none).
    void chooseMessage(int index);

    [[nodiscard]] QComboBox* messages() const { return m_messages; }
    [[nodiscard]] QLabel* caption() const { return m_caption; }
    [[nodiscard]] QTreeWidget* lines() const { return m_lines; }
    // The store position of the frame shown, or nullopt.
    [[nodiscard]] std::optional<std::uint32_t> shownFrame() const { return m_shown; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void show(const CapturedFrame& frame, std::uint32_t position);
    void showNothing(const QString& caption);
    // Until the user chooses, the panel follows a message the bus really carries.
    void chooseAMessageOnTheBus();

    ProgramState& m_state;
    std::function<std::optional<std::uint32_t>()> m_selected;
    QComboBox* m_messages;
    QLabel* m_caption;
    QTreeWidget* m_lines;
    QTimer m_timer;
    std::shared_ptr<const SignalDecoder> m_decoder;  // the one the list of messages was made of
    DecodedFrame m_decoded;
    NewestFrame m_newest;
    std::optional<std::uint32_t> m_shown;
    bool m_userChose = false;
};
