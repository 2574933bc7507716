#include "capture/CDataDoc.h"

#include "resources/StringTable.h"

#include <chrono>

CDataDoc::CDataDoc(VexaDevice& device, FrameStore& store, CaptureState& state,
                   ApplicationFlags& flags, MessageService& messages)
    : m_device(device),
      m_store(store),
      m_state(state),
      m_flags(flags),
      m_messages(messages),
      m_poll(device, store, state, flags) {
    m_timer.start(std::chrono::milliseconds(1), [this] { m_poll.tick(); });
}

CDataDoc::~CDataDoc() {
    m_timer.stop();
    m_device.stopVexa();
}

void CDataDoc::OnCapture() {
    if (m_state.deviceReady.load() == 0) {
        m_messages.showMessage(strings::kDeviceError, MessageIcon::kStop);
        return;
    }
    if (!m_device.runVexa()) {
        m_messages.showMessage(strings::kCannotRunDevice);
    }
    // Polling goes on even when the adapter refused: a later start from the adapter side is seen.
    m_state.capturing.store(1);
    if (m_onCaptureChanged) {
        m_onCaptureChanged();
    }
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
    m_flags.set(ApplicationFlags::kClearing);
    for (const auto& listener : m_clearListeners) {
        listener();
    }
    m_store.clear();
    // After clear() has taken the store's write lock no tick can still be counting wraps.
    m_state.wrapCount = 0;
    m_state.lastTime = AdapterTime{};
    m_flags.reset(ApplicationFlags::kClearing);
}
