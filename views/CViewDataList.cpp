#include "views/CViewDataList.h"

#include "app/ProgressWindow.h"
#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/DataListPrinter.h"
#include "views/TextExport.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <ctime>
#include <memory>

#include <QHeaderView>
#include <QVBoxLayout>

namespace {

const CommandMap<CViewDataList>& commandMap();

}  // namespace

CViewDataList::CViewDataList(ProgramState& state, MessageService& messages, QWidget* parent)
    : QWidget(parent),
      m_state(state),
      m_messages(messages),
      m_model(state),
      m_list(this),
      m_canFilter(messages, state.advancedIdClicks, this),
      m_deviceNetFilter(messages, this),
      m_canOpenFilter(messages, state.hexDisplay, this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(&m_list);
    m_model.setReading(ProtocolReading::kCan);
    m_list.setModel(&m_model);
    connect(&m_timer, &QTimer::timeout, this, &CViewDataList::onTimer);
    m_timer.start(kTimerMs);
    for (FilterDialogBase* dialog :
         {static_cast<FilterDialogBase*>(&m_canFilter),
          static_cast<FilterDialogBase*>(&m_deviceNetFilter),
          static_cast<FilterDialogBase*>(&m_canOpenFilter)}) {
        dialog->onListChanged = [this] { markModified(); };
    }
}

void CViewDataList::switchReading(ProtocolReading reading) {
    m_model.setReading(reading);
    applyColumnWidths();
}

std::vector<int> CViewDataList::columnWidths() const {
    return dataListColumnWidths(m_model.reading(), m_list.width());
}

void CViewDataList::applyColumnWidths() {
    const std::vector<int> widths = columnWidths();
    for (std::size_t c = 0; c < widths.size(); ++c) {
        m_list.header()->resizeSection(static_cast<int>(c), widths[c]);
    }
}

void CViewDataList::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    applyColumnWidths();
}

void CViewDataList::onTimer() {
    const bool clearing = m_state.flags.test(ApplicationFlags::kClearing);
    const auto n =
        clearing ? 0u : static_cast<std::uint32_t>(m_state.filter.displayIndexList.size());
    if (!clearing && n != m_model.shownRows()) {
        m_model.setShownRows(n);
        if (n > 0) {
            m_list.scrollToBottom();
        }
    } else if (n == 0 && m_model.shownRows() != 0) {
        m_model.setShownRows(0);
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
    const std::uint32_t total = m_state.store.count();
    std::unique_ptr<ProgressWindow> progress;
    if (total > filterStepFrames(conditions.size())) {
        progress = std::make_unique<ProgressWindow>(this);
        progress->begin(strings::kFilteringData);
    }
    ProgressSteps steps(progress.get(), total);
    // Between steps the window repaints; the user's input waits until the new rows are there.
    FilterRebuildInSteps(m_state.filter, m_state.store, m_state.flags, std::move(conditions), mode,
                         [&steps](std::uint32_t done, std::uint32_t) {
                             steps.at(done);
                             QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                         });
    if (progress) progress->end();
    // The rows shown so far may be other frames now: the list starts again from none.
    m_model.setShownRows(0);
    const auto n = static_cast<std::uint32_t>(m_state.filter.displayIndexList.size());
    m_model.setShownRows(n);
    if (n > 0) m_list.scrollToBottom();
    markModified();
}

void CViewDataList::markModified() {
    // The main frame turns this into the document's modified mark on its next tick.
    m_state.capture.pendingChanges.store(1);
}

void CViewDataList::OnDisabled(CmdUI& ui) {
    ui.enabled = false;
}

bool CViewDataList::exportTo(const QString& path) {
    ProgressWindow progress(this);
    const ExportResult result =
        exportText(path.toStdString(), reading(), m_state.filter.displayIndexList, m_state.store,
                   std::time(nullptr), &progress);
    if (result.status == ExportResult::kCannotOpen) {
        m_messages.showMessage(strings::kCannotOpenFile, MessageIcon::kStop,
                               strings::kErrorCaption);
    } else if (result.status == ExportResult::kWriteFailed) {
        m_messages.showText("Writing " + path.toStdString() + " failed: " + result.detail +
                                ".\nThe exported file is incomplete.",
                            MessageIcon::kStop, strings::kErrorCaption);
    }
    return result.ok();
}

void CViewDataList::OnExport(unsigned) {
    QFileDialog dialog(this);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    dialog.setNameFilters(
        {QStringLiteral("Korvane Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
    dialog.selectFile(QString::fromLatin1(exportDefaultName(reading())));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    exportTo(dialog.selectedFiles().first());
}

void CViewDataList::OnPrint(unsigned id) {
    QPrinter printer(QPrinter::HighResolution);
    if (!printer.isValid()) {
        m_messages.showMessage(strings::kPrinterDcFailed);
        return;
    }
    const DataListPrinter pages(reading(), m_state.filter.displayIndexList, m_state.store, font());
    printer.setFromTo(1, static_cast<int>(pages.metrics(printer).pageCount));
    if (id == ID_FILE_PRINT_PREVIEW) {
        QPrintPreviewDialog preview(&printer, this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [&pages](QPrinter* p) { pages.print(*p); });
        preview.exec();
        return;
    }
    if (id == ID_FILE_PRINT) {
        // With no printer installed the dialog offers printing to a PDF file.
        QPrintDialog dialog(&printer, this);
        if (dialog.exec() != QDialog::Accepted) return;
    }
    if (!pages.print(printer)) {
        m_messages.showMessage(strings::kPrinterDcFailed);
    }
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
