#pragma once

// The view of the captured frames: a report list of the rows the filter lets through, in the CAN,
// DeviceNet or CANopen reading. Its timer gives the list the new row count every 800 ms and
// follows the newest row.
//
// Thread: the user-interface thread.

#include "framework/CommandRouting.h"
#include "framework/MessageService.h"
#include "document/ProgramState.h"
#include "filters/CFilterCanDlg.h"
#include "filters/CFilterCanOpenDlg.h"
#include "filters/CFilterDeviceNetDlg.h"
#include "views/DataListModel.h"
#include "views/FollowNewest.h"
#include "views/SignalFilterEditor.h"
#include "views/VirtualTableView.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QPrinter;

class CViewDataList final : public QWidget, public CommandTarget {
public:
    static constexpr int kTimerMs = 800;
    static constexpr int kMinSignalsWidth = 560;

    CViewDataList(ProgramState& state, MessageService& messages, QWidget* parent = nullptr);
    // Keeps a column width dragged just before.
    ~CViewDataList() override;

    [[nodiscard]] ProtocolReading reading() const { return m_model.reading(); }
    void switchReading(ProtocolReading reading);
    // Timer 1: the row count follows the display index list.
    void onTimer();

    [[nodiscard]] VirtualTableView& list() { return m_list; }
    [[nodiscard]] DataListModel& model() { return m_model; }
    [[nodiscard]] std::vector<int> columnWidths() const;
    // The document's CAN databases changed: the Signals column follows.
    void databasesChanged();

    bool OnCmdMsg(unsigned id) override;
    bool OnUpdateCmdUI(CmdUI& ui) override;
    // Command handlers.
    void OnReading(unsigned id);
    void OnUpdateReading(CmdUI& ui);
    void OnDisabled(CmdUI& ui);
    void OnExport(unsigned);
    void OnPrint(unsigned id);
    // Opens the filter dialog of the current reading; OK filters every frame again.
    void OnFilter(unsigned);

    // The filter dialog the Filter command opens for `reading`; one of each is kept.
    [[nodiscard]] FilterDialogBase& filterDialog(ProtocolReading reading);
    [[nodiscard]] SignalFilterEditor& signalFilter() const { return *m_signalFilter; }
    // Prepares the dialog of the current reading from the program's filter.
    FilterDialogBase& prepareFilterDialog();
    // Takes a filter dialog's list and mode and changes the document; the new rows follow a
    // slice at a time, the first at once. While a work may be reading the shown rows (an export,
    // a print) the filter waits for it: applyHeldFilter() takes it once the work has ended.
    void applyFilter(std::vector<FilterCondition> conditions, FilterMode mode);
    // Applies the filter held back by a work, if any and the work has ended; true when it did.
    bool applyHeldFilter();
    [[nodiscard]] bool filterHeld() const { return m_heldFilter.has_value(); }
    // Called when applyFilter leaves frames to look at: the owner's passes take them.
    void setFilterBehind(std::function<void()> behind) { m_filterBehind = std::move(behind); }
    // Tests make applyFilter's own slice small and predictable: zero looks at one chunk.
    void setFilterSlice(std::chrono::nanoseconds slice) { m_filterSlice = slice; }

    void OnFollow(unsigned);
    void OnUpdateFollow(CmdUI& ui);
    void OnCopy(unsigned);
    void OnUpdateCopy(CmdUI& ui);
    [[nodiscard]] const FollowNewest& follow() const { return m_follow; }

    // The export of the rows to `path`, with the progress window; messages on failure.
    bool exportTo(const QString& path);
    // Starts the export to `path` on the state's worker; `done` follows with the outcome.
    void startExport(const QString& path, std::function<void(bool ok)> done);
    // Prints the rows on `printer` (set up by its dialog) on the state's worker; a printer that
    // prints to a file writes it beside the file and puts it in place only when complete.
    void startPrint(std::shared_ptr<QPrinter> printer, std::function<void(bool ok)> done);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyColumnWidths();
    void markModified();
    // A column the user dragged keeps its width, for this reading and the next run.
    void columnDragged(int column, int width);
    void saveColumnWidths();

    ProgramState& m_state;
    MessageService& m_messages;
    DataListModel m_model;
    VirtualTableView m_list;
    QTimer m_timer;
    CFilterCanDlg m_canFilter;
    CFilterDeviceNetDlg m_deviceNetFilter;
    CFilterCanOpenDlg m_canOpenFilter;
    SignalFilterEditor* m_signalFilter;              // a part of the CAN filter dialog
    std::array<std::vector<int>, 3> m_chosenWidths;  // by reading; 0: no width of the user's
    bool m_applyingWidths = false;
    QTimer m_saveWidths;
    FollowNewest m_follow;
    std::function<void()> m_filterBehind;
    std::chrono::nanoseconds m_filterSlice = kFilterSlice;
    std::optional<std::pair<std::vector<FilterCondition>, FilterMode>> m_heldFilter;
    bool m_autoScrolling = false;
};
