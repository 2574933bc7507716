#include "adapter/SlcanSource.h"

#include "adapter/SlcanCodec.h"

#include <QSerialPort>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <deque>
#include <future>
#include <mutex>
#include <optional>
#include <vector>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr int kLoggedNotes = 20;

// A command as the log shows it.
std::string shown(const std::string& command) {
    std::string out;
    for (char c : command) {
        if (c == '\r') break;
        out += c;
    }
    return out;
}

}  // namespace

class SlcanSource::Worker final : public QObject {
public:
    enum class Answer { Done, Refused, None };

    explicit Worker(SlcanSource& source) : m_source(source) {}

    // Everything below runs on the worker's thread.
    void create() {
        m_port = new QSerialPort(this);
        m_statusTimer = new QTimer(this);
        m_reopenTimer = new QTimer(this);
        m_statusTimer->setInterval(m_source.m_options.statusPollMs);
        m_reopenTimer->setInterval(m_source.m_options.reopenMs);
        connect(m_port, &QSerialPort::readyRead, this, &Worker::onReadyRead);
        connect(m_port, &QSerialPort::errorOccurred, this, &Worker::onError);
        connect(m_statusTimer, &QTimer::timeout, this, &Worker::pollStatus);
        connect(m_reopenTimer, &QTimer::timeout, this, &Worker::tryReopen);
    }

    void destroy() {
        m_statusTimer->stop();
        m_reopenTimer->stop();
        unwatch();
        if (m_port->isOpen()) {
            // Leaves the adapter off the bus, as it was before we came.
            m_port->write("C\r");
            m_port->waitForBytesWritten(100);
            m_port->close();
        }
        // Everything of ours goes on this thread; the worker itself is deleted on the owner's.
        qDeleteAll(children());
        m_port = nullptr;
        m_statusTimer = nullptr;
        m_reopenTimer = nullptr;
    }

    bool open(std::string& error) {
        const auto& o = m_source.m_options;
        m_port->setPortName(QString::fromStdString(o.device));
        m_port->setBaudRate(o.lineBaud);
        m_port->setDataBits(QSerialPort::Data8);
        m_port->setParity(QSerialPort::NoParity);
        m_port->setStopBits(QSerialPort::OneStop);
        m_port->setFlowControl(QSerialPort::NoFlowControl);
        if (!m_port->open(QIODevice::ReadWrite)) {
            error = "cannot open " + o.device + ": " + m_port->errorString().toStdString();
            return false;
        }
        m_port->clear();
        m_codec = SlcanCodec{};
        m_timeline.reset();
        m_pending.clear();
        m_channelOpen = false;
        // Whatever a previous user left open is closed; a closed channel may refuse "C".
        if (exchange("C\r") == Answer::None) {
            error = o.device + " does not answer the slcan command C";
            m_port->close();
            return false;
        }
        SlcanCodec::Line reply;
        if (exchange("V\r", &reply) == Answer::Done) {
            m_source.log("slcan " + o.device + ": version " + reply.text);
        }
        if (exchange("N\r", &reply) == Answer::Done) {
            m_source.log("slcan " + o.device + ": serial number " + reply.text);
        }
        watch();
        return true;
    }

    bool configure(std::uint16_t baudKbps, std::uint8_t workMode) {
        const std::string& device = m_source.m_options.device;
        const auto digit = SlcanCodec::bitRateDigit(baudKbps);
        if (!digit) {
            m_source.log("slcan " + device + ": " + std::to_string(baudKbps) +
                         " kbit/s refused: an slcan adapter runs at 10, 20, 50, 100, 125, 250, "
                         "500, 800 or 1000 kbit/s");
            return false;
        }
        if (!m_port->isOpen()) {
            m_source.log("slcan " + device + ": set-up refused: the adapter is gone");
            return false;
        }
        m_statusTimer->stop();
        m_channelOpen = false;
        const bool listenOnly = workMode == 1;
        if (exchange("C\r") == Answer::None ||
            exchange(std::string("S") + *digit + "\r") != Answer::Done) {
            m_source.log("slcan " + device + ": the adapter does not take " +
                         std::to_string(baudKbps) + " kbit/s (S" + *digit + ")");
            return false;
        }
        m_stamped = exchange("Z1\r") == Answer::Done;
        if (!m_stamped) {
            m_source.log("slcan " + device +
                         ": no time stamps from the adapter; frames take their arrival time");
        }
        if (exchange(listenOnly ? "L\r" : "O\r") != Answer::Done) {
            m_source.log("slcan " + device + ": the adapter does not open its channel");
            return false;
        }
        m_channelOpen = true;
        m_listenOnly = listenOnly;
        m_timeline.reset();
        m_statusTimer->start();
        m_source.log("slcan " + device + ": on the bus at " + std::to_string(baudKbps) +
                     " kbit/s, " + (listenOnly ? "listening only" : "acknowledging"));
        return true;
    }

    void flushOutbox() {
        std::vector<BusFrame> frames;
        {
            std::lock_guard lock(m_outMutex);
            frames.swap(m_outbox);
        }
        if (!m_port->isOpen() || !m_channelOpen || m_listenOnly) {
            m_source.count(&LiveBusStats::framesNotSent, frames.size());
            return;
        }
        for (const BusFrame& f : frames) {
            post(SlcanCodec::encode(f));
        }
        m_source.count(&LiveBusStats::framesSent, frames.size());
    }

    // Any thread: queues a frame of the adapter's own; true when the worker needs a wake-up.
    bool queue(const BusFrame& frame) {
        std::lock_guard lock(m_outMutex);
        m_outbox.push_back(frame);
        return m_outbox.size() == 1;
    }

private:
    struct Pending {
        int id;
        std::string command;
        Clock::time_point sentAt;
    };

    int post(const std::string& command) {
        const int id = m_nextId++;
        m_port->write(command.data(), static_cast<qint64>(command.size()));
        m_port->flush();
        m_pending.push_back({id, command, Clock::now()});
        return id;
    }

    // Sends a command and waits for its answer, taking whatever else comes meanwhile.
    Answer exchange(const std::string& command, SlcanCodec::Line* reply = nullptr) {
        if (!m_port->isOpen()) return Answer::None;
        m_waitingFor = post(command);
        m_answered = false;
        const auto deadline =
            Clock::now() + std::chrono::milliseconds(m_source.m_options.replyTimeoutMs);
        while (!m_answered && m_port->isOpen()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) break;
            m_port->waitForReadyRead(static_cast<int>(left.count()));
        }
        const int id = m_waitingFor;
        m_waitingFor = 0;
        if (!m_answered) {
            std::erase_if(m_pending, [id](const Pending& p) { return p.id == id; });
            m_source.log("slcan " + m_source.m_options.device + ": no answer to " + shown(command));
            return Answer::None;
        }
        if (m_answer.kind == SlcanCodec::Kind::Error) return Answer::Refused;
        if (reply != nullptr) *reply = m_answer;
        return Answer::Done;
    }

    void onReadyRead() {
        const QByteArray bytes = m_port->readAll();
        const Clock::time_point arrival = Clock::now();
        m_lines.clear();
        m_codec.feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                     m_lines);
        for (const auto& line : m_lines) {
            handle(line, arrival);
        }
        expire(arrival);
    }

    void handle(const SlcanCodec::Line& line, Clock::time_point arrival) {
        using Kind = SlcanCodec::Kind;
        switch (line.kind) {
            case Kind::Frame:
                m_source.deliver(line.frame, line.timeMs && m_stamped
                                                 ? m_timeline.place(*line.timeMs, arrival)
                                                 : arrival);
                return;
            case Kind::Malformed:
                reject(line.text);
                return;
            default:
                break;
        }
        if (m_pending.empty()) {
            reject("a reply to no command");
            return;
        }
        const Pending p = m_pending.front();
        m_pending.pop_front();
        if (line.kind == Kind::Error) {
            m_source.count(&LiveBusStats::errorReplies);
            if (p.id != m_waitingFor) {
                note(shown(p.command) + " refused");
            }
        }
        if (line.kind == Kind::Status &&
            (line.status & (SlcanCodec::kDataOverrun | SlcanCodec::kReceiveQueueFull)) != 0) {
            m_source.count(&LiveBusStats::overruns);
            char flags[8];
            std::snprintf(flags, sizeof flags, "%02X", line.status);
            m_source.log("slcan " + m_source.m_options.device +
                         ": the adapter lost frames before they reached us (status " + flags + ")");
        }
        if (p.id == m_waitingFor) {
            m_answered = true;
            m_answer = line;
        }
    }

    void reject(const std::string& why) {
        m_source.count(&LiveBusStats::linesRejected);
        note("line skipped: " + why);
    }

    // A noisy adapter must not flood the log: the first few are written, the rest counted.
    void note(const std::string& what) {
        if (++m_notesLogged <= kLoggedNotes) {
            m_source.log("slcan " + m_source.m_options.device + ": " + what +
                         (m_notesLogged == kLoggedNotes ? " (further ones are only counted)" : ""));
        }
    }

    // Commands the adapter never answered stop waiting for their answers.
    void expire(Clock::time_point now) {
        const auto limit = std::chrono::milliseconds(m_source.m_options.replyTimeoutMs);
        while (!m_pending.empty() && m_pending.front().id != m_waitingFor &&
               now - m_pending.front().sentAt > limit) {
            m_pending.pop_front();
        }
    }

    void pollStatus() {
        if (m_port->isOpen() && m_channelOpen) {
            expire(Clock::now());
            post("F\r");
        }
    }

    // A device that went away (unplugged, its pseudo-terminal closed) hangs up: the port then
    // reads end of file for ever, which the port neither reports nor stops polling for, and
    // nothing would notice until a command is written. We watch the line on a second
    // descriptor of our own.
    void watch() {
        m_watchFd = ::dup(static_cast<int>(m_port->handle()));
        if (m_watchFd < 0) return;
        m_hangUpWatch = new QSocketNotifier(m_watchFd, QSocketNotifier::Read, this);
        connect(m_hangUpWatch, &QSocketNotifier::activated, this, &Worker::checkHangUp);
    }

    void unwatch() {
        if (m_hangUpWatch != nullptr) {
            m_hangUpWatch->setEnabled(false);
            m_hangUpWatch->deleteLater();  // we may be inside its signal
            m_hangUpWatch = nullptr;
        }
        if (m_watchFd >= 0) {
            ::close(m_watchFd);
            m_watchFd = -1;
        }
    }

    void checkHangUp() {
        pollfd p{m_watchFd, POLLIN, 0};
        if (m_watchFd < 0 || ::poll(&p, 1, 0) <= 0) return;
        bool gone = (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if (!gone && (p.revents & POLLIN) != 0) {
            // Readable with nothing to read is end of file.
            int waiting = 0;
            gone = ::ioctl(m_watchFd, FIONREAD, &waiting) == 0 && waiting == 0;
        }
        if (gone) lose();
    }

    void onError(QSerialPort::SerialPortError error) {
        if (error != QSerialPort::ResourceError) return;
        lose();
    }

    void lose() {
        if (!m_port->isOpen()) return;
        unwatch();
        m_port->close();
        m_pending.clear();
        m_channelOpen = false;
        m_statusTimer->stop();
        m_source.setPresent(false);
        m_source.log("slcan " + m_source.m_options.device + ": the adapter is gone");
        m_reopenTimer->start();
    }

    void tryReopen() {
        std::string error;
        if (open(error)) {
            m_reopenTimer->stop();
            m_source.log("slcan " + m_source.m_options.device + ": the adapter is back");
            m_source.setPresent(true);
        }
    }

    SlcanSource& m_source;
    QSerialPort* m_port = nullptr;
    QTimer* m_statusTimer = nullptr;
    QTimer* m_reopenTimer = nullptr;
    QSocketNotifier* m_hangUpWatch = nullptr;
    int m_watchFd = -1;
    SlcanCodec m_codec;
    SlcanTimeline m_timeline;
    std::vector<SlcanCodec::Line> m_lines;
    std::deque<Pending> m_pending;
    int m_nextId = 1;
    int m_waitingFor = 0;
    bool m_answered = false;
    SlcanCodec::Line m_answer;
    bool m_channelOpen = false;
    bool m_listenOnly = false;
    bool m_stamped = false;
    int m_notesLogged = 0;
    std::mutex m_outMutex;
    std::vector<BusFrame> m_outbox;
};

SlcanSource::SlcanSource(Options options, Log log)
    : LiveBusSource(std::move(log)), m_options(std::move(options)) {}

SlcanSource::~SlcanSource() {
    m_worker.stop();
}

bool SlcanSource::start(std::string& error) {
    m_worker.start(QStringLiteral("slcan"), std::make_unique<Worker>(*this));
    m_worker.call([](Worker& w) { w.create(); });
    bool opened = false;
    m_worker.call([&opened, &error](Worker& w) { opened = w.open(error); });
    setPresent(opened);
    return opened;
}

bool SlcanSource::configure(std::uint16_t baudKbps, std::uint8_t workMode) {
    if (!m_worker) return false;
    // Four commands and their answers; well within the driver's patience for a command.
    const auto done = m_worker.callWithin<bool>(
        [baudKbps, workMode](Worker& w) { return w.configure(baudKbps, workMode); },
        std::chrono::milliseconds(4 * m_options.replyTimeoutMs + 500));
    if (!done) {
        log("slcan " + m_options.device + ": set-up took too long");
        return false;
    }
    return *done;
}

void SlcanSource::transmitted(const BusFrame& frame) {
    if (m_worker && m_worker->queue(frame)) {
        m_worker.post([](Worker& w) { w.flushOutbox(); });
    }
}
