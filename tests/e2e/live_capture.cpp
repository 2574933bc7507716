// live_capture OUT.krv [FRAMES]: captures the demo network through a driver host of its own, as
// a user does (Setup, Capture, Stop), and saves the capture as a document. The peer tests take
// their live capture from here.

#include "document/CDataDoc.h"
#include "device/DeviceSetup.h"
#include "tests/support/HostProcess.h"
#include "tests/support/ScriptedAdapter.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: live_capture OUT.krv [FRAMES]\n");
        return 2;
    }
    const std::uint32_t wanted = argc > 2 ? static_cast<std::uint32_t>(std::atoi(argv[2])) : 300;
    TempRuntimeDir dir;
    HostProcess host(ADP4021D_PATH, dir.path(), {"--quiet", "--source", "demo"});
    if (!host.ready()) {
        std::fprintf(stderr, "live_capture: the driver host did not start\n");
        return 1;
    }
    VexaLibraryDevice device;
    FrameStore store;
    CaptureState state;
    ApplicationFlags flags;
    DeviceSettings settings;
    MessageRecorder messages;
    DeviceCommands commands(device);
    DeviceSetup setup(commands, settings, state, messages, dir.path() + "/Configure.ini");
    setup.open();
    setup.searchAdapter();
    bool setUp = false;
    setup.ok([&](bool answer) { setUp = answer; });
    if (!setUp) {
        std::fprintf(stderr, "live_capture: the adapter refused its set-up\n");
        return 1;
    }
    {
        CDataDoc doc(device, store, state, flags, messages);
        doc.OnCapture();
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (store.count() < wanted && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        doc.OnStop();
    }
    if (store.count() < wanted) {
        std::fprintf(stderr, "live_capture: only %u frames\n", store.count());
        return 1;
    }
    DocumentContents contents;
    contents.baudRate = static_cast<std::uint32_t>(settings.baudRate);
    contents.deviceReady = 1;
    contents.dataListExists = 1;
    CurveWindowRecord dataList;
    dataList.flags = CurveWindowRecord::kDataList;
    dataList.name.set("dl");
    contents.windows.push_back(dataList);
    contents.extensions.anchors = state.anchors.snapshot();
    const FileResult saved = saveDocument(argv[1], contents, store, store.count(), nullptr);
    if (!saved.ok) {
        std::fprintf(stderr, "live_capture: %s\n", saved.error.c_str());
        return 1;
    }
    host.stop();
    return 0;
}
