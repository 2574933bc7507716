#include "transmit/ManualMessage.h"

#include "transmit/TransmitStrings.h"

#include <algorithm>

ManualMessage::ManualMessage(std::array<ManualBuffer, 2>& documentBuffers, bool& hexDisplay,
                             int frameType, Services services)
    : m_document(documentBuffers),
      m_buffers(documentBuffers),
      m_hexDisplay(hexDisplay),
      m_frameType(frameType == 2 ? 2 : 1),
      m_services(services) {
    // A size from a damaged document cannot be selected in the size list.
    for (ManualBuffer& b : m_buffers) {
        b.size = std::min<std::uint32_t>(b.size, kDataBytes);
        b.remote = b.remote != 0 ? 1 : 0;
    }
}

std::string ManualMessage::identifierText(int b) const {
    return formatNumber(buffer(b).identifier, hex());
}

std::string ManualMessage::dataText(int b, int byte) const {
    return formatNumber(buffer(b).data.at(static_cast<std::size_t>(byte)), hex());
}

bool ManualMessage::dataEnabled(int b, int byte) const {
    const ManualBuffer& x = buffer(b);
    return x.remote == 0 && byte >= 0 && static_cast<std::uint32_t>(byte) < x.size;
}

void ManualMessage::setSize(int b, int size) {
    m_buffers.at(index(b)).size = static_cast<std::uint32_t>(std::clamp(size, 0, kDataBytes));
}

void ManualMessage::setRemote(int b, bool remote) {
    m_buffers.at(index(b)).remote = remote ? 1 : 0;
}

void ManualMessage::showEntryMessages(const EntryOutcome& outcome) {
    for (std::uint32_t id : outcome.messages) {
        m_services.messages.showMessage(id);
    }
}

EntryOutcome ManualMessage::typeIdentifier(int b, const std::string& text, std::size_t cursor) {
    EntryOutcome outcome =
        checkIdentifierEntry(text, cursor, hex(), m_frameType, kManualIdentifierMessages);
    m_buffers.at(index(b)).identifier = outcome.value;
    showEntryMessages(outcome);
    return outcome;
}

EntryOutcome ManualMessage::typeData(int b, int byte, const std::string& text, std::size_t cursor) {
    EntryOutcome outcome = checkDataEntry(text, cursor, hex(), kManualDataMessages);
    m_buffers.at(index(b)).data.at(static_cast<std::size_t>(byte)) = outcome.value;
    showEntryMessages(outcome);
    return outcome;
}

void ManualMessage::send(int b, std::function<void(bool)> done) {
    if (m_sending) return;
    ManualBuffer& x = m_buffers.at(index(b));
    // A value typed under the other frame type would go out cut to 11 bits but be recorded whole.
    if (x.identifier > maxIdentifier(m_frameType)) {
        m_services.messages.showMessage(
            identifierRangeMessage(kManualIdentifierMessages, hex(), m_frameType));
        if (done) done(false);
        return;
    }
    TxMessage message{};
    message.remote = static_cast<std::int32_t>(x.remote);
    message.format = static_cast<std::uint8_t>(m_frameType - 1);
    message.length = static_cast<std::uint8_t>(x.size);
    message.identifier = x.identifier;
    for (std::uint32_t i = 0; i < x.size; ++i) {
        message.data[i] = static_cast<std::uint8_t>(x.data[i]);
    }
    x.format = static_cast<std::uint32_t>(m_frameType - 1);
    m_document.at(index(b)) = x;

    m_sending = true;
    // The frame as sent is recorded, whatever is typed while the answer is out.
    m_services.device.sendSingleData(
        message, DeviceCommands::whileAlive(m_alive, [this, b, x, message, done](bool taken) {
            m_sending = false;
            const bool ok = sent(b, x, message, taken);
            if (done) done(ok);
        }));
}

bool ManualMessage::sent(int b, const ManualBuffer& x, const TxMessage& message, bool taken) {
    if (!taken) {
        m_services.messages.showMessage(
            b == 0 ? strings::kManualSendFailed1 : strings::kManualSendFailed2,
            MessageIcon::kInformation,
            b == 0 ? strings::kSendFailedCaption1 : strings::kSendFailedCaption2);
        return false;
    }
    // Recorded only once the adapter took it, so a failed send never touches the store.
    CapturedFrame frame;
    frame.status = x.remote;
    frame.format = message.format;
    frame.length = message.length;
    frame.identifier = message.identifier;
    std::copy_n(message.data, message.length, frame.data);
    m_services.store.append(frame);
    m_services.state.pendingChanges = 1;
    return true;
}
