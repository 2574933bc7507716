#include "app/MonitorApp.h"

#include "app/AboutDialog.h"
#include "app/CanDatabases.h"
#include "app/OverviewWindows.h"
#include "app/ChartWindows.h"
#include "framework/DocumentTemplate.h"
#include "widgets/ProgressWindow.h"
#include "app/QtTranslations.h"
#include "app/WindowLayout.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "transmit/AutoMessageDialog.h"
#include "transmit/ManualMessageDialog.h"
#include "resources/UiText.h"
#include "views/CViewDataList.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QStatusBar>
#include <QTimer>

#include <utility>

namespace {

const DocumentTemplate& dataListTemplate() {
    return kDocumentTemplates[0];
}

QString fileFilter() {
    return QString::fromStdString(dataListTemplate().filterName()) + ";;" +
           QString::fromStdString(uiText("All Files (*.*)"));
}

const CommandMap<MonitorApp>& commandMap() {
    using A = MonitorApp;
    static const CommandMap<A> map = {
        OnCommand<A>(ID_FILE_NEW, &A::OnFileNew),
        OnCommand<A>(ID_FILE_OPEN, &A::OnFileOpen),
        OnCommandRange<A>(ID_FILE_SAVE, ID_FILE_SAVE_AS, &A::OnFileSave),
        OnCommand<A>(ID_FILE_IMPORT_LOG, &A::OnFileImportLog),
        OnCommand<A>(ID_FILE_EXPORT_LOG, &A::OnFileExportLog),
        {ID_FILE_EXPORT_LOG, ID_FILE_EXPORT_LOG, nullptr, &A::OnUpdateNeedsDocument},
        {ID_FILE_SAVE, ID_FILE_SAVE_AS, nullptr, &A::OnUpdateNeedsDocument},
        OnCommand<A>(ID_APP_EXIT, &A::OnAppExit),
        OnCommandRange<A>(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE1 + RecentFiles::kMaxFiles - 1,
                          &A::OnFileMru),
        {ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE1 + RecentFiles::kMaxFiles - 1, nullptr,
         &A::OnUpdateFileMru},
        // Printing goes to the data list; without one it is off.
        {ID_FILE_PRINT_SETUP, ID_FILE_PRINT_PREVIEW, nullptr, &A::OnDisabled},
        OnCommand<A>(ID_APP_ABOUT, &A::OnAppAbout),
    };
    return map;
}

}  // namespace

MonitorApp::MonitorApp(VexaDevice* device, MessageService* messages, LanguageEnvironment* languages)
    : m_device(device != nullptr ? *device : m_libraryDevice),
      m_deviceThread(m_device,
                     [this](DeviceThread::Completion done) {
                         QMetaObject::invokeMethod(&m_deviceAnswers, std::move(done),
                                                   Qt::QueuedConnection);
                     }),
      m_deviceCommands(m_deviceThread),
      m_replayDevice(m_deviceThread, m_device),
      m_messages(messages != nullptr ? *messages : m_qtMessages),
      m_systemLanguages(programDirectory().toStdString()),
      m_languages(languages != nullptr ? *languages : m_systemLanguages),
      m_language(m_languages),
      m_session(m_state, m_device, m_messages, *this) {
    // Long runs go to a worker; what they end with comes back through the event loop.
    m_state.work.setPoster([](std::function<void()> done) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(done),
                                  Qt::QueuedConnection);
    });
    m_session.setWaiter(runEventsUntil);
}

MonitorApp::~MonitorApp() {
    // A work still running stops first; what it would have ended with is dropped.
    m_state.work.cancel();
    // The document stops its capture timer before the state it polls goes.
    m_frame.reset();
    m_session.close();
}

QString MonitorApp::programDirectory() {
    return QCoreApplication::applicationDirPath();
}

bool MonitorApp::InitInstance(const QStringList& arguments) {
    m_language.chooseLanguage();
    installQtTranslations(m_language.current());
    m_frame = std::make_unique<MainFrame>(m_state, m_deviceCommands, m_replayDevice, m_messages);
    m_frame->setLanguage(&m_language, &m_languages);
    m_qtMessages.setParent(m_frame.get());
    m_frame->setApplicationTarget(this);
    m_frame->setCloseQuery([this] {
        if (!saveModified()) return false;
        saveWindowLayout(*m_frame);
        return true;
    });
    restoreWindowLayout(*m_frame);
    m_recent.load();
    m_frame->setRecentFiles(&m_recent);
    // A document file on the command line opens it; without one the user starts with "New".
    for (int i = 1; i < arguments.size(); ++i) {
        if (!arguments[i].startsWith(QLatin1Char('-'))) {
            openDocument(arguments[i]);
            break;
        }
    }
    return true;
}

void MonitorApp::documentCreated(CDataDoc& document) {
    document.setDeviceCommands(&m_deviceCommands);
    document.setTransmitDialogs([this] { openManualMessage(); }, [this] { openAutoMessage(); });
    MainFrame* frame = m_frame.get();
    MessageService* messages = &m_messages;
    document.poll().setOutOfMemoryHandler([this, frame, messages] {
        QMetaObject::invokeMethod(
            frame,
            [this, messages] {
                whenIdle([messages] {
                    messages->showMessage(strings::kOutOfMemoryCaptureStopped, MessageIcon::kStop);
                });
            },
            Qt::QueuedConnection);
    });
    document.poll().setAdapterLostHandler([this, frame] {
        QMetaObject::invokeMethod(
            frame, [this] { whenIdle([this] { adapterLost(); }); }, Qt::QueuedConnection);
    });
    m_frame->setDocument(&document);
}

void MonitorApp::showWindowList(const std::vector<CurveWindowRecord>& windows) {
    m_frame->rebuildTree(windows);
    if (m_frame->dataList() == nullptr) {
        m_frame->createDataList(QStringLiteral("dl"));
    }
}

void MonitorApp::showRows() {
    // The filter's first step ran; the rest follows a step at a time from now on.
    m_frame->filterCatchUp();
    m_frame->dataList()->onTimer();
    m_frame->chartWindows()->documentChanged();
    m_frame->canDatabases()->documentChanged();
}

void MonitorApp::framesReplacing() {
    m_frame->overviewWindows()->storeReplacing();
}

void MonitorApp::showCaptureState() {
    m_frame->onTimer();
}

void MonitorApp::showName(bool modified) {
    m_frame->setDocument(m_session.document());
    m_frame->setWindowModified(modified);
}

void MonitorApp::fileUsed(const std::string& path) {
    m_recent.add(QString::fromStdString(path));
}

void MonitorApp::fileUnreadable(const std::string& path) {
    m_recent.remove(QString::fromStdString(path));
    m_frame->rebuildMenus();
}

bool MonitorApp::dataListOpen() const {
    return m_frame->dataList() != nullptr;
}

void MonitorApp::openManualMessage() {
    ManualMessage logic(document()->contents.manual, m_state.hexDisplay, m_state.device.frameType,
                        {m_deviceCommands, m_state.store, m_state.capture, m_messages});
    ManualMessageDialog dialog(logic, m_frame.get());
    dialog.exec();
}

void MonitorApp::openAutoMessage() {
    DocumentContents& c = document()->contents;
    AutoMessageSetup logic({c.items, c.interval, c.cycle}, m_state.hexDisplay,
                           m_state.device.frameType, {m_deviceCommands, m_state.capture, m_messages});
    AutoMessageDialog dialog(logic, m_frame.get());
    dialog.exec();
}

void MonitorApp::newDocument() {
    m_session.newDocument();
}

bool MonitorApp::saveDocument(const QString& path) {
    return m_session.save(path.toStdString());
}

bool MonitorApp::openDocument(const QString& path) {
    return m_session.open(path.toStdString());
}

bool MonitorApp::saveModified() {
    if (document() == nullptr || !document()->IsModified()) return true;
    const auto answer = QMessageBox::question(
        m_frame.get(), QString::fromStdString(strings::loadString(strings::kProgramName)),
        QString::fromStdString(strings::loadString(strings::kSaveChanges))
            .arg(QString::fromStdString(document()->GetTitle())),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Discard) return true;
    // Whatever comes next needs the outcome.
    saveAs(ID_FILE_SAVE, true);
    return !document()->IsModified();
}

void MonitorApp::OnFileOpen(unsigned) {
    const QString path =
        QFileDialog::getOpenFileName(m_frame.get(), QString(), QString(), fileFilter());
    if (!path.isEmpty() && saveModified()) startOpen(path);
}

void MonitorApp::startOpen(const QString& path) {
    m_session.open(path.toStdString(), [](bool) {});
}

void MonitorApp::OnFileSave(unsigned id) {
    saveAs(id, false);
}

void MonitorApp::saveAs(unsigned id, bool waitForSave) {
    QString path = QString::fromStdString(document()->GetPathName());
    if (id == ID_FILE_SAVE_AS || path.isEmpty()) {
        const QString extension = QString::fromStdString(dataListTemplate().extension());
        path = QFileDialog::getSaveFileName(
            m_frame.get(), QString(), QString::fromStdString(document()->GetTitle()) + extension,
            fileFilter());
        if (path.isEmpty()) return;
        if (!path.endsWith(extension)) path += extension;
    }
    if (waitForSave) {
        saveDocument(path);
        return;
    }
    m_session.save(path.toStdString(), [](bool) {});
    m_frame->workProgress().noteContentUpToStart();
}

void MonitorApp::OnUpdateNeedsDocument(CmdUI& ui) {
    ui.enabled = document() != nullptr;
}

void MonitorApp::OnFileNew(unsigned) {
    newDocument();
}

void MonitorApp::OnAppExit(unsigned) {
    m_frame->close();
}

void MonitorApp::OnFileMru(unsigned id) {
    const int index = static_cast<int>(id - ID_FILE_MRU_FILE1);
    if (index >= m_recent.files().size()) return;
    const QString path = m_recent.files()[index];
    if (saveModified()) startOpen(path);
}

void MonitorApp::OnUpdateFileMru(CmdUI& ui) {
    ui.enabled = static_cast<int>(ui.id - ID_FILE_MRU_FILE1) < m_recent.files().size();
}

void MonitorApp::OnAppAbout(unsigned) {
    AboutDialog about(m_frame.get());
    about.exec();
}

void MonitorApp::OnDisabled(CmdUI& ui) {
    ui.enabled = false;
}

bool MonitorApp::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool MonitorApp::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}

void MonitorApp::whenIdle(std::function<void()> task) {
    // A message box's own event loop takes user input; inside a long task's steps that input
    // would start another command before the task is done, so the message waits for the task.
    if (ProgressWindow::anyShown()) {
        QTimer::singleShot(50, m_frame.get(), [this, task = std::move(task)]() mutable {
            whenIdle(std::move(task));
        });
        return;
    }
    task();
}

void MonitorApp::adapterLost() {
    // Capturing is already off; the status bar says why until the next message replaces it.
    m_frame->onTimer();
    m_frame->updateCommandUI();
    m_frame->statusBar()->showMessage(
        QString::fromStdString(strings::loadString(strings::kAdapterLostStatus)));
    m_messages.showMessage(strings::kAdapterLost, MessageIcon::kStop);
}
