#pragma once

// The MDI child frame of every document window. The data list's frame refuses to close.

#include "framework/MessageService.h"

#include <QMdiSubWindow>

class CMDIChildWndDataList final : public QMdiSubWindow {
public:
    enum WindowKind { kDataList = 0, kYtChart = 1, kYxChart = 2 };

    CMDIChildWndDataList(MessageService& messages, QWidget* parent = nullptr);
    [[nodiscard]] int windowKind() const { return m_windowKind; }
    void setWindowKind(int kind) { m_windowKind = kind; }
    // Makes the window the active one as it was: maximized or normal, its size kept; a minimized
    // window gets back the state it had before.
    void bringForward();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    MessageService& m_messages;
    int m_windowKind = kDataList;
    bool m_maximizedBeforeMinimized = false;
};
