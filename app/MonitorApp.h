#pragma once

// The application object: the process-wide state, the main frame, the one document, and the
// application's own commands (New, Exit, ...). The document's own work is the session's; the
// commands here ask the user and forward to it.
//
// Thread: the user-interface thread.

#include "framework/CommandRouting.h"
#include "app/LanguageManager.h"
#include "app/LogImport.h"
#include "app/MainFrame.h"
#include "document/ProgramState.h"
#include "app/QtMessageService.h"
#include "app/RecentFiles.h"
#include "document/CDataDoc.h"
#include "document/DocumentSession.h"
#include "capture/WaitingDevice.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

class MonitorApp final : public CommandTarget, private DocumentWindows {
public:
    // The device, the message service and the language environment are the program's own unless
    // a test gives others.
    MonitorApp(VexaDevice* device = nullptr, MessageService* messages = nullptr,
               LanguageEnvironment* languages = nullptr);
    ~MonitorApp() override;

    // Creates the main frame and handles the command line; false when start-up fails.
    bool InitInstance(const QStringList& arguments);

    void newDocument();
    // The long runs go to a worker while the window stays live; these wait for the outcome (the
    // commands do not).
    // Opens a document file: the open document is replaced only when the whole file was read.
    bool openDocument(const QString& path);
    // Saves the document; a failed or cancelled save leaves the old file as it was.
    bool saveDocument(const QString& path);
    // A log (candump, ASC, BLF, pcap, by its extension) becomes a new document; false when it was
    // not read.
    bool importLogFile(const QString& path);
    // Writes the log of File > Export As Log...; false when the file was not written.
    bool exportLogFile(const QString& path, const ExportLogChoice& choice);
    // Starts opening `path` and returns: the document is replaced once the file was read whole.
    void startOpen(const QString& path);
    // Asks whether to save a modified document; false when the user cancels.
    bool saveModified();
    [[nodiscard]] MainFrame& mainFrame() { return *m_frame; }
    [[nodiscard]] CDataDoc* document() { return m_session.document(); }
    [[nodiscard]] ProgramState& state() { return m_state; }
    [[nodiscard]] LanguageManager& language() { return m_language; }
    // The directory of the program file.
    [[nodiscard]] static QString programDirectory();

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    void OnFileNew(unsigned);
    void OnFileOpen(unsigned);
    void OnFileSave(unsigned id);
    void OnFileImportLog(unsigned);
    void OnFileExportLog(unsigned);
    void OnUpdateNeedsDocument(CmdUI& ui);
    void OnAppExit(unsigned);
    void OnFileMru(unsigned id);
    void OnUpdateFileMru(CmdUI& ui);
    [[nodiscard]] const RecentFiles& recentFiles() const { return m_recent; }
    void OnAppAbout(unsigned);
    void OnDisabled(CmdUI& ui);

private:
    // DocumentWindows: the main frame shows what the session did.
    void documentCreated(CDataDoc& document) override;
    void showWindowList(const std::vector<CurveWindowRecord>& windows) override;
    void showRows() override;
    void showCaptureState() override;
    void showName(bool modified) override;
    void framesReplacing() override;
    void fileUsed(const std::string& path) override;
    void fileUnreadable(const std::string& path) override;
    [[nodiscard]] bool dataListOpen() const override;

    // The transmission dialogs of the document.
    void openManualMessage();
    void openAutoMessage();
    // The capture poll gave up on the adapter.
    void adapterLost();
    // Save (ID_FILE_SAVE) or Save As, asking for a name when needed; waits for the outcome or not.
    void saveAs(unsigned id, bool waitForSave);
    // Runs `task` now, or once no long task's progress window is shown.
    void whenIdle(std::function<void()> task);

private:
    ProgramState m_state;
    VexaLibraryDevice m_libraryDevice;
    VexaDevice& m_device;
    // The adapter's commands run on one device thread; their answers are queued to this object
    // on the window's thread (and dropped once it is gone).
    QObject m_deviceAnswers;
    DeviceThread m_deviceThread;
    DeviceCommands m_deviceCommands;
    // A replay sends from its own thread, through the device thread like every other command.
    WaitingDevice m_replayDevice;
    QtMessageService m_qtMessages;
    MessageService& m_messages;
    SystemLanguageEnvironment m_systemLanguages;
    LanguageEnvironment& m_languages;
    LanguageManager m_language;
    std::unique_ptr<MainFrame> m_frame;
    DocumentSession m_session;
    ExportLogChoice m_logExport;  // the last export's choice, offered again
    RecentFiles m_recent;
};
