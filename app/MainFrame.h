#pragma once

// The main window: menus, toolbar, status bar panes, the two docking bars with the navigation tree
// and the curve information list, the MDI area with the document's windows, and the one-second
// timer that refreshes the status bar, runs the filter pass and marks the document modified.
//
// Thread: the user-interface thread.

#include "app/CMDIChildWndDataList.h"
#include "app/CoolBar.h"
#include "capture/DeviceCommands.h"
#include "curves/CurveRecords.h"
#include "document/ProgramState.h"
#include "framework/CommandRouting.h"
#include "framework/MessageService.h"

#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class QTableWidget;
class RecentFiles;
class CDataDoc;
class CViewDataList;
class ChartWindows;
class CanDatabases;
class OverviewWindows;
class LanguageManager;
class LanguageEnvironment;
class TaskProgressWindow;
struct MenuItem;

class MainFrame final : public QMainWindow, public CommandTarget {
public:
    static constexpr int kTimerMs = 1000;
    // How often the filter's passes look again while a work holds the shown rows.
    static constexpr int kCatchUpWaitMs = 20;
    // Tree images.
    enum TreeImage {
        kImageRoot = 0,
        kImageDataList = 1,
        kImageYx = 2,
        kImageYt = 3,
        kImageDataListItem = 6
    };

    // The adapter's commands go through `device` (the program's device thread): the window never
    // waits for an answer.
    // `replayDevice` is the adapter as a replay's own thread uses it.
    MainFrame(ProgramState& state, DeviceCommands& device, VexaDevice& replayDevice,
              MessageService& messages);
    ~MainFrame() override;

    // The application object is last in the command route.
    void setApplicationTarget(CommandTarget* app) { m_app = app; }
    void setLanguage(LanguageManager* language, LanguageEnvironment* environment) {
        m_language = language;
        m_languageEnvironment = environment;
    }
    // The "Language" popup, built each time it opens.
    [[nodiscard]] QMenu* languageMenu() const { return m_languageMenu; }
    void buildLanguageMenu();
    void setDocument(CDataDoc* document);
    [[nodiscard]] CDataDoc* document() const { return m_document; }

    // Creates the data list window of the document with `caption`, registers it and names it in
    // the tree.
    CViewDataList* createDataList(const QString& caption);
    [[nodiscard]] DeviceCommands& deviceCommands() { return m_device; }
    [[nodiscard]] CViewDataList* dataList() const { return m_dataList; }
    [[nodiscard]] CMDIChildWndDataList* dataListFrame() const { return m_dataListFrame; }

    // Timer 1.
    void onTimer();
    void routeCommand(unsigned id);
    // Enabled, checked and radio state of every action, as the route's update handlers say.
    void updateCommandUI();
    [[nodiscard]] QAction* action(unsigned id) const;
    [[nodiscard]] QString statusPane(int paneId) const;
    [[nodiscard]] QTreeWidget* tree() const { return m_tree; }
    [[nodiscard]] CCoolBar* leftBar() const { return m_ciw; }
    [[nodiscard]] CCoolBar* bottomBar() const { return m_spiw; }
    [[nodiscard]] QMdiArea* mdiArea() const { return m_mdi; }
    // The popup a right click on `item` opens (its resource id); registers a data list item.
    unsigned treeRightClick(QTreeWidgetItem* item);
    void treeDoubleClick(QTreeWidgetItem* item);
    [[nodiscard]] ChartKind newWindowKind() const { return m_newWindowKind; }
    // Chart windows, curve commands and the curve information list.
    void setNewWindowKind(ChartKind kind) { m_newWindowKind = kind; }
    [[nodiscard]] ChartWindows* chartWindows() const { return m_charts.get(); }
    // The overview window and what its rows do.
    [[nodiscard]] OverviewWindows* overviewWindows() const { return m_overviews.get(); }
    [[nodiscard]] QTableWidget* curveInfoList() const { return m_curveInfoList; }
    // The document's CAN databases: their tree node, commands and Signals panel.
    [[nodiscard]] CanDatabases* canDatabases() const { return m_canDatabases.get(); }

    // Menus of the current state (resource 130 with a document, 128 without).
    void rebuildMenus();
    // The recent files the File menu lists above Exit.
    void setRecentFiles(const RecentFiles* recent) {
        m_recentFiles = recent;
        rebuildMenus();
    }
    // Names every window of the document's window list in the tree.
    void rebuildTree(const std::vector<CurveWindowRecord>& windows);
    // Asked before the frame closes; false keeps it open.
    void setCloseQuery(std::function<bool()> query) { m_closeQuery = std::move(query); }
    // The progress window of the state's work (open, save, import, export, print).
    [[nodiscard]] TaskProgressWindow& workProgress() { return *m_workProgress; }
    // Commands that would touch the document a work is reading or replacing wait for it.
    [[nodiscard]] static bool touchesDocument(unsigned id);
    // The filter's pass over frames not yet looked at, a step at a time until it has caught up
    // (after an open, the pass goes on over later ticks).
    void filterCatchUp();

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    // Command handlers.
    void OnSetup(unsigned);
    void OnDeviceInformation(unsigned);
    void OnPopupReading(unsigned id);
    void OnViewBar(unsigned id);
    void OnUpdateViewBar(CmdUI& ui);
    void OnViewToolbarOrStatusBar(unsigned id);
    void OnUpdateViewToolbarOrStatusBar(CmdUI& ui);
    void OnWindowArrange(unsigned id);
    void OnLanguage(unsigned id);
    void OnHelpTopics(unsigned);
    void OnUpdateEnabled(CmdUI& ui);
    void OnIgnore(unsigned);
    void OnDisabled(CmdUI& ui);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    QMenu* buildMenu(const MenuItem& popup, QMenu* menu);
    void createToolBar();
    void createStatusBar();
    void createBars();
    std::vector<CommandTarget*> route() const;
    CViewDataList* activeDataList() const;
    QTreeWidgetItem* treeItemFor(const QString& caption, QTreeWidgetItem* node) const;
    // The status bar's word that the adapter needs Setup goes once it was set up or captures.
    void clearAdapterNeedsSetup();
    // While a command waits for the adapter: the wait cursor, the status bar says so and the
    // commands that depend on the answer are disabled.
    void showDeviceWait(bool waiting);
    [[nodiscard]] bool heldByDevice(unsigned id) const;

    ProgramState& m_state;
    DeviceCommands& m_device;
    VexaDevice& m_replayDevice;
    bool m_deviceWaitShown = false;
    MessageService& m_messages;
    CommandTarget* m_app = nullptr;
    LanguageManager* m_language = nullptr;
    LanguageEnvironment* m_languageEnvironment = nullptr;
    QMenu* m_languageMenu = nullptr;
    CDataDoc* m_document = nullptr;

    QMdiArea* m_mdi;
    QToolBar* m_toolBar = nullptr;
    std::map<unsigned, QAction*> m_actions;
    std::map<int, QLabel*> m_panes;
    CCoolBar* m_ciw = nullptr;
    CCoolBar* m_spiw = nullptr;
    QTreeWidget* m_tree = nullptr;
    QTableWidget* m_curveInfoList = nullptr;
    QTreeWidgetItem* m_root = nullptr;
    QTreeWidgetItem* m_dataListNode = nullptr;
    QTreeWidgetItem* m_ytNode = nullptr;
    QTreeWidgetItem* m_yxNode = nullptr;
    QString m_selectedItemText;
    ChartKind m_newWindowKind = ChartKind::kYt;
    int m_protocolShown = 0;
    CViewDataList* m_dataList = nullptr;
    CMDIChildWndDataList* m_dataListFrame = nullptr;
    QTimer m_timer;
    QTimer m_updateTimer;
    std::function<bool()> m_closeQuery;
    std::unique_ptr<ChartWindows> m_charts;
    std::unique_ptr<CanDatabases> m_canDatabases;
    std::unique_ptr<OverviewWindows> m_overviews;
    const RecentFiles* m_recentFiles = nullptr;
    std::unique_ptr<TaskProgressWindow> m_workProgress;
    QTimer m_catchUp;
};
