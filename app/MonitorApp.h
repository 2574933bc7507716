#pragma once

// The application object: the process-wide state, the main frame, the one document, and the
// application's own commands (New, Exit, ...).
//
// Thread: the user-interface thread.

#include "app/CommandRouting.h"
#include "app/MainFrame.h"
#include "app/ProgramState.h"
#include "app/QtMessageService.h"
#include "capture/CDataDoc.h"

#include <QStringList>
#include <memory>

class MonitorApp final : public CommandTarget {
public:
    // The device and the message service are the program's own unless a test gives others.
    MonitorApp(VexaDevice* device = nullptr, MessageService* messages = nullptr);
    ~MonitorApp() override;

    // Creates the main frame and handles the command line; false when start-up fails.
    bool InitInstance(const QStringList& arguments);

    void newDocument();
    [[nodiscard]] MainFrame& mainFrame() { return *m_frame; }
    [[nodiscard]] CDataDoc* document() { return m_document.get(); }
    [[nodiscard]] ProgramState& state() { return m_state; }
    // The directory of the program file.
    [[nodiscard]] static QString programDirectory();

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    void OnFileNew(unsigned);
    void OnAppExit(unsigned);
    void OnDisabled(CmdUI& ui);

private:
    ProgramState m_state;
    VexaLibraryDevice m_libraryDevice;
    VexaDevice& m_device;
    QtMessageService m_qtMessages;
    MessageService& m_messages;
    std::unique_ptr<MainFrame> m_frame;
    std::unique_ptr<CDataDoc> m_document;
};
