#include "app/LogImport.h"

#include "app/MonitorApp.h"
#include "widgets/ProgressWindow.h"
#include "framework/MessageService.h"
#include "interop/LogWriter.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <ctime>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

QString ui(const char* english) {
    return QString::fromStdString(uiText(english));
}

// The progress window, given the event loop's turn it needs to appear and repaint: a long import
// or export runs on this thread. User input stays queued meanwhile.
class ShownProgress final : public Progress {
public:
    explicit ShownProgress(QWidget* parent) : m_window(parent) {}
    void begin(std::uint32_t captionStringId) override {
        m_window.begin(captionStringId);
        settle();
    }
    void setPercent(int percent) override {
        m_window.setPercent(percent);
        settle();
    }
    void end() override { m_window.end(); }

private:
    static void settle() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }
    ProgressWindow m_window;
};

}  // namespace

// ---- The choice and the message -------------------------------------------------------------

std::uint32_t ExportLogChoice::check() const {
    return validInterfaceName(options.interfaceName) ? 0 : strings::kBadInterfaceName;
}

QString ExportLogChoice::defaultFileName() const {
    return options.format == LogFormat::kAsc ? QStringLiteral("CANData.asc")
                                             : QStringLiteral("CANData.log");
}

QString ExportLogChoice::fileFilter() const {
    return (options.format == LogFormat::kAsc ? ui("ASC log (*.asc)") : ui("candump log (*.log)")) +
           ";;" + ui("All Files (*.*)");
}

QString skippedLinesMessage(const LogReadResult& read) {
    const std::uint64_t total = read.skippedLines();
    if (total == 0) return {};
    QStringList kinds;
    for (std::size_t i = 0; i < kSkipReasons; ++i) {
        if (read.skipped[i] == 0) continue;
        kinds << QStringLiteral("%1 %2")
                     .arg(read.skipped[i])
                     .arg(text(strings::kSkippedErrorFrame + static_cast<std::uint32_t>(i)));
    }
    const LogWarning first = read.warnings.empty() ? LogWarning{} : read.warnings.front();
    return text(total == 1 ? strings::kLogLineSkipped : strings::kLogLinesSkipped)
        .arg(total)
        .arg(kinds.join(QStringLiteral(", ")))
        .arg(first.line)
        .arg(text(strings::kSkippedErrorFrame + static_cast<std::uint32_t>(first.reason)));
}

QString importReport(const LogImportResult& result) {
    QStringList parts;
    if (const QString skipped = skippedLinesMessage(result.read); !skipped.isEmpty()) {
        parts << skipped;
    }
    if (result.movedOn > 0) {
        parts << text(result.movedOn == 1 ? strings::kLogFrameMovedOn : strings::kLogFramesMovedOn)
                     .arg(result.movedOn)
                     .arg(result.firstMovedOnLine);
    }
    return parts.join(QStringLiteral("\n\n"));
}

// ---- The dialog ----------------------------------------------------------------------------

ExportLogDialog::ExportLogDialog(ExportLogChoice& choice, bool haveRows, MessageService& messages,
                                 QWidget* parent)
    : QDialog(parent),
      m_choice(choice),
      m_messages(messages),
      m_rows(new QButtonGroup(this)),
      m_format(new QButtonGroup(this)),
      m_interface(new QLineEdit(this)) {
    setWindowTitle(ui("Export As Log"));
    auto* layout = new QVBoxLayout(this);

    auto* rows = new QGroupBox(ui("Rows"), this);
    auto* rowsLayout = new QVBoxLayout(rows);
    auto* shown = new QRadioButton(ui("The rows the data list shows"), rows);
    auto* all = new QRadioButton(ui("All frames"), rows);
    shown->setEnabled(haveRows);
    m_rows->addButton(shown, 1);
    m_rows->addButton(all, 0);
    (choice.shownRows && haveRows ? shown : all)->setChecked(true);
    rowsLayout->addWidget(shown);
    rowsLayout->addWidget(all);
    layout->addWidget(rows);

    auto* format = new QGroupBox(ui("Format"), this);
    auto* formatLayout = new QVBoxLayout(format);
    auto* candump = new QRadioButton(ui("candump log (*.log)"), format);
    auto* asc = new QRadioButton(ui("ASC log (*.asc)"), format);
    m_format->addButton(candump, 0);
    m_format->addButton(asc, 1);
    (choice.options.format == LogFormat::kAsc ? asc : candump)->setChecked(true);
    formatLayout->addWidget(candump);
    formatLayout->addWidget(asc);
    layout->addWidget(format);

    auto* form = new QFormLayout;
    m_interface->setObjectName(QStringLiteral("interfaceName"));
    m_interface->setMaxLength(15);
    m_interface->setText(QString::fromStdString(choice.options.interfaceName));
    form->addRow(ui("Interface name:"), m_interface);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportLogDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ExportLogDialog::reject);
    layout->addWidget(buttons);
}

void ExportLogDialog::accept() {
    ExportLogChoice next = m_choice;
    next.shownRows = m_rows->checkedId() == 1;
    next.options.format = m_format->checkedId() == 1 ? LogFormat::kAsc : LogFormat::kCandump;
    next.options.interfaceName = m_interface->text().trimmed().toStdString();
    if (const std::uint32_t problem = next.check()) {
        m_messages.showMessage(problem, MessageIcon::kWarning);
        m_interface->setFocus();
        return;
    }
    m_choice = next;
    QDialog::accept();
}

// ---- The commands --------------------------------------------------------------------------

bool MonitorApp::importLogFile(const QString& path) {
    const LogFormat format =
        fileKindOf(path.toStdString()) == FileKind::kAsc ? LogFormat::kAsc : LogFormat::kCandump;
    FrameStore frames;
    LogImportResult result;
    {
        ShownProgress progress(m_frame.get());
        result = ::importLog(path.toStdString(), format, frames, &progress);
    }
    QString failure;
    switch (result.status) {
        case LogImportResult::kOk:
            break;
        case LogImportResult::kCannotOpen:
            failure = text(strings::kLogCannotOpen)
                          .arg(path + ": " + QString::fromStdString(result.detail));
            break;
        case LogImportResult::kReadFailed:
            failure = text(strings::kLogCannotRead)
                          .arg(path + ": " + QString::fromStdString(result.detail));
            break;
        case LogImportResult::kNoFrames: {
            QString why = skippedLinesMessage(result.read);
            if (result.read.utf16) {
                if (!why.isEmpty()) why += QLatin1Char('\n');
                why += text(strings::kLogLooksUtf16);
            }
            failure = text(strings::kLogHoldsNoFrame).arg(why).trimmed();
            break;
        }
        case LogImportResult::kOutOfMemory:
            failure = text(strings::kLogOutOfMemory);
            break;
    }
    if (!failure.isEmpty()) {
        // The open document, if any, stays as it was.
        m_messages.showText(failure.toStdString(), MessageIcon::kStop);
        return false;
    }
    // A new document: the adapter's settings stay as they are, the filter starts empty.
    DocumentContents contents;
    contents.deviceReady = m_state.capture.deviceReady.load();
    contents.baudRate = static_cast<std::uint32_t>(m_state.device.baudRate);
    contents.workMode = static_cast<std::uint32_t>(m_state.device.workMode);
    contents.frameType = static_cast<std::uint32_t>(m_state.device.frameType);
    contents.hexDisplay = m_state.hexDisplay;
    contents.dataListExists = 1;
    CurveWindowRecord dataList;
    dataList.flags = CurveWindowRecord::kDataList;
    dataList.name.set("dl");
    contents.windows.push_back(dataList);
    apply(std::move(contents), frames);
    // Not saved yet: Save asks for a name.
    m_document->SetPathName({});
    m_document->SetTitle(QFileInfo(path).completeBaseName().toStdString());
    m_document->SetModifiedFlag(true);
    m_frame->setDocument(m_document.get());
    m_frame->setWindowModified(true);
    m_state.capture.pendingChanges = 1;
    const QString report = importReport(result);
    if (!report.isEmpty()) m_messages.showText(report.toStdString(), MessageIcon::kInformation);
    return true;
}

bool MonitorApp::exportLogFile(const QString& path, const ExportLogChoice& choice) {
    const DisplayIndexList* rows = choice.shownRows ? &m_state.filter.displayIndexList : nullptr;
    LogExportResult result;
    {
        ShownProgress progress(m_frame.get());
        result = ::exportLog(path.toStdString(), choice.options, m_state.store, rows,
                             std::time(nullptr), &progress);
    }
    if (!result) {
        m_messages.showText(
            text(strings::kLogCannotWrite).arg(QString::fromStdString(result.error)).toStdString(),
            MessageIcon::kStop);
        return false;
    }
    if (result.unwritable > 0) {
        m_messages.showText(text(strings::kLogFramesLeftOut).arg(result.unwritable).toStdString(),
                            MessageIcon::kInformation);
    }
    return true;
}

void MonitorApp::OnFileImportLog(unsigned) {
    const QString path = QFileDialog::getOpenFileName(
        m_frame.get(), ui("Import"), QString(), ui("Logs (*.log *.asc)") + ";;" + ui("All Files (*.*)"));
    if (!path.isEmpty() && saveModified()) importLogFile(path);
}

void MonitorApp::OnFileExportLog(unsigned) {
    ExportLogChoice choice = m_logExport;
    ExportLogDialog dialog(choice, m_frame->dataList() != nullptr, m_messages, m_frame.get());
    if (dialog.exec() != QDialog::Accepted) return;
    m_logExport = choice;
    QString path = QFileDialog::getSaveFileName(m_frame.get(), ui("Export As Log"),
                                                choice.defaultFileName(), choice.fileFilter());
    if (path.isEmpty()) return;
    const QString extension =
        choice.options.format == LogFormat::kAsc ? QStringLiteral(".asc") : QStringLiteral(".log");
    if (!path.endsWith(extension, Qt::CaseInsensitive)) path += extension;
    exportLogFile(path, choice);
}
