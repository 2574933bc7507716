#include "transmit/AutoMessageSetup.h"

#include "resources/StringTable.h"
#include "transmit/TransmitStrings.h"

#include <algorithm>

AutoMessageSetup::AutoMessageSetup(Document document, bool& hexDisplay, int frameType,
                                   Services services)
    : m_items(document.items),
      m_interval(document.interval),
      m_cycle(document.cycle),
      m_hexDisplay(hexDisplay),
      m_frameType(frameType == 2 ? 2 : 1),
      m_services(services) {
    // The spins cannot show more.
    m_interval = std::min(m_interval, kSpinMax);
    m_cycle = std::min(m_cycle, kSpinMax);
}

void AutoMessageSetup::setHex(bool hex) {
    m_hex = hex;
    m_hexDisplay = hex;
}

std::string AutoMessageSetup::identifierText() const {
    return m_identifierEntered ? formatNumber(m_identifier, m_hex) : std::string();
}

std::string AutoMessageSetup::dataText(int byte) const {
    const auto i = static_cast<std::size_t>(byte);
    return m_dataEntered.at(i) ? formatNumber(m_data.at(i), m_hex) : std::string();
}

void AutoMessageSetup::setSize(int size) {
    m_size = std::clamp(size, 0, kDataBytes);
}

void AutoMessageSetup::showEntryMessages(const EntryOutcome& outcome) {
    for (std::uint32_t id : outcome.messages) {
        m_services.messages.showMessage(id);
    }
}

EntryOutcome AutoMessageSetup::typeIdentifier(const std::string& text, std::size_t cursor) {
    EntryOutcome outcome =
        checkIdentifierEntry(text, cursor, m_hex, m_frameType, kAutoIdentifierMessages);
    m_identifier = outcome.value;
    m_identifierEntered = !outcome.text.empty();
    showEntryMessages(outcome);
    return outcome;
}

EntryOutcome AutoMessageSetup::typeData(int byte, const std::string& text, std::size_t cursor) {
    EntryOutcome outcome = checkDataEntry(text, cursor, m_hex, kAutoDataMessages);
    const auto i = static_cast<std::size_t>(byte);
    m_data.at(i) = static_cast<std::uint8_t>(outcome.value);
    m_dataEntered.at(i) = !outcome.text.empty();
    showEntryMessages(outcome);
    return outcome;
}

std::vector<AutoMessageSetup::Row> AutoMessageSetup::rows() const {
    std::vector<Row> rows;
    rows.reserve(m_items.size());
    for (std::size_t r = 0; r < m_items.size(); ++r) {
        const AutoMessageItem& item = m_items[r];
        Row row;
        row.ticked = (item.flags & autoitem::kTicked) != 0;
        row.cells[0] = std::to_string(r);
        row.cells[1] = (item.flags & autoitem::kHasFormat) == 0 ? "****"
                       : item.format == 1 ? strings::loadString(strings::kExtended)
                                          : strings::loadString(strings::kStandard);
        row.cells[2] = (item.flags & autoitem::kHasIdentifier) != 0
                           ? formatNumber(item.identifier, m_hex)
                           : std::string("****");
        row.cells[3] = std::to_string(item.length);
        if (item.remote == 1) {
            row.cells[4] = strings::loadString(strings::kRemoteFrame);
        } else {
            for (int i = 0; i < std::min<int>(item.length, kDataBytes); ++i) {
                std::string& data = row.cells[4];
                data += ' ';
                data += (item.flags & autoitem::hasData(i)) != 0
                            ? formatNumber(item.data[static_cast<std::size_t>(i)], m_hex)
                            : std::string("**");
            }
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

void AutoMessageSetup::select(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_items.size()) {
        m_selected = -1;
        return;
    }
    m_selected = row;
    const AutoMessageItem& item = m_items[static_cast<std::size_t>(row)];
    m_identifier = item.identifier;
    m_identifierEntered = (item.flags & autoitem::kHasIdentifier) != 0;
    m_remote = item.remote == 1;
    m_size = std::min<int>(item.length, kDataBytes);
    m_data = item.data;
    for (int i = 0; i < kDataBytes; ++i) {
        m_dataEntered[static_cast<std::size_t>(i)] = (item.flags & autoitem::hasData(i)) != 0;
    }
}

void AutoMessageSetup::toggleTick(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_items.size()) return;
    m_items[static_cast<std::size_t>(row)].flags ^= autoitem::kTicked;
    m_services.state.pendingChanges = 1;
}

void AutoMessageSetup::writeEntryInto(AutoMessageItem& item) const {
    item.flags &= ~(autoitem::kHasIdentifier | 0x3FC00u);
    item.flags |= autoitem::kMade | autoitem::kHasFormat;
    if (m_identifierEntered) item.flags |= autoitem::kHasIdentifier;
    for (int i = 0; i < kDataBytes; ++i) {
        if (m_dataEntered[static_cast<std::size_t>(i)]) item.flags |= autoitem::hasData(i);
    }
    item.remote = m_remote ? 1 : 0;
    item.format = static_cast<std::uint8_t>(m_frameType - 1);
    item.length = static_cast<std::uint8_t>(m_size);
    item.identifier = m_identifier;
    item.data = m_data;
}

void AutoMessageSetup::add() {
    if (m_items.size() >= kMaxItems) {
        m_services.messages.showMessage(strings::kAutoTooManyItems);
        return;
    }
    AutoMessageItem item;
    item.flags = autoitem::kTicked;
    writeEntryInto(item);
    m_items.push_back(item);
    m_services.state.pendingChanges = 1;
}

void AutoMessageSetup::edit() {
    if (!validSelection()) return;
    writeEntryInto(m_items[static_cast<std::size_t>(m_selected)]);
    m_services.state.pendingChanges = 1;
}

void AutoMessageSetup::remove() {
    if (!validSelection()) return;
    m_items.erase(m_items.begin() + m_selected);
    // The rows moved up: nothing stays selected, so Edit and Delete cannot hit a neighbour.
    m_selected = -1;
    m_services.state.pendingChanges = 1;
}

void AutoMessageSetup::download(std::function<void(bool)> done) {
    if (m_downloading) return;
    if (m_interval < 1 || m_cycle < 1) {
        m_services.messages.showMessage(strings::kIntervalCycleTooSmall);
        if (done) done(false);
        return;
    }
    std::vector<TxMessage> messages;
    for (const AutoMessageItem& item : m_items) {
        if ((item.flags & autoitem::kTicked) == 0) continue;
        TxMessage m{};
        m.remote = static_cast<std::int32_t>(item.remote);
        m.format = item.format;
        m.length = item.length;
        m.identifier = item.identifier;
        std::copy_n(item.data.begin(), std::min<std::size_t>(item.length, 8), m.data);
        messages.push_back(m);
    }
    const bool empty = messages.empty();
    m_downloading = true;
    m_services.device.setMultiData(
        std::move(messages), static_cast<int>(m_interval), static_cast<int>(m_cycle),
        DeviceCommands::whileAlive(m_alive, [this, empty, done](bool taken) {
            m_downloading = false;
            bool closes = false;
            if (!taken) {
                m_services.messages.showMessage(strings::kDownloadFailed, MessageIcon::kWarning);
            } else {
                m_services.state.downloaded = 1;
                if (empty) {
                    m_services.messages.showMessage(strings::kNothingToDownload);
                } else {
                    closes = true;
                }
            }
            if (done) done(closes);
        }));
}
