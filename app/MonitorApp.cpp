#include "app/MonitorApp.h"

#include "app/AboutDialog.h"
#include "app/CanDatabases.h"
#include "candb/DocumentSignals.h"
#include "app/ChartWindows.h"
#include "framework/DocumentTemplate.h"
#include "app/ProgressWindow.h"
#include "app/QtTranslations.h"
#include "app/WindowLayout.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "transmit/AutoMessageDialog.h"
#include "transmit/ManualMessageDialog.h"
#include "resources/UiText.h"
#include "views/CViewDataList.h"
#include "views/SignalFilterEditor.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
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
      m_messages(messages != nullptr ? *messages : m_qtMessages),
      m_systemLanguages(programDirectory().toStdString()),
      m_languages(languages != nullptr ? *languages : m_systemLanguages),
      m_language(m_languages) {}

MonitorApp::~MonitorApp() {
    // The document stops its capture timer before the state it polls goes.
    m_frame.reset();
    m_document.reset();
}

QString MonitorApp::programDirectory() {
    return QCoreApplication::applicationDirPath();
}

bool MonitorApp::InitInstance(const QStringList& arguments) {
    m_language.chooseLanguage();
    installQtTranslations(m_language.current());
    m_frame = std::make_unique<MainFrame>(m_state, m_device, m_messages);
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

void MonitorApp::createDocument() {
    m_state.flags.set(ApplicationFlags::kDocumentExists);
    m_document = std::make_unique<CDataDoc>(m_device, m_state.store, m_state.capture, m_state.flags,
                                            m_messages);
    m_document->SetTitle(uiText(dataListTemplate().newDocumentName().c_str()));
    m_document->addClearListener([this] { m_state.filter.displayIndexList.clear(); });
    m_document->setCaptureChangedHandler([this] { m_frame->onTimer(); });
    m_document->setTransmitDialogs([this] { openManualMessage(); },
                                   [this] { openAutoMessage(); });
    MainFrame* frame = m_frame.get();
    MessageService* messages = &m_messages;
    m_document->poll().setOutOfMemoryHandler([this, frame, messages] {
        QMetaObject::invokeMethod(
            frame,
            [this, messages] {
                whenIdle([messages] {
                    messages->showMessage(strings::kOutOfMemoryCaptureStopped, MessageIcon::kStop);
                });
            },
            Qt::QueuedConnection);
    });
    m_document->poll().setAdapterLostHandler([this, frame] {
        QMetaObject::invokeMethod(
            frame, [this] { whenIdle([this] { adapterLost(); }); }, Qt::QueuedConnection);
    });
    m_frame->setDocument(m_document.get());
}

void MonitorApp::openManualMessage() {
    ManualMessage logic(m_document->contents.manual, m_state.hexDisplay, m_state.device.frameType,
                        {m_device, m_state.store, m_state.capture, m_messages});
    ManualMessageDialog dialog(logic, m_frame.get());
    dialog.exec();
}

void MonitorApp::openAutoMessage() {
    DocumentContents& c = m_document->contents;
    AutoMessageSetup logic({c.items, c.interval, c.cycle}, m_state.hexDisplay,
                           m_state.device.frameType, {m_device, m_state.capture, m_messages});
    AutoMessageDialog dialog(logic, m_frame.get());
    dialog.exec();
}

void MonitorApp::newDocument() {
    if (m_state.flags.test(ApplicationFlags::kDocumentExists)) {
        m_messages.showMessage(strings::kCannotCreateTwoDocuments);
        return;
    }
    m_state.filter.conditions.clear();
    m_state.filter.displayIndexList.clear();
    m_state.filter.processedCount = 0;
    m_state.filter.recomputeActive();
    if (m_state.store.count() > 0) {
        m_state.store.clear();
    }
    m_state.capture.anchors.clear();
    m_state.capture.framesLost = 0;
    m_state.databases.clear();
    m_state.signalCurves = {};
    m_state.signalFilter = {};
    m_state.filter.moreConditions = nullptr;
    createDocument();
    CurveWindowRecord dataList;
    dataList.flags = CurveWindowRecord::kDataList;
    dataList.name.set("dl");
    m_document->contents.windows.push_back(dataList);
    m_frame->createDataList(QStringLiteral("dl"));
    m_frame->chartWindows()->documentChanged();
    m_frame->canDatabases()->documentChanged();
}

DocumentContents MonitorApp::snapshot() {
    DocumentContents c = m_document->contents;
    c.capturing = m_state.capture.capturing.load();
    c.deviceReady = m_state.capture.deviceReady.load();
    c.baudRate = static_cast<std::uint32_t>(m_state.device.baudRate);
    c.workMode = static_cast<std::uint32_t>(m_state.device.workMode);
    c.frameType = static_cast<std::uint32_t>(m_state.device.frameType);
    c.dataListExists = m_frame->dataList() != nullptr ? 1 : 0;
    c.hexDisplay = m_state.hexDisplay;
    c.conditions = m_state.filter.conditions;
    c.activeWord = m_state.filter.activeWord;
    c.filterMode = static_cast<std::uint32_t>(m_state.filter.mode);
    c.extensions.anchors = m_state.capture.anchors.snapshot();
    putDocumentSignals(c.extensions, m_state.databases, m_state.signalCurves, m_state.signalFilter);
    return c;
}

void MonitorApp::documentStored(const QString& path) {
    m_recent.add(path);
    m_document->SetPathName(path.toStdString());
    m_document->SetTitle(QFileInfo(path).fileName().toStdString());
    m_document->SetModifiedFlag(false);
    m_frame->setDocument(m_document.get());
    m_frame->setWindowModified(false);
}

bool MonitorApp::saveDocument(const QString& path) {
    if (m_document == nullptr) return false;
    const DocumentContents contents = snapshot();
    // Frames that arrive while the file is written still mark the document modified.
    m_state.capture.pendingChanges = 0;
    const std::uint32_t frames = m_state.store.count();
    ProgressWindow progress(m_frame.get());
    const FileResult result =
        ::saveDocument(path.toStdString(), contents, m_state.store, frames, &progress);
    if (!result.ok) {
        m_state.capture.pendingChanges = 1;
        m_messages.showText(QString::fromStdString(strings::loadString(strings::kCannotSaveDocument))
                                .arg(QString::fromStdString(result.error))
                                .toStdString(),
                            MessageIcon::kStop);
        return false;
    }
    documentStored(path);
    return true;
}

bool MonitorApp::openDocument(const QString& path) {
    DocumentContents contents;
    FrameStore frames;
    ProgressWindow progress(m_frame.get());
    const FileResult result = loadDocument(path.toStdString(), contents, frames, &progress);
    if (!result.ok) {
        // The open document, if any, stays as it was.
        m_messages.showText(result.error, MessageIcon::kStop);
        m_recent.remove(path);
        m_frame->rebuildMenus();
        return false;
    }
    apply(std::move(contents), frames);
    documentStored(path);
    return true;
}

void MonitorApp::apply(DocumentContents&& c, FrameStore& frames) {
    if (m_document == nullptr) createDocument();
    // No batch of the capture running now may land among the loaded frames.
    m_state.capture.capturing = 0;
    m_state.flags.set(ApplicationFlags::kClearing);
    m_state.store.swap(frames);
    m_state.capture.wrapCount = 0;
    m_state.capture.lastTime = AdapterTime{};
    // The anchors live beside the store; the document keeps only what it does not read.
    m_state.capture.anchors.replace(std::exchange(c.extensions.anchors, {}));
    const std::vector<std::string> unread = takeDocumentSignals(
        c.extensions, m_state.databases, m_state.signalCurves, m_state.signalFilter);
    m_state.capture.framesLost = 0;
    m_state.device.baudRate = static_cast<std::int32_t>(c.baudRate);
    m_state.device.workMode = static_cast<std::int32_t>(c.workMode);
    m_state.device.frameType = static_cast<std::int32_t>(c.frameType);
    m_state.hexDisplay = c.hexDisplay;
    m_state.filter.conditions = c.conditions;
    m_state.filter.mode = c.filterMode == 1 ? FilterMode::kHide : FilterMode::kShow;
    // The active word follows the conditions that were really loaded.
    m_state.filter.activeWord = c.activeWord;
    m_state.filter.recomputeActive();
    applySignalConditions(m_state);
    m_state.filter.displayIndexList.clear();
    m_state.filter.processedCount = 0;
    m_state.flags.reset(ApplicationFlags::kClearing);
    const std::uint32_t capturing = c.capturing;
    const std::uint32_t deviceReady = c.deviceReady;
    m_document->contents = std::move(c);
    m_frame->rebuildTree(m_document->contents.windows);
    if (m_frame->dataList() == nullptr) {
        m_frame->createDataList(QStringLiteral("dl"));
    }
    FilterStep(m_state.filter, m_state.store, m_state.flags);
    m_frame->dataList()->onTimer();
    m_frame->chartWindows()->documentChanged();
    m_frame->canDatabases()->documentChanged();
    for (const std::string& why : unread) {
        m_messages.showText(
            QString::fromStdString(strings::loadString(strings::kDocumentDatabasesUnreadable))
                .arg(QString::fromStdString(why))
                .toStdString(),
            MessageIcon::kWarning);
    }
    m_state.capture.pendingChanges = 0;
    m_state.capture.deviceReady = deviceReady;
    m_state.capture.capturing = capturing;
    m_frame->onTimer();
}

bool MonitorApp::saveModified() {
    if (m_document == nullptr || !m_document->IsModified()) return true;
    const auto answer = QMessageBox::question(
        m_frame.get(), QString::fromStdString(strings::loadString(strings::kProgramName)),
        QString::fromStdString(strings::loadString(strings::kSaveChanges))
            .arg(QString::fromStdString(m_document->GetTitle())),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::Discard) return true;
    OnFileSave(ID_FILE_SAVE);
    return !m_document->IsModified();
}

void MonitorApp::OnFileOpen(unsigned) {
    const QString path =
        QFileDialog::getOpenFileName(m_frame.get(), QString(), QString(), fileFilter());
    if (!path.isEmpty() && saveModified()) openDocument(path);
}

void MonitorApp::OnFileSave(unsigned id) {
    QString path = QString::fromStdString(m_document->GetPathName());
    if (id == ID_FILE_SAVE_AS || path.isEmpty()) {
        const QString extension = QString::fromStdString(dataListTemplate().extension());
        path = QFileDialog::getSaveFileName(
            m_frame.get(), QString(), QString::fromStdString(m_document->GetTitle()) + extension,
            fileFilter());
        if (path.isEmpty()) return;
        if (!path.endsWith(extension)) path += extension;
    }
    saveDocument(path);
}

void MonitorApp::OnUpdateNeedsDocument(CmdUI& ui) {
    ui.enabled = m_document != nullptr;
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
    if (saveModified()) openDocument(path);
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
