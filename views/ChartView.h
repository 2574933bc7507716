#pragma once

// What the y(t) and y(x) views share: the scroll bars and the "A" corner button, the 800 ms timer,
// the mouse (pan, measuring lines, zoom rectangle, wheel, value under the mouse), printing through
// the one drawing routine, and the link to the main frame. The arithmetic is the chart classes';
// the view only forwards input and paints.
//
// Reading the store goes in steps handed out by the shared ChartScanTicker: a large store is
// drawn as far as it has been read, and the window stays responsive meanwhile.
//
// Thread: the user-interface thread.

#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "curves/ChartCommon.h"
#include "curves/CurveRecords.h"
#include "curves/CurveScan.h"
#include "curves/CurveSignal.h"
#include "framework/CommandRouting.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

class QPainter;
class QPrinter;
class QPushButton;
class QScrollBar;
class ChartScanTicker;
class ChartView;

// The main frame as the chart views see it.
class ChartHost {
public:
    virtual ~ChartHost() = default;
    // The document's record of the window `name`, or null; looked up at each use.
    virtual CurveWindowRecord* chartRecord(const std::string& name) = 0;
    // Every timer tick: the information list follows the active chart.
    virtual void chartTicked(ChartView* view) = 0;
    [[nodiscard]] virtual bool mouseValueShown() const = 0;
    // The view is going: nothing may point at it any more.
    virtual void chartGone(ChartView* view) = 0;
};

class ChartView : public QWidget, public CommandTarget {
public:
    static constexpr int kTimerMs = 800;

    ChartView(FrameStore& store, const ApplicationFlags& flags, ChartHost* host,
              unsigned cornerCommand, QWidget* parent = nullptr);
    ~ChartView() override;

    // The main frame going first leaves the view without a host.
    void setHost(ChartHost* host) { m_host = host; }
    [[nodiscard]] const std::string& windowName() const { return m_name; }
    void setWindowName(const std::string& name) { m_name = name; }
    // Takes the window's settings and curves over and starts sampling again.
    virtual void setRecord(const CurveWindowRecord& record) = 0;
    [[nodiscard]] virtual const CurveWindowRecord& record() const = 0;
    // The slots' database signals (null for byte positions), of the value or Y and of X; the
    // curves are sampled again.
    virtual void setSignals(const CurveSignals& values, const CurveSignals& xValues) = 0;
    // The signal of a slot's axis, or null.
    [[nodiscard]] virtual const CurveSignal* signal(int slot, Axis axis) const = 0;
    [[nodiscard]] virtual const CurveStatistics* statistics(int slot, Axis axis) const = 0;
    [[nodiscard]] const std::string& mouseText(int slot, Axis axis) const {
        return m_mouse[static_cast<std::size_t>(slot)][axis == Axis::kX ? 1 : 0];
    }
    // Scan and redraw.
    virtual void tick() = 0;
    // Whether every frame now in the store has been read into the curves.
    [[nodiscard]] virtual bool scanComplete() const = 0;
    // How many frames of the store the curves have read.
    [[nodiscard]] virtual std::uint32_t framesRead() const = 0;
    // Still catching up with a store larger than one step: the window says how far it got.
    [[nodiscard]] bool reading() const { return m_reading; }
    // Reads chunks of `chunkFrames` frames until the store is read or the deadline passed (at
    // least one chunk), then follows and redraws. Returns whether the store is read.
    bool scanUntil(std::chrono::steady_clock::time_point deadline, std::uint32_t chunkFrames);
    // The one drawing routine, at the view's own layout.
    virtual void paintChart(QPainter& painter) = 0;
    // Fits all curves to their values (the corner button).
    virtual void adjust() = 0;

    // The page shows the window scaled to fit. False when the printer could not start.
    bool print(QPrinter& printer);

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;

protected:
    // The chart's parts the shared mouse and scroll handling need.
    [[nodiscard]] virtual const PixelRect& plotRect() const = 0;
    [[nodiscard]] virtual MeasureLines& measureLines() = 0;
    virtual void relayout(int width, int height) = 0;
    virtual void pan(int pressX, int pressY, int releaseX, int releaseY) = 0;
    virtual void zoom(const PixelRect& rectangle) = 0;
    virtual void wheel(chart::WheelTurn turn, int x, int y) = 0;
    virtual void scroll(Qt::Orientation orientation, ScrollAction action, bool ctrl, int thumb) = 0;
    virtual void updateMouseValues(int x, int y, bool inside) = 0;
    [[nodiscard]] virtual ScrollBarState& bar(Qt::Orientation orientation) = 0;

    // What one chunk of reading did.
    struct ScanStep {
        bool appended = false;  // new samples: the chart follows them
        bool redraw = false;    // something else drawn changed (the samples started over)
    };
    // Reads at most `frames` frames on from where the curves stopped.
    virtual ScanStep readFrames(std::uint32_t frames) = 0;
    // readFrames of either kind of scan: a changed number of samples (a reset too) is redrawn.
    template <typename Scan>
    static ScanStep readInto(Scan& scan, const FrameStore& store, const ApplicationFlags& flags,
                             std::uint32_t frames) {
        const auto samples = [&scan] {
            std::size_t n = 0;
            for (int i = 0; i < 4; ++i) n += scan.slot(i).samples.size();
            return n;
        };
        const std::size_t before = samples();
        ScanStep step;
        step.appended = scan.scan(store, flags, frames);
        step.redraw = samples() != before;
        return step;
    }
    // After a step that appended: Auto Move, scroll ranges.
    virtual void followScan() = 0;
    // Reads now within the shared slice; what is left is read in later passes.
    void scanSoon();
    // The curves start over: reading begins at the next pass.
    void rescanFromStart();

    // After the chart changed its settings: the document's record takes them over.
    void storeRecord();
    void syncScrollBars();
    void setMouseText(int slot, Axis axis, std::string text) {
        m_mouse[static_cast<std::size_t>(slot)][axis == Axis::kX ? 1 : 0] = std::move(text);
    }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

    FrameStore& m_store;
    const ApplicationFlags& m_flags;
    ChartHost* m_host;

private:
    void onScrollAction(Qt::Orientation orientation, int action);
    // Not printed: only the window says it is still reading.
    void paintReading(QPainter& p);
    void OnPrint(unsigned id);

    std::string m_name;
    QScrollBar* m_hbar;
    QScrollBar* m_vbar;
    QPushButton* m_corner;
    QTimer m_timer;
    std::shared_ptr<ChartScanTicker> m_ticker;
    // While a large store is read the picture is redrawn now and then, not after every step.
    bool m_redrawOwed = false;
    bool m_reading = false;
    std::chrono::steady_clock::time_point m_lastRedraw{};
    std::array<std::array<std::string, 2>, 4> m_mouse{};
    bool m_panning = false;
    bool m_zooming = false;
    QPoint m_press;
    PixelRect m_zoomRect;
};
