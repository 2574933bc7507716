#include "app/CoolBar.h"

#include "resources/UiText.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QResizeEvent>
#include <QToolButton>

CSizingControlBar::CSizingControlBar(const QString& title, QWidget* parent, QSize defaultSize,
                                     int id)
    : QDockWidget(title, parent),
      m_id(id),
      m_horizontal(defaultSize),
      m_vertical(defaultSize),
      m_floating(defaultSize) {
    setObjectName(title);
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable |
                QDockWidget::DockWidgetClosable);
}

bool CSizingControlBar::isHorizontal() const {
    auto* frame = qobject_cast<QMainWindow*>(parentWidget());
    if (frame == nullptr || isFloating()) return false;
    const Qt::DockWidgetArea area = frame->dockWidgetArea(const_cast<CSizingControlBar*>(this));
    return area == Qt::TopDockWidgetArea || area == Qt::BottomDockWidgetArea;
}

QSize CSizingControlBar::sizeHint() const {
    if (isFloating()) return m_floating;
    return isHorizontal() ? m_horizontal : m_vertical;
}

QSize CSizingControlBar::minimumSizeHint() const {
    return isFloating() ? QSize(37, 32) : QSize(33, 32);
}

void CSizingControlBar::resizeEvent(QResizeEvent* event) {
    QDockWidget::resizeEvent(event);
    (isFloating() ? m_floating : isHorizontal() ? m_horizontal : m_vertical) = event->size();
}

CCoolBar::CCoolBar(const QString& title, QWidget* parent, QSize defaultSize, int id)
    : CSizingControlBar(title, parent, defaultSize, id), m_caption(new QLabel(title)) {
    auto* band = new QWidget(this);
    auto* layout = new QHBoxLayout(band);
    layout->setContentsMargins(3, 1, 2, 1);
    layout->setSpacing(2);
    QFont font(captionFontName());
    font.setPixelSize(kCaptionHeight - 1);
    m_caption->setFont(font);
    auto* close = new QToolButton(band);
    close->setObjectName("closeButton");
    close->setFixedSize(kCloseButtonSize, kCloseButtonSize);
    close->setText(QStringLiteral("\u00D7"));
    close->setAutoRaise(true);
    close->setToolTip(QString::fromStdString(uiText("Close")));
    layout->addWidget(m_caption, 1);
    layout->addWidget(close);
    band->setFixedHeight(kCaptionHeight + 4);
    setTitleBarWidget(band);
    // The bar is only hidden; the View menu shows it again.
    connect(close, &QToolButton::clicked, this, &QWidget::hide);
}

void CCoolBar::setTitle(const QString& title) {
    setWindowTitle(title);
    m_caption->setText(title);
}

QString CCoolBar::captionFontName() {
    return QFontDatabase::families().contains(QStringLiteral("SimSun")) ? QStringLiteral("SimSun")
                                                                        : QStringLiteral("Tahoma");
}
