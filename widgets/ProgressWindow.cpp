#include "widgets/ProgressWindow.h"

#include "resources/StringTable.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint),
      m_bar(new QProgressBar),
      m_percent(new QLabel) {
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        new QLabel(QString::fromStdString(strings::loadString(strings::kPleaseWait))));
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

void ShownProgress::begin(std::uint32_t captionStringId) {
    m_window.begin(captionStringId);
    settle();
}

void ShownProgress::setPercent(int percent) {
    m_window.setPercent(percent);
    settle();
}

void ShownProgress::settle() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
