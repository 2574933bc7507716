// examples/demo.dbc against the frames the emulated adapter's demo network really sends.

#include "adapter/DemoNetwork.h"
#include "candb/DbcReader.h"
#include "candb/SignalDecoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

namespace {

CapturedFrame captured(const BusFrame& b) {
    CapturedFrame f;
    f.identifier = b.identifier;
    f.format = b.extended ? 1 : 0;
    f.status = b.remote ? 1 : 0;
    f.length = b.length;
    for (int k = 0; k < 8; ++k) f.data[k] = b.data[k];
    return f;
}

std::string label(const SignalValue& v) {
    const std::string* l = labelOf(*v.signal, v.raw);
    return l == nullptr ? "" : *l;
}

}  // namespace

TEST(DemoDatabase, DecodesEveryMessageTheDemoNetworkSendsAsItMeansIt) {
    const DbcReadResult r = DbcReader::readFile(KORVANE_EXAMPLES "/demo.dbc");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.warningCount(), 0u) << r.summary();
    const SignalDecoder decoder({r.database});
    DecodedFrame out = decoder.makeFrame();

    DemoNetwork network;
    std::map<std::string, std::uint64_t> seen;  // frames per message
    BusFrame bus;
    std::uint64_t at = 0;
    std::uint64_t remote = 0;
    while (network.next(bus, at) && at < 30'000'000) {
        network.pop();
        const CapturedFrame f = captured(bus);
        if (!decoder.decode(f, out)) continue;
        EXPECT_EQ(out.unfit(), 0u) << out.message()->name;
        if (bus.remote) {
            ++remote;
            EXPECT_TRUE(out.values().empty());
            continue;
        }
        const std::uint64_t n = seen[out.message()->name]++;
        ASSERT_EQ(out.values().size(), out.message()->signals.size()) << out.message()->name;
        const std::string& name = out.message()->name;
        const auto values = out.values();
        if (name.ends_with("_TPDO1")) {
            EXPECT_EQ(values[0].value, static_cast<double>(n * 10 % 10000) * 0.1);
            EXPECT_EQ(values[0].signal->unit, "mm");
            EXPECT_LE(std::abs(values[1].value), 10.0);
            EXPECT_EQ(values[1].signal->unit, "Nm");
            EXPECT_LE(values[2].value, 5000.0);
            EXPECT_EQ(label(values[3]), n / 50 % 2 ? "Running" : "Idle");
            EXPECT_EQ(values[4].raw, n % 256);
        } else if (name.ends_with("_TPDO2")) {
            EXPECT_EQ(values[0].value, static_cast<double>(100000 + n * 37) * 0.001);
            EXPECT_EQ(values[0].signal->unit, "kWh");
        } else if (name.ends_with("_RPDO1")) {
            EXPECT_EQ(values[0].value, static_cast<double>(n % 256) * 0.5);
            EXPECT_EQ(label(values[1]), "Manual");
        } else if (name.ends_with("_Heartbeat")) {
            EXPECT_EQ(label(values[0]), "Operational");
        } else if (name == "NMT") {
            EXPECT_EQ(label(values[0]), "Start");
            EXPECT_EQ(label(values[1]), "All nodes");
        } else if (name == "Pump_EMCY") {
            EXPECT_EQ(label(values[0]), "Temperature");
            EXPECT_EQ(values[1].raw, 1u);
        } else if (name == "Drive_SdoResponse") {
            EXPECT_EQ(label(values[0]), "Upload 4 bytes");
            EXPECT_EQ(values[1].raw, 0x1018u);
            EXPECT_EQ(values[2].raw, 1u);
            EXPECT_EQ(values[3].raw, 0x042Au);
        } else if (name == "Sensor_Status") {
            EXPECT_EQ(values[0].raw, n % 256);
            EXPECT_EQ(values[1].value, 85.0);
            EXPECT_EQ(values[1].signal->unit, "degC");
            EXPECT_EQ(label(values[2]), "Not available");
        }
    }
    // Every message of the database is one the network sends, at the rate the database gives.
    for (const CanMessage& m : r.database->messages()) {
        EXPECT_GT(seen[m.name], 0u) << m.name;
        if (m.cycleTimeMs.value_or(0) > 0) {
            EXPECT_NEAR(static_cast<double>(seen[m.name]), 30000.0 / *m.cycleTimeMs, 1.0) << m.name;
        }
    }
    EXPECT_EQ(remote, 6u);  // the node 0x21 heartbeat's remote request, every 5 s
}
