#include "app/CMDIChildWndDataList.h"

#include "resources/StringTable.h"

#include <QCloseEvent>

CMDIChildWndDataList::CMDIChildWndDataList(MessageService& messages, QWidget* parent)
    : QMdiSubWindow(parent), m_messages(messages) {
    setMinimumSize(320, 240);
    setAttribute(Qt::WA_DeleteOnClose, false);
}

void CMDIChildWndDataList::closeEvent(QCloseEvent* event) {
    if (m_windowKind == kDataList) {
        m_messages.showMessage(strings::kCannotCloseWindow);
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}
