#include "app/LogImport.h"

#include "app/MonitorApp.h"
#include "app/ProgressWindow.h"
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

// Each format's extension and its file dialog filter, in the export dialog's order.
struct FormatChoice {
    LogFormat format;
    const char* extension;
    const char* filter;
};
constexpr FormatChoice kFormats[] = {
    {LogFormat::kCandump, ".log", "candump log (*.log)"},
    {LogFormat::kAsc, ".asc", "ASC log (*.asc)"},
    {LogFormat::kBlf, ".blf", "BLF log (*.blf)"},
    {LogFormat::kPcap, ".pcap", "pcap capture (*.pcap)"},
};

const FormatChoice& choiceOf(LogFormat format) {
    for (const FormatChoice& c : kFormats) {
        if (c.format == format) return c;
    }
    return kFormats[0];
}

}  // namespace

// ---- The choice and the message -------------------------------------------------------------

std::uint32_t ExportLogChoice::check() const {
    return validInterfaceName(options.interfaceName) ? 0 : strings::kBadInterfaceName;
}

QString ExportLogChoice::defaultFileName() const {
    return QStringLiteral("CANData") + QLatin1String(choiceOf(options.format).extension);
}

QString ExportLogChoice::fileFilter() const {
    return ui(choiceOf(options.format).filter) + ";;" + ui("All Files (*.*)");
}

QString skippedLinesMessage(const LogReadResult& read) {
    const std::uint64_t total = read.skippedLines();
    if (total == 0) return {};
    const auto reasonText = [&read](SkipReason reason) {
        if (read.records && reason == SkipReason::kTooLong) {
            return text(strings::kSkippedRecordTooLong);
        }
        return text(strings::kSkippedErrorFrame + static_cast<std::uint32_t>(reason));
    };
    QStringList kinds;
    for (std::size_t i = 0; i < kSkipReasons; ++i) {
        if (read.skipped[i] == 0) continue;
        kinds << QStringLiteral("%1 %2")
                     .arg(read.skipped[i])
                     .arg(reasonText(static_cast<SkipReason>(i)));
    }
    const LogWarning first = read.warnings.empty() ? LogWarning{} : read.warnings.front();
    const std::uint32_t message =
        read.records ? (total == 1 ? strings::kLogRecordSkipped : strings::kLogRecordsSkipped)
                     : (total == 1 ? strings::kLogLineSkipped : strings::kLogLinesSkipped);
    return text(message)
        .arg(total)
        .arg(kinds.join(QStringLiteral(", ")))
        .arg(first.line)
        .arg(reasonText(first.reason));
}

QString importReport(const LogImportResult& result) {
    QStringList parts;
    if (const QString skipped = skippedLinesMessage(result.read); !skipped.isEmpty()) {
        parts << skipped;
    }
    if (result.movedOn > 0) {
        const std::uint32_t message =
            result.read.records
                ? (result.movedOn == 1 ? strings::kLogFrameMovedOnRecord
                                       : strings::kLogFramesMovedOnRecord)
                : (result.movedOn == 1 ? strings::kLogFrameMovedOn : strings::kLogFramesMovedOn);
        parts << text(message).arg(result.movedOn).arg(result.firstMovedOnLine);
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
    for (const FormatChoice& c : kFormats) {
        auto* button = new QRadioButton(ui(c.filter), format);
        m_format->addButton(button, static_cast<int>(c.format));
        button->setChecked(c.format == choice.options.format);
        formatLayout->addWidget(button);
    }
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
    next.options.format = static_cast<LogFormat>(m_format->checkedId());
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
    LogFormat format = LogFormat::kCandump;
    (void)logFormatOf(fileKindOf(path.toStdString()), format);
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
    contents.extensions.anchors = std::move(result.anchors);
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
    LogExportOptions options = choice.options;
    options.anchors = m_state.capture.anchors.snapshot();
    LogExportResult result;
    {
        ShownProgress progress(m_frame.get());
        result = ::exportLog(path.toStdString(), options, m_state.store, rows, std::time(nullptr),
                             &progress);
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
        m_frame.get(), ui("Import"), QString(),
        ui("Logs (*.log *.asc *.blf *.pcap *.pcapng)") + ";;" + ui("All Files (*.*)"));
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
    const QString extension = QLatin1String(choiceOf(choice.options.format).extension);
    if (!path.endsWith(extension, Qt::CaseInsensitive)) path += extension;
    exportLogFile(path, choice);
}
