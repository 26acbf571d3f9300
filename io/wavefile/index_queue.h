// A lock-free queue of buffer jobs from one producer at a time to one
// consumer: the audio side (or the owner, while it holds the ring's data
// mutex) hands over buffers, the disk thread takes them in order.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace orvelan::io {

// A buffer handed to the disk side, tagged with the ring's generation at
// the hand-over so that a job from before a rewind is recognised as stale.
struct BufferJob {
    int index = -1;
    std::uint32_t generation = 0;
    bool fill = false;  // read from the file into it (playback), else write it out
};

template <std::size_t Capacity>
class IndexQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    // False when full; nothing is queued then.
    bool push(const BufferJob& job)
    {
        const std::uint32_t tail = tail_.load(std::memory_order_relaxed);
        if (tail - head_.load(std::memory_order_acquire) == Capacity) return false;
        slots_[tail % Capacity] = job;
        tail_.store(tail + 1, std::memory_order_release);
        return true;
    }

    bool pop(BufferJob& job)
    {
        const std::uint32_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) return false;
        job = slots_[head % Capacity];
        head_.store(head + 1, std::memory_order_release);
        return true;
    }

    bool empty() const { return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire); }

    // Only while neither side runs.
    void clear() { head_.store(tail_.load(std::memory_order_relaxed), std::memory_order_release); }

private:
    std::array<BufferJob, Capacity> slots_{};
    std::atomic<std::uint32_t> head_{0};
    std::atomic<std::uint32_t> tail_{0};
};

}  // namespace orvelan::io
