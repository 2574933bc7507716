#include "overview/ReplayController.h"

#include "interop/LogFrame.h"
#include "overview/LogReplaySource.h"
#include "overview/StoreReplaySource.h"
#include "resources/StringTable.h"

#include <cmath>
#include <initializer_list>

namespace {

// The string table's text with %1, %2, ... replaced, in one pass so that an argument holding
// "%2" stays as it is.
std::string fillIn(std::uint32_t id, std::initializer_list<std::string> args) {
    const std::string text = strings::loadString(id);
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (text[i] == '%' && next >= '1' && next <= '9' &&
            static_cast<std::size_t>(next - '1') < args.size()) {
            out += *(args.begin() + (next - '1'));
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string number(std::uint64_t n) {
    return std::to_string(n);
}

}  // namespace

ReplayOptions ReplayChoice::options() const {
    ReplayOptions o;
    const int at = speed >= 0 && speed < static_cast<int>(std::size(kSpeeds)) ? speed : 0;
    o.asFastAsTheBusTakes = at == kAsFastAsTheBusTakes;
    o.speed = o.asFastAsTheBusTakes ? 1.0 : kSpeeds[at];
    o.loop = loop;
    return o;
}

ReplayController::~ReplayController() {
    stop();
}

std::uint32_t ReplayController::start(const ReplayChoice& choice, const FrameStore& store,
                                      std::vector<std::uint32_t> shownRows, unsigned baudKbps,
                                      std::string& detail) {
    stop();
    std::unique_ptr<ReplaySource> source;
    switch (choice.source) {
        case ReplayChoice::Source::kAllFrames:
            if (store.count() == 0) return strings::kReplayNoFrames;
            source = std::make_unique<StoreReplaySource>(store);
            break;
        case ReplayChoice::Source::kShownRows: {
            auto rows = std::make_unique<StoreReplaySource>(store, std::move(shownRows));
            if (rows->total() == 0) return strings::kReplayNoFrames;
            source = std::move(rows);
            break;
        }
        case ReplayChoice::Source::kLogFile: {
            if (choice.logPath.empty()) return strings::kReplayNoLog;
            LogFormat format = LogFormat::kCandump;
            (void)logFormatOf(fileKindOf(choice.logPath), format);
            auto log = std::make_unique<LogReplaySource>(choice.logPath, format);
            if (!log->open()) {
                detail = choice.logPath + ": " + log->error();
                return strings::kReplayCannotOpenLog;
            }
            source = std::move(log);
            break;
        }
    }
    m_readsStore = choice.source != ReplayChoice::Source::kLogFile;
    ReplaySenderSettings settings;
    settings.baudKbps = baudKbps;
    m_sender = std::make_unique<ReplaySender>(m_device, std::move(source), choice.options(),
                                              settings, m_makeClock ? m_makeClock() : nullptr);
    m_sender->start();
    return 0;
}

void ReplayController::stop() {
    if (m_sender != nullptr) m_sender->stop();
}

bool ReplayController::stopIfReadingStore() {
    if (!m_readsStore || !running()) return false;
    stop();
    return true;
}

ReplayProgress ReplayController::progress() const {
    return m_sender != nullptr ? m_sender->progress() : ReplayProgress{};
}

std::string replayStatusText(const ReplayProgress& p) {
    return fillIn(strings::kReplayStatus,
                  {number(std::max<std::uint64_t>(p.pass, 1)), number(p.sent)});
}

std::string replayEndText(const ReplayProgress& p) {
    switch (p.state) {
        case ReplayProgress::State::kFinished:
            return fillIn(strings::kReplayFinished, {number(p.sent)});
        case ReplayProgress::State::kStopped:
            return fillIn(strings::kReplayStopped, {number(p.sent)});
        case ReplayProgress::State::kFailed:
            return fillIn(strings::kReplayFailed, {number(p.sent), p.error});
        default:
            return {};
    }
}

std::string replayNotSentText(const ReplayProgress& p) {
    if (p.notSent() == 0) return {};
    return fillIn(strings::kReplayNotSent,
                  {number(p.notSent()), number(p.refused), number(p.unsendable)});
}
