#include "widgets/ProgressWindow.h"

#include "resources/StringTable.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint),
      m_bar(new QProgressBar),
      m_percent(new QLabel),
      m_note(new QLabel) {
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QString::fromStdString(strings::loadString(strings::kPleaseWait))));
    m_note->setWordWrap(true);
    m_note->hide();
    layout->addWidget(m_note);
    m_bar->setRange(0, 100);
    m_bar->setTextVisible(false);
    layout->addWidget(m_bar);
    // The percentage sits over the middle of the bar, on a transparent background.
    m_percent->setParent(m_bar);
    m_percent->setAlignment(Qt::AlignCenter);
    m_percent->setAttribute(Qt::WA_TranslucentBackground);
    resize(280, 70);
}

void ProgressWindow::begin(std::uint32_t captionStringId) {
    setWindowTitle(QString::fromStdString(strings::loadString(captionStringId)));
    m_updates = 0;
    setPercent(0);
    if (!m_counted) {
        m_counted = true;
        ++s_shown;
    }
    show();
    repaint();
}

void ProgressWindow::setPercent(int percent) {
    ++m_updates;
    m_bar->setValue(percent);
    m_percent->setText(QString::number(percent) + "%");
    m_percent->setStyleSheet(percent < 51 ? "color: black" : "color: white");
    m_percent->setGeometry(m_bar->rect());
    m_bar->repaint();
    repaint();
}

void ProgressWindow::offerCancel(std::function<void()> cancel) {
    if (m_cancel == nullptr) {
        m_cancel = new QPushButton(QString::fromStdString(strings::loadString(strings::kCancelRun)));
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(m_cancel);
        static_cast<QVBoxLayout*>(layout())->addLayout(row);
        resize(width(), sizeHint().height());
    }
    m_cancel->disconnect();
    connect(m_cancel, &QPushButton::clicked, this, [this, cancel = std::move(cancel)] {
        m_cancel->setEnabled(false);
        cancel();
    });
    m_cancel->setEnabled(true);
}

void ProgressWindow::setNote(std::uint32_t stringId) {
    m_note->setText(stringId == 0 ? QString()
                                  : QString::fromStdString(strings::loadString(stringId)));
    m_note->setVisible(stringId != 0);
    resize(width(), sizeHint().height());
}

QString ProgressWindow::note() const {
    return m_note->isVisible() ? m_note->text() : QString();
}

void ProgressWindow::end() {
    if (m_counted) {
        m_counted = false;
        --s_shown;
    }
    hide();
}

int ProgressWindow::percent() const {
    return m_bar->value();
}
QString ProgressWindow::percentText() const {
    return m_percent->text();
}
QColor ProgressWindow::percentColour() const {
    return m_percent->styleSheet().contains("white") ? Qt::white : Qt::black;
}

TaskProgressWindow::TaskProgressWindow(BackgroundTask& task, QWidget* parent)
    : QObject(parent), m_task(task), m_window(parent) {
    m_window.offerCancel([this] { m_task.cancel(); });
    connect(&m_timer, &QTimer::timeout, this, &TaskProgressWindow::poll);
    m_timer.start(kPollMs);
}

void TaskProgressWindow::poll() {
    const bool busy = m_task.busy() && m_task.threaded();
    if (busy && m_task.started() != m_seen) {
        // A new work: its note and an enabled Cancel.
        m_seen = m_task.started();
        m_window.setNote(m_noteNext ? strings::kContentUpToStart : 0);
        m_noteNext = false;
        m_window.offerCancel([this] { m_task.cancel(); });
    }
    if (!busy) m_noteNext = false;
    const BackgroundTask::Shown shown = m_task.shown();
    if (busy && shown.shown) {
        if (!m_window.isVisible() || shown.steps != m_steps) {
            m_steps = shown.steps;
            m_window.begin(shown.caption);
        }
        if (shown.percent != m_window.percent()) m_window.setPercent(shown.percent);
    } else if (m_window.isVisible()) {
        m_window.end();
    }
}

void runEventsUntil(const std::function<bool()>& finished) {
    if (finished()) return;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (finished()) loop.quit();
    });
    check.start(5);
    loop.exec();
}
