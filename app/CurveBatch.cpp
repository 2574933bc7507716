#include "app/CurveBatch.h"

#include "app/SignalCurveSource.h"
#include "document/DocumentSignals.h"
#include "document/DocumentFile.h"
#include "curves/CurveCsvExport.h"
#include "curves/CurveFlags.h"

#include <cstdio>
#include <string>

namespace {

int fail(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
    return 1;
}

}  // namespace

int runCurveBatch(int argc, char** argv) {
    std::string out, window, document;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--export-curves" || a == "--window") {
            if (i + 1 >= argc) return fail(a + " needs a value (see --help)");
            (a == "--window" ? window : out) = argv[++i];
            asked |= a == "--export-curves";
        } else if (!a.empty() && a[0] == '-') {
            if (asked) return fail("unknown option " + a + " (see --help)");
        } else {
            document = a;
        }
    }
    if (!asked) return -1;
    if (window.empty()) return fail("--export-curves needs --window NAME (see --help)");
    if (document.empty()) return fail("no document file given (see --help)");
    DocumentContents contents;
    FrameStore store;
    const FileResult loaded = loadDocument(document, contents, store, nullptr);
    if (!loaded.ok) return fail(loaded.error);
    // Curves of database signals give their physical values, as the window shows them.
    CanDatabaseSet databases;
    SignalCurves signalCurves;
    SignalFilterList signalFilter;
    for (const std::string& why :
         takeDocumentSignals(contents.extensions, databases, signalCurves, signalFilter)) {
        std::fprintf(stderr, "Korvane: warning: %s\n", why.c_str());
    }
    for (const CurveWindowRecord& w : contents.windows) {
        if ((w.flags & (window_flags::kYt | window_flags::kYx)) == 0 || w.name.text() != window) {
            continue;
        }
        CurveSignals values{}, xValues{};
        windowSignals(signalCurves, databases.decoder(), w, values, xValues);
        const CsvResult result = exportCurveValues(out, w, store, values, xValues);
        if (!result.ok) return fail("cannot write " + out + ": " + result.error);
        return 0;
    }
    return fail("the document has no chart window named " + window);
}
