#include "app/OverviewBatch.h"

#include "document/DocumentFile.h"
#include "overview/OverviewCsv.h"

#include <cstdio>
#include <string>

namespace {

int fail(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
    return 1;
}

}  // namespace

int runOverviewBatch(int argc, char** argv) {
    std::string out, document;
    bool asked = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--export-overview") {
            if (i + 1 >= argc) return fail(a + " needs a value (see --help)");
            out = argv[++i];
            asked = true;
        } else if (!a.empty() && a[0] == '-') {
            if (asked) return fail("unknown option " + a + " (see --help)");
        } else if (!document.empty() && asked) {
            return fail("--export-overview takes one document (see --help)");
        } else {
            document = a;
        }
    }
    if (!asked) return -1;
    if (document.empty()) return fail("no document file given (see --help)");
    DocumentContents contents;
    FrameStore store;
    const FileResult loaded = loadDocument(document, contents, store, nullptr);
    if (!loaded.ok) return fail(loaded.error);
    const OverviewCsvResult result = exportOverviewCsv(out, store);
    if (!result.ok) return fail("cannot write " + out + ": " + result.error);
    return 0;
}
