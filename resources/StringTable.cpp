#include "resources/StringTable.h"

#include "resources/CommandIds.h"
#include "resources/CurveStrings.h"

#include <algorithm>
#include <atomic>
#include <iterator>

namespace strings {

namespace {

struct Entry {
    std::uint32_t id;
    const char* text;
};

// The program's own (English) texts, sorted by id. Command prompts follow the convention
// "status bar prompt\ntool tip".
constexpr Entry kTable[] = {
    {kPleaseRestart, "Please restart %1"},
    {kColumnCanIndex, "CAN-Index"},
    {kColumnTime, "Time(m-s-ms-us)"},
    {kColumnLoading, "Loading(%)"},
    {kColumnIdentifier, "Identifier"},
    {kColumnType, "Type"},
    {kColumnLength, "Length"},
    {kColumnData, "Data"},
    {kColumnDeviceNetIndex, "DeviceNet-Index"},
    {kColumnGroup, "Group"},
    {kColumnSourceId, "Source ID"},
    {kColumnDestinationId, "Destination ID"},
    {kColumnMessageId, "Message ID"},
    {kColumnDescription, "Description"},
    {kColumnCanOpenIndex, "CANopen-Index"},
    {kColumnCobId, "COB-ID"},
    {kColumnFCode, "FCode"},
    {kColumnNodeId, "Node-ID"},
    {kColumnCanOpenDescription, "Description"},
    {2020, "Index"},
    {kDeviceError,
     "Device error,\n\nPlease check:\n1-The connection of the device.\n2-The configuration of "
     "the device."},
    {kCannotRunDevice, "Can't make the device run ,\nPlease try it again."},
    {5002, "Send MultiCAN Data \\\"Stop\\\" command error."},
    {5003, "There is no data to transmit.\n\nPlease download the data to the device first."},
    {5004,
     "Sending multidata failed.,\n\nPlease check:\n1-The connection of the device.\n2-The "
     "configuration of the device."},
    {5005, "The value must be in the range of 0 ~ 0XFF."},
    {5006, "Invalid character."},
    {5007, "The value must be in the range of 0 ~ 255."},
    {5008, "Invalid character."},
    {5009, "Maximum value of data is 8."},
    {5010,
     "Downloading data failed.\n\nPlease check:\n1 The connection of device;\n2 The "
     "configuration of the device;"},
    {5011, "There is no valid data to download."},
    {5016, "The identifier must be in the range of 0 ~ 0X7FF.\""},
    {5017, "The identifier must be in the range of 0 ~ 0X1FFFFFFF."},
    {5018, "Invalid character."},
    {5019, "The identifier must be less than 8 characters."},
    {5020, "The identifier must be in the range of 0 ~ 2047."},
    {5021, "The identifier must be in the range of 0 ~ 536870911."},
    {5022, "Invalid character."},
    {5023, "The identifier must be less than 9 characters."},
    {kCommunicationError, "ADP4021 communication error."},
    {kFailToSetupDevice,
     "Fail to setup the device.\n\nPlease check:\n1.The connection of ADP4021."},
    {5074, "The value must be in the range of 0 ~ 0XFF."},
    {5075, "Invalid character."},
    {5076, "The value must be in the range of 0 ~ 255."},
    {5077, "Invalid character."},
    {5078,
     "Sending the first message failed.\n\nPlease check:\n1.The connection of ADP4021.\n2.The "
     "configuration of ADP4021."},
    {5079,
     "Sending the second message failed.\n\nPlease check:\n1.The connection of ADP4021.\n2.The "
     "configuration of ADP4021."},
    {5080, "The identifier must be in the range of 0 ~ 0X7FF."},
    {5081, "The identifier must be in the range of  0 ~ 0X1FFFFFFF."},
    {5082, "Invalid character."},
    {5083, "The identifier must be less than 8 characters."},
    {5084, "The identifier must be in the range of  0 ~ 2047."},
    {5085, "The identifier must be in the range of  0 ~ 536870911."},
    {5086, "Invalid character."},
    {5087, "The identifier must be less than 9 characters."},
    {kPrinterDcFailed, "Could not create printer DC"},
    {kCannotOpenFile, "error occurs when opening the file ."},
    {kTimeCaption, "[m-s-ms]"},
    {5116, "Index"},
    {5117, "Name"},
    {5118, "IDN(Hex)"},
    {5119, "Show"},
    {5120, "Color"},
    {5121, "Y axis resolution"},
    {5122, "Interval(ms) and Cycle(ms) must be larger 0."},
    {kDeviceCapturing, "The device is capturing data,please stop it before."},
    {5124, "Index"},
    {5125, "Name"},
    {5126, "Sync(Hex)"},
    {5127, "X-IDN(Hex)"},
    {5128, "Y-IDN(Hex)"},
    {5129, "Show"},
    {5130, "Color"},
    {5131, "Resolution"},
    {kCannotCloseWindow, "You cann't close this window."},
    {kStopDeviceFirst, "Please stop the device first."},
    {kOutOfMemoryCaptureStopped,
     "Out of memory: capturing has stopped.\nThe frames captured so far are kept; save them, "
     "then clear the list to capture again."},
    {kProgramName, "Korvane"},
    {kSetupInformationCaption, "Setup Information"},
    {kCannotCreateTwoDocuments, "You can't create two document!"},
    {kErrorCaption, "error"},
    {kPleaseWait, "Please wait ......"},
    {kCannotGetLanguage, "***Error: Cannot get right language code!"},
    {kSettingsNotSaved, "The settings could not be saved: %1"},
    {kAdapterNeedsSetup, "The adapter did not start: set it up again with Options > Setup"},
    {5230, "Send Failed"},
    {5231, "Send failed"},
    {kAdapterLost,
     "The connection to the adapter was lost: capturing has stopped.\nThe frames captured so far "
     "are kept."},
    {kClearUnsavedFrames, "The captured frames are not saved.\nClear them all the same?"},
    {kAdapterLostStatus, "Connection to the adapter lost"},
    {kFramesLostPane, "Lost: %1"},
    {kSaveChanges, "Save changes to %1?"},
    {kCannotSaveDocument,
     "The document could not be saved: %1\nThe file that was there is unchanged."},
    {kChartWindowsLeftClosed,
     "%1 of the document's %2 chart windows are open; double-click a name under y(t) or y(x) "
     "to open its window."},
    {kLogLinesSkipped,
     "%1 lines of the log were skipped (%2).\nThe first skipped line is line %3: %4."},
    {kSkippedErrorFrame, "error frame"},
    {kSkippedErrorFrame + 1, "CAN FD frame"},
    {kSkippedErrorFrame + 2, "not a CAN frame"},
    {kSkippedErrorFrame + 3, "does not parse"},
    {kSkippedErrorFrame + 4, "too long"},
    {kSkippedErrorFrame + 5, "cut short at the end of the file"},
    {kLogCannotOpen, "The log cannot be opened:\n%1"},
    {kLogCannotRead, "The log cannot be read to its end, so it was not imported:\n%1"},
    {kLogHoldsNoFrame, "The file holds no CAN frame that can be imported.\n%1"},
    {kLogOutOfMemory, "Out of memory: the log was not imported."},
    {kLogCannotWrite, "The log could not be written: %1\nThe file that was there is unchanged."},
    {kLogFramesLeftOut, "%1 frames were left out: their identifiers do not fit their format."},
    {kBadInterfaceName,
     "The interface name must have 1 to 15 letters, digits, '_', '-' or '.'."},
    {kLogLineSkipped, "%1 line of the log was skipped (%2).\nThe skipped line is line %3: %4."},
    {kLogFrameMovedOn,
     "%1 frame of the log goes back in time: it was given the time of the frame before it "
     "(line %2)."},
    {kLogFramesMovedOn,
     "%1 frames of the log go back in time: each was given the time of the frame before it.\n"
     "The first is line %2."},
    {kLogLooksUtf16,
     "The file looks like UTF-16 text; logs are read as ASCII or UTF-8. Save it in one of these "
     "and import it again."},
    {kSameCondition, "There is one item in the same condition."},
    {kIdentifierLengthHex, "The identifier must be less than 8 characters."},
    {kInvalidCharacter, "Invalid character."},
    {kIdentifierRangeStandardHex, "The identifier must be in the range of 0 ~ 0X7FF."},
    {kIdentifierRangeExtendedHex, "The identifier must be in the range of 0 ~ 0X1FFFFFFF."},
    {kIdentifierLengthDecimal, "The identifier must be less than 9 characters."},
    {kIdentifierRangeStandardDecimal, "The identifier must be in the range of 0 ~ 2047."},
    {kIdentifierRangeExtendedDecimal, "The identifier must be in the range of 0 ~ 536870911."},
    {kByteRangeHex, "The value must be in the range of 0 ~ 0XFF."},
    {kByteRangeDecimal, "The value must be in the range of 0 ~ 255."},
    {kMacCharacterHex, "The char must be in the range of 0 ~ F."},
    {kMacRangeHex, "The ID data must be in the range of 0 ~ 0X3F"},
    {kCharacterDecimal, "The character must be in the range of 0 ~ 9."},
    {kMacRangeDecimal, "The ID data must be in the range of 0 ~ 63"},
    {kCharacterHex, "The character must be in the range of 0 ~ F."},
    {kIdRangeHex, "The ID data must be in the range of 0 ~ 0X%02x"},
    {kIdRangeDecimal, "The ID data must be in the range of 0 ~ %d"},
    {kCobIdRangeHex, "The COB-ID must be in the range of 0 ~ 0X7FF."},
    {kCobIdInvalid, "%x,The COB-ID string is invalid."},
    {kCobIdRangeDecimal, "The COB-ID must be in the range of 0 ~ 2047."},
    {kByteRangeHexCanOpen, "The value must be in the range of 0 ~ 0XFF!"},
    {kFilteringData, "Filtering data"},
    {kMaxFourCurves, "This view supports max 4 curves."},
    {kNameInvalid, "The name is invalid."},
    {kSameCurveName, "The curve with the same name already has,\tplease input another name."},
    {kXIdentifierInvalid, "The identifier of x axis is invalid."},
    {kYIdentifierInvalid, "The identifier of y axis is invalid."},
    {kYMinimumInvalid, "The minimum value of y axis is invalid."},
    {kYOrgInvalid, "Value of Y org is invalid."},
    {kXMinimumInvalid, "The minimum value of x axis is invalid."},
    {kXOrgInvalid, "Value of X org is invalid."},
    {kResolutionBlank, "The resolution cann't be blank."},
    {kTimescopeInvalid, "The minimum value for timescope is invalid."},
    {kNoMoreThanFourBytes, "No more than four bytes for the data."},
    {kSyncInvalid, "The value of synchronizing signal is invalid."},
    {kMustInputName, "You must input a name."},
    {kDeleteViewQuestion, "Are you sure to delete the view?"},
    {kInputAnotherName, "Please input another name."},
    {kNoChartWindow, "Activate a chart window first."},
    {kLogRecordsSkipped,
     "%1 records of the log were skipped (%2).\nThe first skipped record is record %3: %4."},
    {kLogRecordSkipped,
     "%1 record of the log was skipped (%2).\nThe skipped record is record %3: %4."},
    {kLogFrameMovedOnRecord,
     "%1 frame of the log goes back in time: it was given the time of the frame before it "
     "(record %2)."},
    {kLogFramesMovedOnRecord,
     "%1 frames of the log go back in time: each was given the time of the frame before it.\n"
     "The first is record %2."},
    {kSkippedRecordTooLong, "too long"},
    {kCanDatabasesNode, "CAN databases"},
    {kCanDatabaseNotAdded, "The CAN database %1 was not added:\n%2"},
    {kCanDatabaseConflicts,
     "%1 names identifiers that a database added before it names too; the earlier one decodes "
     "them:\n%2"},
    {kCanDatabaseConflictLine, "%1 %2: %3 of %4"},
    {kCanDatabaseAdded, "CAN database %1 added: %2 messages"},
    {kDocumentDatabasesUnreadable,
     "The document's CAN databases could not be read (%1).\nThey stay in the file as they are "
     "unless a database is added."},
    {kSignalsColumn, "Signals"},
    {kSignalHeaderName, "Signal"},
    {kSignalHeaderValue, "Value"},
    {kSignalHeaderRaw, "Raw"},
    {kSignalHeaderDescription, "Description"},
    {kSignalHeaderMinimum, "Minimum"},
    {kSignalHeaderMaximum, "Maximum"},
    {kSignalsFollow, "Newest frame of:"},
    {kSignalsOfFrame, "%1 (%2), frame %3"},
    {kSignalsNoFrameYet, "No frame of %1 yet"},
    {kSignalsNotInDatabase, "No database names this frame (%1)"},
    {kSignalsNoDatabase,
     "Add a CAN database with File > Add CAN Database... to see the signals of a frame."},
    {kCanDatabaseFiles, "CAN Databases (*.dbc)"},
    {kSignalFilterHint,
     "One condition per line: a message name, or a signal and a range (EngineSpeed > 3000, 2500 "
     "<= EngineSpeed < 3000, Gear == Drive)."},
    {kSignalFilterNoDatabase, "Add a CAN database to filter by its messages and signals."},
    {kSignalFilterBadLine, "Line %1 of the signal conditions: %2"},
    {kSignalFilterSyntax,
     "write a message name, or a signal, an operator (< <= > >= == !=) and a value"},
    {kSignalFilterUnknownMessage, "no database names a message %1"},
    {kSignalFilterUnknownSignal, "no database names a signal %1"},
    {kSignalFilterUnknownLabel, "%1 has no value described as %2"},
    {kSignalFilterLabelOperator, "a value description (%2) is compared with == or != only"},
    {kInvalidData, "Invalid data"},
    {kRemoteFrame, "Remote Frame"},
    {kStandard, "Standard"},
    {kExtended, "Extended"},
    {6004, "CANIndex Time(m-s-ms-us) Loading(%) IDN    Type  Len   Data"},
    {6005,
     "DNIndex Time(m-s-ms-us) Ld(%) IDN Type Grp Src Des Msg Description                       "
     "Len   Data"},
    {6006,
     "CopIndex Time(m-s-ms-us) Loading(%) IDN    Type   FC   NID   Description         Len   Data"},
    {kExportingData, "Exporting data"},
    {7003, "Message comes from Korvane software."},
    {7004, "Korvane CAN-bus monitor and analyser for the ADP4021 USB-to-CAN adapter."},
    {7005, "Date/time: "},
    {7006, "Message amount: %d"},
    {7007, "CANIndex   Time(m-s-ms-us) Loading(%) IDN Type Len    Data"},
    {7008,
     "DVIndex Time(m-s-ms-us) Loading(%) IDN Type Grp Src Des Msg Description                    "
     "                               Len   Data"},
    {7009, "CopIndex Time(m-s-ms-us) Loading(%) IDN Type FC NID    Description      Len Data"},
    {7010, "Data captured by Korvane"},
    {7011, "End of message logs."},
    {kSavingData, "Saving data"},
    {kLoadingData, "Loading data"},
    {10001, "Name"},
    {10002, "Axis"},
    {10003, "Color"},
    {10004, "Show"},
    {10005, "IDN"},
    {10006, "MouseValue"},
    {10007, "MinValue"},
    {10008, "MinIndex"},
    {10009, "MaxValue"},
    {10010, "MaxIndex"},
    {kEnable, "Enable"},
    {kDisable, "Disable"},
    {ID_FUNCTIONS_EXPORT, "Output the data in .txt format\nExport"},
    {ID_FUNCTIONS_CAPTURE, "Start capturing frames from the bus\nCapture"},
    {ID_FUNCTIONS_STOP, "Stop capturing\nStop"},
    {ID_FUNCTIONS_MANUAL_MESSAGE, "Send frames typed by hand\nManual Message"},
    {ID_FUNCTIONS_CLEARALL, "Remove every captured frame\nClear All"},
    {ID_AUTO_CONFIGURE, "Configure the cyclic set\nConfigure"},
    {ID_AUTO_START, "Start cyclic sending\nStart"},
    {ID_AUTO_STOP, "Stop cyclic sending\nStop"},
    {ID_OPTIONS_SETUP, "Set up the adapter\nSetup"},
    {ID_DATALIST_CAN, "Read the frames as CAN\nCAN"},
    {ID_DATALIST_DEVICENET, "Read the frames as DeviceNet\nDeviceNet"},
    {ID_DATALIST_CANOPEN, "Read the frames as CANopen\nCANopen"},
    {ID_DATALIST_FILTER, "Filter the frames of the data list\nFilter"},
    {ID_OPTIONS_DEVICE_INFORMATION, "Show the adapter's state and firmware\nDevice Information"},
    {ID_HELP_TOPICS, "Open the help\nHelp Topics"},
    {ID_FILE_IMPORT_LOG, "Make a new document of a candump, ASC, BLF or pcap log\nImport"},
    {ID_FILE_EXPORT_LOG, "Write the frames as a candump, ASC, BLF or pcap log\nExport As Log"},
    {ID_DATALIST_FOLLOW,
     "Keep the newest row in view while frames arrive (End resumes)\nFollow Newest Row"},
    {ID_FILE_NEW, "Create a new document\nNew"},
    {ID_FILE_OPEN, "Open an existing document\nOpen"},
    {ID_FILE_SAVE, "Save the active document\nSave"},
    {ID_FILE_PRINT, "Print the rows of the data list\nPrint"},
    {ID_EDIT_COPY, "Copy the selected rows as text lines\nCopy Rows"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit the application\nExit"},
};
static_assert(std::is_sorted(std::begin(kTable), std::end(kTable),
                             [](const Entry& a, const Entry& b) { return a.id < b.id; }));

std::atomic<StringLookup> g_lookup{nullptr};

}  // namespace

std::string loadString(std::uint32_t id) {
    if (const StringLookup lookup = g_lookup.load()) {
        if (const char* text = lookup(id)) {
            return text;
        }
    }
    const auto it = std::lower_bound(std::begin(kTable), std::end(kTable), id,
                                     [](const Entry& e, std::uint32_t v) { return e.id < v; });
    return it != std::end(kTable) && it->id == id ? it->text : "";
}

std::vector<std::uint32_t> ids() {
    std::vector<std::uint32_t> all;
    for (const Entry& e : kTable) all.push_back(e.id);
    return all;
}

void installStringLookup(StringLookup lookup) {
    g_lookup.store(lookup);
}

}  // namespace strings
