#include "app/ChartWindows.h"

#include "app/CMDIChildWndDataList.h"
#include "app/MainFrame.h"
#include "app/SignalCurveSource.h"
#include "document/CDataDoc.h"
#include "curves/CurveCsvExport.h"
#include "curves/CurveDialogs.h"
#include "platform/ProgramSettings.h"
#include "resources/CommandIds.h"
#include "resources/CurveCommandIds.h"
#include "resources/CurveStrings.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "views/CViewChart.h"
#include "views/CViewChart2.h"

#include <QCoreApplication>
#include <QCursor>
#include <QFileDialog>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QTableWidget>

namespace {

constexpr int kInfoColumnWidth = 85;

const CommandMap<ChartWindows>& commandMap() {
    using C = ChartWindows;
    static const CommandMap<C> map = {
        OnCommand<C>(ID_POPUP_NEW_WINDOW, &C::OnNewWindow),
        OnCommand<C>(ID_YT_CURVE, &C::OnCurve),
        OnCommand<C>(ID_YX_CURVE, &C::OnCurve),
        OnCommand<C>(ID_YT_DELETE, &C::OnDelete),
        OnCommand<C>(ID_YX_DELETE, &C::OnDelete),
        OnCommand<C>(ID_YT_RENAME, &C::OnRename),
        OnCommand<C>(ID_YX_RENAME, &C::OnRename),
        {ID_INFO_NAME, ID_INFO_NAME, nullptr, &C::OnDisabled},
        {ID_INFO_AXIS, ID_INFO_AXIS, nullptr, &C::OnDisabled},
        {ID_INFO_COLOR, ID_INFO_GRIDLINES, &C::OnInfoColumn, &C::OnUpdateInfoColumn},
        {ID_FILE_EXPORT_CURVES, ID_FILE_EXPORT_CURVES, &C::OnExportCurves, &C::OnUpdateNeedsChart},
    };
    return map;
}

bool isChartRecord(const CurveWindowRecord& r) {
    return (r.flags & (window_flags::kYt | window_flags::kYx)) != 0;
}

class MainFrameHost final : public ChartWindowsHost {
public:
    MainFrameHost(MainFrame& frame, MessageService& messages)
        : m_frame(frame), m_messages(messages) {}

    [[nodiscard]] QMdiArea* chartArea() const override { return m_frame.mdiArea(); }
    [[nodiscard]] std::vector<CurveWindowRecord>* windowRecords() const override {
        CDataDoc* document = m_frame.document();
        return document != nullptr ? &document->contents.windows : nullptr;
    }
    void windowRecordsChanged(const std::vector<CurveWindowRecord>& windows) override {
        m_frame.rebuildTree(windows);
    }
    [[nodiscard]] ChartKind newWindowKind() const override { return m_frame.newWindowKind(); }
    void setNewWindowKind(ChartKind kind) override { m_frame.setNewWindowKind(kind); }
    void showStatus(const QString& text) override { m_frame.statusBar()->showMessage(text); }

    std::optional<NewChartWindow> askNewWindow(ChartKind offered, int counter) override {
        NewCurveWindowDialog dialog(offered, counter, &m_frame);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return NewChartWindow{dialog.kind(), dialog.name()};
    }
    std::optional<std::string> askNewName(const std::string& name) override {
        RenameDialog dialog(name, &m_frame);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.name();
    }
    std::optional<CurveAnswer> askCurves(const CurveWindowRecord& record, ChartKind kind,
                                         const CurveSignalCatalog& catalog,
                                         const CurveSignalRefs& values,
                                         const CurveSignalRefs& xValues) override {
        const CurveSettingsFile settings(
            configureIniPath(QCoreApplication::applicationDirPath().toStdString()));
        if (kind == ChartKind::kYt) {
            YtCurveDialog dialog(record, m_messages, &settings, &m_frame, catalog, values);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            return CurveAnswer{dialog.result(), dialog.signalResult(), xValues};
        }
        YxCurveDialog dialog(record, m_messages, &settings, &m_frame, catalog, values, xValues);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return CurveAnswer{dialog.result(), dialog.ySignalResult(), dialog.xSignalResult()};
    }
    bool askDelete() override {
        return QMessageBox::question(
                   &m_frame, QStringLiteral("Korvane"),
                   QString::fromStdString(strings::loadString(strings::kDeleteViewQuestion)),
                   QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    }
    std::string askCsvPath(const std::string& windowName) override {
        const QString filter = QString::fromStdString(uiText("CSV Files (*.csv)") + ";;" +
                                                      uiText("All Files (*.*)"));
        return QFileDialog::getSaveFileName(&m_frame, QString(),
                                            QString::fromStdString(windowName) + ".csv", filter)
            .toStdString();
    }

private:
    MainFrame& m_frame;
    MessageService& m_messages;
};

}  // namespace

std::unique_ptr<ChartWindowsHost> mainFrameHost(MainFrame& frame, MessageService& messages) {
    return std::make_unique<MainFrameHost>(frame, messages);
}

ChartWindows::ChartWindows(std::unique_ptr<ChartWindowsHost> host, ProgramState& state,
                           MessageService& messages, QTableWidget* infoList)
    : m_host(std::move(host)), m_state(state), m_messages(messages), m_infoList(infoList) {
    m_infoList->setShowGrid(false);
    m_infoList->setContextMenuPolicy(Qt::CustomContextMenu);
    m_infoList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QObject::connect(m_infoList, &QWidget::customContextMenuRequested, m_infoList,
                     [this](const QPoint&) { showInfoPopup(QCursor::pos() + QPoint(15, 40)); });
    QObject::connect(m_host->chartArea(), &QMdiArea::subWindowActivated, m_infoList,
                     [this](QMdiSubWindow* w) {
                         if (w == nullptr) return;
                         if (auto* view = dynamic_cast<ChartView*>(w->widget())) {
                             m_current = view;
                             m_selectedName = view->windowName();
                             refreshInfoList();
                         }
                     });
    rebuildColumns();
}

ChartWindows::~ChartWindows() {
    // A window closed a moment ago is no longer listed but still waits to be deleted.
    for (QWidget* widget : m_host->chartArea()->findChildren<QWidget*>()) {
        if (auto* view = dynamic_cast<ChartView*>(widget)) view->setHost(nullptr);
    }
}

std::vector<CurveWindowRecord>* ChartWindows::records() const {
    return m_host->windowRecords();
}

CurveWindowRecord* ChartWindows::chartRecord(const std::string& name) {
    std::vector<CurveWindowRecord>* list = records();
    if (list == nullptr) return nullptr;
    for (CurveWindowRecord& r : *list) {
        if (isChartRecord(r) && r.name.text() == name) return &r;
    }
    return nullptr;
}

std::vector<std::string> ChartWindows::takenNames() const {
    std::vector<std::string> names;
    if (const auto* list = records()) {
        for (const CurveWindowRecord& r : *list) names.push_back(r.name.text());
    }
    return names;
}

ChartView* ChartWindows::viewNamed(const std::string& name) const {
    for (QMdiSubWindow* w : m_host->chartArea()->subWindowList()) {
        auto* view = dynamic_cast<ChartView*>(w->widget());
        if (view != nullptr && view->windowName() == name) return view;
    }
    return nullptr;
}

QMdiSubWindow* ChartWindows::frameOf(const ChartView* view) const {
    for (QMdiSubWindow* w : m_host->chartArea()->subWindowList()) {
        if (w->widget() == view) return w;
    }
    return nullptr;
}

ChartView* ChartWindows::currentView() const {
    if (QMdiSubWindow* active = m_host->chartArea()->activeSubWindow()) {
        if (auto* view = dynamic_cast<ChartView*>(active->widget())) return view;
    }
    return m_current.data();
}

std::string ChartWindows::currentName() const {
    if (!m_selectedName.empty()) return m_selectedName;
    const ChartView* view = currentView();
    return view != nullptr ? view->windowName() : std::string();
}

ChartView* ChartWindows::openWindow(const CurveWindowRecord& record) {
    const bool yt = (record.flags & window_flags::kYt) != 0;
    auto* frame = new CMDIChildWndDataList(m_messages);
    frame->setAttribute(Qt::WA_DeleteOnClose, true);
    ChartView* view =
        yt ? static_cast<ChartView*>(new CViewChart(m_state.store, m_state.flags, this))
           : new CViewChart2(m_state.store, m_state.flags, this);
    const std::string name = record.name.text();
    view->setWindowName(name);
    view->setRecord(record);
    attachSignals(*view, m_state);
    frame->setWidget(view);
    frame->setWindowTitle(QString::fromStdString(name));
    frame->setWindowKind(yt ? CMDIChildWndDataList::WindowKind::kYtChart
                            : CMDIChildWndDataList::WindowKind::kYxChart);
    m_host->chartArea()->addSubWindow(frame);
    frame->resize(640, 420);
    frame->show();
    m_current = view;
    m_selectedName = name;
    view->tick();
    return view;
}

bool ChartWindows::scansComplete() const {
    for (QMdiSubWindow* w : m_host->chartArea()->subWindowList()) {
        const auto* view = dynamic_cast<const ChartView*>(w->widget());
        if (view != nullptr && !view->scanComplete()) return false;
    }
    return true;
}

void ChartWindows::documentChanged() {
    for (QMdiSubWindow* w : m_host->chartArea()->subWindowList()) {
        if (dynamic_cast<ChartView*>(w->widget()) != nullptr) {
            w->close();
        }
    }
    m_current = nullptr;
    m_selectedName.clear();
    if (const auto* list = records()) {
        // Copies: opening a window may not touch the list, but the list may grow later.
        std::vector<CurveWindowRecord> windows;
        std::size_t charts = 0;
        for (const CurveWindowRecord& r : *list) {
            if (!isChartRecord(r)) continue;
            if (++charts <= kMaxWindowsOpenedWithDocument) windows.push_back(r);
        }
        for (const CurveWindowRecord& r : windows) openWindow(r);
        if (charts > windows.size()) {
            // The records stay in the document; only their windows wait for a double click.
            m_host->showStatus(
                QString::fromStdString(strings::loadString(strings::kChartWindowsLeftClosed))
                    .arg(windows.size())
                    .arg(charts));
        }
    }
    refreshInfoList();
}

void ChartWindows::selectWindow(const std::string& name) {
    m_selectedName = name;
    if (ChartView* view = viewNamed(name)) m_current = view;
}

void ChartWindows::activateOrCreate(const std::string& name, ChartKind kind, bool node) {
    if (node) {
        m_host->setNewWindowKind(kind);
        OnNewWindow(ID_POPUP_NEW_WINDOW);
        return;
    }
    if (ChartView* view = viewNamed(name)) {
        if (auto* w = dynamic_cast<CMDIChildWndDataList*>(frameOf(view))) w->bringForward();
        return;
    }
    if (const CurveWindowRecord* r = chartRecord(name)) openWindow(*r);
}

void ChartWindows::OnNewWindow(unsigned) {
    if (records() == nullptr) return;
    const std::optional<NewChartWindow> asked =
        m_host->askNewWindow(m_host->newWindowKind(), m_counter);
    if (!asked) return;
    // A second window of the same name could never be told apart from the first.
    if (!acceptWindowName(asked->name, takenNames(), m_messages)) return;
    const CurveWindowRecord record = newWindowRecord(asked->kind, asked->name);
    records()->push_back(record);
    m_host->windowRecordsChanged(*records());
    openWindow(record);
    ++m_counter;
    m_host->setNewWindowKind(asked->kind);
}

void ChartWindows::OnCurve(unsigned id) {
    const std::string name = currentName();
    const CurveWindowRecord* found = chartRecord(name);
    const std::uint32_t kind = id == ID_YT_CURVE ? window_flags::kYt : window_flags::kYx;
    if (found == nullptr || (found->flags & kind) == 0) {
        m_messages.showMessage(strings::kNoChartWindow, MessageIcon::kInformation);
        return;
    }
    // The document's databases offer their signals; a curve may take one instead of bytes.
    const CurveSignalCatalog catalog = signalCatalog(*m_state.databases.decoder());
    const std::optional<CurveAnswer> result =
        m_host->askCurves(*found, kind == window_flags::kYt ? ChartKind::kYt : ChartKind::kYx,
                          catalog, signalRefs(m_state.signalCurves, *found, 0),
                          signalRefs(m_state.signalCurves, *found, 1));
    if (!result) return;
    // Looked up again: the dialog ran the event loop.
    CurveWindowRecord* record = chartRecord(name);
    if (record == nullptr) return;
    *record = result->record;
    storeSignalRefs(m_state.signalCurves, result->record, result->values, result->xValues);
    m_host->windowRecordsChanged(*records());
    // Views whose definitions changed take them over and start sampling again.
    for (QMdiSubWindow* w : m_host->chartArea()->subWindowList()) {
        auto* view = dynamic_cast<ChartView*>(w->widget());
        if (view == nullptr) continue;
        const CurveWindowRecord* r = chartRecord(view->windowName());
        if (r == nullptr) continue;
        const CurveWindowRecord& mine = view->record();
        if (r->yt != mine.yt || r->yx != mine.yx || r->flags != mine.flags ||
            r->timeResolution != mine.timeResolution) {
            view->setRecord(*r);
        }
        if (view->windowName() == name) attachSignals(*view, m_state);
    }
    refreshInfoList();
}

void ChartWindows::OnDelete(unsigned) {
    const std::string name = currentName();
    if (name.empty() || records() == nullptr) return;
    if (!m_host->askDelete()) return;
    std::vector<CurveWindowRecord>& list = *records();
    std::erase_if(list, [&](const CurveWindowRecord& r) {
        return isChartRecord(r) && r.name.text() == name;
    });
    if (ChartView* view = viewNamed(name)) frameOf(view)->close();
    m_selectedName.clear();
    m_host->windowRecordsChanged(list);
    refreshInfoList();
}

void ChartWindows::OnRename(unsigned) {
    const std::string name = currentName();
    if (name.empty() || chartRecord(name) == nullptr) return;
    const std::optional<std::string> asked = m_host->askNewName(name);
    if (!asked) return;
    const std::string renamed = asked->substr(0, kMaxNameLength);
    if (renamed == name && !renamed.empty()) return;
    if (!acceptWindowName(renamed, takenNames(), m_messages)) return;
    CurveWindowRecord* record = chartRecord(name);
    if (record == nullptr) return;
    record->name.set(renamed);
    m_state.signalCurves.renameWindow(name, record->name.text());
    if (ChartView* view = viewNamed(name)) {
        view->setWindowName(renamed);
        frameOf(view)->setWindowTitle(QString::fromStdString(renamed));
    }
    m_selectedName = renamed;
    m_host->windowRecordsChanged(*records());
}

void ChartWindows::OnInfoColumn(unsigned id) {
    if (id == ID_INFO_GRIDLINES) {
        m_columns.gridLines = !m_columns.gridLines;
        m_infoList->setShowGrid(m_columns.gridLines);
        return;
    }
    const auto column = CurveInfoColumns::forCommand(id);
    if (!column) return;
    m_columns.toggle(*column);
    rebuildColumns();
    refreshInfoList();
}

void ChartWindows::OnUpdateInfoColumn(CmdUI& ui) {
    if (ui.id == ID_INFO_GRIDLINES) {
        ui.checked = m_columns.gridLines;
    } else if (const auto column = CurveInfoColumns::forCommand(ui.id)) {
        ui.checked = m_columns.shown(*column);
    } else {
        ui.enabled = false;
    }
}

void ChartWindows::OnExportCurves(unsigned) {
    ChartView* view = currentView();
    if (view == nullptr) {
        m_messages.showMessage(strings::kNoChartWindow, MessageIcon::kInformation);
        return;
    }
    const std::string path = m_host->askCsvPath(view->windowName());
    if (path.empty() || m_state.work.busy()) return;
    // The work has its own record and signals: the window may close before the export ends.
    const CurveWindowRecord record = view->record();
    auto values = std::make_shared<CurveSignals>();
    auto xValues = std::make_shared<CurveSignals>();
    windowSignals(m_state.signalCurves, m_state.databases.decoder(), record, *values, *xValues);
    const FrameStore* store = &m_state.store;
    MessageService* messages = &m_messages;
    const auto result = std::make_shared<CsvResult>();
    m_state.work.start(
        [path, record, values, xValues, store, result](Progress& progress) {
            *result = exportCurveValues(path, record, *store, *values, *xValues, &progress);
        },
        [path, messages, result] {
            if (!result->ok && !result->cancelled) {
                messages->showText("Cannot write " + path + ": " + result->error,
                                   MessageIcon::kStop);
            }
        });
}

void ChartWindows::OnUpdateNeedsChart(CmdUI& ui) {
    ui.enabled = currentView() != nullptr;
}

void ChartWindows::OnDisabled(CmdUI& ui) {
    ui.enabled = false;
}

bool ChartWindows::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool ChartWindows::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}

void ChartWindows::chartTicked(ChartView* view) {
    if (view == currentView()) refreshInfoList();
}

void ChartWindows::chartGone(ChartView* view) {
    if (m_current.data() == view) m_current = nullptr;
    if (view->windowName() == m_selectedName && chartRecord(m_selectedName) == nullptr) {
        m_selectedName.clear();
    }
    m_rows.clear();
    m_infoList->setRowCount(0);
}

void ChartWindows::rebuildColumns() {
    const auto& order = m_columns.order();
    m_infoList->setColumnCount(static_cast<int>(order.size()));
    QStringList titles;
    for (CurveInfoColumns::Column c : order) {
        titles << QString::fromStdString(CurveInfoColumns::title(c));
    }
    m_infoList->setHorizontalHeaderLabels(titles);
    for (int i = 0; i < m_infoList->columnCount(); ++i) {
        m_infoList->setColumnWidth(i, kInfoColumnWidth);
    }
    m_rows.clear();
}

void ChartWindows::refreshInfoList() {
    ChartView* view = currentView();
    if (view == nullptr) {
        m_rows.clear();
        m_infoList->setRowCount(0);
        return;
    }
    const CurveWindowRecord& record = view->record();
    const std::vector<CurveInfoRow> rows = infoRows(record);
    if (rows != m_rows) {
        m_infoList->setRowCount(0);
        m_infoList->setRowCount(static_cast<int>(rows.size()));
        m_rows = rows;
    }
    const auto& order = m_columns.order();
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const CurveInfoRow& row = rows[r];
        const Axis axis = row.axis == "X" ? Axis::kX : Axis::kY;
        for (std::size_t c = 0; c < order.size(); ++c) {
            std::string text =
                order[c] == CurveInfoColumns::kMouseValue
                    ? view->mouseText(row.slot, axis)
                    : infoCell(order[c], record, row, view->statistics(row.slot, axis));
            // A curve of a database signal shows its extremes as physical values.
            const CurveSignal* signal = view->signal(row.slot, axis);
            const CurveStatistics* st = view->statistics(row.slot, axis);
            if (signal != nullptr && st != nullptr && st->hasFirst &&
                (order[c] == CurveInfoColumns::kMinValue ||
                 order[c] == CurveInfoColumns::kMaxValue)) {
                text = signal->text(order[c] == CurveInfoColumns::kMinValue ? st->minimum
                                                                            : st->maximum);
            }
            const QString cell = QString::fromStdString(text);
            QTableWidgetItem* item = m_infoList->item(static_cast<int>(r), static_cast<int>(c));
            if (item == nullptr) {
                m_infoList->setItem(static_cast<int>(r), static_cast<int>(c),
                                    new QTableWidgetItem(cell));
            } else if (item->text() != cell) {
                item->setText(cell);
            }
        }
    }
}

void ChartWindows::showInfoPopup(const QPoint& at) {
    QMenu menu(m_infoList);
    struct Item {
        const char* text;
        unsigned id;
    };
    static constexpr Item kItems[] = {
        {"Name", ID_INFO_NAME},
        {"Color", ID_INFO_COLOR},
        {"Show", ID_INFO_SHOW},
        {"Axis", ID_INFO_AXIS},
        {"Identifier", ID_INFO_IDENTIFIER},
        {"MinValue", ID_INFO_MINVALUE},
        {"MinIndex", ID_INFO_MININDEX},
        {"MaxValue", ID_INFO_MAXVALUE},
        {"MaxIndex", ID_INFO_MAXINDEX},
        {"MouseValue", ID_INFO_MOUSEVALUE},
        {nullptr, 0},
        {"Grid Lines", ID_INFO_GRIDLINES},
    };
    for (const Item& i : kItems) {
        if (i.text == nullptr) {
            menu.addSeparator();
            continue;
        }
        QAction* action = menu.addAction(QString::fromStdString(menuText(i.id, i.text)));
        CmdUI ui{i.id};
        OnUpdateCmdUI(ui);
        action->setEnabled(ui.enabled);
        action->setCheckable(ui.checked.has_value());
        action->setChecked(ui.checked.value_or(false));
        const unsigned id = i.id;
        QObject::connect(action, &QAction::triggered, m_infoList, [this, id] { OnCmdMsg(id); });
    }
    menu.exec(at);
}
