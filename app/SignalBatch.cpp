#include "app/SignalBatch.h"

#include "candb/DbcReader.h"
#include "document/DocumentSignals.h"
#include "candb/SignalCsvExport.h"
#include "document/DocumentFile.h"
#include "curves/ExtractValue.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int fail(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
    return 1;
}

void note(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
}

// The time column is the curve export's, so the two files line up.
std::uint64_t frameTime(const CapturedFrame& frame) {
    return FrameTimeMs(frame);
}

std::string hex(std::uint32_t identifier) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", identifier);
    return text;
}

}  // namespace

int runSignalBatch(int argc, char** argv) {
    std::string out, document;
    std::vector<std::string> databases;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--export-signals" || a == "--dbc") {
            if (i + 1 >= argc) return fail(a + " needs a value (see --help)");
            if (a == "--dbc") {
                databases.emplace_back(argv[++i]);
            } else {
                out = argv[++i];
                asked = true;
            }
        } else if (!a.empty() && a[0] == '-') {
            if (asked) return fail("unknown option " + a + " (see --help)");
        } else {
            document = a;
        }
    }
    if (!asked) return -1;
    if (document.empty()) {
        return fail(databases.empty() ? "--export-signals needs --dbc DB.dbc (see --help)"
                                      : "no document file given (see --help)");
    }
    DocumentContents contents;
    FrameStore store;
    const FileResult loaded = loadDocument(document, contents, store, nullptr);
    if (!loaded.ok) return fail(loaded.error);

    std::vector<std::shared_ptr<const CanDatabase>> read;
    // Without --dbc the databases the document keeps decode it.
    CanDatabaseSet kept;
    if (databases.empty()) {
        SignalCurves curves;
        SignalFilterList filter;
        for (const std::string& why :
             takeDocumentSignals(contents.extensions, kept, curves, filter)) {
            note("warning: " + why);
        }
        if (kept.empty()) {
            return fail(
                "--export-signals needs --dbc DB.dbc, or a document that keeps CAN "
                "databases (see --help)");
        }
        for (const CanDatabaseEntry& e : kept.entries()) {
            databases.push_back(e.name);
            read.push_back(e.database);
        }
    }
    for (std::size_t d = read.size(); d < databases.size(); ++d) {
        const std::string& path = databases[d];
        DbcReadResult r = DbcReader::readFile(path);
        if (!r.ok) return fail("cannot read " + path + ": " + r.error);
        if (r.warningCount() > 0) note(path + ": " + r.summary());
        read.push_back(std::move(r.database));
    }
    const SignalDecoder decoder(std::move(read));
    for (const SignalDecoder::Conflict& c : decoder.conflicts()) {
        note("warning: " + databases[c.droppedDatabase] + " names " + hex(c.identifier) +
             (c.extended ? " (extended) " : " ") + c.droppedName + ", but " +
             databases[c.keptDatabase] + " names it first (" + c.keptName + "), which is used");
    }

    const SignalExportResult result = exportSignalValues(out, decoder, store, &frameTime);
    if (!result.ok) return fail("cannot write " + out + ": " + result.error);
    if (result.unfit > 0) {
        note(std::to_string(result.unfit) +
             " signal values were left out: their frames were shorter than the signals reach");
    }
    return 0;
}
