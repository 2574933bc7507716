#pragma once

// The main frame's chart windows: the curve commands (New Window, Curve, Delete, Rename), the
// windows themselves (created, found by name, restored from the document), the curve information
// list with its "ListCtrlMF" popup, and the export of curve values.
//
// Views and records are found by name at each use; a view that goes unregisters itself, so nothing
// here points at a window or record that is gone. What they need of the main frame and of the user
// goes through ChartWindowsHost.
//
// Thread: the user-interface thread.

#include "document/ProgramState.h"
#include "curves/CurveDialogLogic.h"
#include "curves/CurveInfoColumns.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "views/ChartView.h"

#include <QPointer>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class MainFrame;
class QMdiArea;
class QMdiSubWindow;
class QString;
class QTableWidget;

// A new chart window as the user asked for it.
struct NewChartWindow {
    ChartKind kind = ChartKind::kYt;
    std::string name;
};

// The curve dialog's answer: the window's record and the database signals its curves take.
struct CurveAnswer {
    CurveWindowRecord record;
    CurveSignalRefs values;   // y(t) values, or the y axis of a y(x) window
    CurveSignalRefs xValues;  // the x axis of a y(x) window
};

// What the chart windows need of the window they live in and of the user: the main frame and its
// dialogs in the program, a recorder with ready answers in tests.
class ChartWindowsHost {
public:
    virtual ~ChartWindowsHost() = default;
    // The MDI area the chart windows open in.
    [[nodiscard]] virtual QMdiArea* chartArea() const = 0;
    // The open document's window records; null without a document.
    [[nodiscard]] virtual std::vector<CurveWindowRecord>* windowRecords() const = 0;
    // The window records changed: the tree names them again.
    virtual void windowRecordsChanged(const std::vector<CurveWindowRecord>& windows) = 0;
    // The kind New Window offers: the last one made, or the tree node last clicked.
    [[nodiscard]] virtual ChartKind newWindowKind() const = 0;
    virtual void setNewWindowKind(ChartKind kind) = 0;
    virtual void showStatus(const QString& text) = 0;

    // The user's answers; nothing when the user cancels.
    [[nodiscard]] virtual std::optional<NewChartWindow> askNewWindow(ChartKind offered,
                                                                     int counter) = 0;
    [[nodiscard]] virtual std::optional<std::string> askNewName(const std::string& name) = 0;
    // The curve dialog of `kind`, offering the signals of `catalog`; the record and the signals
    // as OK leaves them.
    [[nodiscard]] virtual std::optional<CurveAnswer> askCurves(const CurveWindowRecord& record,
                                                               ChartKind kind,
                                                               const CurveSignalCatalog& catalog,
                                                               const CurveSignalRefs& values,
                                                               const CurveSignalRefs& xValues) = 0;
    [[nodiscard]] virtual bool askDelete() = 0;
    // Where Export Curves writes; empty when cancelled.
    [[nodiscard]] virtual std::string askCsvPath(const std::string& windowName) = 0;
};

// The main frame as the chart windows' host; its dialogs ask the user.
[[nodiscard]] std::unique_ptr<ChartWindowsHost> mainFrameHost(MainFrame& frame,
                                                              MessageService& messages);

class ChartWindows final : public CommandTarget, public ChartHost {
public:
    ChartWindows(std::unique_ptr<ChartWindowsHost> host, ProgramState& state,
                 MessageService& messages, QTableWidget* infoList);
    ~ChartWindows() override;

    // The chart view of the active MDI window, else the one last registered; may be null.
    [[nodiscard]] ChartView* currentView() const;
    [[nodiscard]] ChartView* viewNamed(const std::string& name) const;
    // Opens a window for a record of the document (y(t) or y(x)); returns its view.
    ChartView* openWindow(const CurveWindowRecord& record);
    // A document opens at most this many of its chart windows; the others are named in the tree
    // and open when asked for. Each window holds its own samples, so thousands would not fit.
    static constexpr std::size_t kMaxWindowsOpenedWithDocument = 32;

    // Whether every open chart window has read all the frames now in the store. A large document
    // is read in steps after its windows open or their curves change; this says when that is done.
    [[nodiscard]] bool scansComplete() const;

    // The document was created, emptied or loaded: its chart windows replace the open ones.
    void documentChanged();
    // A right click on a chart window's tree item makes it the current one.
    void selectWindow(const std::string& name);
    // A double click on a tree item under "y(t)" or "y(x)" (or on the node itself: a new window).
    void activateOrCreate(const std::string& name, ChartKind kind, bool node);

    [[nodiscard]] const CurveInfoColumns& columns() const { return m_columns; }
    [[nodiscard]] int windowCounter() const { return m_counter; }

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

    std::unique_ptr<ChartWindowsHost> m_host;
    ProgramState& m_state;
    MessageService& m_messages;
    QTableWidget* m_infoList;
    QPointer<ChartView> m_current;
    std::string m_selectedName;
    int m_counter = 0;
    CurveInfoColumns m_columns;
    std::vector<CurveInfoRow> m_rows;
};
