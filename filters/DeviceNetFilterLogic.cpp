#include "filters/DeviceNetFilterLogic.h"

#include "filters/FilterInput.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"

#include <array>

namespace {

constexpr std::array<DeviceNetFilterLogic::NamedMessage, DeviceNetFilterLogic::kMethod2Items>
    kNamedMessages = {{
        {"Group 1: Slave's IO COS/CC Msg", 1, 13},
        {"Group 1: Slave's IO Bit-Strobe Res Msg", 1, 14},
        {"Group 1: Slave's IO Poll Res or COS/CC Ack", 1, 15},
        {"Group 2: Master's I/O Bit-Strobe Cmd Msg", 2, 0},
        {"Group 2: Reserved for Master", 2, 1},
        {"Group 2: Master's COS or CC Ack Msg", 2, 2},
        {"Group 2: Slave's Exp Res Msg", 2, 3},
        {"Group 2: Master's Exp Req Msg", 2, 4},
        {"Group 2: Master's IO Poll/COS/CC Msg", 2, 5},
        {"Group 2: Group 2 Only Unconn Exp Req Msg (Reserved)", 2, 6},
        {"Group 2: Duplicate MAC ID Check Messages", 2, 7},
        {"Group 3: Unconn Exp Res Msg", 3, 5},
        {"Group 3: Unconn Exp Req Msg", 3, 6},
        {"Group 4: Comm Faulted Res Msg", 4, 44},
        {"Group 4: Comm Faulted Req Msg", 4, 45},
        {"Group 4: Offline Owership Response Message", 4, 46},
        {"Group 4: Offline Ownership Request Message", 4, 47},
    }};

constexpr std::uint32_t kGroupFlags[] = {FCF_DN_GROUP1, FCF_DN_GROUP2, FCF_DN_GROUP3,
                                         FCF_DN_GROUP4};
constexpr int kMaxMac = 63;

int groupOf(const FilterCondition& c) {
    for (int g = 0; g < 4; ++g) {
        if (c.has(kGroupFlags[g])) return g + 1;
    }
    return 4;
}

}  // namespace

const DeviceNetFilterLogic::NamedMessage& DeviceNetFilterLogic::namedMessage(int item) {
    return kNamedMessages[static_cast<std::size_t>(item < 0 || item >= kMethod2Items ? 0 : item)];
}

int DeviceNetFilterLogic::messageIdCount(int group) {
    switch (group) {
        case 1:
            return 16;
        case 2:
            return 8;
        case 3:
            return 7;
        default:
            return 48;
    }
}

// Unlike the CAN and CANopen dialogs, the DeviceNet dialog has always left "Edit" on for a clicked
// row of another protocol: Edit then puts the DeviceNet condition of the controls in that row's
// place. Users may rely on it, so it stays.
DeviceNetFilterLogic::DeviceNetFilterLogic(MessageService& messages)
    : FilterLogicBase(messages, ConditionProtocol::kDeviceNet, OtherProtocolRows::kEditOn) {}

void DeviceNetFilterLogic::open(const FilterState& filter) {
    openList(filter);
    m_hex = true;
    m_method = 1;
    m_group = 1;
    m_messageId = kFree;
    m_method2Item = 0;
    m_source = {};
    m_destination = {};
}

std::vector<std::string> DeviceNetFilterLogic::messageIdItems() const {
    std::vector<std::string> items{"ALL"};
    for (int id = 0; id < messageIdCount(m_group); ++id) {
        items.push_back(numberText(static_cast<std::uint32_t>(id), m_hex));
    }
    return items;
}

void DeviceNetFilterLogic::setMethod(int method) {
    m_method = method == 2 ? 2 : 1;
    if (m_method == 1) {
        // The group list shows "1" again; the state follows it so the next condition is what
        // the controls show.
        applyGroup(1);
        m_messageId = kFree;
    } else {
        selectMethod2Item(m_method2Item);
    }
}

void DeviceNetFilterLogic::applyGroup(int group) {
    m_group = group < 1 || group > 4 ? 1 : group;
    if (m_group != 4) {
        rewriteMac(m_source);
        rewriteMac(m_destination);
    }
    // A message ID the group's list cannot show is dropped.
    if (m_messageId != kFree && m_messageId >= messageIdCount(m_group)) m_messageId = kFree;
}

void DeviceNetFilterLogic::selectGroup(int group) {
    applyGroup(group);
}

void DeviceNetFilterLogic::selectMessageIdItem(int item) {
    m_messageId = item <= 0 || item > messageIdCount(m_group) ? kFree : item - 1;
}

void DeviceNetFilterLogic::selectMethod2Item(int item) {
    m_method2Item = item < 0 || item >= kMethod2Items ? 0 : item;
    const NamedMessage& named = namedMessage(m_method2Item);
    applyGroup(named.group);
    m_messageId = named.messageId;
}

std::string DeviceNetFilterLogic::typeMac(MacId& mac, const std::string& typed) {
    if (typed == "ALL" || typed.empty()) {
        mac = {kFree, typed};
        return typed;
    }
    mac.text = checkTyped(
        typed,
        [&](const std::string& text) -> Complaint {
            if (text == "ALL") {
                mac.value = kFree;  // a character typed after "ALL" was dropped
                return {};
            }
            const ParsedNumber n = parseNumber(text, m_hex, kMaxMac);
            if (n.status == ParsedNumber::kBadCharacter) {
                return m_hex ? strings::kMacCharacterHex : strings::kCharacterDecimal;
            }
            if (n.status == ParsedNumber::kTooLarge) {
                return m_hex ? strings::kMacRangeHex : strings::kMacRangeDecimal;
            }
            if (n.status == ParsedNumber::kOk) mac.value = static_cast<int>(n.value);
            return 0;
        },
        m_messages);
    if (mac.text.empty()) mac.value = kFree;
    return mac.text;
}

std::string DeviceNetFilterLogic::typeSource(const std::string& text) {
    return typeMac(m_source, text);
}

std::string DeviceNetFilterLogic::typeDestination(const std::string& text) {
    return typeMac(m_destination, text);
}

void DeviceNetFilterLogic::rewriteMac(MacId& mac) const {
    if (mac.value == kFree || mac.value > kMaxMac) {
        mac = {};
        return;
    }
    mac.text = m_hex ? strprintf("%02X", mac.value) : strprintf("%d", mac.value);
}

void DeviceNetFilterLogic::setHex(bool hex) {
    if (hex == m_hex) return;
    m_hex = hex;
    if (m_source.value != kFree) rewriteMac(m_source);
    if (m_destination.value != kFree) rewriteMac(m_destination);
}

FilterCondition DeviceNetFilterLogic::build() const {
    FilterCondition c;
    c.flags = FCF_DEVICENET | FCF_FORMAT;
    if (macListsEnabled() && m_source.value != kFree) {
        c.flags |= FCF_DN_SRC;
        c.dnSourceMac = static_cast<std::uint32_t>(m_source.value);
    }
    if (macListsEnabled() && m_destination.value != kFree) {
        c.flags |= FCF_DN_DST;
        c.dnDestMac = static_cast<std::uint32_t>(m_destination.value);
    }
    c.flags |= m_method == 1 ? FCF_METHOD1 : FCF_METHOD2;
    c.flags |= kGroupFlags[m_group - 1];
    if (m_messageId != kFree) {
        c.flags |= FCF_DN_MSGID;
        c.dnMessageId = static_cast<std::uint32_t>(m_messageId);
    }
    c.flags |= FCF_ENABLED;
    return c;
}

bool DeviceNetFilterLogic::add(const std::vector<bool>& checks) {
    return addCondition(checks, build());
}

bool DeviceNetFilterLogic::edit(const std::vector<bool>& checks) {
    if (m_list.selected() == nullptr) return false;
    return replaceCondition(checks, build());
}

void DeviceNetFilterLogic::clickRow(int row) {
    const FilterCondition* clicked = clickListRow(row);
    if (clicked == nullptr) return;
    const FilterCondition& c = *clicked;
    const int group = groupOf(c);
    const int messageId = c.has(FCF_DN_MSGID) ? static_cast<int>(c.dnMessageId) : kFree;
    m_method = 1;
    if (c.has(FCF_METHOD2)) {
        for (int item = 0; item < kMethod2Items; ++item) {
            if (kNamedMessages[static_cast<std::size_t>(item)].group == group &&
                kNamedMessages[static_cast<std::size_t>(item)].messageId == messageId) {
                m_method = 2;
                m_method2Item = item;
            }
        }
    }
    m_source = {c.has(FCF_DN_SRC) ? static_cast<int>(c.dnSourceMac) : kFree, "ALL"};
    m_destination = {c.has(FCF_DN_DST) ? static_cast<int>(c.dnDestMac) : kFree, "ALL"};
    m_messageId = messageId;
    applyGroup(group);
    if (group == 4) {
        m_source = {};
        m_destination = {};
    }
}

std::vector<ConditionTableRow> DeviceNetFilterLogic::rows() const {
    return fillConditionTable(ConditionTableKind::kDeviceNet, m_list.conditions(), m_hex);
}
