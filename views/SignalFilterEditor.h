#pragma once

// The CAN filter dialog's part for the CAN databases: conditions on message names and signal
// values, one per line (candb/SignalFilter.h), which count as conditions of the dialog's list.
// OK checks them against the document's databases; a line that does not compile is named and the
// dialog stays open.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "candb/SignalFilter.h"
#include "framework/MessageService.h"

#include <QGroupBox>

#include <string>

class QLabel;
class QPlainTextEdit;

class SignalFilterEditor final : public QGroupBox {
public:
    SignalFilterEditor(ProgramState& state, MessageService& messages, QWidget* parent = nullptr);

    // Shows the document's lines; without a database there is nothing to name.
    void open();
    // Compiles the lines; they become the filter's when they do, else a message names the line.
    bool accept();

    [[nodiscard]] QPlainTextEdit* edit() const { return m_edit; }

private:
    ProgramState& m_state;
    MessageService& m_messages;
    QLabel* m_hint;
    QPlainTextEdit* m_edit;
};

// The reason a line does not compile, as the user reads it.
[[nodiscard]] std::string signalFilterErrorText(const SignalFilterMatcher::Result& result);
