#include "app/OverviewWindows.h"

#include "app/CMDIChildWndDataList.h"
#include "app/ChartWindows.h"
#include "resources/Icons.h"
#include "app/MainFrame.h"
#include "app/ReplayDialog.h"
#include "document/CDataDoc.h"
#include "curves/CurveDialogs.h"
#include "curves/CurveFlags.h"
#include "platform/ProgramSettings.h"
#include "resources/OverviewCommandIds.h"
#include "resources/StringTable.h"
#include "resources/TextFormat.h"
#include "views/CViewDataList.h"
#include "views/IdentifierFilter.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QStatusBar>
#include <QTreeWidget>

#include <algorithm>

namespace {

const CommandMap<OverviewWindows>& commandMap() {
    using O = OverviewWindows;
    static const CommandMap<O> map = {
        OnCommand<O>(ID_WINDOW_OVERVIEW, &O::OnOverview),
        OnCommand<O>(ID_FUNCTIONS_REPLAY, &O::OnReplay),
        {ID_WINDOW_OVERVIEW, ID_WINDOW_OVERVIEW, nullptr, &O::OnUpdateNeedsDocument},
        {ID_FUNCTIONS_REPLAY, ID_FUNCTIONS_REPLAY, nullptr, &O::OnUpdateNeedsDocument},
    };
    return map;
}

// "ID 181", or "ID 181 (2)" and on when the document has a window of that name.
std::string plotWindowName(std::uint32_t identifier, const std::vector<CurveWindowRecord>& taken) {
    const std::string base = strprintf("ID %X", identifier);
    const auto used = [&taken](const std::string& name) {
        return std::any_of(taken.begin(), taken.end(),
                           [&name](const CurveWindowRecord& r) { return r.name.text() == name; });
    };
    std::string name = base;
    for (int n = 2; used(name); ++n) name = base + strprintf(" (%d)", n);
    return name;
}

}  // namespace

OverviewWindows::OverviewWindows(MainFrame& frame, ProgramState& state, VexaDevice& device,
                                 MessageService& messages)
    : m_frame(frame), m_state(state), m_messages(messages), m_replay(device) {
    if (QTreeWidgetItem* root = m_frame.tree()->topLevelItem(0)) {
        m_treeNode = new QTreeWidgetItem(
            root, {QString::fromStdString(strings::loadString(strings::kOverviewTitle))});
        m_treeNode->setIcon(0, treeIcon(MainFrame::kImageDataListItem));
    }
}

OverviewWindows::~OverviewWindows() {
    // The view and the replay read the program's state; they go first.
    delete m_window.data();
    delete m_replayDialog.data();
    m_replay.stop();
}

OverviewView* OverviewWindows::showOverview() {
    if (m_window != nullptr) {
        m_window->bringForward();
        return m_view;
    }
    ProgramState& state = m_state;
    MainFrame& frame = m_frame;
    auto* view = new OverviewView({state.store, state.filter, state.flags}, [&state, &frame] {
        OverviewView::Settings settings;
        settings.hex = state.hexDisplay == 1;
        settings.reading =
            frame.dataList() != nullptr ? frame.dataList()->reading() : ProtocolReading::kCan;
        settings.live = state.capture.capturing.load() == 1;
        settings.baudKbps = static_cast<unsigned>(std::max(state.device.baudRate, 0));
        settings.framesLost = state.capture.framesLost.load();
        settings.decoder = state.databases.decoder();
        return settings;
    });
    view->setFilterAction([this](const OverviewRow& row) { filterOn(row); });
    view->setPlotAction([this](const OverviewRow& row) { plotBytes(row); });
    view->setReadingTarget([&frame]() -> CommandTarget* { return frame.dataList(); });
    auto* window = new CMDIChildWndDataList(m_messages);
    window->setAttribute(Qt::WA_DeleteOnClose, true);
    window->setWidget(view);
    window->setWindowTitle(QString::fromStdString(strings::loadString(strings::kOverviewTitle)));
    window->setWindowKind(CMDIChildWndDataList::WindowKind::kOverview);
    m_frame.mdiArea()->addSubWindow(window);
    window->resize(std::min(m_frame.mdiArea()->width(), 900),
                   std::min(m_frame.mdiArea()->height(), 560));
    window->show();
    m_frame.mdiArea()->setActiveSubWindow(window);
    m_window = window;
    m_view = view;
    return view;
}

void OverviewWindows::filterOn(const OverviewRow& row) {
    CViewDataList* list = m_frame.dataList();
    if (list == nullptr) return;
    // An identifier that has only sent remote frames is filtered on those.
    list->applyFilter(conditionsShowingIdentifier(m_state.filter.conditions, m_state.filter.mode,
                                                  row.identifier, row.extended, !row.hasData),
                      FilterMode::kShow);
}

void OverviewWindows::plotBytes(const OverviewRow& row) {
    CDataDoc* document = m_frame.document();
    ChartWindows* charts = m_frame.chartWindows();
    if (document == nullptr || charts == nullptr) return;
    const std::string name = plotWindowName(row.identifier, document->contents.windows);
    const CurveSettingsFile settings(
        configureIniPath(QCoreApplication::applicationDirPath().toStdString()));
    YtCurveDialog dialog(newWindowRecord(ChartKind::kYt, name), m_messages, &settings, &m_frame);
    YtCurveForm form = dialog.form();
    form.identifier = strprintf("%X", row.identifier);
    form.name = strprintf("%X", row.identifier);
    // The bytes it carries, as many as a curve takes.
    const int bytes = std::clamp<int>(row.lastDataLength, 1, 4);
    for (int i = 0; i < 8; ++i) form.bytes[static_cast<std::size_t>(i)] = i < bytes;
    dialog.setForm(form);
    const bool accepted =
        m_runPlotDialog ? m_runPlotDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!accepted) return;
    const CurveWindowRecord record = dialog.result();
    // A window without a curve would plot nothing; the dialog's Add makes one.
    if (std::none_of(record.yt.begin(), record.yt.end(), [](const CurveDefinition& d) {
            return (d.flags & curve_flags::kDefined) != 0;
        })) {
        return;
    }
    document->contents.windows.push_back(record);
    m_frame.rebuildTree(document->contents.windows);
    charts->openWindow(record);
    charts->refreshInfoList();
    m_state.capture.pendingChanges.store(1);
}

ReplayDialog* OverviewWindows::showReplay() {
    if (m_replayDialog == nullptr) {
        m_replayDialog = new ReplayDialog(m_replay, m_state, m_messages, &m_frame);
    }
    m_replayDialog->show();
    m_replayDialog->raise();
    m_replayDialog->activateWindow();
    return m_replayDialog;
}

void OverviewWindows::storeReplacing() {
    if (!m_replay.stopIfReadingStore()) return;
    if (m_replayDialog != nullptr) m_replayDialog->refresh();
    m_frame.statusBar()->showMessage(
        QString::fromStdString(strings::loadString(strings::kReplayStoppedForDocument)));
}

void OverviewWindows::watch(CDataDoc* document) {
    if (document == nullptr || document == m_watched) return;
    m_watched = document;
    document->addClearListener([this] { storeReplacing(); });
}

void OverviewWindows::OnOverview(unsigned) {
    showOverview();
}

void OverviewWindows::OnReplay(unsigned) {
    showReplay();
}

void OverviewWindows::OnUpdateNeedsDocument(CmdUI& ui) {
    ui.enabled = m_frame.document() != nullptr;
}

bool OverviewWindows::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool OverviewWindows::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}
