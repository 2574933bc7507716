#pragma once

// The bus load over time as a strip chart under the overview: the load in percent per 100 ms,
// the frames the adapter lost marked in red at the top, a time axis, and a scroll bar over the
// whole capture. The newest bin stays at the right edge until the user scrolls back; the wheel
// zooms. It only paints and forwards input; the arithmetic is BusLoadStrip's.
//
// Thread: the user-interface thread.

#include "overview/BusLoad.h"
#include "views/BusLoadStrip.h"

#include <QElapsedTimer>
#include <QRect>
#include <QWidget>

#include <vector>

class QScrollBar;

class BusLoadChart final : public QWidget {
public:
    explicit BusLoadChart(const BusLoad& load, QWidget* parent = nullptr);

    // The load was updated (or its bit rate is unknown, `baudKnown` false): repaints.
    void refresh(bool baudKnown);
    [[nodiscard]] BusLoadStrip& strip() { return m_strip; }
    [[nodiscard]] QScrollBar* scrollBar() const { return m_scroll; }
    // The area the bins are drawn in.
    [[nodiscard]] QRect plotArea() const;

    QSize sizeHint() const override { return {600, 150}; }
    QSize minimumSizeHint() const override { return {200, 90}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    // Sets the bar from the strip; with `whenMoved`, only if its slider would look different.
    void updateScrollBar(bool whenMoved = false);
    [[nodiscard]] QRect sliderRect(int maximum, int page, int value) const;

    const BusLoad& m_load;
    BusLoadStrip m_strip;
    QScrollBar* m_scroll;
    bool m_baudKnown = true;
    bool m_settingScroll = false;
    static constexpr qint64 kFollowScrollMs = 1000;
    QElapsedTimer m_scrollSet;  // since the bar was last set
    std::vector<QRect> m_bars;  // kept between paints
    std::vector<QRect> m_highBars;
};
