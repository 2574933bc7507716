#include "app/CMDIChildWndDataList.h"

#include "resources/StringTable.h"

#include <QCloseEvent>
#include <QMdiArea>

CMDIChildWndDataList::CMDIChildWndDataList(MessageService& messages, QWidget* parent)
    : QMdiSubWindow(parent), m_messages(messages) {
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void CMDIChildWndDataList::closeEvent(QCloseEvent* event) {
    if (m_windowKind == WindowKind::kDataList) {
        m_messages.showMessage(strings::kCannotCloseWindow);
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

void CMDIChildWndDataList::changeEvent(QEvent* event) {
    // A minimized window forgets whether it was maximized; bringForward needs to know.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        // Minimizing passes through several states; the one before the first counts.
        if ((old & Qt::WindowMinimized) == 0) {
            m_maximizedBeforeMinimized = (old & Qt::WindowMaximized) != 0;
        }
    }
    QMdiSubWindow::changeEvent(event);
}

void CMDIChildWndDataList::bringForward() {
    if (isMinimized()) {
        showNormal();
        if (m_maximizedBeforeMinimized) showMaximized();
    } else if (isHidden()) {
        show();
    }
    raise();
    if (QMdiArea* area = mdiArea()) area->setActiveSubWindow(this);
}
