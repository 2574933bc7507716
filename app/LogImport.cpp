#include "app/LogImport.h"

#include "app/MonitorApp.h"
#include "framework/MessageService.h"
#include "interop/LogWriter.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"
#include "widgets/ProgressWindow.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString ui(const char* english) {
    return QString::fromStdString(uiText(english));
}

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

// ---- The choice ----------------------------------------------------------------------------

std::uint32_t ExportLogChoice::check() const {
    return validInterfaceName(options.interfaceName) ? 0 : strings::kBadInterfaceName;
}

QString ExportLogChoice::defaultFileName() const {
    return QStringLiteral("CANData") + QLatin1String(choiceOf(options.format).extension);
}

QString ExportLogChoice::fileFilter() const {
    return ui(choiceOf(options.format).filter) + ";;" + ui("All Files (*.*)");
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
    return m_session.importLog(path.toStdString());
}

bool MonitorApp::exportLogFile(const QString& path, const ExportLogChoice& choice) {
    return m_session.exportLog(path.toStdString(), choice.shownRows, choice.options);
}

void MonitorApp::OnFileImportLog(unsigned) {
    const QString path = QFileDialog::getOpenFileName(
        m_frame.get(), ui("Import"), QString(),
        ui("Logs (*.log *.asc *.blf *.pcap *.pcapng)") + ";;" + ui("All Files (*.*)"));
    if (!path.isEmpty() && saveModified()) m_session.importLog(path.toStdString(), [](bool) {});
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
    m_session.exportLog(path.toStdString(), choice.shownRows, choice.options, [](bool) {});
    m_frame->workProgress().noteContentUpToStart();
}
