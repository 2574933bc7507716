#pragma once

// The logic of "Filter in CANopen Protocol": Method 1 (a COB-ID) or Method 2 (function code and
// node-ID), the frame kind, size and data, and the shared list editing. Its radix is the
// program-wide Hex/Decimal choice.
//
// Thread: the user-interface thread.

#include "filters/ConditionListEditor.h"
#include "filters/ConditionTable.h"
#include "filters/FilterInput.h"
#include "filters/FilterLogicBase.h"

#include <string>
#include <vector>

class CanOpenFilterLogic final : public FilterLogicBase {
public:
    static constexpr int kFree = -1;
    static constexpr std::uint32_t kCobIdLimit = 2047;
    static constexpr std::uint32_t kNodeIdLimit = 127;

    // `hexDisplay` is the program-wide Hex/Decimal choice; the dialog reads and sets it.
    CanOpenFilterLogic(MessageService& messages, bool& hexDisplay);

    void open(const FilterState& filter);

    [[nodiscard]] bool hex() const { return m_hexDisplay; }
    [[nodiscard]] int method() const { return m_method; }
    [[nodiscard]] int cobId() const { return m_cobId.value; }
    [[nodiscard]] int functionCode() const { return m_functionCode; }
    [[nodiscard]] int nodeId() const { return m_nodeId.value; }
    [[nodiscard]] const std::string& cobIdText() const { return m_cobId.text; }
    [[nodiscard]] const std::string& nodeIdText() const { return m_nodeId.text; }
    [[nodiscard]] FrameFields& frame() { return m_frame; }
    [[nodiscard]] const FrameFields& frame() const { return m_frame; }
    // "ALL" then the function codes 0 .. 15 in the current radix.
    [[nodiscard]] std::vector<std::string> functionCodeItems() const;
    [[nodiscard]] int functionCodeItem() const { return m_functionCode + 1; }

    void setMethod(int method);
    void selectFunctionCodeItem(int item);
    // The combos' texts changed ("ALL" chosen, or typed); each returns the text kept.
    std::string typeCobId(const std::string& text);
    std::string typeNodeId(const std::string& text);
    // The COB-ID combo lost the focus: its text is checked once more and written in the radix.
    void leaveCobId();
    FrameFields::Typed typeData(int byte, const std::string& text);
    void setHex(bool hex);

    bool add(const std::vector<bool>& checks);
    bool edit(const std::vector<bool>& checks);
    void clickRow(int row);

    [[nodiscard]] FilterCondition build() const;
    [[nodiscard]] std::vector<ConditionTableRow> rows() const;

private:
    struct Id {
        int value = kFree;
        std::string text = "ALL";
    };
    std::string typeId(Id& id, const std::string& text, std::uint32_t limit);
    void rewrite(Id& id) const;

    bool& m_hexDisplay;
    FrameFields m_frame;
    int m_method = 1;
    Id m_cobId;
    Id m_nodeId;
    int m_functionCode = kFree;
};
