#include "adapter/EmulatedAdapter.h"

#include "interop/BusTiming.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::uint64_t kLoadingWindowUs = 500'000;
constexpr std::size_t kRecordsPerBlock = 3;
constexpr std::size_t kBlocksPerRead = 6;

void appendDescriptor(std::vector<std::uint8_t>& out, const void* d, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + n);
    std::memcpy(out.data() + at, d, n);
}

// A frame item of a command: length (bit 7: extended), identifier, data, remote flag.
BusFrame unpackItem(const std::uint8_t* item) {
    BusFrame f;
    f.extended = (item[0] & 0x80) != 0;
    f.length = static_cast<std::uint8_t>(std::min(item[0] & 0x0F, 8));
    f.identifier = f.extended
                       ? (std::uint32_t{item[1]} & 0x1F) << 24 | std::uint32_t{item[2]} << 16 |
                             std::uint32_t{item[3]} << 8 | item[4]
                       : (std::uint32_t{item[1]} & 0x07) << 8 | item[2];
    std::memcpy(f.data, item + 5, 8);
    f.remote = item[13] == 1;
    return f;
}

}  // namespace

EmulatedAdapter::EmulatedAdapter(std::unique_ptr<BusSource> source, AdapterOptions options)
    : m_options(std::move(options)),
      m_powerOn(std::chrono::steady_clock::now()),
      m_source(std::move(source)) {
    if (!m_options.transferLogPath.empty()) {
        m_log = std::fopen(m_options.transferLogPath.c_str(), "w");
    }
    if (m_source) {
        m_source->powerOn(m_powerOn);
    }
    m_busThread = std::thread([this] { busLoop(); });
}

EmulatedAdapter::~EmulatedAdapter() {
    m_stop = true;
    m_busThread.join();
    detach();
    if (m_log != nullptr) {
        std::fclose(m_log);
    }
}

std::uint64_t EmulatedAdapter::nowUs() const {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                          std::chrono::steady_clock::now() - m_powerOn)
                                          .count());
}

std::vector<std::uint8_t> EmulatedAdapter::descriptor(UCHAR type, UCHAR index) {
    std::vector<std::uint8_t> out;
    if (type == USB_DEVICE_DESCRIPTOR_TYPE) {
        const USB_DEVICE_DESCRIPTOR d{
            18,     USB_DEVICE_DESCRIPTOR_TYPE, 0x0110, 0xFF, 0, 0, 64, 0x5A4B,
            0x4021, m_options.firmwareVersion,  0,      0,    0, 1};
        appendDescriptor(out, &d, sizeof d);
    } else if (type == USB_CONFIGURATION_DESCRIPTOR_TYPE && index == 0) {
        const std::uint8_t endpoints = m_options.dataEndpoint ? 3 : 2;
        const USB_CONFIGURATION_DESCRIPTOR c{9,
                                             USB_CONFIGURATION_DESCRIPTOR_TYPE,
                                             static_cast<std::uint16_t>(9 + 9 + 7 * endpoints),
                                             1,
                                             1,
                                             0,
                                             0x80,
                                             50};
        const USB_INTERFACE_DESCRIPTOR i{
            9, USB_INTERFACE_DESCRIPTOR_TYPE, 0, 0, endpoints, 0xFF, 0, 0, 0};
        const USB_ENDPOINT_DESCRIPTOR command{7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x01, 2, 64, 0};
        const USB_ENDPOINT_DESCRIPTOR reply{7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x81, 2, 64, 0};
        const USB_ENDPOINT_DESCRIPTOR data{7, USB_ENDPOINT_DESCRIPTOR_TYPE, 0x82, 2, 64, 0};
        appendDescriptor(out, &c, sizeof c);
        appendDescriptor(out, &i, sizeof i);
        appendDescriptor(out, &command, sizeof command);
        appendDescriptor(out, &reply, sizeof reply);
        if (m_options.dataEndpoint) {
            appendDescriptor(out, &data, sizeof data);
        }
    }
    return out;
}

bool EmulatedAdapter::selectConfiguration(UCHAR value) {
    if (value != 0 && value != 1) {
        return false;
    }
    std::lock_guard lock(m_mutex);
    m_configuration = value;
    return true;
}

void EmulatedAdapter::detach() {
    std::shared_ptr<UsbTransfer> reply;
    {
        std::lock_guard lock(m_mutex);
        m_present = false;
        reply = std::move(m_pendingReply);
    }
    if (reply) {
        reply->complete(USBD_STATUS_DEVICE_GONE);
    }
}

AdapterStats EmulatedAdapter::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

bool EmulatedAdapter::capturing() const {
    std::lock_guard lock(m_mutex);
    return m_capturing;
}

void EmulatedAdapter::log(const char* what, UCHAR endpoint, std::span<const std::uint8_t> bytes) {
    if (m_log == nullptr) {
        return;
    }
    std::string hex;
    hex.reserve(bytes.size() * 3);
    char two[4];
    for (std::uint8_t b : bytes) {
        std::snprintf(two, sizeof two, " %02X", b);
        hex += two;
    }
    std::fprintf(m_log, "%10.3f ms  EP 0x%02X %-3s %4zu:%s\n", static_cast<double>(nowUs()) / 1000,
                 endpoint, what, bytes.size(), hex.c_str());
    std::fflush(m_log);
}

void EmulatedAdapter::submit(std::shared_ptr<UsbTransfer> transfer) {
    const UCHAR endpoint = transfer->endpoint();
    if (!transfer->in()) {
        const auto bytes = transfer->outData();
        log("OUT", endpoint, bytes);
        std::shared_ptr<UsbTransfer> waitingReply;
        Block reply{};
        bool answer = false;
        // A real bus may take seconds to take a new rate. That wait happens outside the lock, so
        // the bus and the data reads go on meanwhile.
        bool sourceTakesSetup = true;
        if (endpoint == 0x01 && isValidSetup(bytes) && m_source) {
            sourceTakesSetup =
                m_source->configure(static_cast<std::uint16_t>(bytes[5] << 8 | bytes[6]), bytes[2]);
        }
        {
            std::lock_guard lock(m_mutex);
            if (endpoint == 0x01 && m_present) {
                reply = handleCommand(bytes, sourceTakesSetup);
                answer = !m_options.muteReplies;
                if (answer) {
                    // A parked read that timed out and was cancelled must not swallow the reply.
                    if (m_pendingReply && m_pendingReply->ended()) {
                        m_pendingReply.reset();
                    }
                    if (m_pendingReply) {
                        waitingReply = std::move(m_pendingReply);
                    } else {
                        // One reply waits for its read; a newer command's reply replaces it.
                        m_replies.clear();
                        m_replies.push_back(reply);
                    }
                }
            }
        }
        transfer->complete(USBD_STATUS_SUCCESS);
        if (waitingReply) {
            if (waitingReply->complete(USBD_STATUS_SUCCESS, reply)) {
                log("IN", 0x81, reply);
            } else {
                // Cancelled in the meantime: the reply waits for the next read instead.
                std::lock_guard lock(m_mutex);
                m_replies.clear();
                m_replies.push_back(reply);
            }
        }
        return;
    }
    if (endpoint == 0x81) {
        Block reply{};
        {
            std::lock_guard lock(m_mutex);
            if (m_replies.empty()) {
                // Waits for the next command's reply, or for cancellation.
                m_pendingReply = std::move(transfer);
                return;
            }
            reply = m_replies.front();
            m_replies.pop_front();
        }
        log("IN", endpoint, reply);
        transfer->complete(USBD_STATUS_SUCCESS, reply);
        return;
    }
    if (endpoint == 0x82) {
        const auto bytes = dataRead(transfer->length());
        if (!bytes.empty()) {
            log("IN", endpoint, bytes);
        }
        transfer->complete(USBD_STATUS_SUCCESS, bytes);
        return;
    }
    transfer->complete(USBD_STATUS_STALL_PID);
}

bool EmulatedAdapter::isValidSetup(std::span<const std::uint8_t> c) {
    return c.size() == 64 && c[0] == 0x01 && c[1] == 0x05 && c[2] <= 3 && c[3] <= 127 &&
           (c[7] == 1 || c[7] == 2);
}

EmulatedAdapter::Block EmulatedAdapter::handleCommand(std::span<const std::uint8_t> c,
                                                      bool sourceTakesSetup) {
    Block reply{};
    if (c.size() != 64) {
        reply[0] = static_cast<std::uint8_t>((c.empty() ? 0 : c[0]) | 0x80);
        return reply;  // byte 1 stays 0: failure
    }
    reply[0] = static_cast<std::uint8_t>(c[0] | 0x80);
    bool ok = false;
    switch (c[0]) {
        case 0x01:  // set up
            // A real bus under the adapter may refuse the rate or the mode (see BusSource).
            if (isValidSetup(c) && sourceTakesSetup) {
                m_workMode = c[2];
                m_nodeId = c[3];
                m_baudKbps = static_cast<std::uint16_t>(c[5] << 8 | c[6]);
                m_frameType = c[7];
                ok = true;
            }
            break;
        case 0x02:  // sending
            if (c[2] == 0x00 && c[1] >= 6 && c[1] <= 14) {
                ok = m_tx.size() < kTransmitFifoFrames;
                if (ok) {
                    m_tx.emplace_back(unpackItem(&c[3]), nowUs());
                }
            } else if (c[2] == 0x01 && c[1] == 0x39 && c[3] <= 1) {
                const std::uint8_t packet = c[3];
                m_cyclicMask[packet] = static_cast<std::uint8_t>(c[4] & 0x0F);
                for (int slot = 0; slot < 4; ++slot) {
                    m_cyclic[std::size_t{packet} * 4 + static_cast<std::size_t>(slot)] =
                        unpackItem(&c[5 + 14 * slot]);
                }
                if (packet == 0) {
                    m_interval = c[61];
                    m_cycle = c[62];
                    m_cyclicMask[1] = 0;  // a new set starts with packet 0
                }
                ok = true;
            } else if (c[2] == 0x02 && (c[3] == 0x01 || c[3] == 0x02)) {
                m_cyclicRunning = c[3] == 0x01;
                m_cyclicRounds = 0;
                m_cyclicTx.clear();
                m_cyclicNextUs = nowUs();
                ok = true;
            }
            break;
        case 0x03:  // capture
            if (c[1] == 0x01 && (c[2] == 0x01 || c[2] == 0x02)) {
                m_capturing = c[2] == 0x01;
                if (m_capturing) {
                    // A new capture begins with an empty receive buffer: frames kept from
                    // before it would show up as minutes-old data.
                    m_rx.clear();
                    m_lostSinceRead = 0;
                    if (m_source) m_source->captureStarted(nowUs());
                }
                ok = true;
            }
            break;
        case 0x04:  // information
            reply[1] = 0x06;
            reply[2] = m_capturing ? 1 : 2;
            reply[3] = m_nodeId;
            reply[4] = static_cast<std::uint8_t>(m_baudKbps >> 8);
            reply[5] = static_cast<std::uint8_t>(m_baudKbps);
            reply[6] = static_cast<std::uint8_t>(m_options.firmwareVersion >> 8);
            reply[7] = static_cast<std::uint8_t>(m_options.firmwareVersion);
            return reply;
        default:
            break;
    }
    reply[1] = ok ? 0x01 : 0x00;
    return reply;
}

std::vector<std::uint8_t> EmulatedAdapter::dataRead(ULONG length) {
    const std::size_t blocks = std::min<std::size_t>(kBlocksPerRead, length / 64);
    std::vector<std::uint8_t> out(blocks * 64, 0);
    std::lock_guard lock(m_mutex);
    const std::uint8_t lost =
        static_cast<std::uint8_t>(std::min<std::uint32_t>(m_lostSinceRead, 255));
    if (blocks > 0) {
        m_lostSinceRead = 0;
    }
    for (std::size_t b = 0; b < blocks; ++b) {
        std::uint8_t* block = &out[b * 64];
        for (std::size_t r = 0; r < kRecordsPerBlock; ++r) {
            std::uint8_t* rec = block + r * 19;
            if (m_rx.empty()) {
                rec[0] = 0x0F;  // empty: a length above 8 and 0xFF in byte 2
                rec[2] = 0xFF;
                continue;
            }
            const Received& x = m_rx.front();
            const BusFrame& f = x.frame;
            rec[0] = static_cast<std::uint8_t>((f.extended ? 0x80 : 0x00) | f.length);
            rec[1] = x.loading;
            rec[2] = static_cast<std::uint8_t>(x.millis >> 14);
            rec[3] = static_cast<std::uint8_t>(x.millis >> 6);
            rec[4] = static_cast<std::uint8_t>((x.millis & 0x3F) << 2 | (x.micros >> 8 & 0x03));
            rec[5] = static_cast<std::uint8_t>(x.micros);
            if (f.extended) {
                rec[6] = static_cast<std::uint8_t>(f.identifier >> 24);
                rec[7] = static_cast<std::uint8_t>(f.identifier >> 16);
                rec[8] = static_cast<std::uint8_t>(f.identifier >> 8);
                rec[9] = static_cast<std::uint8_t>(f.identifier);
            } else {
                rec[6] = static_cast<std::uint8_t>(f.identifier >> 8);
                rec[7] = static_cast<std::uint8_t>(f.identifier);
            }
            if (!f.remote) {
                std::memcpy(rec + 10, f.data, f.length);
            }
            rec[18] = f.remote ? 1 : 0;
            m_rx.pop_front();
            ++m_stats.framesDelivered;
        }
        block[57] = lost;
        block[58] = static_cast<std::uint8_t>(m_rx.size() * 100 / m_options.receiveBufferFrames);
    }
    return out;
}

void EmulatedAdapter::carry(const BusFrame& frame, std::uint64_t endUs, bool received) {
    if (!received) {
        ++m_stats.framesSent;
        if (m_source) {
            m_source->transmittedAt(frame, endUs);
        }
        return;
    }
    ++m_stats.framesOnBus;
    if (!m_capturing || m_configuration == 0) {
        return;
    }
    ++m_stats.framesOffered;
    if (m_rx.size() >= m_options.receiveBufferFrames) {
        ++m_stats.framesLost;
        ++m_lostSinceRead;
        return;
    }
    const std::uint64_t loading = loadingPercent(m_busyInWindowUs, kLoadingWindowUs);
    m_rx.push_back({frame, static_cast<std::uint32_t>(endUs / 1000 % kClockWrapMs),
                    static_cast<std::uint16_t>(endUs % 1000), static_cast<std::uint8_t>(loading)});
    ++m_stats.framesBuffered;
}

void EmulatedAdapter::runBus(std::uint64_t now) {
    m_turnFrames = 0;
    if (m_cyclicRunning) {
        const std::uint64_t interval = std::max<std::uint64_t>(m_interval, 1) * 1000;
        while (m_cyclicRunning && m_cyclicNextUs <= now) {
            // The bus first carries what it could before the round falls due; a round whose
            // predecessor still waits is skipped, so the queue never outgrows one round.
            if (!carryUntil(m_cyclicNextUs)) {
                return;  // the next turn goes on from here
            }
            if (m_cyclicTx.empty()) {
                for (int i = 0; i < 8; ++i) {
                    if ((m_cyclicMask[i / 4] >> (i % 4) & 1) != 0) {
                        m_cyclicTx.emplace_back(m_cyclic[static_cast<std::size_t>(i)],
                                                m_cyclicNextUs);
                    }
                }
                ++m_stats.cyclicRoundsSent;
            } else {
                ++m_stats.cyclicRoundsSkipped;
            }
            m_cyclicNextUs += interval;
            if (m_cycle != 0 && ++m_cyclicRounds >= m_cycle) {
                m_cyclicRunning = false;
            }
        }
    }
    carryUntil(now);
}

bool EmulatedAdapter::carryUntil(std::uint64_t now) {
    if (m_baudKbps == 0) {
        m_tx.clear();  // nothing moves on a bus without a bit rate
        m_cyclicTx.clear();
        return true;
    }
    // A real bus has timed its frames already; they only count towards the loading here.
    const bool live = m_source && m_source->live();
    for (;;) {
        if (m_turnFrames >= kFramesPerTurn) {
            return false;
        }
        BusFrame fromSource;
        std::uint64_t sourceAt = 0;
        const bool haveSource = !m_sourceDone && m_source && m_source->next(fromSource, sourceAt);
        if (!haveSource && m_source && !live) {
            m_sourceDone = true;
        }
        // Of the adapter's own frames, the earlier wish goes first; a manual frame wins a tie.
        auto* ownQueue = m_tx.empty() ? &m_cyclicTx
                         : m_cyclicTx.empty() || m_tx.front().second <= m_cyclicTx.front().second
                             ? &m_tx
                             : &m_cyclicTx;
        const bool haveTx = !ownQueue->empty();
        if (!haveSource && !haveTx) {
            return true;
        }
        // The earlier wish wins the bus; the adapter's own frames win a tie.
        const bool own = haveTx && (!haveSource || ownQueue->front().second <= sourceAt);
        const BusFrame& frame = own ? ownQueue->front().first : fromSource;
        const std::uint64_t wanted = own ? ownQueue->front().second : sourceAt;
        const std::uint64_t start = m_options.overdrive ? wanted : std::max(wanted, m_busFreeAtUs);
        const std::uint64_t duration =
            m_options.overdrive ? 0 : busTimeUs(frameBits(frame), m_baudKbps);
        const std::uint64_t end = live ? wanted : start + duration;
        if (end > now) {
            return true;
        }
        ++m_turnFrames;
        m_busFreeAtUs = std::max(m_busFreeAtUs, end);
        // A frame that takes no bus time (overdrive) adds nothing to the loading; keeping it
        // would grow the window without bound when every frame wants the same moment.
        if (duration > 0) {
            m_busy.emplace_back(end, duration);
            m_busyInWindowUs += duration;
        }
        while (!m_busy.empty() && m_busy.front().first + kLoadingWindowUs < end) {
            m_busyInWindowUs -= m_busy.front().second;
            m_busy.pop_front();
        }
        if (own) {
            carry(frame, end, false);
            ownQueue->pop_front();
        } else {
            carry(frame, end, true);
            m_source->pop();
        }
    }
}

void EmulatedAdapter::busLoop() {
    while (!m_stop.load()) {
        {
            std::lock_guard lock(m_mutex);
            if (m_present) {
                runBus(nowUs());
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}
