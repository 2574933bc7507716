#pragma once

// The open document as the program works with it, without a window: New, Open, Save, Import and
// Export As Log, and what opening or importing does to the program's state (the frames swapped
// in, the adapter's settings and the filter taken over, the filter run again from the first
// frame). What the user must be told goes through the message service; long runs report to the
// state's work (a worker thread in the program); the windows that show the document follow
// through DocumentWindows.
//
// Thread: the user-interface thread; the long runs' reading and writing on the state's worker.

#include "capture/VexaDevice.h"
#include "document/CDataDoc.h"
#include "document/DocumentFile.h"
#include "document/LogImport.h"
#include "document/ProgramState.h"
#include "framework/MessageService.h"

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
    // The outcome of a long run, told on the session's thread once it is over.
    using Done = std::function<void(bool ok)>;
    // Runs the owner's event loop until `finished` says so: the waiting forms of the long runs
    // use it when the state's work runs on a worker.
    using Waiter = std::function<void(const std::function<bool()>& finished)>;

    DocumentSession(ProgramState& state, VexaDevice& device, MessageService& messages,
                    DocumentWindows& windows);
    DocumentSession(const DocumentSession&) = delete;
    DocumentSession& operator=(const DocumentSession&) = delete;

    void setWaiter(Waiter waiter) { m_wait = std::move(waiter); }

    [[nodiscard]] CDataDoc* document() { return m_document.get(); }
    // Destroys the document: its capture timer stops before the state it polls goes.
    void close() { m_document.reset(); }

    // File > New: an empty document with its data list; refused while a document exists.
    void newDocument();

    // The long runs go to the state's work (a worker thread in the program). Each returns at once;
    // `done` follows once the run is over. A cancelled or failed run leaves the document, the
    // store and the files as they were; only a failure is told to the user.
    //
    // Opens a document file: read into a store of its own, which takes the open document's place
    // only when the whole file was read.
    void open(const std::string& path, Done done);
    // Saves the document as it is now: frames captured while the file is written are not in it,
    // and still mark the document modified.
    void save(const std::string& path, Done done);
    // A log (candump, ASC, BLF, pcap, by its extension) becomes a new, unsaved document named after
    // the file.
    void importLog(const std::string& path, Done done);
    // Writes the rows the data list shows (or every frame) as they are now to a log.
    void exportLog(const std::string& path, bool shownRows, const LogExportOptions& options,
                   Done done);

    // The same, waiting for the outcome.
    bool open(const std::string& path);
    bool save(const std::string& path);
    bool importLog(const std::string& path);
    bool exportLog(const std::string& path, bool shownRows, const LogExportOptions& options);

    // What the document file keeps of the document and the program's state now.
    [[nodiscard]] DocumentContents snapshot() const;
    // The read `contents` and `frames` take the open document's place (a document is created when
    // there is none): the capture starts again on the new frames, the adapter's settings and the
    // filter are the document's, and the filter runs again from the first frame (its first step
    // now, the rest on the owner's later passes).
    void apply(DocumentContents&& contents, FrameStore& frames);

private:
    void createDocument();
    // The document is now the file at `path`, unmodified.
    void stored(const std::string& path);
    bool waitFor(const std::function<void(Done)>& run);
    void imported(const std::string& path, LogImportResult& result, FrameStore& frames);

    ProgramState& m_state;
    VexaDevice& m_device;
    MessageService& m_messages;
    DocumentWindows& m_windows;
    Waiter m_wait;
    std::unique_ptr<CDataDoc> m_document;
};

// The message about skipped lines: how many, of which kinds, and the first one's line number
// and reason. Empty when nothing was skipped.
[[nodiscard]] std::string skippedLinesMessage(const LogReadResult& read);
// The one message an import ends with: the skipped lines, then the frames whose time went back.
// Empty when there is neither.
[[nodiscard]] std::string importReport(const LogImportResult& result);
