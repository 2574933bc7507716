#include "capture/FrameStore.h"

#include <algorithm>
#include <new>
#include <stdexcept>

FrameStore::FrameStore(std::size_t recordLimit)
    : m_chunks(new std::atomic<CapturedFrame*>[kMaxChunks]),
      m_recordLimit(std::min<std::size_t>(recordLimit, UINT32_MAX)) {
    for (std::size_t i = 0; i < kMaxChunks; ++i) {
        m_chunks[i].store(nullptr, std::memory_order_relaxed);
    }
}

FrameStore::~FrameStore() {
    clear();
}

void FrameStore::append(const CapturedFrame& frame) {
    std::lock_guard lock(m_writeMutex);
    const std::size_t n = m_count.load(std::memory_order_relaxed);
    place(n, frame);
    m_count.store(n + 1, std::memory_order_release);
}

void FrameStore::place(std::size_t position, const CapturedFrame& frame) {
    if (position >= m_recordLimit) {  // never beyond what a 32-bit count can say
        throw std::bad_alloc();
    }
    const std::size_t chunk = position >> kChunkBits;
    if (chunk == m_chunksAllocated) {
        // Raw storage: every record is constructed in place before the count covers it, so the
        // chunk is not written twice.
        auto* storage =
            static_cast<CapturedFrame*>(::operator new(kChunkSize * sizeof(CapturedFrame)));
        m_chunks[chunk].store(storage, std::memory_order_release);
        ++m_chunksAllocated;
    }
    new (&m_chunks[chunk].load(std::memory_order_relaxed)[position & (kChunkSize - 1)])
        CapturedFrame(frame);
}

const CapturedFrame& FrameStore::at(std::size_t position) const {
    if (position >= m_count.load(std::memory_order_acquire)) {
        throw std::out_of_range("invalid deque<T> subscript");
    }
    return m_chunks[position >> kChunkBits].load(
        std::memory_order_acquire)[position & (kChunkSize - 1)];
}

void FrameStore::clear() {
    std::lock_guard lock(m_writeMutex);
    m_count.store(0, std::memory_order_release);
    for (std::size_t i = 0; i < m_chunksAllocated; ++i) {
        ::operator delete(m_chunks[i].exchange(nullptr, std::memory_order_acq_rel));
    }
    m_chunksAllocated = 0;
    m_generation.fetch_add(1, std::memory_order_acq_rel);
}

void FrameStore::swap(FrameStore& other) {
    if (&other == this) return;
    std::scoped_lock lock(m_writeMutex, other.m_writeMutex);
    // Readers check the count first, so it drops to 0 before the chunks change hands.
    const std::size_t mine = m_count.exchange(0, std::memory_order_acq_rel);
    const std::size_t theirs = other.m_count.exchange(0, std::memory_order_acq_rel);
    m_chunks.swap(other.m_chunks);
    std::swap(m_chunksAllocated, other.m_chunksAllocated);
    m_count.store(theirs, std::memory_order_release);
    other.m_count.store(mine, std::memory_order_release);
    m_generation.fetch_add(1, std::memory_order_acq_rel);
    other.m_generation.fetch_add(1, std::memory_order_acq_rel);
}

std::size_t FrameStore::memoryInUse() const {
    std::lock_guard lock(m_writeMutex);
    return m_chunksAllocated * kChunkSize * sizeof(CapturedFrame) +
           kMaxChunks * sizeof(std::atomic<CapturedFrame*>);
}
