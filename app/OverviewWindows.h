#pragma once

// The main frame's overview window (Window > Overview, the tree's "Overview"): at most one, made
// when asked for, and what its row menu does to the rest of the program: a filter condition for
// the identifier in Show mode, or a new y(t) window whose dialog opens with the identifier.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "views/OverviewView.h"

#include <QPointer>

#include <functional>

class CMDIChildWndDataList;
class MainFrame;
class QTreeWidgetItem;
class YtCurveDialog;

class OverviewWindows final : public CommandTarget {
public:
    OverviewWindows(MainFrame& frame, ProgramState& state, MessageService& messages);
    ~OverviewWindows() override;
    OverviewWindows(const OverviewWindows&) = delete;
    OverviewWindows& operator=(const OverviewWindows&) = delete;

    // Opens the overview window, or brings it forward.
    OverviewView* showOverview();
    [[nodiscard]] OverviewView* view() const { return m_view.data(); }
    [[nodiscard]] bool ownsTreeItem(const QTreeWidgetItem* item) const {
        return item != nullptr && item == m_treeNode;
    }

    // The row menu's actions.
    void filterOn(const OverviewRow& row);
    void plotBytes(const OverviewRow& row);
    // Runs the y(t) dialog of Plot bytes...; true for OK. Tests answer for the user.
    void setPlotDialogRunner(std::function<bool(YtCurveDialog&)> run) {
        m_runPlotDialog = std::move(run);
    }

    void OnOverview(unsigned);
    void OnUpdateNeedsDocument(CmdUI& ui);
    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;

private:
    MainFrame& m_frame;
    ProgramState& m_state;
    MessageService& m_messages;
    QTreeWidgetItem* m_treeNode = nullptr;
    QPointer<CMDIChildWndDataList> m_window;
    QPointer<OverviewView> m_view;
    std::function<bool(YtCurveDialog&)> m_runPlotDialog;
};
