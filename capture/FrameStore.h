#pragma once

// The process-wide ordered store of captured frames.
//
// Records live in fixed chunks that never move, so a reader holding a position keeps a valid
// record while frames are appended behind it. The count is published (release) only after a record
// is complete, so a reader that checks the count (acquire) never sees a half-written record.
//
// Threads: the capture poll appends on its timer thread and the user-interface thread appends the
// frames sent by hand; readers on the user-interface thread go without a lock. Appends and clear
// are serialized by the write lock; clear must only be called from the user-interface thread,
// which is also the only reader.

#include "capture/CapturedFrame.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

class FrameStore {
public:
    static constexpr std::size_t kChunkBits = 16;
    static constexpr std::size_t kChunkSize = std::size_t{1} << kChunkBits;  // records per chunk
    static constexpr std::size_t kMaxChunks = std::size_t{1} << 16;          // 2^32 records in all

    // `recordLimit` stands for the memory there is: an append beyond it fails as out of memory.
    explicit FrameStore(std::size_t recordLimit = UINT32_MAX);
    ~FrameStore();
    FrameStore(const FrameStore&) = delete;
    FrameStore& operator=(const FrameStore&) = delete;

    // Throws std::bad_alloc when memory (or the 32-bit count) runs out; the store is unchanged.
    void append(const CapturedFrame& frame);

    // Runs `prepare` under the write lock and appends the `count` frames it leaves in `frames` when
    // it returns true. The poll uses it to re-check its state at the very moment it appends, so
    // that nothing lands in a store that is being emptied. Returns how many frames were appended.
    template <typename Prepare>
    std::size_t appendBatch(CapturedFrame* frames, std::size_t count, Prepare&& prepare);

    // Throws std::out_of_range("invalid deque<T> subscript") at or beyond count().
    [[nodiscard]] const CapturedFrame& at(std::size_t position) const;
    // Calls fn(records, n, firstPosition) for the records in [begin, end), a chunk at a time;
    // `end` is cut to count(). For passes over many records without a check per record.
    template <typename Fn>
    void visit(std::size_t begin, std::size_t end, Fn&& fn) const;

    [[nodiscard]] std::uint32_t count() const {
        return static_cast<std::uint32_t>(m_count.load(std::memory_order_acquire));
    }
    // Incremented by every clear(), so that passes over the store can tell it was emptied.
    [[nodiscard]] std::uint64_t generation() const {
        return m_generation.load(std::memory_order_acquire);
    }

    void clear();
    // Exchanges the records of two stores (a loaded document takes the place of the capture);
    // both count as emptied and refilled.
    void swap(FrameStore& other);

    // Bytes held for records and the chunk directory.
    [[nodiscard]] std::size_t memoryInUse() const;

private:
    // Constructs the record at `position` (allocating its chunk); does not publish it.
    void place(std::size_t position, const CapturedFrame& frame);

    std::unique_ptr<std::atomic<CapturedFrame*>[]> m_chunks;
    // On a cache line of its own: readers poll it while the writer works on its neighbours.
    alignas(64) std::atomic<std::size_t> m_count{0};
    std::atomic<std::uint64_t> m_generation{0};
    const std::size_t m_recordLimit;
    alignas(64) std::size_t m_chunksAllocated = 0;  // guarded by m_writeMutex
    mutable std::mutex m_writeMutex;
};

template <typename Prepare>
std::size_t FrameStore::appendBatch(CapturedFrame* frames, std::size_t count, Prepare&& prepare) {
    std::lock_guard lock(m_writeMutex);
    if (!prepare(frames, count)) {
        return 0;
    }
    // One publication for the whole batch keeps the count's cache line quiet for readers.
    const std::size_t first = m_count.load(std::memory_order_relaxed);
    std::size_t placed = 0;
    try {
        for (; placed < count; ++placed) {
            place(first + placed, frames[placed]);
        }
    } catch (...) {
        m_count.store(first + placed, std::memory_order_release);
        throw;
    }
    m_count.store(first + count, std::memory_order_release);
    return count;
}

template <typename Fn>
void FrameStore::visit(std::size_t begin, std::size_t end, Fn&& fn) const {
    end = std::min<std::size_t>(end, m_count.load(std::memory_order_acquire));
    while (begin < end) {
        const std::size_t offset = begin & (kChunkSize - 1);
        const std::size_t n = std::min(kChunkSize - offset, end - begin);
        fn(m_chunks[begin >> kChunkBits].load(std::memory_order_acquire) + offset, n, begin);
        begin += n;
    }
}
