#include "resources/StringTable.h"

#include "resources/CommandIds.h"

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
    {kDeviceError,
     "Device error,\n\nPlease check:\n1-The connection of the device.\n2-The configuration of "
     "the device."},
    {kCannotRunDevice, "Can't make the device run ,\nPlease try it again."},
    {kCommunicationError, "ADP4021 communication error."},
    {kFailToSetupDevice,
     "Fail to setup the device.\n\nPlease check:\n1.The connection of ADP4021."},
    {kPrinterDcFailed, "Could not create printer DC"},
    {kCannotOpenFile, "error occurs when opening the file ."},
    {kDeviceCapturing, "The device is capturing data,please stop it before."},
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
    {kAdapterLost,
     "The connection to the adapter was lost: capturing has stopped.\nThe frames captured so far "
     "are kept."},
    {kClearUnsavedFrames, "The captured frames are not saved.\nClear them all the same?"},
    {kAdapterLostStatus, "Connection to the adapter lost"},
    {kFramesLostPane, "Lost: %1"},
    {kSaveChanges, "Save changes to %1?"},
    {kCannotSaveDocument,
     "The document could not be saved: %1\nThe file that was there is unchanged."},
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
    {ID_FUNCTIONS_EXPORT, "Export the rows of the data list to a text file\nExport"},
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
