#pragma once

// The state the whole program shares for as long as it runs: the frame store, the capture state,
// the application flags, the filter, the adapter's settings, the Hex/Decimal choice and the
// document's CAN databases. One instance, owned by the application object.

#include "candb/CanDatabaseSet.h"
#include "candb/SignalCurves.h"
#include "candb/SignalFilter.h"
#include "capture/CaptureState.h"
#include "capture/FrameStore.h"
#include "device/DeviceSettings.h"
#include "filters/AdvancedIdentifier.h"
#include "filters/FilterState.h"
#include "framework/BackgroundTask.h"

struct ProgramState {
    FrameStore store;
    CaptureState capture;
    ApplicationFlags flags;
    FilterState filter;
    DeviceSettings device;
    bool hexDisplay = true;  // the dialogs enter and show numbers in hexadecimal
    AdvancedIdentifierClicks advancedIdClicks;  // the CAN filter's bit states, kept between openings
    CanDatabaseSet databases;
    SignalCurves signalCurves;  // the chart windows' curves that take a database signal
    SignalFilterList signalFilter;  // the filter's conditions on database signals, as typed
    // The one long run of the document (open, save, import, export, print). While it is busy the
    // window's thread neither clears nor swaps the store nor changes the shown rows, which the
    // run may be reading; capture keeps appending. Last, so it is gone before what it reads.
    BackgroundTask work;
};
