#pragma once

// The logic of the Manual Message dialog: two buffers typed by hand, each sent once on request
// and recorded in the frame store beside the captured traffic.
//
// The dialog works on a copy of the document's buffers; a send writes its buffer back. The frame
// format is always the device frame type.
//
// Thread: the user-interface thread.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "capture/DeviceCommands.h"
#include "framework/MessageService.h"
#include "transmit/EntryCheck.h"
#include "transmit/MessageRecords.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class ManualMessage {
public:
    static constexpr int kBuffers = 2;
    static constexpr int kDataBytes = 8;

    struct Services {
        DeviceCommands& device;
        FrameStore& store;
        CaptureState& state;
        MessageService& messages;
    };

    // `hexDisplay` is the program-wide Hex/Decimal choice; `frameType` the device frame type (1
    // standard, 2 extended).
    ManualMessage(std::array<ManualBuffer, 2>& documentBuffers, bool& hexDisplay,
                  int frameType, Services services);

    [[nodiscard]] bool hex() const { return m_hexDisplay; }
    // Hex / Decimal: sets the program-wide flag; the texts below follow.
    void setHex(bool hex) { m_hexDisplay = hex; }

    [[nodiscard]] const ManualBuffer& buffer(int b) const { return m_buffers.at(index(b)); }
    [[nodiscard]] std::string identifierText(int b) const;
    [[nodiscard]] std::string dataText(int b, int byte) const;
    [[nodiscard]] bool dataEnabled(int b, int byte) const;

    void setSize(int b, int size);
    void setRemote(int b, bool remote);

    // Every change of an edit; the outcome's messages have been shown.
    EntryOutcome typeIdentifier(int b, const std::string& text, std::size_t cursor);
    EntryOutcome typeData(int b, int byte, const std::string& text, std::size_t cursor);

    // Send Buffer 1 (b = 0) or 2 (b = 1). `done` gets true when the adapter took the frame; it
    // comes once the adapter answered (at once when the buffer cannot be sent). One send at a
    // time: another while one waits is ignored.
    void send(int b, std::function<void(bool)> done = {});
    [[nodiscard]] bool sending() const { return m_sending; }

private:
    [[nodiscard]] static std::size_t index(int b) { return static_cast<std::size_t>(b); }
    void showEntryMessages(const EntryOutcome& outcome);
    // The adapter's answer to a send of buffer b.
    bool sent(int b, const ManualBuffer& x, const TxMessage& message, bool taken);

    std::array<ManualBuffer, 2>& m_document;
    std::array<ManualBuffer, 2> m_buffers;
    bool& m_hexDisplay;
    const int m_frameType;
    Services m_services;
    bool m_sending = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
