#include "views/BusLoadChart.h"

#include "resources/StringTable.h"

#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWheelEvent>

#include <algorithm>

namespace {

constexpr int kLeft = 40;    // the percent labels
constexpr int kTop = 26;     // the title and the lost-frame marks
constexpr int kBottom = 18;  // the time labels
constexpr int kRight = 8;
constexpr int kTickSpacing = 80;

QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

}  // namespace

BusLoadChart::BusLoadChart(const BusLoad& load, QWidget* parent)
    : QWidget(parent), m_load(load), m_scroll(new QScrollBar(Qt::Horizontal, this)) {
    setAutoFillBackground(false);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_settingScroll) return;
        // The bar's end is the newest bin, however many came since the bar was last set.
        const std::uint64_t first = value >= m_scroll->maximum()
                                        ? m_strip.lastFirstBin(m_load)
                                        : static_cast<std::uint64_t>(std::max(value, 0));
        m_strip.scrollTo(first, m_load);
        update();
    });
    // A drag starts from where the strip is now.
    connect(m_scroll, &QScrollBar::sliderPressed, this, [this] { updateScrollBar(); });
}

QRect BusLoadChart::plotArea() const {
    return QRect(kLeft, kTop, std::max(width() - kLeft - kRight, 1),
                 std::max(height() - kTop - kBottom - m_scroll->height(), 1));
}

void BusLoadChart::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int h = m_scroll->sizeHint().height();
    m_scroll->setGeometry(0, height() - h, width(), h);
    m_strip.setWidth(plotArea().width());
    updateScrollBar();
}

void BusLoadChart::refresh(bool baudKnown) {
    m_baudKnown = baudKnown;
    updateScrollBar(true);
    // The plot only: the bar repaints itself when it moves.
    update(0, 0, width(), std::max(height() - m_scroll->height(), 0));
}

QRect BusLoadChart::sliderRect(int maximum, int page, int value) const {
    QStyleOptionSlider option;
    option.initFrom(m_scroll);
    option.orientation = Qt::Horizontal;
    option.subControls = QStyle::SC_All;
    option.minimum = 0;
    option.maximum = maximum;
    option.pageStep = page;
    option.singleStep = m_scroll->singleStep();
    option.sliderPosition = value;
    option.sliderValue = value;
    return m_scroll->style()->subControlRect(QStyle::CC_ScrollBar, &option,
                                             QStyle::SC_ScrollBarSlider, m_scroll);
}

void BusLoadChart::updateScrollBar(bool whenMoved) {
    const auto clamp = [](std::uint64_t v) {
        return static_cast<int>(std::min<std::uint64_t>(v, INT32_MAX));
    };
    const int maximum = clamp(m_strip.lastFirstBin(m_load));
    const int page = std::max(clamp(m_strip.binsShown()), 1);
    const int single = std::max(clamp(m_strip.binsShown() / 10), 1);
    const int value = clamp(m_strip.firstBin(m_load));
    // While the strip follows the bus, the range grows five times a second, and a scroll bar
    // costs more to repaint than the chart: it is set only when its slider would move on screen,
    // and then at most once a second while it stays at the newest bin.
    if (whenMoved && !m_scroll->isSliderDown() && page == m_scroll->pageStep() &&
        single == m_scroll->singleStep()) {
        const bool atEnd = value == maximum;
        if (atEnd == (m_scroll->value() == m_scroll->maximum()) &&
            ((atEnd && m_scrollSet.isValid() && m_scrollSet.elapsed() < kFollowScrollMs) ||
             sliderRect(maximum, page, value) ==
                 sliderRect(m_scroll->maximum(), m_scroll->pageStep(), m_scroll->value()))) {
            return;
        }
    }
    m_scrollSet.start();
    m_settingScroll = true;
    m_scroll->setRange(0, maximum);
    m_scroll->setPageStep(page);
    m_scroll->setSingleStep(single);
    m_scroll->setValue(value);
    m_settingScroll = false;
}

void BusLoadChart::wheelEvent(QWheelEvent* event) {
    const int anchor = static_cast<int>(event->position().x()) - plotArea().left();
    if (event->angleDelta().y() > 0) {
        m_strip.zoomIn(m_load, anchor);
    } else if (event->angleDelta().y() < 0) {
        m_strip.zoomOut(m_load, anchor);
    }
    updateScrollBar();
    update();
    event->accept();
}

void BusLoadChart::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Base));
    const QRect area = plotArea();
    // A hidden widget hears of its size only when shown; the width it paints is the one.
    m_strip.setWidth(area.width());
    const QColor textColour = palette().color(QPalette::Text);
    const QFontMetrics metrics(font());

    // Percent grid.
    p.setPen(QColor(0xDD, 0xDD, 0xDD));
    for (int percent = 0; percent <= 100; percent += 25) {
        const int y = area.bottom() - area.height() * percent / 100;
        p.drawLine(area.left(), y, area.right(), y);
    }
    p.setPen(textColour);
    for (int percent = 0; percent <= 100; percent += 50) {
        const int y = area.bottom() - area.height() * percent / 100;
        p.drawText(QRect(0, y - metrics.height() / 2, kLeft - 4, metrics.height()),
                   Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("%1%").arg(percent));
    }

    // The load, column by column.
    const std::vector<BusLoadStrip::Column> columns = m_strip.columns(m_load);
    const QColor bar(0x2E, 0x6D, 0xB4);
    const QColor high(0xE0, 0x7B, 0x00);
    // One call per colour: the chart repaints five times a second with a line per column.
    m_bars.clear();
    m_highBars.clear();
    for (std::size_t x = 0; x < columns.size(); ++x) {
        const int px = area.left() + static_cast<int>(x);
        if (columns[x].percent > 0) {
            const int h = std::max(1, area.height() * static_cast<int>(columns[x].percent) / 100);
            (columns[x].percent >= 90 ? m_highBars : m_bars)
                .emplace_back(px, area.bottom() - h + 1, 1, h);
        }
    }
    p.setPen(Qt::NoPen);
    p.setBrush(bar);
    p.drawRects(m_bars.data(), static_cast<int>(m_bars.size()));
    p.setBrush(high);
    p.drawRects(m_highBars.data(), static_cast<int>(m_highBars.size()));
    p.setBrush(Qt::NoBrush);
    // Frames the adapter lost: a red mark above the plot and a thin line through it.
    for (std::size_t x = 0; x < columns.size(); ++x) {
        if (columns[x].lost == 0) continue;
        const int px = area.left() + static_cast<int>(x);
        p.setPen(QColor(0xD0, 0x20, 0x20, 110));
        p.drawLine(px, area.top(), px, area.bottom());
        QPainterPath mark;
        mark.moveTo(px - 4, area.top() - 7);
        mark.lineTo(px + 4, area.top() - 7);
        mark.lineTo(px, area.top() - 1);
        mark.closeSubpath();
        p.fillPath(mark, QColor(0xD0, 0x20, 0x20));
    }

    // Time axis.
    p.setPen(textColour);
    const std::vector<BusLoadStrip::Tick> ticks = m_strip.ticks(m_load, kTickSpacing);
    const std::uint64_t stepMs = ticks.size() > 1 ? ticks[1].ms - ticks[0].ms : 1000;
    for (const BusLoadStrip::Tick& t : ticks) {
        const int px = area.left() + t.x;
        p.drawLine(px, area.bottom(), px, area.bottom() + 3);
        const QString label = QString::fromStdString(BusLoadStrip::tickLabel(t.ms, stepMs));
        p.drawText(QRect(px - 40, area.bottom() + 3, 80, kBottom - 3), Qt::AlignHCenter, label);
    }
    p.setPen(QColor(0x90, 0x90, 0x90));
    p.drawRect(area.adjusted(0, 0, -1, 0));

    // Title and summary.
    p.setPen(textColour);
    QString title = text(strings::kBusLoadTitle);
    if (!m_baudKnown) {
        title += QStringLiteral("  ") + text(strings::kBusLoadNoBaudRate);
    } else {
        const BusLoadStrip::Summary s = BusLoadStrip::summary(m_load);
        title += QStringLiteral("  ") + text(strings::kBusLoadSummary)
                                            .arg(s.latest)
                                            .arg(s.peak)
                                            .arg(static_cast<qulonglong>(s.lost));
    }
    p.drawText(QRect(4, 2, width() - 8, kTop - 4), Qt::AlignLeft | Qt::AlignVCenter, title);
}
