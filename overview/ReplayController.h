#pragma once

// Functions > Replay... without its window: what the user chose (the document's frames, all or
// the rows the list shows, or a log file; the speed; once or looping), its check, the replay it
// starts on its own thread, and the texts that tell how far it came and what it could not send.
//
// The frames of the document are read on the replay's thread, so a replay of them must stop
// before the store is emptied or replaced (stopIfReadingStore); a log replay reads only its file.
//
// Thread: the user-interface thread (the replay itself runs on its own).

#include "capture/FrameStore.h"
#include "capture/VexaDevice.h"
#include "overview/ReplaySender.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ReplayChoice {
    enum class Source { kAllFrames, kShownRows, kLogFile };
    // The speeds offered, in the dialog's order; the last goes as fast as the bus takes.
    static constexpr double kSpeeds[] = {1.0, 0.5, 2.0, 5.0, 10.0, 0.0};
    static constexpr int kAsFastAsTheBusTakes = 5;

    Source source = Source::kAllFrames;
    std::string logPath;
    int speed = 0;  // index into kSpeeds
    bool loop = false;

    [[nodiscard]] ReplayOptions options() const;
};

class ReplayController {
public:
    explicit ReplayController(VexaDevice& device) : m_device(device) {}
    ~ReplayController();
    ReplayController(const ReplayController&) = delete;
    ReplayController& operator=(const ReplayController&) = delete;

    // Starts a replay of `choice`; `shownRows` are the store positions the list shows. Returns
    // the string id of the message that says why it did not start (with `detail` for %1), or 0.
    std::uint32_t start(const ReplayChoice& choice, const FrameStore& store,
                        std::vector<std::uint32_t> shownRows, unsigned baudKbps,
                        std::string& detail);
    // Stops the replay and waits for its thread (within one send).
    void stop();
    // Stops a replay of the document's frames; true when one was stopped.
    bool stopIfReadingStore();

    [[nodiscard]] bool running() const { return m_sender != nullptr && m_sender->running(); }
    // The progress of the last replay started; kReady when there was none.
    [[nodiscard]] ReplayProgress progress() const;
    // Tests keep time themselves.
    void setClockFactory(std::function<std::unique_ptr<ReplayClock>()> make) {
        m_makeClock = std::move(make);
    }

private:
    VexaDevice& m_device;
    std::unique_ptr<ReplaySender> m_sender;
    bool m_readsStore = false;
    std::function<std::unique_ptr<ReplayClock>()> m_makeClock;
};

// "Pass 2: 1234 frames sent" and how far the pass has come, while a replay runs.
[[nodiscard]] std::string replayStatusText(const ReplayProgress& progress);
// How the replay ended, once it has: finished, stopped or failed, and the frames sent.
[[nodiscard]] std::string replayEndText(const ReplayProgress& progress);
// The frames that could not be sent and why; empty when every frame went out.
[[nodiscard]] std::string replayNotSentText(const ReplayProgress& progress);
