#include "filters/CanOpenFilterLogic.h"

#include "resources/StringTable.h"

CanOpenFilterLogic::CanOpenFilterLogic(MessageService& messages, bool& hexDisplay)
    : FilterLogicBase(messages, ConditionProtocol::kCanOpen),
      m_hexDisplay(hexDisplay),
      m_frame({strings::kInvalidCharacter, strings::kByteRangeHexCanOpen,
               strings::kByteRangeDecimal}) {}

void CanOpenFilterLogic::open(const FilterState& filter) {
    openList(filter);
    m_method = 1;
    m_cobId = {};
    m_nodeId = {};
    m_functionCode = kFree;
    m_frame.reset();
}

std::vector<std::string> CanOpenFilterLogic::functionCodeItems() const {
    std::vector<std::string> items{"ALL"};
    for (std::uint32_t code = 0; code < 16; ++code) items.push_back(numberText(code, hex()));
    return items;
}

void CanOpenFilterLogic::setMethod(int method) {
    m_method = method == 2 ? 2 : 1;
}

void CanOpenFilterLogic::selectFunctionCodeItem(int item) {
    m_functionCode = item <= 0 || item > 16 ? kFree : item - 1;
}

std::string CanOpenFilterLogic::typeId(Id& id, const std::string& typed, std::uint32_t limit) {
    if (typed == "ALL") {
        id = {};
        return typed;
    }
    if (typed.empty()) {
        id.text.clear();
        return typed;
    }
    const bool hexRadix = hex();
    id.text = checkTyped(
        typed,
        [&](const std::string& text) -> Complaint {
            if (text == "ALL") {
                id.value = kFree;  // a character typed after "ALL" was dropped
                return {};
            }
            const ParsedNumber n = parseNumber(text, hexRadix, limit);
            if (n.status == ParsedNumber::kBadCharacter) {
                return hexRadix ? strings::kCharacterHex : strings::kCharacterDecimal;
            }
            if (n.status == ParsedNumber::kTooLarge) {
                // The range texts carry the limit.
                return Complaint(withNumber(
                    strings::loadString(hexRadix ? strings::kIdRangeHex : strings::kIdRangeDecimal),
                    limit));
            }
            if (n.status == ParsedNumber::kOk) id.value = static_cast<int>(n.value);
            return 0;
        },
        m_messages);
    return id.text;
}

std::string CanOpenFilterLogic::typeCobId(const std::string& text) {
    return typeId(m_cobId, text, kCobIdLimit);
}

std::string CanOpenFilterLogic::typeNodeId(const std::string& text) {
    return typeId(m_nodeId, text, kNodeIdLimit);
}

void CanOpenFilterLogic::leaveCobId() {
    if (m_cobId.text == "ALL" || m_cobId.text.empty()) return;
    const ParsedNumber n = parseNumber(m_cobId.text, hex(), kCobIdLimit);
    if (n.status == ParsedNumber::kOk) {
        m_cobId.value = static_cast<int>(n.value);
        m_cobId.text = numberText(n.value, hex());
    } else if (n.status == ParsedNumber::kTooLarge) {
        m_messages.showMessage(hex() ? strings::kCobIdRangeHex : strings::kCobIdRangeDecimal);
    } else {
        m_messages.showMessage(strings::kCobIdInvalid);
    }
}

FrameFields::Typed CanOpenFilterLogic::typeData(int byte, const std::string& text) {
    return m_frame.typeData(byte, text, hex(), m_messages);
}

void CanOpenFilterLogic::rewrite(Id& id) const {
    if (id.value != kFree && !id.text.empty() && id.text != "ALL") {
        id.text = numberText(static_cast<std::uint32_t>(id.value), hex());
    }
}

void CanOpenFilterLogic::setHex(bool hexRadix) {
    m_hexDisplay = hexRadix;
    rewrite(m_cobId);
    rewrite(m_nodeId);
    m_frame.rewrite(hexRadix);
}

FilterCondition CanOpenFilterLogic::build() const {
    FilterCondition c;
    c.flags = FCF_CANOPEN | FCF_FORMAT;
    if (m_method == 1) {
        c.flags |= FCF_METHOD1;
        if (m_cobId.value != kFree) {
            c.flags |= FCF_CO_COBID;
            c.coCobId = static_cast<std::uint32_t>(m_cobId.value);
        }
    } else {
        if (m_functionCode != kFree) {
            c.flags |= FCF_CO_FCODE;
            c.coFunctionCode = static_cast<std::uint32_t>(m_functionCode);
        }
        if (m_nodeId.value != kFree) {
            c.flags |= FCF_CO_NODEID;
            c.coNodeId = static_cast<std::uint32_t>(m_nodeId.value);
        }
    }
    m_frame.apply(c);
    c.flags |= FCF_ENABLED;
    return c;
}

bool CanOpenFilterLogic::add(const std::vector<bool>& checks) {
    return addCondition(checks, build());
}

bool CanOpenFilterLogic::edit(const std::vector<bool>& checks) {
    if (m_list.selected() == nullptr || !m_editEnabled) return false;
    return replaceCondition(checks, build());
}

void CanOpenFilterLogic::clickRow(int row) {
    const FilterCondition* clicked = clickListRow(row);
    if (clicked == nullptr) return;
    const FilterCondition& c = *clicked;
    const auto idOf = [this](bool given, std::uint32_t value, std::uint32_t limit) {
        // Values no dialog writes (a foreign file) load as free.
        return given && value <= limit ? Id{static_cast<int>(value), numberText(value, hex())}
                                       : Id{};
    };
    m_method = c.has(FCF_METHOD1) ? 1 : 2;
    m_cobId = idOf(c.has(FCF_METHOD1) && c.has(FCF_CO_COBID), c.coCobId, kCobIdLimit);
    m_nodeId = idOf(!c.has(FCF_METHOD1) && c.has(FCF_CO_NODEID), c.coNodeId, kNodeIdLimit);
    m_functionCode = !c.has(FCF_METHOD1) && c.has(FCF_CO_FCODE) && c.coFunctionCode < 16
                         ? static_cast<int>(c.coFunctionCode)
                         : kFree;
    m_frame.load(c, hex());
}

std::vector<ConditionTableRow> CanOpenFilterLogic::rows() const {
    return fillConditionTable(ConditionTableKind::kCanOpen, m_list.conditions(), hex());
}
