#include "document/CDataDoc.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "transmit/TransmitStrings.h"

#include <chrono>

CDataDoc::CDataDoc(VexaDevice& device, FrameStore& store, CaptureState& state,
                   ApplicationFlags& flags, MessageService& messages)
    : m_store(store),
      m_state(state),
      m_flags(flags),
      m_messages(messages),
      m_poll(device, store, state, flags),
      m_directCommands(device) {
    m_timer.start(std::chrono::milliseconds(1), [this] { m_poll.tick(); });
}

CDataDoc::~CDataDoc() {
    m_timer.stop();
    m_commands->stopVexa();
}

void CDataDoc::OnCapture() {
    if (m_state.deviceReady.load() == 0) {
        m_messages.showMessage(strings::kDeviceError, MessageIcon::kStop);
        return;
    }
    if (m_starting) return;
    m_starting = true;
    m_commands->runVexa(DeviceCommands::whileAlive(m_alive, [this](bool started) {
        m_starting = false;
        if (started) {
            m_state.anchors.startRun();
            m_state.capturing.store(1);
        } else {
            m_messages.showMessage(strings::kCannotRunDevice);
        }
        if (m_onCaptureChanged) {
            m_onCaptureChanged();
        }
        // An adapter that refuses to start (its host restarted, it was plugged in again) has lost
        // its set-up: capture stays off so that Setup can be opened, and the owner says Setup is
        // needed.
        if (!started && m_onStartRefused) {
            m_onStartRefused();
        }
    }));
}

void CDataDoc::OnStop() {
    m_state.capturing.store(0);
    if (m_onCaptureChanged) {
        m_onCaptureChanged();
    }
}

void CDataDoc::OnClearAll() {
    if (m_state.capturing.load() == 1) {
        m_messages.showMessage(strings::kStopDeviceFirst);
        return;
    }
    // Frames not yet written to a file are asked for before they go.
    const bool hadFrames = m_store.count() > 0;
    const bool unsaved = m_state.pendingChanges.load() == 1 || IsModified();
    if (hadFrames && unsaved && !m_messages.askYesNo(strings::kClearUnsavedFrames)) {
        return;
    }
    m_flags.set(ApplicationFlags::kClearing);
    for (const auto& listener : m_clearListeners) {
        listener();
    }
    m_store.clear();
    // After clear() has taken the store's write lock no tick can still be counting wraps.
    m_state.wrapCount = 0;
    m_state.lastTime = AdapterTime{};
    m_state.anchors.clear();
    m_state.framesLost.store(0);
    m_flags.reset(ApplicationFlags::kClearing);
    // The file no longer matches what the document holds.
    if (hadFrames) {
        SetModifiedFlag();
        m_state.pendingChanges.store(1);
    }
}

void CDataDoc::OnManualMessage() {
    if (m_openManualMessage) m_openManualMessage();
}

void CDataDoc::OnAutoConfigure() {
    if (m_openAutoConfigure) m_openAutoConfigure();
}

void CDataDoc::OnAutoStart() {
    if (contents.items.empty() || m_state.downloaded.load() == 0) {
        m_sending = 0;
        m_messages.showMessage(strings::kNoDataToTransmit, MessageIcon::kInformation);
        return;
    }
    m_autoPending = true;
    m_commands->runMultiData(DeviceCommands::whileAlive(m_alive, [this](bool started) {
        if (started) {
            m_autoPending = false;
            m_sending = 1;
            return;
        }
        m_commands->stopMultiData(DeviceCommands::whileAlive(m_alive, [this](bool) {
            m_autoPending = false;
            m_messages.showMessage(strings::kAutoStartFailed, MessageIcon::kWarning);
        }));
    }));
}

void CDataDoc::OnAutoStop() {
    m_autoPending = true;
    m_commands->stopMultiData(DeviceCommands::whileAlive(m_alive, [this](bool stopped) {
        m_autoPending = false;
        if (!stopped) {
            m_messages.showMessage(strings::kAutoStopFailed);
            return;
        }
        m_sending = 0;
    }));
}

void CDataDoc::OnCommand(unsigned id) {
    switch (id) {
        case ID_FUNCTIONS_CAPTURE:
            OnCapture();
            break;
        case ID_FUNCTIONS_STOP:
            OnStop();
            break;
        case ID_FUNCTIONS_CLEARALL:
            OnClearAll();
            break;
        case ID_FUNCTIONS_MANUAL_MESSAGE:
            OnManualMessage();
            break;
        case ID_AUTO_CONFIGURE:
            OnAutoConfigure();
            break;
        case ID_AUTO_START:
            OnAutoStart();
            break;
        case ID_AUTO_STOP:
            OnAutoStop();
            break;
        default:
            break;
    }
}

void CDataDoc::OnUpdateCommand(CmdUI& ui) {
    switch (ui.id) {
        case ID_FUNCTIONS_CAPTURE:
            ui.enabled = OnUpdateCapture();
            break;
        case ID_FUNCTIONS_STOP:
            ui.enabled = OnUpdateStop();
            break;
        case ID_FUNCTIONS_CLEARALL:
        case ID_FUNCTIONS_MANUAL_MESSAGE:
        case ID_AUTO_CONFIGURE:
            ui.enabled = true;
            break;
        case ID_AUTO_START:
            ui.enabled = m_sending == 0 && !m_autoPending;
            break;
        case ID_AUTO_STOP:
            ui.enabled = m_sending == 1 && !m_autoPending;
            break;
        default:
            ui.enabled = false;
            break;
    }
}

namespace {

const CommandMap<CDataDoc>& commandMap() {
    static const CommandMap<CDataDoc> map = {
        {ID_FUNCTIONS_CAPTURE, ID_FUNCTIONS_STOP, &CDataDoc::OnCommand, &CDataDoc::OnUpdateCommand},
        {ID_FUNCTIONS_CLEARALL, ID_FUNCTIONS_CLEARALL, &CDataDoc::OnCommand,
         &CDataDoc::OnUpdateCommand},
        {ID_FUNCTIONS_MANUAL_MESSAGE, ID_FUNCTIONS_MANUAL_MESSAGE, &CDataDoc::OnCommand,
         &CDataDoc::OnUpdateCommand},
        {ID_AUTO_CONFIGURE, ID_AUTO_STOP, &CDataDoc::OnCommand, &CDataDoc::OnUpdateCommand},
    };
    return map;
}

}  // namespace

bool CDataDoc::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool CDataDoc::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}
