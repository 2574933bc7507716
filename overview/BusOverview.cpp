#include "overview/BusOverview.h"

#include "capture/AdapterClock.h"

#include <array>
#include <cstring>

namespace {

constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ull;
constexpr int kInitialSlotBits = 8;

// The bytes 0 .. n-1 of a frame's data read as one word, whatever the machine's byte order.
std::array<std::uint64_t, 9> lengthMasks() {
    std::array<std::uint64_t, 9> masks{};
    for (std::size_t n = 0; n <= 8; ++n) {
        std::uint8_t bytes[8] = {};
        std::memset(bytes, 0xFF, n);
        std::memcpy(&masks[n], bytes, 8);
    }
    return masks;
}
const std::array<std::uint64_t, 9> kLengthMask = lengthMasks();

}  // namespace

double OverviewRow::meanPeriod() const {
    if (count < 2) return 0;
    return static_cast<double>(static_cast<std::int64_t>(lastTime - firstTime)) /
           static_cast<double>(count - 1);
}

bool OverviewRow::quiet(std::uint64_t now) const {
    const double mean = meanPeriod();
    if (mean <= 0 || now <= lastTime) return false;
    return static_cast<double>(now - lastTime) > 3 * mean;
}

BusOverview::BusOverview(OverviewClock clock, std::size_t maxRows)
    : m_clock(clock), m_maxRows(maxRows) {
    reset();
}

BusOverview::~BusOverview() = default;

void BusOverview::reset() {
    m_rows.clear();
    const std::size_t slots = std::size_t{1} << kInitialSlotBits;
    m_slots = std::make_unique<Slot[]>(slots);
    for (std::size_t i = 0; i < slots; ++i) m_slots[i] = {kEmpty, 0};
    m_slotMask = slots - 1;
    m_shift = 64 - kInitialSlotBits;
    m_input = Input::kNone;
    m_store = nullptr;
    m_generation = 0;
    m_consumed = 0;
    m_framesTaken = 0;
    m_framesOverLimit = 0;
    m_latestTime = 0;
    ++m_version;
}

void BusOverview::follow(const FrameStore& store, Input input) {
    const std::uint64_t generation = store.generation();
    if (input == m_input && &store == m_store && generation == m_generation) return;
    if (m_input != Input::kNone) reset();
    m_input = input;
    m_store = &store;
    m_generation = generation;
}

bool BusOverview::update(const FrameStore& store, std::size_t maxFrames) {
    follow(store, Input::kStore);
    const std::size_t count = store.count();
    if (count < m_consumed) {
        reset();
        follow(store, Input::kStore);
    }
    const std::size_t end = count - m_consumed > maxFrames ? m_consumed + maxFrames : count;
    if (end == m_consumed) return end == count;
    store.visit(m_consumed, end,
                [this](const CapturedFrame* records, std::size_t n, std::size_t first) {
                    for (std::size_t k = 0; k < n; ++k) {
                        add(records[k], static_cast<std::uint32_t>(first + k));
                    }
                });
    m_consumed = end;
    ++m_version;
    return end == count;
}

std::ptrdiff_t BusOverview::find(std::uint32_t identifier, bool extended) const {
    const std::uint64_t key = std::uint64_t{extended} << 32 | identifier;
    for (std::size_t i = (key * kGolden) >> m_shift;; i = (i + 1) & m_slotMask) {
        if (m_slots[i].key == key) return m_slots[i].row;
        if (m_slots[i].key == kEmpty) return -1;
    }
}

std::uint64_t BusOverview::timeOf(const CapturedFrame& frame) const {
    const std::uint64_t us = adapterTimeUs(frame);
    return m_clock == OverviewClock::kMilliseconds ? us / 1000 : us;
}

std::int64_t BusOverview::rowFor(std::uint64_t key) {
    std::size_t i = (key * kGolden) >> m_shift;
    for (;; i = (i + 1) & m_slotMask) {
        if (m_slots[i].key == key) return m_slots[i].row;
        if (m_slots[i].key == kEmpty) break;
    }
    if (m_rows.size() >= m_maxRows) return -1;
    if ((m_rows.size() + 1) * 2 > m_slotMask + 1) {
        grow();
        for (i = (key * kGolden) >> m_shift; m_slots[i].key != kEmpty; i = (i + 1) & m_slotMask) {
        }
    }
    const auto row = static_cast<std::uint32_t>(m_rows.size());
    m_rows.emplace_back();
    m_slots[i] = {key, row};
    return row;
}

void BusOverview::grow() {
    const std::size_t slots = (m_slotMask + 1) * 2;
    auto grown = std::make_unique<Slot[]>(slots);
    for (std::size_t i = 0; i < slots; ++i) grown[i] = {kEmpty, 0};
    --m_shift;
    m_slotMask = slots - 1;
    for (std::size_t k = 0; k < slots / 2; ++k) {
        const Slot s = m_slots[k];
        if (s.key == kEmpty) continue;
        std::size_t i = (s.key * kGolden) >> m_shift;
        while (grown[i].key != kEmpty) i = (i + 1) & m_slotMask;
        grown[i] = s;
    }
    m_slots = std::move(grown);
}

void BusOverview::add(const CapturedFrame& frame, std::uint32_t position) {
    ++m_framesTaken;
    const std::uint64_t t = timeOf(frame);
    if (t > m_latestTime) m_latestTime = t;
    const bool extended = frame.format != 0;
    const std::int64_t index = rowFor(std::uint64_t{extended} << 32 | frame.identifier);
    if (index < 0) {
        ++m_framesOverLimit;
        return;
    }
    OverviewRow& row = m_rows[static_cast<std::size_t>(index)];
    row.version = m_version + 1;  // the update in progress ends by counting the version on
    if (row.count == 0) {
        row.identifier = frame.identifier;
        row.extended = extended;
        row.firstTime = t;
    } else {
        // Unsigned subtraction: a time that went back gives a negative period, never an overflow.
        const auto period = static_cast<std::int64_t>(t - row.lastTime);
        if (row.count == 1 || period < row.minPeriod) row.minPeriod = period;
        if (row.count == 1 || period > row.maxPeriod) row.maxPeriod = period;
    }
    ++row.count;
    row.lastTime = t;
    row.lastPosition = position;
    row.lastLength = frame.length;
    row.lastRemote = frame.status == 1;
    if (row.lastRemote) {
        row.changedMask = 0;  // no data to compare; the next data frame compares with the last
        return;
    }
    const std::uint8_t n = frame.length > 8 ? 8 : frame.length;
    std::uint64_t now = 0;
    std::uint64_t before = 0;
    std::memcpy(&now, frame.data, 8);
    std::memcpy(&before, row.lastData, 8);
    now &= kLengthMask[n];
    std::uint64_t changed = 0;
    if (row.hasData) {
        // Bytes the identifier did not carry before count as changed too.
        changed = ((now ^ before) | ~kLengthMask[row.lastDataLength]) & kLengthMask[n];
    }
    row.changedMask = 0;
    if (changed != 0) {
        std::uint8_t bytes[8];
        std::memcpy(bytes, &changed, 8);
        for (int i = 0; i < 8; ++i) {
            if (bytes[i] == 0) continue;
            row.changedMask = static_cast<std::uint8_t>(row.changedMask | 1u << i);
            row.changedAt[i] = t;
        }
    }
    std::memcpy(row.lastData, &now, 8);
    row.lastDataLength = n;
    row.hasData = true;
}
