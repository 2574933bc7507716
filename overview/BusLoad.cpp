#include "overview/BusLoad.h"

#include "capture/AdapterClock.h"
#include "interop/BusTiming.h"

#include <algorithm>

BusLoad::BusLoad(unsigned baudKbps, std::uint64_t binUs)
    : m_baudKbps(baudKbps), m_binUs(binUs == 0 ? kDefaultBinUs : binUs) {}

void BusLoad::setBaudRate(unsigned baudKbps) {
    if (baudKbps == m_baudKbps) return;
    m_baudKbps = baudKbps;
    recount();
}

void BusLoad::recount() {
    m_bins.clear();
    m_consumed = 0;
    m_latestUs = 0;
    m_nextMark = 0;
    m_lostMarked = 0;
    ++m_version;
}

void BusLoad::reset() {
    recount();
    m_store = nullptr;
    m_generation = 0;
    m_lostMarks.clear();
    m_lostSeen = 0;
    m_lostPending = 0;
}

void BusLoad::follow(const FrameStore& store) {
    const std::uint64_t generation = store.generation();
    if (&store == m_store && generation == m_generation && store.count() >= m_consumed) return;
    reset();
    m_store = &store;
    m_generation = generation;
}

bool BusLoad::update(const FrameStore& store, std::uint64_t lostTotal, std::size_t maxFrames) {
    follow(store);
    const std::size_t count = store.count();
    const std::size_t end = count - m_consumed > maxFrames ? m_consumed + maxFrames : count;
    const std::size_t before = m_consumed;
    store.visit(m_consumed, end,
                [this](const CapturedFrame* records, std::size_t n, std::size_t first) {
                    for (std::size_t k = 0; k < n; ++k) add(records[k], first + k);
                });
    m_consumed = end;
    // The total starts again with an emptied store: anything below what was seen is new since.
    m_lostPending += lostTotal >= m_lostSeen ? lostTotal - m_lostSeen : lostTotal;
    m_lostSeen = lostTotal;
    const bool marked = m_lostPending > 0 && m_consumed > 0 && m_nextMark == m_lostMarks.size();
    if (marked) {
        m_lostMarks.push_back({m_consumed - 1, m_lostPending});
        ++m_nextMark;
        mark(m_lostPending);
        m_lostPending = 0;
    }
    if (m_consumed != before || marked) ++m_version;
    return end == count;
}

void BusLoad::mark(std::uint64_t frames) {
    Bin& bin = m_bins.back();
    bin.lost += static_cast<std::uint32_t>(std::min<std::uint64_t>(frames, UINT32_MAX - bin.lost));
    m_lostMarked += frames;
}

BusLoad::Bin& BusLoad::binAt(std::uint64_t index) {
    if (m_bins.empty() || index > m_bins.back().index) {
        Bin bin;
        bin.index = index;
        m_bins.push_back(bin);
    }
    return m_bins.back();
}

void BusLoad::add(const CapturedFrame& frame, std::size_t position) {
    const std::uint64_t end = std::max(adapterTimeUs(frame), m_latestUs);
    m_latestUs = end;
    const std::uint64_t busy = busTimeUs(canFrameBits(frame.identifier, frame.format != 0,
                                                      frame.status == 1, frame.length, frame.data),
                                         m_baudKbps);
    // The frame's bus time, bin by bin from its start to its end.
    std::uint64_t from = end > busy ? end - busy : 0;
    while (from < end) {
        // Steps by what is left of the bin, which cannot overflow near the end of the clock.
        const std::uint64_t step = std::min(end - from, m_binUs - from % m_binUs);
        binAt(from / m_binUs).busyUs += step;
        from += step;
    }
    Bin& last = binAt(end / m_binUs);
    if (last.frames < UINT32_MAX) ++last.frames;
    // Marks of an earlier count, taken again after a change of bit rate.
    while (m_nextMark < m_lostMarks.size() && m_lostMarks[m_nextMark].position == position) {
        mark(m_lostMarks[m_nextMark++].frames);
    }
}

std::uint32_t BusLoad::percent(const Bin& bin) const {
    return loadingPercent(bin.busyUs, m_binUs);
}

std::size_t BusLoad::lowerBound(std::uint64_t index) const {
    return static_cast<std::size_t>(
        std::lower_bound(m_bins.begin(), m_bins.end(), index,
                         [](const Bin& b, std::uint64_t i) { return b.index < i; }) -
        m_bins.begin());
}

std::uint32_t BusLoad::percentAt(std::uint64_t index) const {
    const std::size_t at = lowerBound(index);
    return at < m_bins.size() && m_bins[at].index == index ? percent(m_bins[at]) : 0;
}
