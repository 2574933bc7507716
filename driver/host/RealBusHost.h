#pragma once

// Emulated adapters on real buses: "canbus:PLUGIN:INTERFACE" (a Qt Serial Bus interface) or
// "slcan:DEVICE[,baud=N]" (an slcan serial adapter). Qt's virtual bus ("canbus:virtualcan:...")
// is a test bus without authentication, where one malformed line from any local process crashes
// the plugin: it is opened only when the host was told it may use such a bus. While a bus's
// interface is gone its adapter is unplugged, as if its USB cable were pulled (surprise removal);
// when the interface comes back, a newly powered adapter is plugged in its place.
//
// Thread: construct, add, wait and destroy on the host's main thread.

#include "adapter/EmulatedAdapter.h"
#include "adapter/LiveBusSource.h"
#include "driver/host/DriverHost.h"
#include "driver/host/StopSignals.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class QCoreApplication;

class RealBusHost {
public:
    // `adapters` is the host's list; the adapters added here go into it and are replaced in it
    // when their bus comes back. They are unplugged and deleted (their entries left empty) when
    // this object goes.
    RealBusHost(DriverHost& host, std::vector<std::unique_ptr<EmulatedAdapter>>& adapters,
                bool allowTestBus);
    ~RealBusHost();
    RealBusHost(const RealBusHost&) = delete;
    RealBusHost& operator=(const RealBusHost&) = delete;

    // Whether `source` names a real bus.
    [[nodiscard]] static bool names(const std::string& source);
    // Opens the bus, then adds an adapter on it and plugs it in. False, with `error`, when the
    // bus cannot be opened.
    [[nodiscard]] bool add(const std::string& source, const AdapterOptions& options,
                           std::string& error);
    [[nodiscard]] bool empty() const { return m_buses.empty(); }

    // Follows the buses until a stop signal comes; returns it.
    int waitForSignal(StopSignals& stop);

    // The interfaces each plugin finds and the serial ports that may be slcan adapters.
    static void listBuses(std::FILE* out);

private:
    struct Bus {
        std::string name;
        std::shared_ptr<LiveBusSource> source;
        AdapterOptions options;
        std::size_t slot;        // in the adapter list
        DEVICE_OBJECT* plugged;  // null when the driver could not start it
        bool attached;           // false while the bus is gone
    };
    void follow(Bus& bus);

    DriverHost& m_host;
    std::vector<std::unique_ptr<EmulatedAdapter>>& m_adapters;
    const bool m_allowTestBus;
    std::unique_ptr<QCoreApplication> m_application;
    std::vector<Bus> m_buses;
};
