#pragma once

// The logic of "Filter in DeviceNet Protocol": Method 1 (group and message ID) or Method 2 (one
// of seventeen named messages), source and destination MAC IDs, and the shared list editing.
//
// Thread: the user-interface thread.

#include "filters/ConditionListEditor.h"
#include "filters/ConditionTable.h"
#include "filters/FilterLogicBase.h"

#include <string>
#include <vector>

class DeviceNetFilterLogic final : public FilterLogicBase {
public:
    static constexpr int kFree = -1;
    static constexpr int kMethod2Items = 17;
    struct NamedMessage {
        const char* text;
        int group;
        int messageId;
    };
    [[nodiscard]] static const NamedMessage& namedMessage(int item);
    // How many message IDs group `group` has (16, 8, 7, 48).
    [[nodiscard]] static int messageIdCount(int group);

    explicit DeviceNetFilterLogic(MessageService& messages);

    void open(const FilterState& filter);

    [[nodiscard]] bool hex() const { return m_hex; }
    [[nodiscard]] int method() const { return m_method; }
    [[nodiscard]] int group() const { return m_group; }
    [[nodiscard]] int messageId() const { return m_messageId; }
    [[nodiscard]] int sourceMac() const { return m_source.value; }
    [[nodiscard]] int destinationMac() const { return m_destination.value; }
    [[nodiscard]] const std::string& sourceText() const { return m_source.text; }
    [[nodiscard]] const std::string& destinationText() const { return m_destination.text; }
    [[nodiscard]] bool macListsEnabled() const { return m_group != 4; }
    [[nodiscard]] int method2Item() const { return m_method2Item; }

    // "ALL" then the message IDs of the group, in the current radix.
    [[nodiscard]] std::vector<std::string> messageIdItems() const;
    // The item of the message list that shows the current message ID.
    [[nodiscard]] int messageIdItem() const { return m_messageId == kFree ? 0 : m_messageId + 1; }

    void setMethod(int method);
    void selectGroup(int group);
    // Item k of "Message ID:": message ID k - 1, free for "ALL".
    void selectMessageIdItem(int item);
    void selectMethod2Item(int item);
    // The combo's text changed (typed, or "ALL" chosen); returns the text it keeps.
    std::string typeSource(const std::string& text);
    std::string typeDestination(const std::string& text);
    void setHex(bool hex);

    bool add(const std::vector<bool>& checks);
    bool edit(const std::vector<bool>& checks);
    void clickRow(int row);

    [[nodiscard]] FilterCondition build() const;
    [[nodiscard]] std::vector<ConditionTableRow> rows() const;

private:
    struct MacId {
        int value = kFree;
        std::string text = "ALL";
    };
    std::string typeMac(MacId& mac, const std::string& text);
    void rewriteMac(MacId& mac) const;
    void applyGroup(int group);

    bool m_hex = true;
    int m_method = 1;
    int m_group = 1;
    int m_messageId = kFree;
    int m_method2Item = 0;
    MacId m_source;
    MacId m_destination;
};
