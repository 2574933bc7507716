#include "views/CViewDataList.h"

#include "widgets/ProgressWindow.h"
#include "resources/CommandIds.h"
#include "platform/ProgramSettings.h"
#include "resources/Menus.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "views/ColumnWidths.h"
#include "views/DataListPrinter.h"
#include "views/PrintFont.h"
#include "views/RowText.h"
#include "views/TextExport.h"
#include "framework/ReplacedFile.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QVBoxLayout>

namespace {

const CommandMap<CViewDataList>& commandMap();

std::string readingKey(ProtocolReading reading) {
    return reading == ProtocolReading::kDeviceNet ? "DeviceNet"
           : reading == ProtocolReading::kCanOpen ? "CANopen"
                                                  : "CAN";
}

}  // namespace

CViewDataList::CViewDataList(ProgramState& state, MessageService& messages, QWidget* parent)
    : QWidget(parent),
      m_state(state),
      m_messages(messages),
      m_model(state),
      m_list(this),
      m_canFilter(messages, state.advancedIdClicks, this),
      m_deviceNetFilter(messages, this),
      m_canOpenFilter(messages, state.hexDisplay, this),
      m_signalFilter(new SignalFilterEditor(state, messages)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&m_list);
    m_model.setReading(ProtocolReading::kCan);
    m_list.setModel(&m_model);
    for (const ProtocolReading r :
         {ProtocolReading::kCan, ProtocolReading::kDeviceNet, ProtocolReading::kCanOpen}) {
        m_chosenWidths[static_cast<std::size_t>(r)] = ColumnWidths::decode(
            programSettings().GetProfileString("Columns", readingKey(r)),
            dataListColumns(r).size());
    }
    connect(m_list.header(), &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { columnDragged(column, width); });
    m_saveWidths.setSingleShot(true);
    m_saveWidths.setInterval(500);
    connect(&m_saveWidths, &QTimer::timeout, this, &CViewDataList::saveColumnWidths);
    // Reading older rows pauses following; End takes the list back to the newest.
    connect(m_list.verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_autoScrolling) m_follow.userScrolled(value >= m_list.verticalScrollBar()->maximum());
    });
    m_list.setEndKeyHandler([this] { m_follow.endPressed(); });
    m_list.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        const QString text =
            QString::fromStdString(menuText(ID_EDIT_COPY, "C&opy Rows\tCtrl+Ins"));
        QAction* copy = menu.addAction(text.section('\t', 0, 0));
        copy->setEnabled(m_list.selectedRows().first >= 0);
        connect(copy, &QAction::triggered, this, [this] { OnCopy(ID_EDIT_COPY); });
        menu.exec(m_list.viewport()->mapToGlobal(at));
    });
    connect(&m_timer, &QTimer::timeout, this, &CViewDataList::onTimer);
    m_timer.start(kTimerMs);
    for (FilterDialogBase* dialog :
         {static_cast<FilterDialogBase*>(&m_canFilter),
          static_cast<FilterDialogBase*>(&m_deviceNetFilter),
          static_cast<FilterDialogBase*>(&m_canOpenFilter)}) {
        dialog->onListChanged = [this] { markModified(); };
    }
    m_canFilter.addExtension(m_signalFilter, [this] { return m_signalFilter->accept(); });
}

void CViewDataList::switchReading(ProtocolReading reading) {
    m_applyingWidths = true;  // the header sizes its new sections itself
    m_model.setReading(reading);
    m_applyingWidths = false;
    applyColumnWidths();
}

std::vector<int> CViewDataList::columnWidths() const {
    const QFontMetrics cells = m_list.fontMetrics();
    const QFontMetrics headers = m_list.header()->fontMetrics();
    // The Signals column takes what the reading's columns leave of the list, and at least enough
    // for a message name and a few values; the reading's columns still get what they need.
    const bool signalsShown = m_model.signalsColumn() >= 0;
    const int width = signalsShown
                          ? std::max(m_list.width() - kMinSignalsWidth, m_list.width() * 45 / 100)
                          : m_list.width();
    std::vector<int> widths = ColumnWidths::fitted(
        m_model.reading(), width,
        [&](const QString& text) {
            return std::max(cells.horizontalAdvance(text), headers.horizontalAdvance(text));
        },
        m_chosenWidths[static_cast<std::size_t>(m_model.reading())]);
    if (signalsShown) {
        int used = 0;
        for (const int w : widths) used += w;
        widths.push_back(std::max(kMinSignalsWidth, m_list.width() - used - 18));
    }
    return widths;
}

void CViewDataList::databasesChanged() {
    m_applyingWidths = true;
    m_model.databasesChanged();
    m_applyingWidths = false;
    applyColumnWidths();
}

void CViewDataList::applyColumnWidths() {
    const std::vector<int> widths = columnWidths();
    m_applyingWidths = true;
    for (std::size_t c = 0; c < widths.size(); ++c) {
        m_list.header()->resizeSection(static_cast<int>(c), widths[c]);
    }
    m_applyingWidths = false;
}

void CViewDataList::columnDragged(int column, int width) {
    // Sections also change when the columns are rebuilt or the list is sized: only drags count.
    if (m_applyingWidths || column < 0) return;
    std::vector<int>& chosen = m_chosenWidths[static_cast<std::size_t>(m_model.reading())];
    if (static_cast<std::size_t>(column) >= chosen.size() ||
        column >= static_cast<int>(dataListColumns(m_model.reading()).size())) {
        return;
    }
    chosen[static_cast<std::size_t>(column)] =
        std::clamp(width, ColumnWidths::kMinChosen, ColumnWidths::kMaxChosen);
    // A drag resizes many times a second; the settings file is written once it rests.
    m_saveWidths.start();
}

void CViewDataList::saveColumnWidths() {
    m_saveWidths.stop();
    for (const ProtocolReading r :
         {ProtocolReading::kCan, ProtocolReading::kDeviceNet, ProtocolReading::kCanOpen}) {
        const std::vector<int>& chosen = m_chosenWidths[static_cast<std::size_t>(r)];
        if (std::any_of(chosen.begin(), chosen.end(), [](int w) { return w > 0; })) {
            programSettings().WriteProfileString("Columns", readingKey(r),
                                                 ColumnWidths::encode(chosen));
        }
    }
}

CViewDataList::~CViewDataList() {
    if (m_saveWidths.isActive()) saveColumnWidths();
}

void CViewDataList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyColumnWidths();
}

void CViewDataList::onTimer() {
    if (m_model.followDisplayList() && m_model.shownRows() > 0 && m_follow.following()) {
        m_autoScrolling = true;
        m_list.scrollToBottom();
        m_autoScrolling = false;
    }
}

void CViewDataList::OnReading(unsigned id) {
    switchReading(id == ID_DATALIST_CAN         ? ProtocolReading::kCan
                  : id == ID_DATALIST_DEVICENET ? ProtocolReading::kDeviceNet
                                                : ProtocolReading::kCanOpen);
}

void CViewDataList::OnUpdateReading(CmdUI& ui) {
    const unsigned current = reading() == ProtocolReading::kCan         ? ID_DATALIST_CAN
                             : reading() == ProtocolReading::kDeviceNet ? ID_DATALIST_DEVICENET
                                                                        : ID_DATALIST_CANOPEN;
    ui.enabled = ui.id != current;
}

FilterDialogBase& CViewDataList::filterDialog(ProtocolReading reading) {
    switch (reading) {
        case ProtocolReading::kDeviceNet:
            return m_deviceNetFilter;
        case ProtocolReading::kCanOpen:
            return m_canOpenFilter;
        default:
            return m_canFilter;
    }
}

FilterDialogBase& CViewDataList::prepareFilterDialog() {
    switch (reading()) {
        case ProtocolReading::kDeviceNet:
            m_deviceNetFilter.open(m_state.filter);
            break;
        case ProtocolReading::kCanOpen:
            m_canOpenFilter.open(m_state.filter);
            break;
        default:
            m_canFilter.open(m_state.filter, m_state.device.frameType);
            m_signalFilter->open();
            break;
    }
    return filterDialog(reading());
}

void CViewDataList::OnFilter(unsigned) {
    FilterDialogBase& dialog = prepareFilterDialog();
    if (dialog.exec() != QDialog::Accepted) return;
    applyFilter(dialog.acceptedConditions(), dialog.acceptedMode());
}

void CViewDataList::applyFilter(std::vector<FilterCondition> conditions, FilterMode mode) {
    if (m_state.work.busy()) {
        // Restarting now would free the rows the work is reading.
        m_heldFilter.emplace(std::move(conditions), mode);
        return;
    }
    m_heldFilter.reset();
    // The old rows go now and the new list fills a slice at a time on the main frame's passes:
    // the window stays live and frames captured meanwhile join in order.
    FilterRestart(m_state.filter, m_state.store, std::move(conditions), mode);
    const bool behind =
        FilterStepWithin(m_state.filter, m_state.store, m_state.flags, m_filterSlice);
    m_model.resetRows();
    if (m_model.shownRows() > 0) m_list.scrollToBottom();
    markModified();
    if (behind && m_filterBehind) m_filterBehind();
}

bool CViewDataList::applyHeldFilter() {
    if (!m_heldFilter || m_state.work.busy()) return false;
    auto [conditions, mode] = std::move(*m_heldFilter);
    applyFilter(std::move(conditions), mode);
    return true;
}

void CViewDataList::markModified() {
    // The main frame turns this into the document's modified mark on its next tick.
    m_state.capture.pendingChanges.store(1);
}

void CViewDataList::OnFollow(unsigned) {
    m_follow.toggle();
    if (m_follow.following() && m_model.shownRows() > 0) {
        m_autoScrolling = true;
        m_list.scrollToBottom();
        m_autoScrolling = false;
    }
}

void CViewDataList::OnUpdateFollow(CmdUI& ui) {
    ui.enabled = true;
    ui.checked = m_follow.following();
}

void CViewDataList::OnCopy(unsigned) {
    const auto [first, last] = m_list.selectedRows();
    if (first < 0) return;
    const std::string text =
        copiedRows(reading(), m_state.filter.displayIndexList, m_state.store,
                   static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last));
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void CViewDataList::OnUpdateCopy(CmdUI& ui) {
    ui.enabled = m_list.selectedRows().first >= 0;
}

void CViewDataList::OnDisabled(CmdUI& ui) {
    ui.enabled = false;
}

bool CViewDataList::exportTo(const QString& path) {
    const auto outcome = std::make_shared<std::optional<bool>>();
    startExport(path, [outcome](bool ok) { *outcome = ok; });
    runEventsUntil([outcome] { return outcome->has_value(); });
    return outcome->value_or(false);
}

void CViewDataList::startExport(const QString& path, std::function<void(bool ok)> done) {
    if (m_state.work.busy()) {
        done(false);
        return;
    }
    // The shown rows stay as they are while the work runs (the filter's passes wait for it), so
    // the export holds the rows there were when it was asked for.
    const auto result = std::make_shared<ExportResult>();
    const DisplayIndexList* rows = &m_state.filter.displayIndexList;
    const FrameStore* store = &m_state.store;
    const ProtocolReading shown = reading();
    const std::time_t now = std::time(nullptr);
    const std::string file = path.toStdString();
    m_state.work.start(
        [file, shown, rows, store, now, result](Progress& progress) {
            *result = exportText(file, shown, *rows, *store, now, &progress);
        },
        [this, file, result, done = std::move(done)] {
            if (result->status == ExportResult::kCannotOpen) {
                m_messages.showMessage(strings::kCannotOpenFile, MessageIcon::kStop,
                                       strings::kErrorCaption);
            } else if (result->status == ExportResult::kWriteFailed) {
                m_messages.showText("Writing " + file + " failed: " + result->detail +
                                        ".\nThe exported file is incomplete.",
                                    MessageIcon::kStop, strings::kErrorCaption);
            }
            done(result->ok());
        });
}

void CViewDataList::OnExport(unsigned) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters({QString::fromStdString(uiText("Korvane Text Files (*.txt)")),
                           QString::fromStdString(uiText("All Files (*.*)"))});
    dialog.selectFile(QString::fromLatin1(exportDefaultName(reading())));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    startExport(dialog.selectedFiles().first(), [](bool) {});
    if (auto* progress = window()->findChild<TaskProgressWindow*>()) {
        progress->noteContentUpToStart();
    }
}

void CViewDataList::OnPrint(unsigned id) {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    if (!printer->isValid()) {
        m_messages.showMessage(strings::kPrinterDcFailed);
        return;
    }
    const DataListPrinter pages(reading(), m_state.filter.displayIndexList, m_state.store,
                                printBodyFont(reading()));
    printer->setFromTo(1, static_cast<int>(pages.metrics(*printer).pageCount));
    if (id == ID_FILE_PRINT_PREVIEW) {
        // The preview draws its pages inside its own dialog, on this thread.
        QPrintPreviewDialog preview(printer.get(), this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [&pages](QPrinter* p) { pages.print(*p); });
        preview.exec();
        return;
    }
    if (id == ID_FILE_PRINT) {
        // With no printer installed the dialog offers printing to a PDF file.
        QPrintDialog dialog(printer.get(), this);
        if (dialog.exec() != QDialog::Accepted) return;
    }
    startPrint(std::move(printer), [](bool) {});
}

void CViewDataList::startPrint(std::shared_ptr<QPrinter> printer,
                               std::function<void(bool ok)> done) {
    if (m_state.work.busy()) {
        done(false);
        return;
    }
    struct Run {
        std::shared_ptr<QPrinter> printer;
        std::unique_ptr<DataListPrinter> pages;
        std::optional<ReplacedFile> file;
        bool printed = false;
    };
    const auto run = std::make_shared<Run>();
    run->printer = std::move(printer);
    run->pages = std::make_unique<DataListPrinter>(reading(), m_state.filter.displayIndexList,
                                                   m_state.store, printBodyFont(reading()));
    const QString target = run->printer->outputFileName();
    if (!target.isEmpty()) {
        run->file.emplace(target.toStdString());
        if (run->file->fd() < 0) {
            m_messages.showMessage(strings::kPrinterDcFailed);
            done(false);
            return;
        }
        run->printer->setOutputFileName(QString::fromStdString(run->file->temporaryPath()));
    }
    m_state.work.start(
        [run](Progress& progress) {
            run->printed = run->pages->print(*run->printer, &progress);
            // The printer finishes its file when it goes.
            run->printer.reset();
            if (run->printed && run->file && !run->file->commit()) run->printed = false;
        },
        [this, run, done = std::move(done)] {
            if (!run->printed && !m_state.work.cancelRequested()) {
                m_messages.showMessage(strings::kPrinterDcFailed);
            }
            done(run->printed);
        });
}

namespace {

const CommandMap<CViewDataList>& commandMap() {
    using V = CViewDataList;
    static const CommandMap<V> map = {
        OnCommandRange<V>(ID_DATALIST_CAN, ID_DATALIST_CANOPEN, &V::OnReading),
        {ID_DATALIST_CAN, ID_DATALIST_CANOPEN, nullptr, &V::OnUpdateReading},
        OnCommand<V>(ID_DATALIST_FILTER, &V::OnFilter),
        OnCommand<V>(ID_FUNCTIONS_EXPORT, &V::OnExport),
        OnCommandRange<V>(ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, &V::OnPrint),
        {ID_DATALIST_FONT, ID_DATALIST_GRIDLINES, nullptr, &V::OnDisabled},
        OnCommand<V>(ID_DATALIST_FOLLOW, &V::OnFollow),
        {ID_DATALIST_FOLLOW, ID_DATALIST_FOLLOW, nullptr, &V::OnUpdateFollow},
        OnCommand<V>(ID_EDIT_COPY, &V::OnCopy),
        {ID_EDIT_COPY, ID_EDIT_COPY, nullptr, &V::OnUpdateCopy},
    };
    return map;
}

}  // namespace

bool CViewDataList::OnCmdMsg(unsigned id) {
    return commandMap().dispatch(*this, id);
}

bool CViewDataList::OnUpdateCmdUI(CmdUI& ui) {
    return commandMap().update(*this, ui);
}
