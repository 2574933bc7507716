#pragma once

// The open document as the program works with it, without a window: New, Open, Save, Import and
// Export As Log, and what opening or importing does to the program's state (the frames swapped
// in, the adapter's settings and the filter taken over, the filter run again from the first
// frame). What the user must be told goes through the message service; long runs report to the
// progress the owner makes; the windows that show the document follow through DocumentWindows.
//
// Thread: the user-interface thread.

#include "capture/VexaDevice.h"
#include "document/CDataDoc.h"
#include "document/DocumentFile.h"
#include "document/LogImport.h"
#include "document/ProgramState.h"
#include "framework/MessageService.h"
#include "framework/Progress.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the session needs of the windows that show the document: the main frame in the program, a
// recorder in tests.
class DocumentWindows {
public:
    virtual ~DocumentWindows() = default;
    // A capture document now exists: the owner installs its handlers and shows it.
    virtual void documentCreated(CDataDoc& document) = 0;
    // The document's window list changed whole: the tree names the windows, and the data list
    // window is open afterwards.
    virtual void showWindowList(const std::vector<CurveWindowRecord>& windows) = 0;
    // The store and the filter hold the document's rows now: the data list and the chart windows
    // show them.
    virtual void showRows() = 0;
    // Capturing, the adapter's settings or the frames lost changed: the status bar shows them.
    virtual void showCaptureState() = 0;
    // The document's name or its modified mark changed.
    virtual void showName(bool modified) = 0;
    // The document was read from or written to `path` whole (the recent files take it), or
    // `path` could not be read (the recent files let it go).
    virtual void fileUsed(const std::string& path) = 0;
    virtual void fileUnreadable(const std::string& path) = 0;
    // The store's frames are about to be replaced: whatever still reads them stops first.
    virtual void framesReplacing() {}
    // Whether the data list window is open; the document file keeps it.
    [[nodiscard]] virtual bool dataListOpen() const = 0;
};

class DocumentSession {
public:
    // What runs long: a log import or export lets the progress window's own events through as it
    // goes; a document read or written only repaints it.
    enum class Run { kDocumentFile, kLog };
    using ProgressMaker = std::function<std::unique_ptr<Progress>(Run run)>;

    DocumentSession(ProgramState& state, VexaDevice& device, MessageService& messages,
                    DocumentWindows& windows);
    DocumentSession(const DocumentSession&) = delete;
    DocumentSession& operator=(const DocumentSession&) = delete;

    // Long runs show the progress the maker makes; without a maker they show none.
    void setProgressMaker(ProgressMaker maker) { m_makeProgress = std::move(maker); }

    [[nodiscard]] CDataDoc* document() { return m_document.get(); }
    // Destroys the document: its capture timer stops before the state it polls goes.
    void close() { m_document.reset(); }

    // File > New: an empty document with its data list; refused while a document exists.
    void newDocument();
    // Opens a document file: the open document is replaced only when the whole file was read.
    bool open(const std::string& path);
    // Saves the document; a failed save leaves the old file as it was.
    bool save(const std::string& path);
    // A log (candump, ASC, BLF, pcap, by its extension) becomes a new, unsaved document named after the
    // file; false, with the open document as it was, when it was not read.
    bool importLog(const std::string& path);
    // Writes the rows the data list shows (or every frame) to a log; false when the file was not
    // written.
    bool exportLog(const std::string& path, bool shownRows, const LogExportOptions& options);

    // What the document file keeps of the document and the program's state now.
    [[nodiscard]] DocumentContents snapshot() const;
    // The read `contents` and `frames` take the open document's place (a document is created when
    // there is none): the capture starts again on the new frames, the adapter's settings and the
    // filter are the document's, and the filter runs again from the first frame.
    void apply(DocumentContents&& contents, FrameStore& frames);

private:
    void createDocument();
    // The document is now the file at `path`, unmodified.
    void stored(const std::string& path);
    [[nodiscard]] std::unique_ptr<Progress> makeProgress(Run run) const;

    ProgramState& m_state;
    VexaDevice& m_device;
    MessageService& m_messages;
    DocumentWindows& m_windows;
    ProgressMaker m_makeProgress;
    std::unique_ptr<CDataDoc> m_document;
};

// The message about skipped lines: how many, of which kinds, and the first one's line number
// and reason. Empty when nothing was skipped.
[[nodiscard]] std::string skippedLinesMessage(const LogReadResult& read);
// The one message an import ends with: the skipped lines, then the frames whose time went back.
// Empty when there is neither.
[[nodiscard]] std::string importReport(const LogImportResult& result);
