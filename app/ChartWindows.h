#pragma once

// The main frame's chart windows: the curve commands (New Window, Curve, Delete, Rename), the
// windows themselves (created, found by name, restored from the document), the curve information
// list with its "ListCtrlMF" popup, and the export of curve values.
//
// Views and records are found by name at each use; a view that goes unregisters itself, so nothing
// here points at a window or record that is gone.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "curves/CurveInfoColumns.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "views/ChartView.h"

#include <QPointer>

#include <functional>
#include <vector>

class MainFrame;
class QMdiSubWindow;
class QTableWidget;

class ChartWindows final : public CommandTarget, public ChartHost {
public:
    ChartWindows(MainFrame& frame, ProgramState& state, MessageService& messages,
                 QTableWidget* infoList);
    ~ChartWindows() override;

    // The chart view of the active MDI window, else the one last registered; may be null.
    [[nodiscard]] ChartView* currentView() const;
    [[nodiscard]] ChartView* viewNamed(const std::string& name) const;
    // Opens a window for a record of the document (y(t) or y(x)); returns its view.
    ChartView* openWindow(const CurveWindowRecord& record);
    // A document opens at most this many of its chart windows; the others are named in the tree
    // and open when asked for. Each window holds its own samples, so thousands would not fit.
    static constexpr std::size_t kMaxWindowsOpenedWithDocument = 32;

    // The document was created, emptied or loaded: its chart windows replace the open ones.
    void documentChanged();
    // A right click on a chart window's tree item makes it the current one.
    void selectWindow(const std::string& name);
    // A double click on a tree item under "y(t)" or "y(x)" (or on the node itself: a new window).
    void activateOrCreate(const std::string& name, int kind, bool node);

    [[nodiscard]] const CurveInfoColumns& columns() const { return m_columns; }
    [[nodiscard]] int windowCounter() const { return m_counter; }
    // Asked before a window is deleted; tests answer for the user.
    void setQuestion(std::function<bool(std::uint32_t)> ask) { m_ask = std::move(ask); }
    // Where export writes; tests give the file instead of a file dialog.
    void setExportPathChooser(std::function<std::string()> choose) {
        m_choosePath = std::move(choose);
    }

    // Commands.
    void OnNewWindow(unsigned);
    void OnCurve(unsigned id);
    void OnDelete(unsigned id);
    void OnRename(unsigned id);
    void OnInfoColumn(unsigned id);
    void OnUpdateInfoColumn(CmdUI& ui);
    void OnExportCurves(unsigned);
    void OnUpdateNeedsChart(CmdUI& ui);
    void OnDisabled(CmdUI& ui);
    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;

    // ChartHost.
    CurveWindowRecord* chartRecord(const std::string& name) override;
    void chartTicked(ChartView* view) override;
    [[nodiscard]] bool mouseValueShown() const override {
        return m_columns.shown(CurveInfoColumns::kMouseValue);
    }
    void chartGone(ChartView* view) override;

    // Rebuilds the list's columns and rows for the current view and writes every cell.
    void refreshInfoList();

private:
    [[nodiscard]] std::vector<CurveWindowRecord>* records() const;
    [[nodiscard]] std::vector<std::string> takenNames() const;
    [[nodiscard]] QMdiSubWindow* frameOf(const ChartView* view) const;
    [[nodiscard]] std::string currentName() const;
    void rebuildColumns();
    void showInfoPopup(const QPoint& at);

    MainFrame& m_frame;
    ProgramState& m_state;
    MessageService& m_messages;
    QTableWidget* m_infoList;
    QPointer<ChartView> m_current;
    std::string m_selectedName;
    int m_counter = 0;
    CurveInfoColumns m_columns;
    std::vector<CurveInfoRow> m_rows;
    std::function<bool(std::uint32_t)> m_ask;
    std::function<std::string()> m_choosePath;
};
