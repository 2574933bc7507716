#include "devapi/VexaApi.h"

#include "devapi/Blocks.h"
#include "platform/devio/DeviceInterfaces.h"
#include "platform/devio/DeviceIo.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <unistd.h>

using devio::HANDLE;
using devio::INVALID_HANDLE_VALUE;

namespace {

constexpr std::size_t kMaxInterfaces = 128;
constexpr std::size_t kMaxPath = 260;
constexpr int kMaxReadsPerBatch = 5;

// The three channels are atomics because RecvData reads the data channel on the capture thread
// while Vexa_INIT or a failed channel check may replace it on another thread. Vexa_INIT may run
// on any thread (the program opens the device off its window's thread), but never alongside
// another Vexa_INIT or a command: the paths and turn-taking files below are plain globals.
std::atomic<HANDLE> g_command{INVALID_HANDLE_VALUE};
std::atomic<HANDLE> g_reply{INVALID_HANDLE_VALUE};
std::atomic<HANDLE> g_data{INVALID_HANDLE_VALUE};

// A command and its reply travel on different handles, and the adapter cannot tell whose reply is
// whose. Programs sharing an adapter therefore take turns, one whole exchange at a time, through a
// lock file beside the device's socket (a process that dies lets go of it with its descriptors).
// A second file is the line in front of it: whoever waits for the lock holds the line, so a
// program that ends an exchange cannot take the lock straight back while another one waits.
int g_exchangeLock = -1;
int g_exchangeLine = -1;

// Paths found by the last discovery, each with room for a channel suffix.
std::array<std::array<char, kMaxPath>, kMaxInterfaces> g_paths;
std::size_t g_pathCount = 0;

void closeChannel(std::atomic<HANDLE>& channel) {
    const HANDLE h = channel.exchange(INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) {
        devio::CloseHandle(h);
    }
}

void closeAllChannels() {
    closeChannel(g_command);
    closeChannel(g_reply);
    closeChannel(g_data);
}

bool channelsValid() {
    if (g_command.load() != INVALID_HANDLE_VALUE && g_reply.load() != INVALID_HANDLE_VALUE &&
        g_data.load() != INVALID_HANDLE_VALUE) {
        return true;
    }
    closeAllChannels();
    return false;
}

// Takes `fd`'s lock, trying until the call's deadline.
bool lockWithinDeadline(int fd) {
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            return true;
        }
        if ((errno != EWOULDBLOCK && errno != EINTR) || devio::callTimeLeftMs() <= 0) {
            return false;
        }
        ::poll(nullptr, 0, 1);
    }
}

class ExchangeTurn {
public:
    ExchangeTurn() {
        if (g_exchangeLock < 0 || g_exchangeLine < 0) {
            m_held = true;  // nothing to share the adapter with is known
            return;
        }
        if (!lockWithinDeadline(g_exchangeLine)) {
            return;
        }
        m_held = lockWithinDeadline(g_exchangeLock);
        ::flock(g_exchangeLine, LOCK_UN);
    }
    ~ExchangeTurn() {
        if (m_held && g_exchangeLock >= 0) {
            ::flock(g_exchangeLock, LOCK_UN);
        }
    }
    ExchangeTurn(const ExchangeTurn&) = delete;
    ExchangeTurn& operator=(const ExchangeTurn&) = delete;
    [[nodiscard]] bool held() const { return m_held; }

private:
    bool m_held = false;
};

int openLockFile(const std::string& path) {
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void openExchangeLock(const char* interfacePath) {
    for (int* fd : {&g_exchangeLock, &g_exchangeLine}) {
        if (*fd >= 0) {
            ::close(*fd);
            *fd = -1;
        }
    }
    g_exchangeLock = openLockFile(std::string(interfacePath) + ".lock");
    g_exchangeLine = openLockFile(std::string(interfacePath) + ".line");
}

void discoverInterfaces() {
    g_pathCount = 0;
    const devio::DeviceInterfaceSet set(vexa::kInterfaceClass);
    if (!set.valid() && !set.error().empty()) {
        // The library keeps no error code; this refusal must not pass unnoticed.
        std::fprintf(stderr, "VexaApi: %s\n", set.error().c_str());
    }
    std::string path;
    for (unsigned index = 0; g_pathCount < kMaxInterfaces; ++index) {
        if (set.enumInterface(index, path) != devio::EnumStatus::kOk) {
            break;
        }
        // A path that would not fit with its suffix could never be opened: skip it.
        if (path.size() + sizeof vexa::kCommandSuffix > kMaxPath) {
            continue;
        }
        std::memcpy(g_paths[g_pathCount].data(), path.c_str(), path.size() + 1);
        ++g_pathCount;
    }
}

HANDLE openChannel(const char* base, const char* suffix) {
    std::array<char, kMaxPath> full{};
    std::snprintf(full.data(), full.size(), "%s%s", base, suffix);
    return devio::CreateFileA(full.data());
}

// Writes a command block and reads its reply; only a whole 64-byte reply that echoes the command
// counts.
bool transact(const vexa::Block& command, vexa::Block* replyOut = nullptr) {
    vexa::Block reply{};
    const HANDLE cmd = g_command.load();
    const HANDLE rep = g_reply.load();
    if (cmd == INVALID_HANDLE_VALUE || rep == INVALID_HANDLE_VALUE) {
        return false;
    }
    const ExchangeTurn turn;
    if (!turn.held()) {
        return false;
    }
    std::uint32_t returned = 0;
    if (!devio::DeviceIoControl(cmd, vexa::kIoctlWriteCommand, command.data(), vexa::kBlockSize,
                                nullptr, 0, &returned)) {
        return false;
    }
    returned = 0;
    if (!devio::DeviceIoControl(rep, vexa::kIoctlReadReply, nullptr, 0, reply.data(),
                                vexa::kBlockSize, &returned) ||
        returned != vexa::kBlockSize) {
        return false;
    }
    if (!vexa::replyMatches(command, reply)) {
        return false;
    }
    if (replyOut != nullptr) {
        *replyOut = reply;
    }
    return true;
}

VexaBool checkedTransact(const vexa::Block& command) {
    return channelsValid() && transact(command) ? 1 : 0;
}

}  // namespace

extern "C" {

VexaBool Vexa_INIT(void) {
    const devio::CallDeadline deadline;
    discoverInterfaces();
    if (g_pathCount == 0) {
        return 0;
    }
    // A repeated call replaces the channels; the old ones are closed so their connections do
    // not pile up in the driver host (a read in flight on the old data channel fails).
    closeAllChannels();
    const char* base = g_paths[0].data();
    openExchangeLock(base);
    const HANDLE command = openChannel(base, vexa::kCommandSuffix);
    const HANDLE reply = openChannel(base, vexa::kReplySuffix);
    const HANDLE data = openChannel(base, vexa::kDataSuffix);
    g_command.store(command);
    g_reply.store(reply);
    g_data.store(data);
    if (command != INVALID_HANDLE_VALUE && reply != INVALID_HANDLE_VALUE &&
        data != INVALID_HANDLE_VALUE) {
        return 1;
    }
    closeAllChannels();
    return 0;
}

VexaBool SetVexa(int32_t nodeId, int32_t baudRate, int32_t workMode, int32_t frameType) {
    const devio::CallDeadline deadline;
    if (nodeId < 0 || nodeId > 127 || baudRate < 0 || baudRate > 1023 || workMode < 0 ||
        workMode > 3 || (frameType != 1 && frameType != 2)) {
        return 0;
    }
    return checkedTransact(vexa::setupBlock(
        static_cast<std::uint8_t>(nodeId), static_cast<std::uint16_t>(baudRate),
        static_cast<std::uint8_t>(workMode), static_cast<std::uint8_t>(frameType)));
}

VexaBool RunVexa(void) {
    const devio::CallDeadline deadline;
    return checkedTransact(vexa::captureBlock(true));
}

VexaBool StopVexa(void) {
    const devio::CallDeadline deadline;
    return checkedTransact(vexa::captureBlock(false));
}

VexaBool SendSingleData(TxMessage message) {
    const devio::CallDeadline deadline;
    if (!vexa::isValidMessage(message)) {
        return 0;
    }
    return checkedTransact(vexa::singleSendBlock(message));
}

VexaBool SetMultiData(const TxMessage* messages, int32_t count, int32_t interval, int32_t cycle) {
    const devio::CallDeadline deadline;
    if (count < 0 || count > 8 || interval < 0 || interval > 255 || cycle < 0 || cycle > 255) {
        return 0;
    }
    if (count > 0 && messages == nullptr) {
        return 0;
    }
    // Every message is checked before anything is sent, so a bad message never leaves half a
    // set loaded in the adapter.
    for (int32_t i = 0; i < count; ++i) {
        if (!vexa::isValidMessage(messages[i])) {
            return 0;
        }
    }
    if (!channelsValid()) {
        return 0;
    }
    for (const auto& packet :
         vexa::cyclicSetPackets(messages, count, static_cast<std::uint8_t>(interval),
                                static_cast<std::uint8_t>(cycle))) {
        if (!transact(packet)) {
            return 0;
        }
    }
    return 1;
}

VexaBool RunMultiData(void) {
    const devio::CallDeadline deadline;
    return checkedTransact(vexa::cyclicControlBlock(true));
}

VexaBool StopMultiData(void) {
    const devio::CallDeadline deadline;
    return checkedTransact(vexa::cyclicControlBlock(false));
}

VexaBool RecvData(int32_t* statusA, int32_t* statusB, int32_t* count, ReceivedFrame* frames) {
    const devio::CallDeadline deadline;
    if (statusA == nullptr || statusB == nullptr || count == nullptr || frames == nullptr) {
        return 0;
    }
    const HANDLE data = g_data.load();
    if (data == INVALID_HANDLE_VALUE) {
        return 0;
    }
    std::array<std::uint8_t, vexa::kDataReadSize> batch{};
    std::uint32_t got = 0;
    for (int reads = 0; reads < kMaxReadsPerBatch && got < batch.size(); ++reads) {
        std::uint32_t n = 0;
        if (!devio::ReadFile(data, batch.data() + got,
                             static_cast<std::uint32_t>(batch.size()) - got, &n)) {
            return 0;
        }
        got += n;
    }
    if (got < batch.size()) {
        return 0;
    }
    const vexa::DecodedRead decoded = vexa::decodeDataRead(batch.data(), frames);
    *statusA = decoded.statusA;
    *statusB = decoded.statusB;
    *count = decoded.count;
    return 1;
}

VexaBool GetVexaInfo(int32_t* status, int32_t* mode, int32_t* nodeId, int32_t* baudRate,
                     int32_t* version) {
    const devio::CallDeadline deadline;
    if (!channelsValid()) {
        return 0;
    }
    vexa::Block reply{};
    if (!transact(vexa::infoBlock(), &reply)) {
        return 0;
    }
    const vexa::AdapterInfo info = vexa::unpackInfo(reply);
    if (status != nullptr) *status = info.status;
    if (mode != nullptr) *mode = 0;  // the reply carries no work mode
    if (nodeId != nullptr) *nodeId = info.nodeId;
    if (baudRate != nullptr) *baudRate = info.baudRate;
    if (version != nullptr) *version = info.version;
    return 1;
}

// The single-value wrappers answer 0 for success and 1 for failure.
VexaBool GetVexaStatus(int32_t* status) {
    return GetVexaInfo(status, nullptr, nullptr, nullptr, nullptr) ? 0 : 1;
}

VexaBool GetMode(int32_t* mode) {
    return GetVexaInfo(nullptr, mode, nullptr, nullptr, nullptr) ? 0 : 1;
}

VexaBool GetNodeID(int32_t* nodeId) {
    return GetVexaInfo(nullptr, nullptr, nodeId, nullptr, nullptr) ? 0 : 1;
}

VexaBool GetBaudrate(int32_t* baudRate) {
    return GetVexaInfo(nullptr, nullptr, nullptr, baudRate, nullptr) ? 0 : 1;
}

VexaBool GetVexaVersion(int32_t* version) {
    return GetVexaInfo(nullptr, nullptr, nullptr, nullptr, version) ? 0 : 1;
}

}  // extern "C"
