#include "app/BatchMode.h"

#include "app/ConvertBatch.h"
#include "app/CurveBatch.h"
#include "app/SignalBatch.h"
#include "app/OverviewBatch.h"

#include "document/DocumentFile.h"
#include "filters/FilterState.h"
#include "interop/LogFrame.h"
#include "views/DataListPrinter.h"
#include "views/PrintFont.h"
#include "views/TextExport.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>

const char kUsage[] =
    "Usage: Korvane [DOC.krv]\n"
    "       Korvane --export OUT.txt [--reading can|devicenet|canopen] DOC.krv\n"
    "       Korvane --print-to OUT.pdf [--reading can|devicenet|canopen] DOC.krv\n"
    "       Korvane --convert IN OUT\n"
    "       Korvane --export-curves OUT.csv --window NAME DOC.krv\n"
    "       Korvane --export-signals OUT.csv [--dbc DB.dbc [--dbc DB2.dbc ...]] DOC.krv\n"
    "       Korvane --export-overview OUT.csv DOC.krv\n"
    "\n"
    "Without options Korvane opens its window (and DOC.krv when given).\n"
    "\n"
    "  --export OUT.txt    write the rows of DOC.krv, as the Export command writes them, to\n"
    "                      OUT.txt (the date line carries the current time)\n"
    "  --print-to OUT.pdf  print the same rows to the PDF file OUT.pdf\n"
    "  --reading NAME      read the frames as can (the default), devicenet or canopen\n"
    "  --convert IN OUT    convert every frame between a document (.krv), a candump log (.log),\n"
    "                      an ASC log (.asc), a BLF log (.blf) and a pcap capture (.pcap; a\n"
    "                      .pcapng is read too), by the files' extensions\n"
    "  --export-curves OUT.csv --window NAME\n"
    "                      write the curve values of the chart window NAME to OUT.csv\n"
    "  --export-signals OUT.csv --dbc DB.dbc\n"
    "                      write every signal value the CAN databases decode to OUT.csv, one\n"
    "                      row per value; where databases name one identifier, the first wins;\n"
    "                      without --dbc, the databases DOC.krv keeps\n"
    "  --export-overview OUT.csv\n"
    "                      write one row per identifier of DOC.krv (count, times, periods,\n"
    "                      last data) to OUT.csv\n"
    "  --help              this text\n"
    "\n"
    "--export and --print-to apply the document's stored filter; --convert, --export-curves,\n"
    "--export-signals and --export-overview take every frame. None shows a window; all report\n"
    "errors on standard error\n"
    "and exit with a non-zero status on failure.\n";

namespace {

int fail(const std::string& text) {
    std::fprintf(stderr, "Korvane: %s\n", text.c_str());
    return 1;
}

}  // namespace

int runBatch(int argc, char** argv) {
    if (const int curves = runCurveBatch(argc, argv); curves >= 0) return curves;
    if (const int decoded = runSignalBatch(argc, argv); decoded >= 0) return decoded;
    if (const int overview = runOverviewBatch(argc, argv); overview >= 0) return overview;
    std::string exportPath, pdfPath, document;
    ProtocolReading reading = ProtocolReading::kCan;
    bool batch = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--convert") {
            if (i + 3 != argc) {
                return fail("--convert takes IN and OUT, and nothing after (see --help)");
            }
            return runConvert(argv[i + 1], argv[i + 2]);
        } else if (a == "--export" || a == "--print-to" || a == "--reading") {
            if (value == nullptr) return fail(a + " needs a value (see --help)");
            ++i;
            if (a == "--export") {
                exportPath = value;
                batch = true;
            } else if (a == "--print-to") {
                pdfPath = value;
                batch = true;
            } else if (std::strcmp(value, "can") == 0) {
                reading = ProtocolReading::kCan;
            } else if (std::strcmp(value, "devicenet") == 0) {
                reading = ProtocolReading::kDeviceNet;
            } else if (std::strcmp(value, "canopen") == 0) {
                reading = ProtocolReading::kCanOpen;
            } else {
                return fail(std::string("unknown reading ") + value + " (see --help)");
            }
        } else if (!a.empty() && a[0] == '-') {
            if (batch) return fail("unknown option " + a + " (see --help)");
        } else {
            document = a;
        }
    }
    if (!batch) {
        return -1;
    }
    if (document.empty()) return fail("no document file given (see --help)");

    DocumentContents contents;
    FrameStore store;
    const FileResult loaded = loadDocument(document, contents, store, nullptr);
    if (!loaded.ok) {
        // A log read as a document only seems damaged.
        LogFormat format;
        std::error_code error;
        if (logFormatOf(fileKindOf(document), format) &&
            std::filesystem::is_regular_file(document, error)) {
            return fail(document + " is not a Korvane document but a log; --convert reads logs: " +
                        "Korvane --convert " + document + " DOC.krv");
        }
        return fail(loaded.error);
    }
    FilterState filter;
    const ApplicationFlags flags;
    FilterRebuild(filter, store, flags, contents.conditions,
                  contents.filterMode == 1 ? FilterMode::kHide : FilterMode::kShow);

    if (!exportPath.empty()) {
        const ExportResult result = exportText(exportPath, reading, filter.displayIndexList, store,
                                               std::time(nullptr), nullptr);
        if (!result.ok()) return fail("cannot write " + exportPath + ": " + result.detail);
    }
    if (!pdfPath.empty()) {
        // Printing needs the GUI libraries, but no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        int qtArgc = 1;
        QApplication application(qtArgc, argv);
        const DataListPrinter pages(reading, filter.displayIndexList, store,
                                    printBodyFont(reading));
        const DataListPrinter::FileResult printed = pages.printToPdf(pdfPath);
        if (!printed.ok) return fail("cannot print to " + pdfPath + ": " + printed.error);
    }
    return 0;
}
