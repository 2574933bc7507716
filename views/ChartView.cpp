#include "views/ChartView.h"

#include "resources/CommandIds.h"
#include "resources/StringTable.h"
#include "views/ChartScanTicker.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

ChartView::ChartView(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
                     unsigned cornerCommand, QWidget* parent)
    : QWidget(parent),
      m_store(store),
      m_flags(flags),
      m_host(host),
      m_hbar(new QScrollBar(Qt::Horizontal, this)),
      m_vbar(new QScrollBar(Qt::Vertical, this)),
      m_corner(new QPushButton(QStringLiteral("A"), this)),
      m_ticker(ChartScanTicker::shared()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setMinimumSize(200, 150);
    m_hbar->setRange(0, 0);
    m_vbar->setRange(0, 0);
    m_corner->setProperty("commandId", cornerCommand);
    m_corner->setFocusPolicy(Qt::NoFocus);
    connect(m_corner, &QPushButton::clicked, this, [this] { adjust(); });
    connect(m_hbar, &QAbstractSlider::actionTriggered, this,
            [this](int action) { onScrollAction(Qt::Horizontal, action); });
    connect(m_vbar, &QAbstractSlider::actionTriggered, this,
            [this](int action) { onScrollAction(Qt::Vertical, action); });
    connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
    m_timer.start(kTimerMs);
}

ChartView::~ChartView() {
    m_timer.stop();
    m_ticker->forget(this);
    if (m_host != nullptr) m_host->chartGone(this);
}

namespace {

// How often a picture still being read is redrawn.
constexpr std::chrono::milliseconds kCatchUpRedraw{250};

}  // namespace

bool ChartView::scanUntil(std::chrono::steady_clock::time_point deadline,
                          std::uint32_t chunkFrames) {
    using Clock = std::chrono::steady_clock;
    // Nothing can be read while the store is being emptied; the next tick goes on.
    if (m_flags.test(ApplicationFlags::kClearing)) {
        m_reading = false;
        return true;
    }
    ScanStep step;
    do {
        const ScanStep chunk = readFrames(chunkFrames);
        step.appended |= chunk.appended;
        step.redraw |= chunk.redraw;
    } while (!scanComplete() && Clock::now() < deadline);
    if (step.appended) followScan();
    m_redrawOwed |= step.appended || step.redraw;
    const bool complete = scanComplete();
    m_reading = !complete;
    const Clock::time_point now = Clock::now();
    if (m_redrawOwed && (complete || now - m_lastRedraw >= kCatchUpRedraw)) {
        m_redrawOwed = false;
        m_lastRedraw = now;
        update();
    }
    return complete;
}

void ChartView::scanSoon() {
    m_ticker->scan(this);
}

void ChartView::rescanFromStart() {
    m_ticker->request(this);
}

void ChartView::storeRecord() {
    if (m_host == nullptr) return;
    if (CurveWindowRecord* r = m_host->chartRecord(m_name)) {
        const RecordName name = r->name;
        *r = record();
        r->name = name;
    }
}

void ChartView::syncScrollBars() {
    for (auto [orientation, widget] : {std::pair{Qt::Horizontal, m_hbar}, {Qt::Vertical, m_vbar}}) {
        const ScrollBarState& s = bar(orientation);
        const QSignalBlocker block(widget);
        widget->setRange(s.minimum, s.maximum);
        widget->setPageStep(s.page);
        widget->setValue(s.position);
    }
}

void ChartView::onScrollAction(Qt::Orientation orientation, int action) {
    QScrollBar* widget = orientation == Qt::Horizontal ? m_hbar : m_vbar;
    ScrollAction a = ScrollAction::kThumb;
    switch (action) {
        case QAbstractSlider::SliderSingleStepSub:
            a = ScrollAction::kLineBack;
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            a = ScrollAction::kLineForward;
            break;
        case QAbstractSlider::SliderPageStepSub:
            a = ScrollAction::kPageBack;
            break;
        case QAbstractSlider::SliderPageStepAdd:
            a = ScrollAction::kPageForward;
            break;
        case QAbstractSlider::SliderMove:
            a = ScrollAction::kThumb;
            break;
        default:
            return;
    }
    const bool ctrl = (QApplication::keyboardModifiers() & Qt::ControlModifier) != 0;
    scroll(orientation, a, ctrl, widget->sliderPosition());
    widget->setSliderPosition(bar(orientation).position);
    storeRecord();
    update();
}

void ChartView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    paintChart(p);
    if (m_reading) paintReading(p);
    if (m_zooming) {
        p.setPen(QPen(Qt::black, 0, Qt::DashLine));
        p.drawRect(QRect(QPoint(m_zoomRect.left, m_zoomRect.top),
                         QPoint(m_zoomRect.right, m_zoomRect.bottom)));
    }
}

void ChartView::paintReading(QPainter& p) {
    const QString text = QString::fromStdString(strings::loadString(strings::kChartReadingFrames))
                             .arg(framesRead())
                             .arg(m_store.count());
    const PixelRect& plot = plotRect();
    const QRect box = p.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
    const QRect at = box.translated(plot.left + 6 - box.left(), plot.top + 6 - box.top());
    p.fillRect(at, QColor(255, 255, 225));
    p.setPen(Qt::darkGray);
    p.drawRect(at);
    p.setPen(Qt::black);
    p.drawText(at, Qt::AlignCenter, text);
}

void ChartView::resizeEvent(QResizeEvent*) {
    relayout(width(), height());
    const PixelRect& plot = plotRect();
    m_hbar->setGeometry(plot.left, plot.bottom, plot.width(), 18);
    m_vbar->setGeometry(plot.right, plot.top, 18, plot.height());
    m_corner->setGeometry(plot.right, plot.bottom, 18, 18);
}

void ChartView::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const PixelRect& plot = plotRect();
    if (event->button() == Qt::LeftButton) {
        if (measureLines().press(at.x(), at.y(), plot)) {
            setCursor(measureLines().draggingHorizontal() ? Qt::SplitVCursor : Qt::SplitHCursor);
        } else if (at.x() > plot.left + 3 && at.x() < plot.right - 3 && at.y() > plot.top + 3 &&
                   at.y() < plot.bottom - 3) {
            m_panning = true;
            m_press = at;
            setCursor(Qt::ClosedHandCursor);
        }
        update();
    } else if (event->button() == Qt::RightButton && plot.contains(at.x(), at.y())) {
        m_zooming = true;
        m_press = at;
        m_zoomRect = PixelRect::normalised(at.x(), at.y(), at.x(), at.y());
    }
}

void ChartView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const PixelRect& plot = plotRect();
    if (measureLines().dragging()) {
        measureLines().move(at.x(), at.y(), plot);
        update();
    }
    if (m_zooming && plot.contains(at.x(), at.y())) {
        m_zoomRect = PixelRect::normalised(m_press.x(), m_press.y(), at.x(), at.y());
        update();
    }
    if (m_host != nullptr && m_host->mouseValueShown()) {
        updateMouseValues(at.x(), at.y(), plot.contains(at.x(), at.y()));
    }
}

void ChartView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const PixelRect& plot = plotRect();
    if (event->button() == Qt::LeftButton) {
        if (measureLines().dragging()) {
            measureLines().release(at.x(), at.y(), plot);
        } else if (m_panning && plot.contains(at.x(), at.y())) {
            pan(m_press.x(), m_press.y(), at.x(), at.y());
            storeRecord();
        }
        m_panning = false;
        unsetCursor();
        update();
    } else if (event->button() == Qt::RightButton && m_zooming) {
        m_zooming = false;
        if (plot.contains(at.x(), at.y())) {
            zoom(m_zoomRect);
            storeRecord();
        }
        update();
    }
}

void ChartView::wheelEvent(QWheelEvent* event) {
    const QPoint at = event->position().toPoint();
    if (!plotRect().contains(at.x(), at.y()) || event->angleDelta().y() == 0) return;
    wheel({.forward = event->angleDelta().y() > 0,
           .ctrl = (event->modifiers() & Qt::ControlModifier) != 0,
           .shift = (event->modifiers() & Qt::ShiftModifier) != 0},
          at.x(), at.y());
    storeRecord();
    update();
}

void ChartView::leaveEvent(QEvent*) {
    // The pointer left the window: no value lies under it any more.
    if (m_host != nullptr && m_host->mouseValueShown()) updateMouseValues(-1, -1, false);
}

bool ChartView::print(QPrinter& printer) {
    QPainter p;
    if (!p.begin(&printer)) return false;
    const QRect page = p.viewport();
    const double scale = std::min(static_cast<double>(page.width()) / width(),
                                  static_cast<double>(page.height()) / height());
    p.scale(scale, scale);
    paintChart(p);
    return p.end();
}

void ChartView::OnPrint(unsigned id) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    if (id == ID_FILE_PRINT_PREVIEW) {
        QPrintPreviewDialog preview(&printer, this);
        connect(&preview, &QPrintPreviewDialog::paintRequested, this,
                [this](QPrinter* target) { print(*target); });
        preview.exec();
        return;
    }
    // Without a printer the dialog offers a PDF file.
    if (QPrinterInfo::availablePrinters().isEmpty()) printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted) print(printer);
}

bool ChartView::OnCmdMsg(unsigned id) {
    if (id == ID_FILE_PRINT || id == ID_FILE_PRINT_PREVIEW) {
        OnPrint(id);
        return true;
    }
    return false;
}

bool ChartView::OnUpdateCmdUI(CmdUI& ui) {
    if (ui.id == ID_FILE_PRINT || ui.id == ID_FILE_PRINT_PREVIEW) {
        ui.enabled = true;
        return true;
    }
    return false;
}
