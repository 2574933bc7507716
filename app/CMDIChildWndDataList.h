#pragma once

// The MDI child frame of every document window. The data list's frame refuses to close.

#include "framework/MessageService.h"

#include <QMdiSubWindow>

class CMDIChildWndDataList final : public QMdiSubWindow {
public:
    // kClosingWithProgram: the data list's frame, let go as the program ends.
    enum class WindowKind { kDataList, kYtChart, kYxChart, kClosingWithProgram, kOverview };

    CMDIChildWndDataList(MessageService& messages, QWidget* parent = nullptr);
    [[nodiscard]] WindowKind windowKind() const { return m_windowKind; }
    void setWindowKind(WindowKind kind) { m_windowKind = kind; }
    // Makes the window the active one as it was: maximized or normal, its size kept; a minimized
    // window gets back the state it had before.
    void bringForward();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    MessageService& m_messages;
    WindowKind m_windowKind = WindowKind::kDataList;
    bool m_maximizedBeforeMinimized = false;
};
