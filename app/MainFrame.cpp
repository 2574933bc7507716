#include "app/MainFrame.h"

#include "app/CanDatabases.h"
#include "app/ChartWindows.h"
#include "app/Help.h"
#include "resources/Icons.h"
#include "app/LanguageManager.h"
#include "app/OverviewWindows.h"
#include "app/RecentFiles.h"
#include "document/CDataDoc.h"
#include "device/DeviceDialogs.h"
#include "platform/ProgramSettings.h"
#include "resources/CommandIds.h"
#include "resources/CurveCommandIds.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "views/CViewDataList.h"
#include "widgets/ProgressWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QTreeWidget>

#include <QCoreApplication>

#include <functional>

namespace {

constexpr int kPaneProtocol = 102;
constexpr int kPaneFrameType = 109;
constexpr int kPaneBaudRate = 104;
constexpr int kPaneFramesLost = 110;

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

// A document's header may hold any 32-bit rate (0xFFFFFFFF reads as -1): one the adapter cannot
// run at is shown as unknown; every rate Setup offers is shown.
QString baudRatePane(std::int32_t kbps) {
    return kbps >= 1 && kbps <= DeviceSetup::kMaxBaudRate ? QStringLiteral("%1kbps").arg(kbps)
                                                          : QStringLiteral("?kbps");
}

const CommandMap<MainFrame>& commandMap() {
    using F = MainFrame;
    static const CommandMap<F> map = {
        OnCommand<F>(ID_OPTIONS_SETUP, &F::OnSetup),
        OnCommand<F>(ID_OPTIONS_DEVICE_INFORMATION, &F::OnDeviceInformation),
        OnCommand<F>(ID_POPUP_CAN, &F::OnPopupReading),
        OnCommand<F>(ID_POPUP_DEVICENET, &F::OnPopupReading),
        OnCommand<F>(ID_POPUP_CANOPEN, &F::OnPopupReading),
        OnCommandRange<F>(ID_VIEW_CURVE_INFORMATION, ID_VIEW_SAMPLING_POINT_INFORMATION,
                          &F::OnViewBar),
        {ID_VIEW_CURVE_INFORMATION, ID_VIEW_SAMPLING_POINT_INFORMATION, nullptr,
         &F::OnUpdateViewBar},
        OnCommandRange<F>(ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, &F::OnViewToolbarOrStatusBar),
        {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, nullptr, &F::OnUpdateViewToolbarOrStatusBar},
        OnCommandRange<F>(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_HORZ, &F::OnWindowArrange),
        OnCommand<F>(ID_HELP, &F::OnIgnore),
        OnCommandRange<F>(ID_LANGUAGE_FIRST, ID_LANGUAGE_LAST, &F::OnLanguage),
        {ID_OPTIONS_LANGUAGE, ID_OPTIONS_LANGUAGE, nullptr, &F::OnUpdateEnabled},
        OnCommand<F>(ID_HELP_TOPICS, &F::OnHelpTopics),
        OnCommand<F>(ID_POPUP_FILTER, &F::OnPopupReading),
    };
    return map;
}

}  // namespace

MainFrame::MainFrame(ProgramState& state, DeviceCommands& device, VexaDevice& replayDevice,
                     MessageService& messages)
    : m_state(state), m_device(device), m_replayDevice(replayDevice), m_messages(messages), m_mdi(new QMdiArea(this)) {
    setWindowTitle(text(strings::kProgramName));
    setCentralWidget(m_mdi);
    setDockNestingEnabled(true);
    resize(1000, 680);
    createActions();
    rebuildMenus();
    createToolBar();
    createStatusBar();
    createBars();
    // Opened once; the result shows nowhere and does not mark the adapter as set up. It is the
    // device thread's first command, so every later one finds the adapter opened.
    m_device.vexaInit();
    m_device.setWaitingChanged([this](bool waiting) { showDeviceWait(waiting); });
    m_device.setAnswered([this] { updateCommandUI(); });
    connect(&m_timer, &QTimer::timeout, this, &MainFrame::onTimer);
    m_timer.start(kTimerMs);
    m_workProgress = std::make_unique<TaskProgressWindow>(m_state.work, this);
    connect(&m_catchUp, &QTimer::timeout, this, &MainFrame::filterCatchUp);
    // The framework's idle update of menu items and buttons.
    connect(&m_updateTimer, &QTimer::timeout, this, &MainFrame::updateCommandUI);
    m_updateTimer.start(250);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &MainFrame::updateCommandUI);
    // Settings that cannot be kept are told once, where it does not stop the user's work.
    platform::setProfileWriteFailureHandler([this](const std::string& why) {
        statusBar()->showMessage(text(strings::kSettingsNotSaved).arg(QString::fromStdString(why)));
    });
    onTimer();
}

MainFrame::~MainFrame() {
    platform::setProfileWriteFailureHandler(nullptr);
    m_device.setWaitingChanged(nullptr);
    m_device.setAnswered(nullptr);
    if (m_deviceWaitShown) QApplication::restoreOverrideCursor();
    m_catchUp.stop();
    // Children going away must not call back into a frame that is being destroyed.
    m_overviews.reset();
    m_charts.reset();
    m_canDatabases.reset();
    m_timer.stop();
    m_updateTimer.stop();
    disconnect(m_mdi, nullptr, this, nullptr);
}

void MainFrame::createActions() {
    std::vector<unsigned> ids;
    std::function<void(const std::vector<MenuItem>&)> collect =
        [&](const std::vector<MenuItem>& items) {
            for (const MenuItem& i : items) {
                if (i.id != 0) ids.push_back(i.id);
                collect(i.items);
            }
        };
    collect(mainMenu(true));
    for (unsigned resource : {199u, 201u, 203u, 209u, CanDatabases::kPopupResource}) {
        collect(popupMenu(resource).items);
    }
    for (const Accelerator& a : accelerators()) ids.push_back(a.id);
    for (int i = 0; i < RecentFiles::kMaxFiles; ++i) ids.push_back(ID_FILE_MRU_FILE1 + i);
    for (unsigned id : ids) {
        if (m_actions.count(id) != 0) continue;
        auto* action = new QAction(this);
        action->setIcon(commandIcon(id));
        const QString prompt = text(id);
        if (!prompt.isEmpty()) {
            action->setStatusTip(prompt.section('\n', 0, 0));
            action->setToolTip(prompt.section('\n', 1, 1));
        }
        connect(action, &QAction::triggered, this, [this, id] { routeCommand(id); });
        addAction(action);
        m_actions[id] = action;
    }
    for (const Accelerator& a : accelerators()) {
        m_actions[a.id]->setShortcut(QKeySequence(QString::fromLatin1(a.keys)));
        m_actions[a.id]->setShortcutContext(Qt::WindowShortcut);
    }
}

QMenu* MainFrame::buildMenu(const MenuItem& popup, QMenu* menu) {
    for (const MenuItem& i : popup.items) {
        if (i.separator()) {
            menu->addSeparator();
        } else if (i.id == 0) {
            buildMenu(i, menu->addMenu(QString::fromStdString(i.text)));
        } else if (i.id == ID_OPTIONS_LANGUAGE) {
            // Its popup lists the languages found each time it opens.
            m_languageMenu = menu->addMenu(QString::fromStdString(i.text));
            connect(m_languageMenu, &QMenu::aboutToShow, this, &MainFrame::buildLanguageMenu);
        } else {
            QAction* action = m_actions.at(i.id);
            action->setText(QString::fromStdString(i.text).section('\t', 0, 0));
            menu->addAction(action);
        }
    }
    connect(menu, &QMenu::aboutToShow, this, &MainFrame::updateCommandUI);
    return menu;
}

void MainFrame::rebuildMenus() {
    menuBar()->clear();
    for (const MenuItem& popup : mainMenu(m_document != nullptr)) {
        buildMenu(popup, menuBar()->addMenu(QString::fromStdString(popup.text)));
    }
    // The recent files go between the printer items and Exit.
    QAction* exit = action(ID_APP_EXIT);
    const QList<QAction*> bar = menuBar()->actions();
    if (m_recentFiles != nullptr && !m_recentFiles->files().isEmpty() && !bar.isEmpty() &&
        bar.first()->menu() != nullptr && exit != nullptr) {
        QMenu* file = bar.first()->menu();
        for (int i = 0; i < m_recentFiles->files().size(); ++i) {
            QAction* recent = action(ID_FILE_MRU_FILE1 + static_cast<unsigned>(i));
            recent->setText(m_recentFiles->menuText(i));
            recent->setStatusTip(m_recentFiles->files()[i]);
            file->insertAction(exit, recent);
        }
        file->insertSeparator(exit);
    }
    updateCommandUI();
}

void MainFrame::createToolBar() {
    m_toolBar = addToolBar(QString::fromStdString(uiText("Toolbar")));
    m_toolBar->setObjectName(QStringLiteral("toolbar128"));
    m_toolBar->setIconSize(QSize(16, 16));
    m_toolBar->setMovable(true);
    for (unsigned id : toolbarButtons()) {
        if (id == 0) {
            m_toolBar->addSeparator();
        } else {
            m_toolBar->addAction(m_actions.at(id));
        }
    }
}

void MainFrame::createStatusBar() {
    for (int pane : {kPaneFramesLost, kPaneProtocol, kPaneFrameType, kPaneBaudRate}) {
        auto* label = new QLabel(this);
        label->setMinimumWidth(50);
        label->setAlignment(Qt::AlignCenter);
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(label);
        m_panes[pane] = label;
    }
    statusBar()->showMessage(QString::fromStdString(uiText("Ready")));
}

void MainFrame::createBars() {
    m_ciw = new CCoolBar(QStringLiteral("ciw"), this, QSize(170, 100), 100);
    m_spiw = new CCoolBar(QStringLiteral("spiw"), this, QSize(200, 100), 124);
    m_tree = new QTreeWidget(m_ciw);
    m_tree->setObjectName(QStringLiteral("tree202"));
    m_tree->setHeaderHidden(true);
    m_tree->setRootIsDecorated(true);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    m_ciw->setWidget(m_tree);
    m_curveInfoList = new QTableWidget(0, 0, m_spiw);
    m_curveInfoList->setObjectName(QStringLiteral("CurveInfoList101"));
    m_curveInfoList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_curveInfoList->verticalHeader()->hide();
    m_spiw->setWidget(m_curveInfoList);
    addDockWidget(Qt::LeftDockWidgetArea, m_ciw);
    addDockWidget(Qt::BottomDockWidgetArea, m_spiw);
    resizeDocks({m_ciw}, {170}, Qt::Horizontal);
    resizeDocks({m_spiw}, {100}, Qt::Vertical);

    m_root = new QTreeWidgetItem(m_tree, {QStringLiteral("Korvane V2.00")});
    m_root->setIcon(0, treeIcon(kImageRoot));
    m_dataListNode = new QTreeWidgetItem(m_root, {QString::fromStdString(uiText("Data List"))});
    m_dataListNode->setIcon(0, treeIcon(kImageDataList));
    m_ytNode = new QTreeWidgetItem(m_root, {QStringLiteral("y(t)")});
    m_ytNode->setIcon(0, treeIcon(kImageYt));
    m_yxNode = new QTreeWidgetItem(m_root, {QStringLiteral("y(x)")});
    m_yxNode->setIcon(0, treeIcon(kImageYx));
    m_canDatabases = std::make_unique<CanDatabases>(*this, m_state, m_messages, m_root);
    m_root->setExpanded(true);

    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const unsigned resource = treeRightClick(m_tree->itemAt(at));
        if (resource == 0) return;
        QMenu menu(this);
        buildMenu(popupMenu(resource), &menu);
        menu.exec(m_tree->viewport()->mapToGlobal(at));
    });
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { treeDoubleClick(item); });
    m_charts = std::make_unique<ChartWindows>(mainFrameHost(*this, m_messages), m_state, m_messages,
                                              m_curveInfoList);
    m_overviews = std::make_unique<OverviewWindows>(*this, m_state, m_replayDevice, m_messages);
}

void MainFrame::setDocument(CDataDoc* document) {
    m_document = document;
    if (document != nullptr) {
        document->setStartRefusedHandler(
            [this] { statusBar()->showMessage(text(strings::kAdapterNeedsSetup)); });
        m_overviews->watch(document);
    }
    // The caption carries the document's title and its modified mark.
    setWindowTitle(document == nullptr ? text(strings::kProgramName)
                                       : text(strings::kProgramName) + " - " +
                                             QString::fromStdString(document->GetTitle()) + "[*]");
    rebuildMenus();
}

CViewDataList* MainFrame::createDataList(const QString& caption) {
    auto* frame = new CMDIChildWndDataList(m_messages);
    auto* view = new CViewDataList(m_state, m_messages);
    frame->setWidget(view);
    frame->setWindowTitle(caption);
    frame->setWindowKind(CMDIChildWndDataList::WindowKind::kDataList);
    m_mdi->addSubWindow(frame);
    frame->resize(m_mdi->size());
    frame->showMaximized();
    m_dataList = view;
    m_dataListFrame = frame;
    view->databasesChanged();
    view->setFilterBehind([this] {
        if (!m_catchUp.isActive()) m_catchUp.start(m_state.work.busy() ? kCatchUpWaitMs : 0);
    });
    if (treeItemFor(caption, m_dataListNode) == nullptr) {
        auto* item = new QTreeWidgetItem(m_dataListNode, {caption});
        item->setIcon(0, treeIcon(kImageDataListItem));
    }
    m_dataListNode->setExpanded(true);
    updateCommandUI();
    return view;
}

void MainFrame::onTimer() {
    m_panes[kPaneProtocol]->setText(m_protocolShown == 1   ? QStringLiteral("DeviceNet")
                                    : m_protocolShown == 2 ? QStringLiteral("CANopen")
                                                           : QStringLiteral("CAN"));
    m_panes[kPaneFrameType]->setText(
        text(m_state.device.frameType == 1 ? strings::kStandard : strings::kExtended));
    m_panes[kPaneBaudRate]->setText(m_state.capture.deviceReady.load() == 1
                                        ? baudRatePane(m_state.device.baudRate)
                                        : QStringLiteral("NULL"));
    m_panes[kPaneFramesLost]->setText(
        text(strings::kFramesLostPane).arg(m_state.capture.framesLost.load()));
    // A capture running again means the adapter was set up again: the refusal's hint is stale.
    if (m_state.capture.capturing.load() == 1) clearAdapterNeedsSetup();
    filterCatchUp();
    if (m_dataList != nullptr && m_document != nullptr &&
        m_state.capture.pendingChanges.load() == 1) {
        m_document->SetModifiedFlag();
        setWindowModified(true);
    }
}

void MainFrame::filterCatchUp() {
    if (m_state.flags.test(ApplicationFlags::kClearing)) return;
    if (m_dataList != nullptr && m_dataList->applyHeldFilter()) return;
    if (m_state.work.busy()) {
        // A work may be reading the shown rows: the passes wait for it, looking now and then
        // (a work's completion, which swaps a document in, still counts as busy).
        const bool behind = m_state.filter.storeGeneration != m_state.store.generation() ||
                            m_state.filter.processedCount < m_state.store.count() ||
                            (m_dataList != nullptr && m_dataList->filterHeld());
        if (behind && (!m_catchUp.isActive() || m_catchUp.interval() != kCatchUpWaitMs)) {
            m_catchUp.start(kCatchUpWaitMs);
        }
        return;
    }
    const bool behind =
        FilterStepWithin(m_state.filter, m_state.store, m_state.flags, kFilterSlice);
    if (behind && (!m_catchUp.isActive() || m_catchUp.interval() != 0)) {
        m_catchUp.start(0);
    } else if (!behind && m_catchUp.isActive()) {
        m_catchUp.stop();
    }
}

bool MainFrame::touchesDocument(unsigned id) {
    switch (id) {
        case ID_FILE_NEW:
        case ID_FILE_OPEN:
        case ID_FILE_CLOSE:
        case ID_FILE_SAVE:
        case ID_FILE_SAVE_AS:
        case ID_FILE_IMPORT_LOG:
        case ID_FILE_EXPORT_LOG:
        case ID_FILE_ADD_CAN_DATABASE:
        case ID_FILE_EXPORT_CURVES:
        case ID_CANDB_REMOVE:
        case ID_FILE_PRINT:
        case ID_FILE_PRINT_DIRECT:
        case ID_FILE_PRINT_PREVIEW:
        case ID_FUNCTIONS_EXPORT:
        case ID_FUNCTIONS_CLEARALL:
        case ID_FUNCTIONS_MANUAL_MESSAGE:
        case ID_AUTO_CONFIGURE:
        case ID_DATALIST_FILTER:
        case ID_POPUP_FILTER:
        case ID_POPUP_NEW_WINDOW:
        case ID_APP_EXIT:
            return true;
        default:
            return id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + 16;
    }
}

QString MainFrame::statusPane(int paneId) const {
    const auto it = m_panes.find(paneId);
    return it == m_panes.end() ? QString() : it->second->text();
}

CViewDataList* MainFrame::activeDataList() const {
    QMdiSubWindow* active = m_mdi->activeSubWindow();
    if (active == nullptr) active = m_dataListFrame;
    return active != nullptr ? dynamic_cast<CViewDataList*>(active->widget()) : nullptr;
}

std::vector<CommandTarget*> MainFrame::route() const {
    std::vector<CommandTarget*> chain;
    if (CViewDataList* view = activeDataList()) chain.push_back(view);
    if (m_charts != nullptr && m_mdi->activeSubWindow() != nullptr) {
        if (auto* chart = dynamic_cast<ChartView*>(m_mdi->activeSubWindow()->widget())) {
            chain.push_back(chart);
        }
    }
    if (m_mdi->activeSubWindow() != nullptr) {
        if (auto* overview = dynamic_cast<OverviewView*>(m_mdi->activeSubWindow()->widget())) {
            chain.push_back(overview);
        }
    }
    if (m_document != nullptr) chain.push_back(m_document);
    if (m_charts != nullptr) chain.push_back(m_charts.get());
    if (m_canDatabases != nullptr) chain.push_back(m_canDatabases.get());
    if (m_overviews != nullptr) chain.push_back(m_overviews.get());
    chain.push_back(const_cast<MainFrame*>(this));
    if (m_app != nullptr) chain.push_back(m_app);
    return chain;
}

void MainFrame::routeCommand(unsigned id) {
    // A command runs only while its update handler enables it, as a menu item would allow.
    CmdUI ui{id};
    bool known = false;
    for (CommandTarget* target : route()) {
        if (target->OnUpdateCmdUI(ui)) {
            known = true;
            break;
        }
    }
    if (!known || !ui.enabled || heldByDevice(id)) return;
    if (m_state.work.busy() && touchesDocument(id)) return;
    for (CommandTarget* target : route()) {
        if (target->OnCmdMsg(id)) break;
    }
    updateCommandUI();
}

void MainFrame::updateCommandUI() {
    const auto chain = route();
    for (auto& [id, action] : m_actions) {
        CmdUI ui{id};
        bool known = false;
        for (CommandTarget* target : chain) {
            if (target->OnUpdateCmdUI(ui)) {
                known = true;
                break;
            }
        }
        action->setEnabled(known && ui.enabled && !heldByDevice(id) &&
                           !(m_state.work.busy() && touchesDocument(id)));
        action->setCheckable(ui.checked.has_value());
        if (ui.checked.has_value()) action->setChecked(*ui.checked);
    }
}

QAction* MainFrame::action(unsigned id) const {
    const auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

QTreeWidgetItem* MainFrame::treeItemFor(const QString& caption, QTreeWidgetItem* node) const {
    for (int i = 0; i < node->childCount(); ++i) {
        if (node->child(i)->text(0) == caption) return node->child(i);
    }
    return nullptr;
}

unsigned MainFrame::treeRightClick(QTreeWidgetItem* item) {
    if (item == nullptr) return 0;
    QTreeWidgetItem* parent = item->parent();
    m_selectedItemText = item->text(0);
    if (item == m_ytNode) m_newWindowKind = ChartKind::kYt;
    if (item == m_yxNode) m_newWindowKind = ChartKind::kYx;
    if (m_document == nullptr || m_overviews->ownsTreeItem(item)) return 0;
    if (m_canDatabases != nullptr &&
        (item == m_canDatabases->node() || parent == m_canDatabases->node())) {
        return m_canDatabases->rightClick(item);
    }
    if (parent == m_dataListNode) {
        if (m_dataListFrame != nullptr && m_dataListFrame->windowTitle() == m_selectedItemText) {
            m_dataList = dynamic_cast<CViewDataList*>(m_dataListFrame->widget());
        }
        return 199;
    }
    if (parent == m_ytNode || parent == m_yxNode) {
        m_charts->selectWindow(m_selectedItemText.toStdString());
        return parent == m_ytNode ? 201 : 203;
    }
    return 209;
}

void MainFrame::treeDoubleClick(QTreeWidgetItem* item) {
    if (item == nullptr || m_document == nullptr) return;
    if (m_overviews->ownsTreeItem(item)) {
        m_overviews->showOverview();
        return;
    }
    m_selectedItemText = item->text(0);
    if (item->parent() == m_dataListNode) {
        for (QMdiSubWindow* w : m_mdi->subWindowList()) {
            auto* frame = dynamic_cast<CMDIChildWndDataList*>(w);
            if (frame != nullptr && frame->windowTitle() == m_selectedItemText) {
                frame->bringForward();
                return;
            }
        }
        // There is only ever one data list: an item whose name differs from its caption (as a
        // loaded document's may) brings that one forward instead of making a second.
        if (m_dataListFrame != nullptr) {
            m_dataListFrame->bringForward();
            return;
        }
        createDataList(m_selectedItemText);
        return;
    }
    if (item == m_ytNode || item->parent() == m_ytNode) {
        m_charts->activateOrCreate(m_selectedItemText.toStdString(), ChartKind::kYt,
                                   item == m_ytNode);
    } else if (item == m_yxNode || item->parent() == m_yxNode) {
        m_charts->activateOrCreate(m_selectedItemText.toStdString(), ChartKind::kYx,
                                   item == m_yxNode);
    }
}

void MainFrame::OnSetup(unsigned) {
    if (m_state.capture.capturing.load() == 1) {
        m_messages.showMessage(strings::kDeviceCapturing);
        return;
    }
    DeviceSetup setup(m_device, m_state.device, m_state.capture, m_messages,
                      configureIniPath(QCoreApplication::applicationDirPath().toStdString()));
    DeviceSetupDialog dialog(setup, this);
    if (dialog.exec() == QDialog::Accepted) clearAdapterNeedsSetup();
}

void MainFrame::clearAdapterNeedsSetup() {
    if (statusBar()->currentMessage() == text(strings::kAdapterNeedsSetup)) {
        statusBar()->showMessage(QString::fromStdString(uiText("Ready")));
    }
}

void MainFrame::showDeviceWait(bool waiting) {
    if (waiting == m_deviceWaitShown) return;
    m_deviceWaitShown = waiting;
    const QString said = text(strings::kWaitingForAdapter);
    if (waiting) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        statusBar()->showMessage(said);
    } else {
        QApplication::restoreOverrideCursor();
        if (statusBar()->currentMessage() == said) {
            statusBar()->showMessage(QString::fromStdString(uiText("Ready")));
        }
    }
    updateCommandUI();
}

bool MainFrame::heldByDevice(unsigned id) const {
    if (m_device.waiting() == 0) return false;
    switch (id) {
        case ID_OPTIONS_SETUP:
        case ID_OPTIONS_DEVICE_INFORMATION:
        case ID_FUNCTIONS_CAPTURE:
        case ID_AUTO_START:
        case ID_AUTO_STOP:
            return true;
        default:
            return false;
    }
}

void MainFrame::OnDeviceInformation(unsigned) {
    auto information = std::make_shared<DeviceInformation>(m_device, m_messages);
    information->framesLostCount = m_state.capture.framesLost.load();
    if (const auto start = m_state.capture.anchors.last()) {
        information->captureStartUs = start->timeOfDayUs;
    }
    // The dialog opens with the adapter's answer (after message 5025 when there is none).
    QPointer<MainFrame> self(this);
    information->open([self, information] {
        if (self == nullptr) return;
        DeviceInformationDialog dialog(*information, self);
        dialog.exec();
    });
}

void MainFrame::OnPopupReading(unsigned id) {
    if (m_dataList == nullptr) return;
    if (id == ID_POPUP_FILTER) return m_dataList->OnFilter(id);
    m_dataList->switchReading(id == ID_POPUP_CAN         ? ProtocolReading::kCan
                              : id == ID_POPUP_DEVICENET ? ProtocolReading::kDeviceNet
                                                         : ProtocolReading::kCanOpen);
}

void MainFrame::OnViewBar(unsigned id) {
    (id == ID_VIEW_CURVE_INFORMATION ? m_ciw : m_spiw)->show();
}

void MainFrame::OnUpdateViewBar(CmdUI& ui) {
    ui.enabled = true;
}

void MainFrame::OnViewToolbarOrStatusBar(unsigned id) {
    QWidget* w = id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(m_toolBar) : statusBar();
    w->setVisible(!w->isVisible());
}

void MainFrame::OnUpdateViewToolbarOrStatusBar(CmdUI& ui) {
    if (m_toolBar == nullptr) return;  // still being built
    const QWidget* w = ui.id == ID_VIEW_TOOLBAR ? static_cast<QWidget*>(m_toolBar) : statusBar();
    ui.checked = !w->isHidden();
}

void MainFrame::OnWindowArrange(unsigned id) {
    if (id == ID_WINDOW_CASCADE)
        m_mdi->cascadeSubWindows();
    else
        m_mdi->tileSubWindows();
}

void MainFrame::buildLanguageMenu() {
    if (m_languageMenu == nullptr || m_language == nullptr) return;
    m_languageMenu->clear();
    auto* group = new QActionGroup(m_languageMenu);
    const auto entries = m_language->buildMenu();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        QAction* action = m_languageMenu->addAction(QString::fromStdString(entries[i].text));
        action->setCheckable(true);
        action->setChecked(entries[i].checked);
        action->setActionGroup(group);
        const unsigned id = ID_LANGUAGE_FIRST + static_cast<unsigned>(i);
        connect(action, &QAction::triggered, this, [this, id] { routeCommand(id); });
    }
}

void MainFrame::OnLanguage(unsigned id) {
    if (m_language == nullptr) return;
    const std::string text = m_language->selectLanguage(id - ID_LANGUAGE_FIRST,
                                                        strings::loadString(strings::kProgramName));
    if (!text.empty()) m_messages.showText(text, MessageIcon::kInformation);
}

void MainFrame::OnHelpTopics(unsigned) {
    if (m_languageEnvironment == nullptr) return;
    const LANGID language = helpLanguage(*m_languageEnvironment);
    if (language == 0) {
        m_messages.showMessage(strings::kCannotGetLanguage);
        return;
    }
    // A missing help file or viewer fails quietly.
    HtmlHelp(QCoreApplication::applicationDirPath() + "/" +
                 QString::fromStdString(helpFileName(language)),
             QString::fromLatin1(kHelpTopic), this);
}

void MainFrame::OnUpdateEnabled(CmdUI& ui) {
    ui.enabled = true;
}

void MainFrame::OnIgnore(unsigned) {}

void MainFrame::OnDisabled(CmdUI& ui) {
    ui.enabled = false;
}

bool MainFrame::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool MainFrame::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}

void MainFrame::rebuildTree(const std::vector<CurveWindowRecord>& windows) {
    for (QTreeWidgetItem* node : {m_dataListNode, m_ytNode, m_yxNode}) {
        qDeleteAll(node->takeChildren());
    }
    for (const CurveWindowRecord& w : windows) {
        QTreeWidgetItem* node = (w.flags & CurveWindowRecord::kDataList) != 0 ? m_dataListNode
                                : (w.flags & CurveWindowRecord::kYt) != 0     ? m_ytNode
                                : (w.flags & CurveWindowRecord::kYx) != 0     ? m_yxNode
                                                                              : nullptr;
        if (node == nullptr) continue;
        auto* item = new QTreeWidgetItem(node, {QString::fromStdString(w.name.text())});
        item->setIcon(0, treeIcon(node == m_dataListNode ? kImageDataListItem
                                  : node == m_ytNode     ? kImageYt
                                                         : kImageYx));
        node->setExpanded(true);
    }
}

void MainFrame::closeEvent(QCloseEvent* event) {
    // The work's Cancel comes first: the document it reads or replaces cannot go under it.
    if (m_state.work.busy()) {
        event->ignore();
        return;
    }
    if (m_closeQuery && !m_closeQuery()) {
        event->ignore();
        return;
    }
    // The data list's frame refuses to close on its own; with the program it goes.
    if (m_dataListFrame != nullptr) {
        m_dataListFrame->setWindowKind(CMDIChildWndDataList::WindowKind::kClosingWithProgram);
    }
    QMainWindow::closeEvent(event);
    // Exit ends the program: no window of it may stay behind and keep the process alive.
    if (event->isAccepted()) closeHelpViewer();
}
