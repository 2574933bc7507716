#pragma once

// The logic of "Filter in CAN Protocol": the state of its controls, the check of every keystroke,
// the condition built from the controls, and a clicked row's values loaded back. The dialog shows
// this state and forwards what the user does.
//
// Thread: the user-interface thread.

#include "filters/AdvancedIdentifier.h"
#include "filters/ConditionListEditor.h"
#include "filters/ConditionTable.h"
#include "filters/FilterInput.h"
#include "filters/FilterLogicBase.h"

#include <string>
#include <vector>

class CanFilterLogic final : public FilterLogicBase {
public:
    enum class Identifier { kAll = 0, kAdvanced = 1, kCustom = 2 };

    CanFilterLogic(MessageService& messages, AdvancedIdentifierClicks& clicks);

    // Resets the controls and takes a copy of the program's list. `frameType` is the adapter's
    // configured frame type: 1 standard, anything else extended.
    void open(const FilterState& filter, int frameType);

    [[nodiscard]] bool standard() const { return m_standard; }
    [[nodiscard]] bool hex() const { return m_hex; }
    [[nodiscard]] Identifier identifier() const { return m_identifier; }
    [[nodiscard]] const std::string& identifierText() const { return m_identifierText; }
    [[nodiscard]] std::uint32_t customIdentifier() const { return m_customIdentifier; }
    [[nodiscard]] bool advancedButtonShown() const { return m_identifier == Identifier::kAdvanced; }
    [[nodiscard]] bool identifierEditShown() const { return m_identifier == Identifier::kCustom; }
    [[nodiscard]] FrameFields& frame() { return m_frame; }
    [[nodiscard]] const FrameFields& frame() const { return m_frame; }
    [[nodiscard]] int identifierLimit() const { return m_hex ? 8 : 9; }
    [[nodiscard]] AdvancedIdentifierClicks& clicks() { return m_clicks; }

    // Control input.
    void selectIdentifier(Identifier choice);
    // The identifier edit changed; returns the text it keeps.
    std::string typeIdentifier(const std::string& text);
    FrameFields::Typed typeData(int byte, const std::string& text);
    void setHex(bool hex);
    // "Advanced Identifier" returned OK with this mask and value set.
    void advancedAccepted(std::uint32_t mask, std::uint32_t bits);

    // The buttons; each returns true when the list changed (the document is then modified).
    // `checks` are the table's check boxes.
    bool add(const std::vector<bool>& checks);
    bool edit(const std::vector<bool>& checks);
    void clickRow(int row);

    [[nodiscard]] FilterCondition build() const;
    [[nodiscard]] std::vector<ConditionTableRow> rows() const;

private:
    AdvancedIdentifierClicks& m_clicks;
    FrameFields m_frame;
    bool m_standard = true;
    bool m_hex = true;
    Identifier m_identifier = Identifier::kAll;
    std::string m_identifierText;
    std::uint32_t m_customIdentifier = 0;
    bool m_advancedDefined = false;
    bool m_advancedAccepted = false;
    std::uint32_t m_advancedMask = 0;
    std::uint32_t m_advancedBits = 0;
};
