#include "app/ReplayDialog.h"

#include "resources/StringTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

constexpr int kProgressSteps = 1000;

}  // namespace

ReplayDialog::ReplayDialog(ReplayController& controller, ProgramState& state,
                           MessageService& messages, QWidget* parent)
    : QDialog(parent),
      m_controller(controller),
      m_state(state),
      m_messages(messages),
      m_all(new QRadioButton(text(strings::kReplayAllFrames), this)),
      m_shown(new QRadioButton(text(strings::kReplayShownRows), this)),
      m_log(new QRadioButton(text(strings::kReplayLogFile), this)),
      m_logPath(new QLineEdit(this)),
      m_browse(new QPushButton(text(strings::kReplayBrowse), this)),
      m_speed(new QComboBox(this)),
      m_loop(new QCheckBox(text(strings::kReplayLoop), this)),
      m_progress(new QProgressBar(this)),
      m_status(new QLabel(this)),
      m_notSent(new QLabel(this)),
      m_start(new QPushButton(text(strings::kReplayStart), this)),
      m_stop(new QPushButton(text(strings::kReplayStop), this)) {
    setWindowTitle(text(strings::kReplayTitle));
    setModal(false);
    auto* layout = new QVBoxLayout(this);

    auto* frames = new QGroupBox(text(strings::kReplayFramesGroup), this);
    auto* framesLayout = new QVBoxLayout(frames);
    framesLayout->addWidget(m_all);
    framesLayout->addWidget(m_shown);
    auto* logRow = new QHBoxLayout;
    logRow->addWidget(m_log);
    logRow->addWidget(m_logPath, 1);
    logRow->addWidget(m_browse);
    framesLayout->addLayout(logRow);
    layout->addWidget(frames);

    auto* form = new QFormLayout;
    m_speed->addItem(text(strings::kReplayOriginalTiming));
    for (int i = 1; i < ReplayChoice::kAsFastAsTheBusTakes; ++i) {
        m_speed->addItem(QStringLiteral("\u00d7%1").arg(ReplayChoice::kSpeeds[i]));
    }
    m_speed->addItem(text(strings::kReplayAsFast));
    form->addRow(text(strings::kReplaySpeed), m_speed);
    form->addRow(QString(), m_loop);
    layout->addLayout(form);

    m_progress->setRange(0, kProgressSteps);
    m_progress->setValue(0);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    m_notSent->setWordWrap(true);
    m_notSent->setStyleSheet(QStringLiteral("color: #C00000"));
    layout->addWidget(m_notSent);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_start, QDialogButtonBox::ActionRole);
    buttons->addButton(m_stop, QDialogButtonBox::ActionRole);
    QPushButton* close =
        buttons->addButton(text(strings::kReplayClose), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    m_start->setDefault(true);

    m_all->setChecked(true);
    connect(m_browse, &QPushButton::clicked, this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, QString(), m_logPath->text(),
                                                          text(strings::kReplayLogFiles));
        if (path.isEmpty()) return;
        m_logPath->setText(path);
        m_log->setChecked(true);
    });
    connect(m_logPath, &QLineEdit::textEdited, this, [this] { m_log->setChecked(true); });
    connect(m_start, &QPushButton::clicked, this, &ReplayDialog::start);
    connect(m_stop, &QPushButton::clicked, this, &ReplayDialog::stop);
    connect(close, &QPushButton::clicked, this, &ReplayDialog::reject);
    connect(&m_timer, &QTimer::timeout, this, &ReplayDialog::refresh);
    showRunning(false);
}

ReplayDialog::~ReplayDialog() {
    m_timer.stop();
}

ReplayChoice ReplayDialog::choice() const {
    ReplayChoice c;
    c.source = m_log->isChecked()     ? ReplayChoice::Source::kLogFile
               : m_shown->isChecked() ? ReplayChoice::Source::kShownRows
                                      : ReplayChoice::Source::kAllFrames;
    c.logPath = m_logPath->text().toStdString();
    c.speed = m_speed->currentIndex();
    c.loop = m_loop->isChecked();
    return c;
}

void ReplayDialog::setChoice(const ReplayChoice& c) {
    (c.source == ReplayChoice::Source::kLogFile     ? m_log
     : c.source == ReplayChoice::Source::kShownRows ? m_shown
                                                    : m_all)
        ->setChecked(true);
    m_logPath->setText(QString::fromStdString(c.logPath));
    m_speed->setCurrentIndex(c.speed);
    m_loop->setChecked(c.loop);
}

void ReplayDialog::start() {
    if (m_controller.running()) return;
    // Sending needs an adapter that was set up, as capturing does.
    if (m_state.capture.deviceReady.load() == 0) {
        m_messages.showMessage(strings::kDeviceError, MessageIcon::kStop);
        return;
    }
    const ReplayChoice c = choice();
    std::vector<std::uint32_t> rows;
    if (c.source == ReplayChoice::Source::kShownRows) {
        const DisplayIndexList& list = m_state.filter.displayIndexList;
        rows.reserve(list.size());
        for (std::size_t r = 0; r < list.size(); ++r) rows.push_back(list.at(r));
    }
    std::string detail;
    const std::uint32_t problem =
        m_controller.start(c, m_state.store, std::move(rows),
                           static_cast<unsigned>(std::max(m_state.device.baudRate, 0)), detail);
    if (problem != 0) {
        m_messages.showText(text(problem).arg(QString::fromStdString(detail)).toStdString(),
                            MessageIcon::kWarning);
        return;
    }
    m_notSent->clear();
    m_wasRunning = true;
    showRunning(true);
    m_timer.start(kRefreshMs);
    refresh();
}

void ReplayDialog::stop() {
    m_controller.stop();
    refresh();
}

void ReplayDialog::refresh() {
    const ReplayProgress p = m_controller.progress();
    m_progress->setValue(static_cast<int>(p.passFraction * kProgressSteps));
    const std::string notSent = replayNotSentText(p);
    m_notSent->setText(QString::fromStdString(notSent));
    if (p.state == ReplayProgress::State::kRunning) {
        m_status->setText(QString::fromStdString(replayStatusText(p)));
        return;
    }
    m_status->setText(QString::fromStdString(replayEndText(p)));
    if (!m_wasRunning) return;
    // The replay has just ended: said once, in a message when something was not sent.
    m_wasRunning = false;
    m_timer.stop();
    showRunning(false);
    if (p.state == ReplayProgress::State::kFailed || !notSent.empty()) {
        std::string report = replayEndText(p);
        if (!notSent.empty()) report += "\n" + notSent;
        m_messages.showText(report, MessageIcon::kWarning);
    }
}

void ReplayDialog::showRunning(bool running) {
    m_start->setEnabled(!running);
    m_stop->setEnabled(running);
    for (QWidget* w : std::initializer_list<QWidget*>{m_all, m_shown, m_log, m_logPath, m_browse,
                                                      m_speed, m_loop}) {
        w->setEnabled(!running);
    }
}

void ReplayDialog::reject() {
    // Closing the dialog ends its replay: nothing goes on the bus that no window shows.
    stop();
    QDialog::reject();
}
