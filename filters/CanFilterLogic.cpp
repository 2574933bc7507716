#include "filters/CanFilterLogic.h"

#include "resources/StringTable.h"

namespace {

constexpr std::uint32_t kStandardLimit = 0x7FF;
constexpr std::uint32_t kExtendedLimit = 0x1FFFFFFF;

}  // namespace

CanFilterLogic::CanFilterLogic(MessageService& messages, AdvancedIdentifierClicks& clicks)
    : FilterLogicBase(messages, ConditionProtocol::kCan),
      m_clicks(clicks),
      m_frame({strings::kInvalidCharacter, strings::kByteRangeHex, strings::kByteRangeDecimal}) {}

void CanFilterLogic::open(const FilterState& filter, int frameType) {
    openList(filter);
    m_standard = frameType == 1;
    m_hex = true;
    m_identifier = Identifier::kAll;
    m_identifierText.clear();
    m_customIdentifier = 0;
    m_advancedDefined = false;
    m_advancedAccepted = false;
    m_advancedMask = 0;
    m_advancedBits = 0;
    m_frame.reset();
}

void CanFilterLogic::selectIdentifier(Identifier choice) {
    m_identifier = choice;
    if (choice == Identifier::kCustom) {
        m_identifierText = typeIdentifier(m_identifierText);
    }
}

std::string CanFilterLogic::typeIdentifier(const std::string& typed) {
    const std::uint32_t limit = m_standard ? kStandardLimit : kExtendedLimit;
    m_identifierText = checkTyped(
        upperCase(typed),
        [&](const std::string& text) -> Complaint {
            if (static_cast<int>(text.size()) > identifierLimit()) {
                return m_hex ? strings::kIdentifierLengthHex : strings::kIdentifierLengthDecimal;
            }
            // Parsed against the widest value first: the number is stored whenever it reads.
            const ParsedNumber n = parseNumber(text, m_hex, 0xFFFFFFFF);
            if (n.status == ParsedNumber::kBadCharacter) return strings::kInvalidCharacter;
            if (n.status != ParsedNumber::kOk) return 0;
            m_customIdentifier = n.value;
            if (n.value > limit) {
                if (m_standard) {
                    return m_hex ? strings::kIdentifierRangeStandardHex
                                 : strings::kIdentifierRangeStandardDecimal;
                }
                return m_hex ? strings::kIdentifierRangeExtendedHex
                             : strings::kIdentifierRangeExtendedDecimal;
            }
            return 0;
        },
        m_messages);
    return m_identifierText;
}

FrameFields::Typed CanFilterLogic::typeData(int byte, const std::string& text) {
    return m_frame.typeData(byte, text, m_hex, m_messages);
}

void CanFilterLogic::setHex(bool hex) {
    if (hex == m_hex) return;
    m_hex = hex;
    if (!m_identifierText.empty()) m_identifierText = numberText(m_customIdentifier, hex);
    m_frame.rewrite(hex);
}

void CanFilterLogic::advancedAccepted(std::uint32_t mask, std::uint32_t bits) {
    m_advancedMask = mask;
    m_advancedBits = bits & mask;
    m_advancedDefined = true;
    m_advancedAccepted = true;
}

FilterCondition CanFilterLogic::build() const {
    FilterCondition c;
    c.flags = FCF_CAN | FCF_FORMAT;
    c.formatAndLength = m_standard ? 0 : 1;
    if (m_identifier == Identifier::kAdvanced) {
        c.flags |= FCF_ADVANCED_ID;
        c.advancedMask = m_advancedDefined ? m_advancedMask : 0;
        c.advancedBits = m_advancedDefined ? m_advancedBits : 0;
    } else if (m_identifier == Identifier::kCustom) {
        c.flags |= FCF_ID;
        c.identifier = m_customIdentifier;
    }
    m_frame.apply(c);
    c.flags |= FCF_ENABLED;
    return c;
}

bool CanFilterLogic::add(const std::vector<bool>& checks) {
    return addCondition(checks, build());
}

bool CanFilterLogic::edit(const std::vector<bool>& checks) {
    const FilterCondition* selected = m_list.selected();
    if (selected == nullptr || !m_editEnabled) return false;
    FilterCondition c = build();
    // Without a new choice in "Advanced Identifier" the row keeps the bits it had.
    if (!m_advancedAccepted && selected->has(FCF_ADVANCED_ID) && c.has(FCF_ADVANCED_ID)) {
        c.advancedMask = selected->advancedMask;
        c.advancedBits = selected->advancedBits;
    }
    m_advancedAccepted = false;
    return replaceCondition(checks, c);
}

void CanFilterLogic::clickRow(int row) {
    const FilterCondition* clicked = clickListRow(row);
    if (clicked == nullptr) return;
    const FilterCondition& c = *clicked;
    if (c.has(FCF_ADVANCED_ID)) {
        m_identifier = Identifier::kAdvanced;
        m_clicks.setFrom(c.advancedMask, c.advancedBits);
        // A later Add takes the row's bits, as "Advanced Identifier" now shows them.
        m_advancedMask = c.advancedMask & 0x1FFFFFFF;
        m_advancedBits = c.advancedBits & m_advancedMask;
        m_advancedDefined = true;
    } else if (c.has(FCF_ID)) {
        m_identifier = Identifier::kCustom;
        m_customIdentifier = c.identifier;
        m_identifierText = numberText(c.identifier, m_hex);
    } else {
        m_identifier = Identifier::kAll;
    }
    m_frame.load(c, m_hex);
}

std::vector<ConditionTableRow> CanFilterLogic::rows() const {
    return fillConditionTable(ConditionTableKind::kCan, m_list.conditions(), m_hex);
}
