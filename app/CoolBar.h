#pragma once

// Resizable docking bars: CSizingControlBar docks to any side or floats and remembers a size per
// state; CCoolBar adds a caption band with the title and a close button, and its single child
// fills it.
//
// Thread: the user-interface thread.

#include <QDockWidget>
#include <QSize>

class QLabel;

class CSizingControlBar : public QDockWidget {
public:
    CSizingControlBar(const QString& title, QWidget* parent, QSize defaultSize, int id);

    [[nodiscard]] int barId() const { return m_id; }
    [[nodiscard]] bool isHorizontal() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_id;
    QSize m_horizontal;  // docked top or bottom
    QSize m_vertical;    // docked left or right
    QSize m_floating;
};

class CCoolBar final : public CSizingControlBar {
public:
    static constexpr int kCaptionHeight = 12;
    static constexpr int kCloseButtonSize = 13;

    CCoolBar(const QString& title, QWidget* parent, QSize defaultSize, int id);
    void setTitle(const QString& title);
    // The font of the caption band: SimSun where the system has it, else Tahoma.
    [[nodiscard]] static QString captionFontName();

private:
    QLabel* m_caption;
};
