#pragma once

// The program's string table: every user-visible text by its id. A language library may replace
// any of them while it is loaded.

#include <cstdint>
#include <string>
#include <vector>

namespace strings {

inline constexpr std::uint32_t kPleaseRestart = 119;
inline constexpr std::uint32_t kColumnCanIndex = 2001;
inline constexpr std::uint32_t kColumnTime = 2002;
inline constexpr std::uint32_t kColumnLoading = 2003;
inline constexpr std::uint32_t kColumnIdentifier = 2004;
inline constexpr std::uint32_t kColumnType = 2005;
inline constexpr std::uint32_t kColumnLength = 2006;
inline constexpr std::uint32_t kColumnData = 2007;
inline constexpr std::uint32_t kColumnDeviceNetIndex = 2008;
inline constexpr std::uint32_t kColumnGroup = 2009;
inline constexpr std::uint32_t kColumnSourceId = 2010;
inline constexpr std::uint32_t kColumnDestinationId = 2011;
inline constexpr std::uint32_t kColumnMessageId = 2012;
inline constexpr std::uint32_t kColumnDescription = 2013;
inline constexpr std::uint32_t kColumnCanOpenIndex = 2014;
inline constexpr std::uint32_t kColumnCobId = 2015;
inline constexpr std::uint32_t kColumnFCode = 2016;
inline constexpr std::uint32_t kColumnNodeId = 2017;
inline constexpr std::uint32_t kColumnCanOpenDescription = 2018;
inline constexpr std::uint32_t kDeviceError = 5000;
inline constexpr std::uint32_t kPrinterDcFailed = 5088;
inline constexpr std::uint32_t kCannotOpenFile = 5089;
inline constexpr std::uint32_t kCannotRunDevice = 5001;
inline constexpr std::uint32_t kCommunicationError = 5025;
inline constexpr std::uint32_t kFailToSetupDevice = 5026;
inline constexpr std::uint32_t kDeviceCapturing = 5123;
inline constexpr std::uint32_t kCannotCloseWindow = 5132;
inline constexpr std::uint32_t kStopDeviceFirst = 5133;
// The progress window of a long run on the worker.
inline constexpr std::uint32_t kCancelRun = 5600;
inline constexpr std::uint32_t kContentUpToStart = 5601;
inline constexpr std::uint32_t kPrinting = 5602;
inline constexpr std::uint32_t kInvalidData = 6000;
inline constexpr std::uint32_t kRemoteFrame = 6001;
inline constexpr std::uint32_t kStandard = 6002;
inline constexpr std::uint32_t kExtended = 6003;
inline constexpr std::uint32_t kExportingData = 7002;
inline constexpr std::uint32_t kSavingData = 7012;
inline constexpr std::uint32_t kLoadingData = 7013;
// Ours: texts the program shows that have no id of their own.
inline constexpr std::uint32_t kOutOfMemoryCaptureStopped = 5200;
inline constexpr std::uint32_t kProgramName = 5201;
inline constexpr std::uint32_t kSetupInformationCaption = 5202;
inline constexpr std::uint32_t kCannotCreateTwoDocuments = 5203;
inline constexpr std::uint32_t kErrorCaption = 5204;
inline constexpr std::uint32_t kPleaseWait = 5206;
inline constexpr std::uint32_t kCannotGetLanguage = 5207;
// Settings that could not be kept, and an adapter that must be set up again.
inline constexpr std::uint32_t kSettingsNotSaved = 5208;
inline constexpr std::uint32_t kAdapterNeedsSetup = 5209;
// The first hour: a lost adapter, unsaved frames, the close prompt.
inline constexpr std::uint32_t kAdapterLost = 5240;
inline constexpr std::uint32_t kClearUnsavedFrames = 5241;
inline constexpr std::uint32_t kAdapterLostStatus = 5242;
inline constexpr std::uint32_t kFramesLostPane = 5243;
inline constexpr std::uint32_t kSaveChanges = 5244;
inline constexpr std::uint32_t kCannotSaveDocument = 5245;
// A document with more chart windows than open at once.
inline constexpr std::uint32_t kChartWindowsLeftClosed = 5246;
// A chart window still reading a large store: frames read, frames in the store.
inline constexpr std::uint32_t kChartReadingFrames = 5680;
// Logs of other CAN tools.
inline constexpr std::uint32_t kLogLinesSkipped = 5260;
inline constexpr std::uint32_t kSkippedErrorFrame = 5261;  // one per reason, in reason order
inline constexpr std::uint32_t kLogCannotOpen = 5267;
inline constexpr std::uint32_t kLogCannotRead = 5268;
inline constexpr std::uint32_t kLogHoldsNoFrame = 5269;
inline constexpr std::uint32_t kLogOutOfMemory = 5270;
inline constexpr std::uint32_t kLogCannotWrite = 5271;
inline constexpr std::uint32_t kLogFramesLeftOut = 5272;
inline constexpr std::uint32_t kBadInterfaceName = 5273;
inline constexpr std::uint32_t kLogLineSkipped = 5280;  // the singular of kLogLinesSkipped
inline constexpr std::uint32_t kLogFrameMovedOn = 5281;
inline constexpr std::uint32_t kLogFramesMovedOn = 5282;
inline constexpr std::uint32_t kLogLooksUtf16 = 5283;
// The same said of a binary log's records (BLF, pcap), which have no lines.
inline constexpr std::uint32_t kLogRecordsSkipped = 5380;
inline constexpr std::uint32_t kLogRecordSkipped = 5381;
inline constexpr std::uint32_t kLogFrameMovedOnRecord = 5382;
inline constexpr std::uint32_t kLogFramesMovedOnRecord = 5383;
inline constexpr std::uint32_t kSkippedRecordTooLong = 5384;
// CAN databases and their signals.
inline constexpr std::uint32_t kCanDatabasesNode = 5470;
inline constexpr std::uint32_t kCanDatabaseNotAdded = 5471;
inline constexpr std::uint32_t kCanDatabaseConflicts = 5472;
inline constexpr std::uint32_t kCanDatabaseConflictLine = 5473;
inline constexpr std::uint32_t kCanDatabaseAdded = 5474;
inline constexpr std::uint32_t kDocumentDatabasesUnreadable = 5475;
inline constexpr std::uint32_t kSignalsColumn = 5476;
inline constexpr std::uint32_t kSignalHeaderName = 5477;
inline constexpr std::uint32_t kSignalHeaderValue = 5478;
inline constexpr std::uint32_t kSignalHeaderRaw = 5479;
inline constexpr std::uint32_t kSignalHeaderDescription = 5480;
inline constexpr std::uint32_t kSignalHeaderMinimum = 5481;
inline constexpr std::uint32_t kSignalHeaderMaximum = 5482;
inline constexpr std::uint32_t kSignalsFollow = 5483;
inline constexpr std::uint32_t kSignalsOfFrame = 5484;
inline constexpr std::uint32_t kSignalsNoFrameYet = 5485;
inline constexpr std::uint32_t kSignalsNotInDatabase = 5486;
inline constexpr std::uint32_t kSignalsNoDatabase = 5487;
inline constexpr std::uint32_t kCanDatabaseFiles = 5488;
inline constexpr std::uint32_t kSignalFilterHint = 5489;
inline constexpr std::uint32_t kSignalFilterNoDatabase = 5490;
inline constexpr std::uint32_t kSignalFilterBadLine = 5491;
inline constexpr std::uint32_t kSignalFilterSyntax = 5492;
inline constexpr std::uint32_t kSignalFilterUnknownMessage = 5493;
inline constexpr std::uint32_t kSignalFilterUnknownSignal = 5494;
inline constexpr std::uint32_t kSignalFilterUnknownLabel = 5495;
inline constexpr std::uint32_t kSignalFilterLabelOperator = 5496;
// The status bar while a command waits for the adapter's answer.
inline constexpr std::uint32_t kWaitingForAdapter = 5650;
// The filter dialogs' messages.
inline constexpr std::uint32_t kSameCondition = 5300;
inline constexpr std::uint32_t kIdentifierLengthHex = 5301;
inline constexpr std::uint32_t kInvalidCharacter = 5302;
inline constexpr std::uint32_t kIdentifierRangeStandardHex = 5303;
inline constexpr std::uint32_t kIdentifierRangeExtendedHex = 5304;
inline constexpr std::uint32_t kIdentifierLengthDecimal = 5305;
inline constexpr std::uint32_t kIdentifierRangeStandardDecimal = 5306;
inline constexpr std::uint32_t kIdentifierRangeExtendedDecimal = 5307;
inline constexpr std::uint32_t kByteRangeHex = 5308;
inline constexpr std::uint32_t kByteRangeDecimal = 5309;
inline constexpr std::uint32_t kMacCharacterHex = 5310;
inline constexpr std::uint32_t kMacRangeHex = 5311;
inline constexpr std::uint32_t kCharacterDecimal = 5312;
inline constexpr std::uint32_t kMacRangeDecimal = 5313;
inline constexpr std::uint32_t kCharacterHex = 5314;
inline constexpr std::uint32_t kIdRangeHex = 5315;      // "%02x": the limit
inline constexpr std::uint32_t kIdRangeDecimal = 5316;  // "%d": the limit
inline constexpr std::uint32_t kCobIdRangeHex = 5317;
inline constexpr std::uint32_t kCobIdInvalid = 5318;
inline constexpr std::uint32_t kCobIdRangeDecimal = 5319;
inline constexpr std::uint32_t kByteRangeHexCanOpen = 5320;
inline constexpr std::uint32_t kFilteringData = 5321;
// The bus overview: its window, the bus load over time and replaying onto the bus.
inline constexpr std::uint32_t kOverviewTitle = 5520;
inline constexpr std::uint32_t kOverviewColumnCount = 5521;
inline constexpr std::uint32_t kOverviewColumnMeanPeriod = 5522;
inline constexpr std::uint32_t kOverviewColumnMinPeriod = 5523;
inline constexpr std::uint32_t kOverviewColumnMaxPeriod = 5524;
inline constexpr std::uint32_t kOverviewOnlyFiltered = 5525;
inline constexpr std::uint32_t kOverviewFilterOn = 5526;
inline constexpr std::uint32_t kOverviewPlotBytes = 5527;
inline constexpr std::uint32_t kOverviewCopy = 5528;
inline constexpr std::uint32_t kOverviewSummary = 5529;  // %1 identifiers, %2 frames
inline constexpr std::uint32_t kOverviewReading = 5530;  // %1 percent taken so far
inline constexpr std::uint32_t kBusLoadTitle = 5535;
inline constexpr std::uint32_t kBusLoadSummary = 5536;  // %1 newest, %2 peak, %3 frames lost
inline constexpr std::uint32_t kBusLoadNoBaudRate = 5537;
inline constexpr std::uint32_t kReplayTitle = 5540;
inline constexpr std::uint32_t kReplayFramesGroup = 5541;
inline constexpr std::uint32_t kReplayAllFrames = 5542;
inline constexpr std::uint32_t kReplayShownRows = 5543;
inline constexpr std::uint32_t kReplayLogFile = 5544;
inline constexpr std::uint32_t kReplayBrowse = 5545;
inline constexpr std::uint32_t kReplaySpeed = 5546;
inline constexpr std::uint32_t kReplayOriginalTiming = 5547;
inline constexpr std::uint32_t kReplayAsFast = 5548;
inline constexpr std::uint32_t kReplayLoop = 5549;
inline constexpr std::uint32_t kReplayStart = 5550;
inline constexpr std::uint32_t kReplayStop = 5551;
inline constexpr std::uint32_t kReplayStatus = 5552;    // %1 pass, %2 frames sent
inline constexpr std::uint32_t kReplayNotSent = 5553;   // %1 in all, %2 refused, %3 unsendable
inline constexpr std::uint32_t kReplayFinished = 5554;  // %1 frames sent
inline constexpr std::uint32_t kReplayStopped = 5555;   // %1 frames sent
inline constexpr std::uint32_t kReplayFailed = 5556;    // %1 frames sent, %2 why
inline constexpr std::uint32_t kReplayNoFrames = 5557;
inline constexpr std::uint32_t kReplayNoLog = 5558;
inline constexpr std::uint32_t kReplayCannotOpenLog = 5559;  // %1 the file and why
inline constexpr std::uint32_t kReplayClose = 5560;
inline constexpr std::uint32_t kReplayLogFiles = 5561;
inline constexpr std::uint32_t kReplayStoppedForDocument = 5562;
inline constexpr std::uint32_t kOverviewColumnMessage = 5700;

// Every id the program's own table holds, in order.
[[nodiscard]] std::vector<std::uint32_t> ids();

// The text of `id` in the language in use; "" for an unknown id.
[[nodiscard]] std::string loadString(std::uint32_t id);

// A language library's table replaces the program's own while it is installed (null: the own).
using StringLookup = const char* (*)(std::uint32_t id);
void installStringLookup(StringLookup lookup);

}  // namespace strings
