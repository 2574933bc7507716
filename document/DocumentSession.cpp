#include "document/DocumentSession.h"

#include "document/DocumentSignals.h"
#include "framework/DocumentTemplate.h"
#include "interop/LogFrame.h"
#include "resources/StringTable.h"
#include "resources/UiText.h"

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <ctime>
#include <memory>
#include <optional>
#include <utility>

namespace {

// Messages are put together as the string table's translations expect: %1, %2, ... in turn.
QString text(std::uint32_t id) {
    return QString::fromStdString(strings::loadString(id));
}

const DocumentTemplate& dataListTemplate() {
    return kDocumentTemplates[0];
}

// The window record of the one data list a new document has.
CurveWindowRecord dataListRecord() {
    CurveWindowRecord dataList;
    dataList.flags = CurveWindowRecord::kDataList;
    dataList.name.set("dl");
    return dataList;
}

}  // namespace

DocumentSession::DocumentSession(ProgramState& state, VexaDevice& device,
                                 MessageService& messages, DocumentWindows& windows)
    : m_state(state), m_device(device), m_messages(messages), m_windows(windows) {}

void DocumentSession::createDocument() {
    m_state.flags.set(ApplicationFlags::kDocumentExists);
    m_document = std::make_unique<CDataDoc>(m_device, m_state.store, m_state.capture, m_state.flags,
                                            m_messages);
    m_document->SetTitle(uiText(dataListTemplate().newDocumentName().c_str()));
    m_document->addClearListener([this] { m_state.filter.displayIndexList.clear(); });
    m_document->setCaptureChangedHandler([this] { m_windows.showCaptureState(); });
    m_windows.documentCreated(*m_document);
}

void DocumentSession::newDocument() {
    if (m_state.flags.test(ApplicationFlags::kDocumentExists)) {
        m_messages.showMessage(strings::kCannotCreateTwoDocuments);
        return;
    }
    m_state.filter.conditions.clear();
    m_state.filter.displayIndexList.clear();
    m_state.filter.processedCount = 0;
    m_state.filter.recomputeActive();
    if (m_state.store.count() > 0) {
        m_state.store.clear();
    }
    m_state.capture.anchors.clear();
    m_state.capture.framesLost = 0;
    m_state.databases.clear();
    m_state.signalCurves = {};
    m_state.signalFilter = {};
    m_state.filter.moreConditions = nullptr;
    createDocument();
    m_document->contents.windows.push_back(dataListRecord());
    m_windows.showWindowList(m_document->contents.windows);
    m_windows.showRows();
}

DocumentContents DocumentSession::snapshot() const {
    DocumentContents c = m_document->contents;
    c.capturing = m_state.capture.capturing.load();
    c.deviceReady = m_state.capture.deviceReady.load();
    c.baudRate = static_cast<std::uint32_t>(m_state.device.baudRate);
    c.workMode = static_cast<std::uint32_t>(m_state.device.workMode);
    c.frameType = static_cast<std::uint32_t>(m_state.device.frameType);
    c.dataListExists = m_windows.dataListOpen() ? 1 : 0;
    c.hexDisplay = m_state.hexDisplay ? 1 : 0;
    c.conditions = m_state.filter.conditions;
    c.activeWord = m_state.filter.activeWord;
    c.filterMode = static_cast<std::uint32_t>(m_state.filter.mode);
    c.extensions.anchors = m_state.capture.anchors.snapshot();
    putDocumentSignals(c.extensions, m_state.databases, m_state.signalCurves,
                       m_state.signalFilter);
    return c;
}

void DocumentSession::stored(const std::string& path) {
    m_windows.fileUsed(path);
    m_document->SetPathName(path);
    m_document->SetTitle(QFileInfo(QString::fromStdString(path)).fileName().toStdString());
    m_document->SetModifiedFlag(false);
    m_windows.showName(false);
}

bool DocumentSession::waitFor(const std::function<void(Done)>& run) {
    const auto outcome = std::make_shared<std::optional<bool>>();
    run([outcome](bool ok) { *outcome = ok; });
    if (!outcome->has_value() && m_wait) m_wait([outcome] { return outcome->has_value(); });
    return outcome->value_or(false);
}

bool DocumentSession::open(const std::string& path) {
    return waitFor([&](Done done) { open(path, std::move(done)); });
}

bool DocumentSession::save(const std::string& path) {
    return waitFor([&](Done done) { save(path, std::move(done)); });
}

bool DocumentSession::importLog(const std::string& path) {
    return waitFor([&](Done done) { importLog(path, std::move(done)); });
}

bool DocumentSession::exportLog(const std::string& path, bool shownRows,
                                const LogExportOptions& options) {
    return waitFor([&](Done done) { exportLog(path, shownRows, options, std::move(done)); });
}

void DocumentSession::save(const std::string& path, Done done) {
    if (m_document == nullptr || m_state.work.busy()) {
        done(false);
        return;
    }
    // What is saved is fixed now: the frames captured so far and the settings as they are.
    const auto contents = std::make_shared<const DocumentContents>(snapshot());
    const std::uint32_t frames = m_state.store.count();
    // Frames that arrive while the file is written still mark the document modified.
    m_state.capture.pendingChanges = 0;
    const auto result = std::make_shared<FileResult>();
    const FrameStore* store = &m_state.store;
    m_state.work.start(
        [path, contents, store, frames, result](Progress& progress) {
            *result = ::saveDocument(path, *contents, *store, frames, &progress);
        },
        [this, path, result, done = std::move(done)] {
            if (!result->ok) {
                m_state.capture.pendingChanges = 1;
                if (!m_state.work.cancelRequested()) {
                    m_messages.showText(text(strings::kCannotSaveDocument)
                                            .arg(QString::fromStdString(result->error))
                                            .toStdString(),
                                        MessageIcon::kStop);
                }
                done(false);
                return;
            }
            stored(path);
            done(true);
        });
}

void DocumentSession::open(const std::string& path, Done done) {
    if (m_state.work.busy()) {
        done(false);
        return;
    }
    struct Loaded {
        DocumentContents contents;
        FrameStore frames;
        FileResult result;
    };
    const auto loaded = std::make_shared<Loaded>();
    m_state.work.start(
        [path, loaded](Progress& progress) {
            loaded->result = loadDocument(path, loaded->contents, loaded->frames, &progress);
            // What was read of a file that is not taken is freed here, not on the window's thread.
            if (!loaded->result.ok) loaded->frames.clear();
        },
        [this, path, loaded, done = std::move(done)]() mutable {
            if (!loaded->result.ok) {
                // The open document, if any, stays as it was.
                if (!m_state.work.cancelRequested()) {
                    m_messages.showText(loaded->result.error, MessageIcon::kStop);
                    m_windows.fileUnreadable(path);
                }
                done(false);
                return;
            }
            apply(std::move(loaded->contents), loaded->frames);
            // The frames swapped out go with the loaded shell, freed off this thread.
            m_state.work.dispose(std::move(loaded));
            stored(path);
            done(true);
        });
}

void DocumentSession::apply(DocumentContents&& c, FrameStore& frames) {
    if (m_document == nullptr) createDocument();
    // No batch of the capture running now may land among the loaded frames.
    m_state.capture.capturing = 0;
    m_windows.framesReplacing();
    m_state.flags.set(ApplicationFlags::kClearing);
    m_state.store.swap(frames);
    m_state.capture.wrapCount = 0;
    m_state.capture.lastTime = AdapterTime{};
    // The anchors live beside the store; the document keeps only what it does not read.
    m_state.capture.anchors.replace(std::exchange(c.extensions.anchors, {}));
    const std::vector<std::string> unread = takeDocumentSignals(
        c.extensions, m_state.databases, m_state.signalCurves, m_state.signalFilter);
    m_state.capture.framesLost = 0;
    m_state.device.baudRate = static_cast<std::int32_t>(c.baudRate);
    m_state.device.workMode = static_cast<std::int32_t>(c.workMode);
    m_state.device.frameType = static_cast<std::int32_t>(c.frameType);
    m_state.hexDisplay = c.hexDisplay != 0;
    m_state.filter.conditions = c.conditions;
    m_state.filter.mode = c.filterMode == 1 ? FilterMode::kHide : FilterMode::kShow;
    // The active word follows the conditions that were really loaded.
    m_state.filter.activeWord = c.activeWord;
    m_state.filter.recomputeActive();
    applySignalConditions(m_state);
    m_state.filter.displayIndexList.clear();
    m_state.filter.processedCount = 0;
    m_state.flags.reset(ApplicationFlags::kClearing);
    const std::uint32_t capturing = c.capturing;
    const std::uint32_t deviceReady = c.deviceReady;
    m_document->contents = std::move(c);
    m_windows.showWindowList(m_document->contents.windows);
    // The first step now; the owner's passes take the rest a step at a time.
    (void)FilterStepWithin(m_state.filter, m_state.store, m_state.flags, kFilterSlice);
    m_windows.showRows();
    for (const std::string& why : unread) {
        const QString message =
            text(strings::kDocumentDatabasesUnreadable).arg(QString::fromStdString(why));
        m_messages.showText(message.toStdString(), MessageIcon::kWarning);
    }
    m_state.capture.pendingChanges = 0;
    m_state.capture.deviceReady = deviceReady;
    m_state.capture.capturing = capturing;
    m_windows.showCaptureState();
}

void DocumentSession::importLog(const std::string& path, Done done) {
    if (m_state.work.busy()) {
        done(false);
        return;
    }
    LogFormat format = LogFormat::kCandump;
    (void)logFormatOf(fileKindOf(path), format);
    struct Read {
        FrameStore frames;
        LogImportResult result;
    };
    const auto read = std::make_shared<Read>();
    m_state.work.start(
        [path, format, read](Progress& progress) {
            read->result = ::importLog(path, format, read->frames, &progress);
            if (read->result.status != LogImportResult::kOk) read->frames.clear();
        },
        [this, path, read, done = std::move(done)]() mutable {
            if (read->result.status == LogImportResult::kCancelled) {
                done(false);
                return;
            }
            imported(path, read->result, read->frames);
            const bool ok = read->result.status == LogImportResult::kOk;
            if (ok) m_state.work.dispose(std::move(read));
            done(ok);
        });
}

void DocumentSession::imported(const std::string& path, LogImportResult& result,
                               FrameStore& frames) {
    const QString file = QString::fromStdString(path);
    QString failure;
    switch (result.status) {
        case LogImportResult::kOk:
            break;
        case LogImportResult::kCannotOpen:
            failure = text(strings::kLogCannotOpen)
                          .arg(file + ": " + QString::fromStdString(result.detail));
            break;
        case LogImportResult::kReadFailed:
            failure = text(strings::kLogCannotRead)
                          .arg(file + ": " + QString::fromStdString(result.detail));
            break;
        case LogImportResult::kNoFrames: {
            QString why = QString::fromStdString(skippedLinesMessage(result.read));
            if (result.read.utf16) {
                if (!why.isEmpty()) why += QLatin1Char('\n');
                why += text(strings::kLogLooksUtf16);
            }
            failure = text(strings::kLogHoldsNoFrame).arg(why).trimmed();
            break;
        }
        case LogImportResult::kOutOfMemory:
            failure = text(strings::kLogOutOfMemory);
            break;
        case LogImportResult::kCancelled:
            return;
    }
    if (!failure.isEmpty()) {
        // The open document, if any, stays as it was.
        m_messages.showText(failure.toStdString(), MessageIcon::kStop);
        return;
    }
    // A new document: the adapter's settings stay as they are, the filter starts empty.
    DocumentContents contents;
    contents.deviceReady = m_state.capture.deviceReady.load();
    contents.baudRate = static_cast<std::uint32_t>(m_state.device.baudRate);
    contents.workMode = static_cast<std::uint32_t>(m_state.device.workMode);
    contents.frameType = static_cast<std::uint32_t>(m_state.device.frameType);
    contents.hexDisplay = m_state.hexDisplay ? 1 : 0;
    contents.dataListExists = 1;
    contents.windows.push_back(dataListRecord());
    contents.extensions.anchors = std::move(result.anchors);
    apply(std::move(contents), frames);
    // Not saved yet: Save asks for a name.
    m_document->SetPathName({});
    m_document->SetTitle(QFileInfo(file).completeBaseName().toStdString());
    m_document->SetModifiedFlag(true);
    m_windows.showName(true);
    m_state.capture.pendingChanges = 1;
    const std::string report = importReport(result);
    if (!report.empty()) m_messages.showText(report, MessageIcon::kInformation);
}

void DocumentSession::exportLog(const std::string& path, bool shownRows,
                                const LogExportOptions& options, Done done) {
    if (m_state.work.busy()) {
        done(false);
        return;
    }
    // The rows do not change while the work runs (the filter's passes wait for it); every frame
    // means those captured so far.
    const DisplayIndexList* rows = shownRows ? &m_state.filter.displayIndexList : nullptr;
    LogExportOptions withAnchors = options;
    withAnchors.anchors = m_state.capture.anchors.snapshot();
    withAnchors.frames = m_state.store.count();
    const auto result = std::make_shared<LogExportResult>();
    const FrameStore* store = &m_state.store;
    const std::time_t now = std::time(nullptr);
    m_state.work.start(
        [path, withAnchors = std::move(withAnchors), store, rows, now, result](Progress& progress) {
            *result = ::exportLog(path, withAnchors, *store, rows, now, &progress);
        },
        [this, result, done = std::move(done)] {
            if (!*result) {
                if (!m_state.work.cancelRequested()) {
                    m_messages.showText(text(strings::kLogCannotWrite)
                                            .arg(QString::fromStdString(result->error))
                                            .toStdString(),
                                        MessageIcon::kStop);
                }
                done(false);
                return;
            }
            if (result->unwritable > 0) {
                m_messages.showText(
                    text(strings::kLogFramesLeftOut).arg(result->unwritable).toStdString(),
                    MessageIcon::kInformation);
            }
            done(true);
        });
}

std::string skippedLinesMessage(const LogReadResult& read) {
    const std::uint64_t total = read.skippedLines();
    if (total == 0) return {};
    const auto reasonText = [&read](SkipReason reason) {
        if (read.records && reason == SkipReason::kTooLong) {
            return text(strings::kSkippedRecordTooLong);
        }
        return text(strings::kSkippedErrorFrame + static_cast<std::uint32_t>(reason));
    };
    QStringList kinds;
    for (std::size_t i = 0; i < kSkipReasons; ++i) {
        if (read.skipped[i] == 0) continue;
        kinds << QStringLiteral("%1 %2")
                     .arg(read.skipped[i])
                     .arg(reasonText(static_cast<SkipReason>(i)));
    }
    const LogWarning first = read.warnings.empty() ? LogWarning{} : read.warnings.front();
    const std::uint32_t message =
        read.records ? (total == 1 ? strings::kLogRecordSkipped : strings::kLogRecordsSkipped)
                     : (total == 1 ? strings::kLogLineSkipped : strings::kLogLinesSkipped);
    return text(message)
        .arg(total)
        .arg(kinds.join(QStringLiteral(", ")))
        .arg(first.line)
        .arg(reasonText(first.reason))
        .toStdString();
}

std::string importReport(const LogImportResult& result) {
    QStringList parts;
    if (const std::string skipped = skippedLinesMessage(result.read); !skipped.empty()) {
        parts << QString::fromStdString(skipped);
    }
    if (result.movedOn > 0) {
        const std::uint32_t message =
            result.read.records
                ? (result.movedOn == 1 ? strings::kLogFrameMovedOnRecord
                                       : strings::kLogFramesMovedOnRecord)
                : (result.movedOn == 1 ? strings::kLogFrameMovedOn : strings::kLogFramesMovedOn);
        parts << text(message).arg(result.movedOn).arg(result.firstMovedOnLine);
    }
    return parts.join(QStringLiteral("\n\n")).toStdString();
}
