#pragma once

// The capture document: owns the capture timer and carries the Capture, Stop and Clear All
// commands of the Functions menu.
//
// Thread: the user-interface thread, except the poll, which runs on the capture timer's thread,
// and the adapter's commands, which run on the device thread and answer on this one.

#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "framework/CDocument.h"
#include "capture/CapturePoll.h"
#include "capture/CaptureState.h"
#include "capture/DeviceCommands.h"
#include "document/DocumentFile.h"
#include "capture/FrameStore.h"
#include "capture/VexaDevice.h"
#include "platform/MultimediaTimer.h"

#include <functional>
#include <memory>
#include <vector>

class CDataDoc : public CDocument, public CommandTarget {
public:
    CDataDoc(VexaDevice& device, FrameStore& store, CaptureState& state, ApplicationFlags& flags,
             MessageService& messages);
    // Stops the capture timer (waiting for a tick in progress) before anything it uses goes, then
    // tells the adapter to stop capturing.
    ~CDataDoc() override;
    CDataDoc(const CDataDoc&) = delete;
    CDataDoc& operator=(const CDataDoc&) = delete;

    // The adapter's commands go through `commands` (the program's device thread) once set; until
    // then they run on the caller's thread. Its answers come back on this thread.
    void setDeviceCommands(DeviceCommands* commands) {
        m_commands = commands != nullptr ? commands : &m_directCommands;
    }
    // Capture's RunVexa, or the cyclic set's Start or Stop, is waiting for the adapter's answer.
    [[nodiscard]] bool deviceAnswerPending() const { return m_starting || m_autoPending; }

    void OnCapture();
    void OnStop();
    void OnClearAll();
    [[nodiscard]] bool OnUpdateCapture() const {
        return m_state.capturing.load() == 0 && !m_starting;
    }
    [[nodiscard]] bool OnUpdateStop() const { return m_state.capturing.load() == 1; }

    // Transmission: the two dialogs open through handlers the owner installs (they are windows);
    // Start and Stop of the cyclic set are the document's own.
    void setTransmitDialogs(std::function<void()> manualMessage,
                            std::function<void()> configureAutomatic) {
        m_openManualMessage = std::move(manualMessage);
        m_openAutoConfigure = std::move(configureAutomatic);
    }
    void OnManualMessage();
    void OnAutoConfigure();
    void OnAutoStart();
    void OnAutoStop();
    // 1 while the adapter is told to repeat the cyclic set.
    [[nodiscard]] std::uint8_t sending() const { return m_sending; }

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    // Command-table entries.
    void OnCommand(unsigned id);
    void OnUpdateCommand(CmdUI& ui);

    // Called while Clear All empties the store (charts drop their points, the display index list
    // empties), with the clearing bit set.
    void addClearListener(std::function<void()> listener) {
        m_clearListeners.push_back(std::move(listener));
    }
    // Called after Capture and Stop so the owner can redraw the status bar.
    void setCaptureChangedHandler(std::function<void()> handler) {
        m_onCaptureChanged = std::move(handler);
    }
    // Called when the adapter refused to start capturing (capture stays off), so the owner can
    // say that the adapter must be set up again.
    void setStartRefusedHandler(std::function<void()> handler) {
        m_onStartRefused = std::move(handler);
    }

    [[nodiscard]] CapturePoll& poll() { return m_poll; }

    // What the document keeps besides the frames: its version, the automatic message set, the
    // manual buffers and the window records (the program-wide parts are filled in when saving).
    DocumentContents contents;

private:
    FrameStore& m_store;
    CaptureState& m_state;
    ApplicationFlags& m_flags;
    MessageService& m_messages;
    CapturePoll m_poll;
    std::vector<std::function<void()>> m_clearListeners;
    std::function<void()> m_onCaptureChanged;
    std::function<void()> m_onStartRefused;
    std::function<void()> m_openManualMessage;
    std::function<void()> m_openAutoConfigure;
    std::uint8_t m_sending = 0;
    DeviceCommands m_directCommands;
    DeviceCommands* m_commands = &m_directCommands;
    bool m_starting = false;
    bool m_autoPending = false;
    // Answers that arrive after the document has gone are dropped.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    platform::MultimediaTimer m_timer;  // last member: it is stopped before the others go
};
