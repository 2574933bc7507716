#include "driver/host/RealBusHost.h"

#include "adapter/CanBusSource.h"
#include "adapter/SlcanSource.h"

#include <QCanBus>
#include <QCoreApplication>
#include <QSerialPortInfo>

#include <chrono>
#include <cstdlib>

namespace {

constexpr char kCanBus[] = "canbus:";
constexpr char kSlcan[] = "slcan:";

// An adapter's own handle on a bus that outlives it: a re-plugged adapter gets a new one.
class SharedBusSource final : public BusSource {
public:
    explicit SharedBusSource(std::shared_ptr<BusSource> bus) : m_bus(std::move(bus)) {}
    bool next(BusFrame& frame, std::uint64_t& wantedAtUs) override {
        return m_bus->next(frame, wantedAtUs);
    }
    void pop() override { m_bus->pop(); }
    void transmitted(const BusFrame& frame) override { m_bus->transmitted(frame); }
    [[nodiscard]] bool live() const override { return m_bus->live(); }
    void powerOn(std::chrono::steady_clock::time_point at) override { m_bus->powerOn(at); }
    [[nodiscard]] bool configure(std::uint16_t baudKbps, std::uint8_t workMode) override {
        return m_bus->configure(baudKbps, workMode);
    }
    [[nodiscard]] bool present() const override { return m_bus->present(); }

private:
    std::shared_ptr<BusSource> m_bus;
};

bool isTestBus(const std::string& plugin) {
    return QString::fromStdString(plugin).compare(QLatin1String("virtualcan"),
                                                  Qt::CaseInsensitive) == 0;
}

std::shared_ptr<LiveBusSource> openBus(const std::string& bus, bool allowTestBus,
                                       std::string& error) {
    if (bus.rfind(kCanBus, 0) == 0) {
        const std::string rest = bus.substr(sizeof kCanBus - 1);
        const auto colon = rest.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) {
            error = "expected canbus:PLUGIN:INTERFACE, e.g. canbus:socketcan:can0";
            return nullptr;
        }
        CanBusSource::Options o;
        o.plugin = rest.substr(0, colon);
        o.interface = rest.substr(colon + 1);
        if (isTestBus(o.plugin) && !allowTestBus) {
            error =
                "canbus:virtualcan is Qt's virtual CAN bus, a test bus without "
                "authentication: any local process can put frames on it, and one malformed "
                "line from any of them crashes the plugin and this host with it. To use it "
                "for tests anyway, add --unauthenticated-test-bus (see --help)";
            return nullptr;
        }
        auto source = std::make_shared<CanBusSource>(o, nullptr);
        return source->start(error) ? source : nullptr;
    }
    SlcanSource::Options o;
    o.device = bus.substr(sizeof kSlcan - 1);
    const auto comma = o.device.rfind(",baud=");
    if (comma != std::string::npos) {
        const std::string value = o.device.substr(comma + 6);
        char* end = nullptr;
        const long baud = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || baud < 1200 || baud > 4'000'000) {
            error = "the serial line's baud rate must be 1200 to 4000000";
            return nullptr;
        }
        o.lineBaud = static_cast<std::int32_t>(baud);
        o.device.resize(comma);
    }
    if (o.device.empty()) {
        error = "expected slcan:DEVICE[,baud=N], e.g. slcan:/dev/ttyACM0";
        return nullptr;
    }
    auto source = std::make_shared<SlcanSource>(o, nullptr);
    return source->start(error) ? source : nullptr;
}

}  // namespace

RealBusHost::RealBusHost(DriverHost& host, std::vector<std::unique_ptr<EmulatedAdapter>>& adapters,
                         bool allowTestBus)
    : m_host(host), m_adapters(adapters), m_allowTestBus(allowTestBus) {}

RealBusHost::~RealBusHost() {
    for (Bus& bus : m_buses) {
        std::fprintf(stderr, "adp4021d: %s: %s\n", bus.name.c_str(),
                     bus.source->statsLine().c_str());
        // The buses close while Qt's application object is still there.
        if (bus.plugged != nullptr) {
            m_host.unplug(bus.plugged);
        }
        m_adapters[bus.slot].reset();
    }
    m_buses.clear();
}

bool RealBusHost::names(const std::string& source) {
    return source.rfind(kCanBus, 0) == 0 || source.rfind(kSlcan, 0) == 0;
}

bool RealBusHost::add(const std::string& source, const AdapterOptions& options,
                      std::string& error) {
    if (!m_application && QCoreApplication::instance() == nullptr) {
        // The plugins' devices need Qt's application object; its event loops run on their own
        // threads.
        static int argc = 1;
        static char name[] = "adp4021d";
        static char* argv[] = {name, nullptr};
        m_application = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (source.rfind(kSlcan, 0) == 0) {
        for (const Bus& bus : m_buses) {
            if (bus.name == source) {
                error = "a serial adapter serves one emulated adapter only (--adapters 1)";
                return false;
            }
        }
    }
    std::shared_ptr<LiveBusSource> bus = openBus(source, m_allowTestBus, error);
    if (!bus) {
        return false;
    }
    std::fprintf(stderr, "adp4021d: %s: open\n", source.c_str());
    m_adapters.push_back(
        std::make_unique<EmulatedAdapter>(std::make_unique<SharedBusSource>(bus), options));
    DEVICE_OBJECT* pdo = m_host.plug(*m_adapters.back());
    m_buses.push_back({source, std::move(bus), options, m_adapters.size() - 1, pdo, true});
    return true;
}

int RealBusHost::waitForSignal(StopSignals& stop) {
    for (;;) {
        const int signal = stop.waitFor(std::chrono::milliseconds(100));
        if (signal != 0) {
            return signal;
        }
        for (Bus& bus : m_buses) {
            follow(bus);
        }
    }
}

void RealBusHost::follow(Bus& bus) {
    const bool present = bus.source->present();
    if (!present && bus.attached) {
        std::fprintf(stderr, "adp4021d: %s is gone: adapter %zu unplugged\n", bus.name.c_str(),
                     bus.slot);
        if (bus.plugged != nullptr) {
            m_host.unplug(bus.plugged);
        }
        bus.plugged = nullptr;
        bus.attached = false;
    } else if (present && !bus.attached) {
        // A re-plugged adapter powers on afresh: its settings, clock and buffer start anew.
        auto& adapter = m_adapters[bus.slot];
        adapter.reset();
        adapter = std::make_unique<EmulatedAdapter>(std::make_unique<SharedBusSource>(bus.source),
                                                    bus.options);
        bus.plugged = m_host.plug(*adapter);
        bus.attached = true;
        std::fprintf(stderr, "adp4021d: %s is back: adapter %zu plugged in\n", bus.name.c_str(),
                     bus.slot);
    }
}

void RealBusHost::listBuses(std::FILE* out) {
    static int argc = 1;
    static char name[] = "adp4021d";
    static char* argv[] = {name, nullptr};
    const QCoreApplication application(argc, argv);
    std::fputs("CAN interfaces (--source canbus:PLUGIN:INTERFACE):\n", out);
    for (const QString& plugin : QCanBus::instance()->plugins()) {
        QString error;
        const auto devices = QCanBus::instance()->availableDevices(plugin, &error);
        if (!error.isEmpty()) {
            std::fprintf(out, "  %s: not usable here: %s\n", qPrintable(plugin), qPrintable(error));
        }
        for (const QCanBusDeviceInfo& d : devices) {
            std::fprintf(out, "  canbus:%s:%s  %s%s\n", qPrintable(plugin), qPrintable(d.name()),
                         qPrintable(d.description()),
                         isTestBus(plugin.toStdString())
                             ? " (virtual; an unauthenticated test bus: needs "
                               "--unauthenticated-test-bus and virtualcan_hub)"
                         : d.isVirtual() ? " (virtual)"
                                         : "");
        }
        if (devices.isEmpty() && error.isEmpty()) {
            std::fprintf(out, "  %s: no interfaces\n", qPrintable(plugin));
        }
    }
    std::fputs("Serial ports that may be slcan adapters (--source slcan:DEVICE[,baud=N]):\n", out);
    int ports = 0;
    for (const QSerialPortInfo& p : QSerialPortInfo::availablePorts()) {
        const QString n = p.portName();
        // Built-in UARTs are listed whether or not anything is behind them.
        if (!p.hasVendorIdentifier() && !n.startsWith(QLatin1String("ttyACM")) &&
            !n.startsWith(QLatin1String("ttyUSB"))) {
            continue;
        }
        ++ports;
        std::fprintf(out, "  slcan:%s  %s %s %s", qPrintable(p.systemLocation()),
                     qPrintable(p.description()), qPrintable(p.manufacturer()),
                     qPrintable(p.serialNumber()));
        if (p.hasVendorIdentifier() && p.hasProductIdentifier()) {
            std::fprintf(out, " [%04x:%04x]", p.vendorIdentifier(), p.productIdentifier());
        }
        std::fputc('\n', out);
    }
    if (ports == 0) {
        std::fputs("  none\n", out);
    }
}
