#pragma once

// The main frame's overview window (Window > Overview, the tree's "Overview"): at most one, made
// when asked for, and what its row menu does to the rest of the program: a filter condition for
// the identifier in Show mode, or a new y(t) window whose dialog opens with the identifier. Also
// Functions > Replay...: its dialog and the replay, which stops before the document's frames are
// emptied or replaced.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "capture/VexaDevice.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "overview/ReplayController.h"
#include "views/OverviewView.h"

#include <QPointer>

#include <functional>

class CDataDoc;
class CMDIChildWndDataList;
class ReplayDialog;
class MainFrame;
class QTreeWidgetItem;
class YtCurveDialog;

class OverviewWindows final : public CommandTarget {
public:
    // Sends go through `device` (which takes the program's commands one at a time).
    OverviewWindows(MainFrame& frame, ProgramState& state, VexaDevice& device,
                    MessageService& messages);
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

    // Opens the Replay dialog, or brings it forward.
    ReplayDialog* showReplay();
    [[nodiscard]] ReplayController& replay() { return m_replay; }
    // The store is about to be emptied or replaced: a replay of its frames stops.
    void storeReplacing();
    // Listens to `document`'s Clear All.
    void watch(CDataDoc* document);

    void OnOverview(unsigned);
    void OnReplay(unsigned);
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
    ReplayController m_replay;
    QPointer<ReplayDialog> m_replayDialog;
    CDataDoc* m_watched = nullptr;
};
