#include "adapter/DemoNetwork.h"

#include <cmath>
#include <initializer_list>

namespace {

BusFrame frame(std::uint32_t id, std::initializer_list<std::uint8_t> bytes, bool extended = false) {
    BusFrame f;
    f.identifier = id;
    f.extended = extended;
    for (std::uint8_t b : bytes) {
        f.data[f.length++] = b;
    }
    return f;
}

void putU16(BusFrame& f, int at, std::uint16_t v) {
    f.data[at] = static_cast<std::uint8_t>(v);
    f.data[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

constexpr std::uint8_t kCanOpenNodes[] = {0x05, 0x0A, 0x21};
constexpr std::uint8_t kDeviceNetSlaves[] = {3, 7};
constexpr std::uint8_t kDeviceNetMaster = 0;

}  // namespace

void DemoNetwork::every(std::uint64_t periodMs, std::uint64_t phaseMs,
                        std::function<BusFrame(std::uint64_t, std::uint64_t)> make) {
    m_tasks.push_back({periodMs * 1000, phaseMs * 1000, std::move(make)});
}

DemoNetwork::DemoNetwork() {
    // CANopen: start every node, then SYNC-driven process data.
    every(60'000, 0, [](std::uint64_t, std::uint64_t) { return frame(0x000, {0x01, 0x00}); });
    every(100, 5, [](std::uint64_t, std::uint64_t) { return frame(0x080, {}); });
    for (std::size_t i = 0; i < std::size(kCanOpenNodes); ++i) {
        const std::uint8_t node = kCanOpenNodes[i];
        const double phase = static_cast<double>(i) * 2.1;
        // TPDO1 after each SYNC: a ramp, a sine, a triangle, a status byte and a counter.
        every(100, 6 + i, [node, phase](std::uint64_t n, std::uint64_t atUs) {
            BusFrame f = frame(0x180u + node, {0, 0, 0, 0, 0, 0, 0, 0});
            const double t = static_cast<double>(atUs) / 1e6;
            putU16(f, 0, static_cast<std::uint16_t>(n * 10 % 10000));
            putU16(f, 2,
                   static_cast<std::uint16_t>(
                       static_cast<std::int16_t>(1000.0 * std::sin(2 * M_PI * 0.2 * t + phase))));
            const std::uint64_t tri = n % 200;
            putU16(f, 4, static_cast<std::uint16_t>(tri < 100 ? tri * 50 : (200 - tri) * 50));
            f.data[6] = static_cast<std::uint8_t>(n / 50 % 2 ? 0x01 : 0x00);
            f.data[7] = static_cast<std::uint8_t>(n);
            return f;
        });
        // TPDO2: a slowly rising 32-bit value.
        every(250, 50 + 7 * i, [node](std::uint64_t n, std::uint64_t) {
            const std::uint32_t v = static_cast<std::uint32_t>(100000 + n * 37);
            return frame(0x280u + node,
                         {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                          static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)});
        });
        // RPDO1 from the master.
        every(500, 120 + 3 * i, [node](std::uint64_t n, std::uint64_t) {
            return frame(0x200u + node, {static_cast<std::uint8_t>(n), 0x00});
        });
        every(1000, 300 + 11 * i, [node](std::uint64_t, std::uint64_t) {
            return frame(0x700u + node, {0x05});  // heartbeat: operational
        });
        // An SDO upload of the identity object, request and response.
        every(2000, 700 + 13 * i, [node](std::uint64_t, std::uint64_t) {
            return frame(0x600u + node, {0x40, 0x18, 0x10, 0x01, 0, 0, 0, 0});
        });
        every(2000, 702 + 13 * i, [node](std::uint64_t, std::uint64_t) {
            return frame(0x580u + node, {0x43, 0x18, 0x10, 0x01, 0x2A, 0x04, 0, 0});
        });
    }
    every(10'000, 4'500, [](std::uint64_t, std::uint64_t) {
        return frame(0x080u + kCanOpenNodes[1], {0x10, 0x42, 0x01, 0, 0, 0, 0, 0});
    });

    // DeviceNet: the master polls its slaves and talks to them explicitly.
    for (std::size_t i = 0; i < std::size(kDeviceNetSlaves); ++i) {
        const std::uint32_t mac = kDeviceNetSlaves[i];
        every(60'000, 20 + i, [mac](std::uint64_t, std::uint64_t) {  // duplicate MAC ID check
            return frame(0x400 | mac << 3 | 7, {0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00});
        });
        every(200, 30 + 9 * i, [mac](std::uint64_t n, std::uint64_t) {  // master's poll
            return frame(0x400 | mac << 3 | 5, {static_cast<std::uint8_t>(n), 0x00});
        });
        every(200, 32 + 9 * i, [mac](std::uint64_t n, std::uint64_t) {  // slave's poll response
            return frame(0x3C0 | mac, {static_cast<std::uint8_t>(n * 3), 0x10, 0x00, 0x00});
        });
        every(700, 90 + 17 * i, [mac](std::uint64_t n, std::uint64_t) {  // slave's change of state
            return frame(0x340 | mac, {static_cast<std::uint8_t>(n & 1)});
        });
        every(1500, 400 + 9 * i, [mac](std::uint64_t, std::uint64_t) {  // master's bit-strobe
            return frame(0x400 | mac << 3 | 0, {0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
        });
        every(1500, 402 + 9 * i, [mac](std::uint64_t, std::uint64_t) {  // bit-strobe response
            return frame(0x380 | mac, {0x01});
        });
        every(3000, 600 + 21 * i, [mac](std::uint64_t, std::uint64_t) {  // explicit request
            return frame(0x400 | mac << 3 | 4, {kDeviceNetMaster, 0x0E, 0x01, 0x01, 0x07});
        });
        every(3000, 603 + 21 * i, [mac](std::uint64_t, std::uint64_t) {  // explicit response
            return frame(0x400 | mac << 3 | 3, {kDeviceNetMaster, 0x8E, 0x41, 0x44, 0x50});
        });
        every(4000, 800 + 5 * i, [mac](std::uint64_t, std::uint64_t) {  // master's COS ack
            return frame(0x400 | mac << 3 | 2, {});
        });
    }
    every(5000, 1200, [](std::uint64_t, std::uint64_t) {  // unconnected explicit request
        return frame(0x600 | 6 << 6 | kDeviceNetMaster, {kDeviceNetSlaves[0], 0x4B, 0x03, 0x01});
    });
    every(5000, 1203, [](std::uint64_t, std::uint64_t) {  // and its response
        return frame(0x600 | 5 << 6 | kDeviceNetSlaves[0], {kDeviceNetMaster, 0xCB, 0x00});
    });
    every(10'000, 2500, [](std::uint64_t, std::uint64_t) {  // offline ownership request
        return frame(0x7EF, {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08});
    });
    every(10'000, 2600, [](std::uint64_t, std::uint64_t) {  // communication faulted response
        return frame(0x7EC, {0x00});
    });

    // Something that is neither: an extended frame and a remote request.
    every(1000, 450, [](std::uint64_t n, std::uint64_t) {
        return frame(0x18FF1021, {static_cast<std::uint8_t>(n), 0x7D, 0xFF, 0xFF, 0x00, 0x00},
                     true);
    });
    every(5000, 3333, [](std::uint64_t, std::uint64_t) {
        BusFrame f = frame(0x700u + kCanOpenNodes[2], {});
        f.remote = true;
        f.length = 1;
        return f;
    });
}

std::size_t DemoNetwork::earliest() const {
    std::size_t best = 0;
    for (std::size_t i = 1; i < m_tasks.size(); ++i) {
        if (m_tasks[i].nextUs < m_tasks[best].nextUs) {
            best = i;
        }
    }
    return best;
}

bool DemoNetwork::next(BusFrame& f, std::uint64_t& wantedAtUs) {
    const Task& t = m_tasks[earliest()];
    f = t.make(t.count, t.nextUs);
    wantedAtUs = t.nextUs;
    return true;
}

void DemoNetwork::pop() {
    Task& t = m_tasks[earliest()];
    ++t.count;
    t.nextUs += t.periodUs;
}
