#pragma once

// The overview window: one row per identifier with its count, last data (changed bytes marked,
// the marks fading within a second), last time and periods; quiet identifiers greyed; a tick box
// that makes only the filtered frames count; and the bus load over time below. A timer brings
// both up to date every 200 ms; a large document is taken in steps so that the window stays
// responsive. The row menu filters on an identifier, plots its bytes or copies the rows; what
// filtering and plotting do is the owner's.
//
// Thread: the user-interface thread.

#include "framework/CommandRouting.h"
#include "overview/BusLoad.h"
#include "views/OverviewModel.h"
#include "views/OverviewNow.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class BusLoadChart;
class QCheckBox;
class QLabel;
class QMenu;
class QSplitter;
class QTableView;

class OverviewView final : public QWidget, public CommandTarget {
public:
    static constexpr int kRefreshMs = 200;
    // Frames taken per step while a large document is read: tens of milliseconds.
    static constexpr std::size_t kFramesPerStep = 1'000'000;

    // What the window follows of the program at each refresh.
    struct Settings {
        bool hex = true;
        ProtocolReading reading = ProtocolReading::kCan;
        bool live = false;             // capturing: "now" moves on with the computer's clock
        unsigned baudKbps = 0;         // the bus's bit rate, for its load; 0 unknown
        std::uint64_t framesLost = 0;  // the capture's running total
        // The document's CAN databases, which name the messages; null: none.
        std::shared_ptr<const SignalDecoder> decoder;
    };
    using RowAction = std::function<void(const OverviewRow&)>;

    OverviewView(const OverviewSources& sources, std::function<Settings()> settings,
                 QWidget* parent = nullptr);
    ~OverviewView() override;

    void setFilterAction(RowAction action) { m_filter = std::move(action); }
    void setPlotAction(RowAction action) { m_plot = std::move(action); }
    // The view whose reading the overview follows: Data List's CAN, DeviceNet and CANopen go
    // there while the overview is the active window.
    void setReadingTarget(std::function<CommandTarget*()> target) {
        m_readingTarget = std::move(target);
    }

    // Timer: takes the new frames and repaints.
    void onTimer();
    // The menu a right click on table row `row` opens (the caller owns it).
    [[nodiscard]] QMenu* rowMenu(int row);
    // The selected rows as text lines, as Copy puts them on the clipboard.
    [[nodiscard]] QString selectedText() const;
    void copy();

    [[nodiscard]] OverviewModel& model() { return m_model; }
    [[nodiscard]] QTableView* table() const { return m_table; }
    [[nodiscard]] QCheckBox* onlyFilteredBox() const { return m_onlyFiltered; }
    [[nodiscard]] QLabel* summary() const { return m_summary; }
    [[nodiscard]] QSplitter* splitter() const { return m_splitter; }
    [[nodiscard]] const BusLoad& busLoad() const { return m_busLoad; }
    [[nodiscard]] BusLoadChart* busLoadChart() const { return m_chart; }

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;

private:
    void showSummary(bool done);
    void applyColumnWidths();

    OverviewSources m_sources;
    std::function<Settings()> m_settings;
    OverviewModel m_model;
    OverviewNow m_now;
    BusLoad m_busLoad{0};
    unsigned m_chartBaud = UINT32_MAX;  // the rate the chart was last drawn at
    QCheckBox* m_onlyFiltered;
    QLabel* m_summary;
    QSplitter* m_splitter;
    QTableView* m_table;
    BusLoadChart* m_chart;
    QTimer m_timer;
    RowAction m_filter;
    RowAction m_plot;
    std::function<CommandTarget*()> m_readingTarget;
};
