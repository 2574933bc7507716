#include "app/CanDatabases.h"

#include "app/ChartWindows.h"
#include "app/CoolBar.h"
#include "resources/Icons.h"
#include "app/MainFrame.h"
#include "app/SignalCurveSource.h"
#include "document/DocumentSignals.h"
#include "document/CDataDoc.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "views/CViewDataList.h"
#include "views/SignalFilterEditor.h"
#include "views/SignalsPanel.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>
#include <QTreeWidget>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

// "0x185", and "0x1ABCDEFx" for an extended identifier as the DBC's own lists show it.
QString hexIdentifier(std::uint32_t identifier, bool extended) {
    return QStringLiteral("0x") + QString::number(identifier, 16).toUpper() +
           (extended ? QStringLiteral("x") : QString());
}

const CommandMap<CanDatabases>& commandMap() {
    using C = CanDatabases;
    static const CommandMap<C> map = {
        OnCommand<C>(ID_FILE_ADD_CAN_DATABASE, &C::OnAddDatabase),
        {ID_FILE_ADD_CAN_DATABASE, ID_FILE_ADD_CAN_DATABASE, nullptr, &C::OnUpdateNeedsDocument},
        OnCommand<C>(ID_CANDB_REMOVE, &C::OnRemove),
        {ID_CANDB_REMOVE, ID_CANDB_REMOVE, nullptr, &C::OnUpdateRemove},
        OnCommand<C>(ID_VIEW_SIGNALS, &C::OnViewSignals),
        {ID_VIEW_SIGNALS, ID_VIEW_SIGNALS, nullptr, &C::OnUpdateViewSignals},
    };
    return map;
}

}  // namespace

CanDatabases::CanDatabases(MainFrame& frame, ProgramState& state, MessageService& messages,
                           QTreeWidgetItem* treeRoot)
    : m_frame(frame),
      m_state(state),
      m_messages(messages),
      m_node(new QTreeWidgetItem(treeRoot, {text(strings::kCanDatabasesNode)})),
      m_panelBar(new CCoolBar(QStringLiteral("signals"), &frame, QSize(420, 220), 130)),
      m_panel(new SignalsPanel(state, m_panelBar)) {
    m_node->setIcon(0, treeIcon(MainFrame::kImageDataList));
    m_panelBar->setTitle(text(strings::kSignalsColumn));
    m_panelBar->setWidget(m_panel);
    frame.addDockWidget(Qt::RightDockWidgetArea, m_panelBar);
    m_panelBar->hide();  // until the document has a database, or the user asks for it
    m_panel->setSelection([this]() -> std::optional<std::uint32_t> {
        CViewDataList* list = m_frame.dataList();
        if (list == nullptr) return std::nullopt;
        const int row = list->list().currentRow();
        if (row < 0 || row >= list->model().rowCount()) return std::nullopt;
        return dataListPosition(m_state.filter, m_state.store, m_state.flags,
                                static_cast<std::uint32_t>(row));
    });
}

CanDatabases::~CanDatabases() = default;

bool CanDatabases::addFile(const QString& path) {
    const CanDatabaseAddResult result = m_state.databases.addFile(path.toStdString());
    const QString name = QFileInfo(path).fileName();
    if (!result.ok) {
        m_messages.showText(text(strings::kCanDatabaseNotAdded)
                                .arg(name, QString::fromStdString(result.error))
                                .toStdString(),
                            MessageIcon::kStop);
        return false;
    }
    changed(true);
    const CanDatabaseEntry& added = m_state.databases.entries().back();
    QString status = text(strings::kCanDatabaseAdded)
                         .arg(QString::fromStdString(added.name))
                         .arg(added.database->messages().size());
    if (!result.summary.empty())
        status += QStringLiteral(". ") + QString::fromStdString(result.summary);
    m_frame.statusBar()->showMessage(status);
    if (!result.conflicts.empty()) {
        QStringList lines;
        for (const SignalDecoder::Conflict& c : result.conflicts) {
            lines << text(strings::kCanDatabaseConflictLine)
                         .arg(hexIdentifier(c.identifier, c.extended),
                              QString::fromStdString(c.droppedName),
                              QString::fromStdString(c.keptName),
                              QString::fromStdString(
                                  m_state.databases.entries()[c.keptDatabase].name));
        }
        m_messages.showText(text(strings::kCanDatabaseConflicts)
                                .arg(QString::fromStdString(added.name), lines.join('\n'))
                                .toStdString(),
                            MessageIcon::kWarning);
    }
    return true;
}

bool CanDatabases::remove(std::size_t index) {
    if (!m_state.databases.remove(index)) return false;
    changed(true);
    return true;
}

void CanDatabases::documentChanged() {
    changed(false);
}

void CanDatabases::changed(bool modified) {
    rebuildTree();
    if (CViewDataList* list = m_frame.dataList()) list->databasesChanged();
    m_panel->databasesChanged();
    // Signal curves sample again with the signals the databases have now.
    for (QMdiSubWindow* w : m_frame.mdiArea()->subWindowList()) {
        if (auto* view = dynamic_cast<ChartView*>(w->widget())) attachSignals(*view, m_state);
    }
    if (ChartWindows* charts = m_frame.chartWindows()) charts->refreshInfoList();
    // The filter's signal conditions name what the databases hold now.
    if (modified && !m_state.signalFilter.empty()) {
        applySignalConditions(m_state);
        if (CViewDataList* list = m_frame.dataList()) {
            list->applyFilter(m_state.filter.conditions, m_state.filter.mode);
        }
    }
    // A document's first database shows what it decodes; the user may close the panel again.
    if (!m_state.databases.empty() && !m_panelShownOnce) {
        m_panelShownOnce = true;
        m_panelBar->show();
        m_frame.resizeDocks({m_panelBar}, {kPanelWidth}, Qt::Horizontal);
    }
    // The main frame turns this into the document's modified mark on its next tick.
    if (modified) m_state.capture.pendingChanges.store(1);
}

void CanDatabases::rebuildTree() {
    qDeleteAll(m_node->takeChildren());
    for (const CanDatabaseEntry& e : m_state.databases.entries()) {
        auto* item = new QTreeWidgetItem(m_node, {QString::fromStdString(e.name)});
        item->setIcon(0, treeIcon(MainFrame::kImageDataListItem));
        item->setToolTip(0, QString::fromStdString(e.database->version()));
    }
    m_node->setExpanded(true);
    m_clicked = -1;
}

unsigned CanDatabases::rightClick(QTreeWidgetItem* item) {
    if (item == nullptr || item->parent() != m_node) return 0;
    m_clicked = m_node->indexOfChild(item);
    return kPopupResource;
}

void CanDatabases::OnAddDatabase(unsigned) {
    const QString path =
        QFileDialog::getOpenFileName(&m_frame, QString(), QString(),
                                     text(strings::kCanDatabaseFiles) + ";;" +
                                         QString::fromStdString(uiText("All Files (*.*)")));
    if (!path.isEmpty()) addFile(path);
}

void CanDatabases::OnRemove(unsigned) {
    if (m_clicked >= 0) remove(static_cast<std::size_t>(m_clicked));
}

void CanDatabases::OnViewSignals(unsigned) {
    m_panelBar->setVisible(m_panelBar->isHidden());
}

void CanDatabases::OnUpdateViewSignals(CmdUI& ui) {
    ui.enabled = true;
    ui.checked = !m_panelBar->isHidden();
}

void CanDatabases::OnUpdateNeedsDocument(CmdUI& ui) {
    ui.enabled = m_frame.document() != nullptr;
}

void CanDatabases::OnUpdateRemove(CmdUI& ui) {
    ui.enabled = m_frame.document() != nullptr && m_clicked >= 0 &&
                 static_cast<std::size_t>(m_clicked) < m_state.databases.entries().size();
}

bool CanDatabases::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool CanDatabases::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}
