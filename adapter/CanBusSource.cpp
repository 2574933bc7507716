#include "adapter/CanBusSource.h"

#include "adapter/SocketCanLink.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QEventLoop>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <QVariant>

#include <cstring>
#include <future>
#include <mutex>
#include <optional>
#include <vector>

namespace {

QCanBusFrame toCanBusFrame(const BusFrame& f) {
    const int length = f.length > 8 ? 8 : f.length;
    QCanBusFrame out(f.identifier, f.remote
                                       ? QByteArray(length, '\0')
                                       : QByteArray(reinterpret_cast<const char*>(f.data), length));
    out.setExtendedFrameFormat(f.extended);
    if (f.remote) out.setFrameType(QCanBusFrame::RemoteRequestFrame);
    return out;
}

// Qt's virtual bus is served by its first member, whoever finds the port free, and the server
// passes on any line from any local process; one malformed line crashes the plugin. So we only
// ever join a bus that is already served (virtualcan_hub checks what it passes on), never serve
// it ourselves. False, with where we looked, when nothing listens there.
bool virtualBusServed(const std::string& interface, int timeoutMs, std::string& where) {
    QString host = QStringLiteral("127.0.0.1");
    int port = 35468;  // the plugin's own default
    const QUrl url(QString::fromStdString(interface));
    if (url.scheme() == QLatin1String("tcp")) {
        host = url.host();
        port = url.port(port);
    }
    where = host.toStdString() + ":" + std::to_string(port);
    QTcpSocket probe;
    probe.connectToHost(host, static_cast<quint16>(port));
    const bool served = probe.waitForConnected(timeoutMs);
    probe.abort();
    return served;
}

}  // namespace

class CanBusSource::Worker final : public QObject {
public:
    explicit Worker(CanBusSource& source)
        : m_source(source),
          m_name(source.m_options.plugin + ":" + source.m_options.interface),
          m_socketCan(source.m_options.plugin == "socketcan"),
          m_virtual(source.m_options.plugin == "virtualcan") {}

    // Everything below runs on the worker's thread.
    void create() {
        m_reopenTimer = new QTimer(this);
        m_reopenTimer->setInterval(m_source.m_options.reopenMs);
        connect(m_reopenTimer, &QTimer::timeout, this, &Worker::tryReopen);
        m_linkTimer = new QTimer(this);
        m_linkTimer->setInterval(m_source.m_options.linkCheckMs);
        connect(m_linkTimer, &QTimer::timeout, this, &Worker::checkLink);
    }

    void destroy() {
        m_reopenTimer->stop();
        m_linkTimer->stop();
        close();
        // Everything of ours goes on this thread; the worker itself is deleted on the owner's.
        qDeleteAll(children());
        m_reopenTimer = nullptr;
        m_linkTimer = nullptr;
    }

    bool open(std::string& error) {
        const auto& o = m_source.m_options;
        if (m_socketCan) {
            const SocketCanLink link = SocketCanLink::query(o.interface);
            if (!link.exists || !link.up) {
                error = "canbus " + m_name + ": " + o.interface +
                        (link.exists ? " is down" : " does not exist") +
                        " (bring it up with: ip link set " + o.interface +
                        " up type can bitrate 500000)";
                return false;
            }
        }
        std::string where;
        if (m_virtual && !virtualBusServed(o.interface, o.connectTimeoutMs, where)) {
            error = "canbus " + m_name + ": nothing serves the virtual bus at " + where +
                    "; start virtualcan_hub " + o.interface +
                    " first (the host never serves this unauthenticated bus itself)";
            return false;
        }
        QString why;
        m_device = QCanBus::instance()->createDevice(QString::fromStdString(o.plugin),
                                                     QString::fromStdString(o.interface), &why);
        if (m_device == nullptr) {
            error = "canbus " + m_name + ": " +
                    (why.isEmpty() ? std::string("no such plugin") : why.toStdString());
            return false;
        }
        m_device->setParent(this);
        if (m_socketCan) {
            // Error frames come to us to be counted.
            m_device->setConfigurationParameter(
                QCanBusDevice::ErrorFilterKey,
                QVariant::fromValue(QCanBusFrame::FrameErrors(QCanBusFrame::AnyError)));
        }
        if (m_bitRate != 0 && !m_socketCan && !m_virtual) {
            m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(m_bitRate));
        }
        connect(m_device, &QCanBusDevice::framesReceived, this, &Worker::onFrames);
        connect(m_device, &QCanBusDevice::errorOccurred, this, &Worker::onError);
        connect(m_device, &QCanBusDevice::stateChanged, this, &Worker::onState);
        if (!connectAndWait()) {
            error = "canbus " + m_name + ": " + m_device->errorString().toStdString();
            close();
            return false;
        }
        if (m_socketCan) m_linkTimer->start();
        return true;
    }

    bool configure(std::uint16_t baudKbps, std::uint8_t workMode) {
        const bool listenOnly = workMode == 1;
        const std::string kbps = std::to_string(baudKbps);
        if (baudKbps == 0) {
            m_source.log("canbus " + m_name + ": set-up refused: no bit rate given");
            return false;
        }
        if (m_device == nullptr) {
            m_source.log("canbus " + m_name + ": set-up refused: the interface is gone");
            return false;
        }
        if (m_virtual) {
            return true;  // a virtual bus has no bit timing and nobody to acknowledge
        }
        if (m_socketCan) {
            const std::string& i = m_source.m_options.interface;
            const SocketCanLink link = SocketCanLink::query(i);
            const std::string change = "ip link set " + i + " down; ip link set " + i +
                                       " up type can bitrate " + kbps + "000" +
                                       (listenOnly ? " listen-only on" : "");
            if (link.bitRate && *link.bitRate != baudKbps * 1000u) {
                m_source.log("canbus " + m_name + ": " + i + " runs at " +
                             std::to_string(*link.bitRate / 1000) +
                             " kbit/s as the system set it up; the adapter's set-up for " + kbps +
                             " kbit/s is refused. To change it: " + change);
                return false;
            }
            if (link.listenOnly && *link.listenOnly != listenOnly) {
                m_source.log("canbus " + m_name + ": " + i +
                             (*link.listenOnly ? " only listens" : " acknowledges frames") +
                             "; the adapter's set-up for " +
                             (listenOnly ? "listening only" : "acknowledging") +
                             " is refused. To change it: " + change);
                return false;
            }
            return true;
        }
        if (listenOnly) {
            m_source.log("canbus " + m_name + ": the " + m_source.m_options.plugin +
                         " plugin cannot listen without acknowledging; set-up refused");
            return false;
        }
        if (m_bitRate == baudKbps * 1000) return true;
        // The plugin takes a new rate only while disconnected.
        m_bitRate = baudKbps * 1000;
        m_reconnecting = true;
        m_device->disconnectDevice();
        m_device->setConfigurationParameter(QCanBusDevice::BitRateKey, QVariant(m_bitRate));
        const bool ok = connectAndWait();
        m_reconnecting = false;
        if (!ok) {
            m_source.log("canbus " + m_name + ": cannot run at " + kbps +
                         " kbit/s: " + m_device->errorString().toStdString());
            m_bitRate = 0;
            lose();
        }
        return ok;
    }

    void flushOutbox() {
        std::vector<BusFrame> frames;
        {
            std::lock_guard lock(m_outMutex);
            frames.swap(m_outbox);
        }
        std::uint64_t sent = 0;
        for (const BusFrame& f : frames) {
            if (m_device != nullptr && m_device->state() == QCanBusDevice::ConnectedState &&
                m_device->writeFrame(toCanBusFrame(f))) {
                ++sent;
            }
        }
        m_source.count(&LiveBusStats::framesSent, sent);
        m_source.count(&LiveBusStats::framesNotSent, frames.size() - sent);
    }

    // Any thread: queues a frame of the adapter's own; true when the worker needs a wake-up.
    bool queue(const BusFrame& frame) {
        std::lock_guard lock(m_outMutex);
        m_outbox.push_back(frame);
        return m_outbox.size() == 1;
    }

private:
    bool connectAndWait() {
        if (!m_device->connectDevice()) return false;
        if (m_device->state() == QCanBusDevice::ConnectingState) {
            QEventLoop wait;
            connect(m_device, &QCanBusDevice::stateChanged, &wait, &QEventLoop::quit);
            QTimer::singleShot(m_source.m_options.connectTimeoutMs, &wait, &QEventLoop::quit);
            wait.exec();
        }
        return m_device->state() == QCanBusDevice::ConnectedState;
    }

    void close() {
        if (m_device == nullptr) return;
        m_closing = true;
        m_device->disconnect(this);
        m_device->disconnectDevice();
        // We may be inside one of its signals.
        m_device->deleteLater();
        m_device = nullptr;
        m_closing = false;
    }

    void onFrames() {
        const Clock::time_point arrival = Clock::now();
        const auto wallNow = std::chrono::system_clock::now();
        while (m_device != nullptr && m_device->framesAvailable() > 0) {
            for (const QCanBusFrame& f : m_device->readAllFrames()) {
                take(f, arrival, wallNow);
            }
        }
    }

    void take(const QCanBusFrame& f, Clock::time_point arrival,
              std::chrono::system_clock::time_point wallNow) {
        BusFrame b;
        switch (fromCanBus(f, b)) {
            case Heard::ErrorFrame:
                m_source.count(&LiveBusStats::errorFrames);
                return;
            case Heard::NotCarried:
                m_source.count(&LiveBusStats::framesSkipped);
                return;
            case Heard::Frame:
                m_source.deliver(b, endedAt(f, arrival, wallNow));
                return;
        }
    }

    // SocketCAN stamps each frame in the kernel as it comes; that is closer to the bus than the
    // moment we read it. Other plugins' stamps are the arrival, as far as we can tell.
    Clock::time_point endedAt(const QCanBusFrame& f, Clock::time_point arrival,
                              std::chrono::system_clock::time_point wallNow) const {
        if (!m_socketCan) return arrival;
        const auto stamp = std::chrono::system_clock::time_point(
            std::chrono::seconds(f.timeStamp().seconds()) +
            std::chrono::microseconds(f.timeStamp().microSeconds()));
        const auto age = wallNow - stamp;
        if (age < std::chrono::seconds(0) || age > std::chrono::seconds(1)) return arrival;
        return arrival - std::chrono::duration_cast<Clock::duration>(age);
    }

    void onError(QCanBusDevice::CanBusError error) {
        if (m_closing || m_reconnecting) return;
        if (error == QCanBusDevice::ConnectionError || error == QCanBusDevice::ReadError) {
            if (!m_socketCan) {
                lose();
            } else {
                checkLink();
            }
        }
    }

    void onState(QCanBusDevice::CanBusDeviceState state) {
        if (!m_closing && !m_reconnecting && state == QCanBusDevice::UnconnectedState) {
            lose();
        }
    }

    void checkLink() {
        const SocketCanLink link = SocketCanLink::query(m_source.m_options.interface);
        if (!link.exists || !link.up) lose();
    }

    void lose() {
        if (m_device == nullptr) return;
        m_linkTimer->stop();
        close();
        m_source.setPresent(false);
        m_source.log("canbus " + m_name + ": the interface is gone");
        m_reopenTimer->start();
    }

    void tryReopen() {
        std::string error;
        if (open(error)) {
            m_reopenTimer->stop();
            m_source.log("canbus " + m_name + ": the interface is back");
            m_source.setPresent(true);
        }
    }

    CanBusSource& m_source;
    const std::string m_name;
    const bool m_socketCan;
    const bool m_virtual;
    QCanBusDevice* m_device = nullptr;
    QTimer* m_reopenTimer = nullptr;
    QTimer* m_linkTimer = nullptr;
    std::uint32_t m_bitRate = 0;  // bit/s we set; 0 while the plugin keeps its own
    bool m_closing = false;
    bool m_reconnecting = false;
    std::mutex m_outMutex;
    std::vector<BusFrame> m_outbox;
};

CanBusSource::Heard CanBusSource::fromCanBus(const QCanBusFrame& f, BusFrame& out) {
    switch (f.frameType()) {
        case QCanBusFrame::ErrorFrame:
            return Heard::ErrorFrame;
        case QCanBusFrame::DataFrame:
        case QCanBusFrame::RemoteRequestFrame:
            break;
        default:
            return Heard::NotCarried;
    }
    const QByteArray payload = f.payload();
    if (!f.isValid() || f.hasFlexibleDataRateFormat() || payload.size() > 8) {
        return Heard::NotCarried;
    }
    out = BusFrame{};
    out.identifier = f.frameId();
    out.extended = f.hasExtendedFrameFormat();
    out.remote = f.frameType() == QCanBusFrame::RemoteRequestFrame;
    out.length = static_cast<std::uint8_t>(payload.size());
    if (!out.remote) {
        std::memcpy(out.data, payload.constData(), static_cast<std::size_t>(payload.size()));
    }
    return Heard::Frame;
}

CanBusSource::CanBusSource(Options options, Log log)
    : LiveBusSource(std::move(log)), m_options(std::move(options)) {}

CanBusSource::~CanBusSource() {
    m_worker.stop();
}

bool CanBusSource::start(std::string& error) {
    m_worker.start(QStringLiteral("canbus"), std::make_unique<Worker>(*this));
    bool opened = false;
    m_worker.call([&opened, &error](Worker& w) {
        w.create();
        opened = w.open(error);
    });
    setPresent(opened);
    return opened;
}

bool CanBusSource::configure(std::uint16_t baudKbps, std::uint8_t workMode) {
    if (!m_worker) return false;
    const auto done = m_worker.callWithin<bool>(
        [baudKbps, workMode](Worker& w) { return w.configure(baudKbps, workMode); },
        std::chrono::milliseconds(m_options.connectTimeoutMs + 500));
    if (!done) {
        log("canbus " + m_options.plugin + ":" + m_options.interface + ": set-up took too long");
        return false;
    }
    return *done;
}

void CanBusSource::transmitted(const BusFrame& frame) {
    if (m_worker && m_worker->queue(frame)) {
        m_worker.post([](Worker& w) { w.flushOutbox(); });
    }
}
