#include "app/MonitorApp.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/CViewDataList.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace {

const CommandMap<MonitorApp>& commandMap() {
    using A = MonitorApp;
    static const CommandMap<A> map = {
        OnCommand<A>(ID_FILE_NEW, &A::OnFileNew),
        OnCommand<A>(ID_APP_EXIT, &A::OnAppExit),
        // Documents on disk, printing and the About box arrive with their own windows.
        {ID_FILE_OPEN, ID_FILE_SAVE_AS, nullptr, &A::OnDisabled},
        {ID_FILE_PRINT_SETUP, ID_FILE_PRINT_PREVIEW, nullptr, &A::OnDisabled},
        {ID_APP_ABOUT, ID_APP_ABOUT, nullptr, &A::OnDisabled},
    };
    return map;
}

}  // namespace

MonitorApp::MonitorApp(VexaDevice* device, MessageService* messages)
    : m_device(device != nullptr ? *device : m_libraryDevice),
      m_messages(messages != nullptr ? *messages : m_qtMessages) {}

MonitorApp::~MonitorApp() {
    // The document stops its capture timer before the state it polls goes.
    m_frame.reset();
    m_document.reset();
}

QString MonitorApp::programDirectory() { return QCoreApplication::applicationDirPath(); }

bool MonitorApp::InitInstance(const QStringList& arguments) {
    m_frame = std::make_unique<MainFrame>(m_state, m_device, m_messages);
    m_qtMessages.setParent(m_frame.get());
    m_frame->setApplicationTarget(this);
    // A document file on the command line opens it; without one the user starts with "New".
    (void)arguments;
    return true;
}

void MonitorApp::newDocument() {
    if (m_state.flags.test(ApplicationFlags::kDocumentExists)) {
        m_messages.showMessage(strings::kCannotCreateTwoDocuments);
        return;
    }
    m_state.flags.set(ApplicationFlags::kDocumentExists);
    m_state.filter.conditions.clear();
    m_state.filter.displayIndexList.clear();
    m_state.filter.processedCount = 0;
    m_state.filter.recomputeActive();
    if (m_state.store.count() > 0) {
        m_state.store.clear();
    }
    m_document = std::make_unique<CDataDoc>(m_device, m_state.store, m_state.capture,
                                            m_state.flags, m_messages);
    m_document->addClearListener([this] { m_state.filter.displayIndexList.clear(); });
    m_document->setCaptureChangedHandler([this] { m_frame->onTimer(); });
    MainFrame* frame = m_frame.get();
    MessageService* messages = &m_messages;
    m_document->poll().setOutOfMemoryHandler([frame, messages] {
        QMetaObject::invokeMethod(
            frame, [messages] { messages->showMessage(strings::kOutOfMemoryCaptureStopped,
                                                      MessageIcon::kStop); },
            Qt::QueuedConnection);
    });
    m_frame->setDocument(m_document.get());
    m_frame->createDataList(QStringLiteral("dl"));
}

void MonitorApp::OnFileNew(unsigned) { newDocument(); }

void MonitorApp::OnAppExit(unsigned) { m_frame->close(); }

void MonitorApp::OnDisabled(CmdUI& ui) { ui.enabled = false; }

bool MonitorApp::OnCmdMsg(unsigned id) { return commandMap().dispatch(*this, id); }

bool MonitorApp::OnUpdateCmdUI(CmdUI& ui) { return commandMap().update(*this, ui); }
