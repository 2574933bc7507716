#pragma once

// The logic of the Configure Automatic Message dialog: the entry fields, the document's item list
// with its check boxes and selection, the interval and cycle, and Download.
//
// Add, Edit, Delete and the check boxes change the document's list at once, as do the interval
// and cycle edits; Download loads the ticked items into the adapter.
//
// Thread: the user-interface thread.

#include "capture/CaptureState.h"
#include "capture/DeviceCommands.h"
#include "framework/MessageService.h"
#include "transmit/EntryCheck.h"
#include "transmit/MessageRecords.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Flag bits of an automatic item.
namespace autoitem {
inline constexpr std::uint32_t kMade = 0x2;
inline constexpr std::uint32_t kHasFormat = 0x20;
inline constexpr std::uint32_t kTicked = AutoMessageItem::kTicked;
inline constexpr std::uint32_t kHasIdentifier = 0x100;
[[nodiscard]] constexpr std::uint32_t hasData(int byte) {
    return 0x400u << byte;
}
}  // namespace autoitem

class AutoMessageSetup {
public:
    static constexpr std::size_t kMaxItems = 8;
    static constexpr int kDataBytes = 8;
    static constexpr std::uint32_t kSpinMax = 255;
    static constexpr std::uint32_t kRowColour = 0xFFFFFF;
    static constexpr std::uint32_t kSelectedRowColour = 0xEFEFEF;

    struct Document {
        std::vector<AutoMessageItem>& items;
        std::uint32_t& interval;
        std::uint32_t& cycle;
    };
    struct Services {
        DeviceCommands& device;
        CaptureState& state;
        MessageService& messages;
    };

    // `hexDisplay` is the program-wide Hex/Decimal choice; the dialog itself always opens in Hex.
    AutoMessageSetup(Document document, bool& hexDisplay, int frameType, Services services);

    // Hex / Decimal: sets the program-wide flag and the radix of the fields and the list.
    void setHex(bool hex);
    [[nodiscard]] bool hex() const { return m_hex; }
    [[nodiscard]] int formatIndex() const { return m_frameType - 1; }  // 0 standard, 1 extended

    // Entry fields.
    [[nodiscard]] std::string identifierText() const;
    [[nodiscard]] std::string dataText(int byte) const;
    [[nodiscard]] bool remote() const { return m_remote; }
    [[nodiscard]] int size() const { return m_size; }
    [[nodiscard]] bool dataEnabled(int byte) const { return !m_remote && byte < m_size; }
    void setRemote(bool remote) { m_remote = remote; }
    void setSize(int size);
    EntryOutcome typeIdentifier(const std::string& text, std::size_t cursor);
    EntryOutcome typeData(int byte, const std::string& text, std::size_t cursor);

    // The item list.
    struct Row {
        bool ticked = false;
        std::array<std::string, 5> cells;  // Index, Type, Identifier, Length, Data
    };
    [[nodiscard]] std::vector<Row> rows() const;
    [[nodiscard]] std::size_t itemCount() const { return m_items.size(); }
    // Clicks: on a row (-1 or beyond the rows: beside them) and on a row's check box.
    void select(int row);
    void toggleTick(int row);
    [[nodiscard]] int selected() const { return m_selected; }
    [[nodiscard]] bool editEnabled() const { return m_selected >= 0; }
    [[nodiscard]] std::uint32_t rowColour(int row) const {
        return row == m_selected ? kSelectedRowColour : kRowColour;
    }

    // Buttons. Each refills the list.
    void add();
    void edit();
    void remove();

    [[nodiscard]] std::uint32_t interval() const { return m_interval; }
    [[nodiscard]] std::uint32_t cycle() const { return m_cycle; }
    void setInterval(std::uint32_t value) { m_interval = std::min(value, kSpinMax); }
    void setCycle(std::uint32_t value) { m_cycle = std::min(value, kSpinMax); }

    // Download: once the adapter answered, `done` says whether the dialog may close (at once when
    // nothing was sent). A download while one waits is ignored.
    void download(std::function<void(bool)> done);
    [[nodiscard]] bool downloading() const { return m_downloading; }

private:
    [[nodiscard]] bool validSelection() const {
        return m_selected >= 0 && static_cast<std::size_t>(m_selected) < m_items.size();
    }
    void writeEntryInto(AutoMessageItem& item) const;
    void showEntryMessages(const EntryOutcome& outcome);

    std::vector<AutoMessageItem>& m_items;
    std::uint32_t& m_interval;
    std::uint32_t& m_cycle;
    bool& m_hexDisplay;
    const int m_frameType;
    Services m_services;
    bool m_hex = true;
    int m_selected = -1;
    // Entry fields and whether their edits hold text.
    std::uint32_t m_identifier = 0;
    bool m_identifierEntered = true;
    bool m_remote = false;
    int m_size = 8;
    std::array<std::uint8_t, 8> m_data{};
    std::array<bool, 8> m_dataEntered{true, true, true, true, true, true, true, true};
    bool m_downloading = false;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
