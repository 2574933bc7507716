#include "views/SignalFilterEditor.h"

#include "document/DocumentSignals.h"
#include "resources/StringTable.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

std::vector<std::string> linesOf(const QString& typed) {
    std::vector<std::string> lines;
    for (const QString& line : typed.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty()) lines.push_back(trimmed.toStdString());
    }
    return lines;
}

}  // namespace

SignalFilterEditor::SignalFilterEditor(ProgramState& state, MessageService& messages,
                                       QWidget* parent)
    : QGroupBox(text(strings::kSignalsColumn), parent),
      m_state(state),
      m_messages(messages),
      m_hint(new QLabel(this)),
      m_edit(new QPlainTextEdit(this)) {
    auto* layout = new QVBoxLayout(this);
    m_hint->setWordWrap(true);
    layout->addWidget(m_hint);
    layout->addWidget(m_edit);
    m_edit->setObjectName(QStringLiteral("signalConditions"));
    m_edit->setFixedHeight(m_edit->fontMetrics().lineSpacing() * 4 + 12);
    m_edit->setLineWrapMode(QPlainTextEdit::NoWrap);
}

void SignalFilterEditor::open() {
    const bool any = !m_state.databases.empty();
    m_hint->setText(text(any ? strings::kSignalFilterHint : strings::kSignalFilterNoDatabase));
    QStringList lines;
    for (const std::string& l : m_state.signalFilter.lines) lines << QString::fromStdString(l);
    m_edit->setPlainText(lines.join(QLatin1Char('\n')));
    m_edit->setEnabled(any || !lines.isEmpty());
}

bool SignalFilterEditor::accept() {
    std::vector<std::string> lines = linesOf(m_edit->toPlainText());
    const SignalFilterMatcher::Result result =
        SignalFilterMatcher::compile(lines, m_state.databases.decoder());
    if (!result.matcher) {
        m_messages.showText(signalFilterErrorText(result), MessageIcon::kWarning);
        return false;
    }
    m_state.signalFilter.lines = std::move(lines);
    applySignalConditions(m_state);
    return true;
}

std::string signalFilterErrorText(const SignalFilterMatcher::Result& result) {
    std::uint32_t reason = strings::kSignalFilterSyntax;
    switch (result.error) {
        case SignalFilterError::kUnknownMessage:
            reason = strings::kSignalFilterUnknownMessage;
            break;
        case SignalFilterError::kUnknownSignal:
            reason = strings::kSignalFilterUnknownSignal;
            break;
        case SignalFilterError::kUnknownLabel:
            reason = strings::kSignalFilterUnknownLabel;
            break;
        case SignalFilterError::kLabelOperator:
            reason = strings::kSignalFilterLabelOperator;
            break;
        default:
            break;
    }
    QString why = text(reason);
    if (why.contains(QStringLiteral("%1"))) why = why.arg(QString::fromStdString(result.name));
    if (why.contains(QStringLiteral("%2"))) why = why.arg(QString::fromStdString(result.value));
    return text(strings::kSignalFilterBadLine)
        .arg(static_cast<qulonglong>(result.line) + 1)
        .arg(why)
        .toStdString();
}
