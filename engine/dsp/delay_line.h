// A whole-sample delay of a float stream: the output is the input N samples
// earlier. The beamformer aligns bands, beams and filters of different
// lengths with it.
//
// Threads: the ring is sized on the control thread (`setDelay`, `reserve`)
// while the stream is stopped. While it runs, the control thread asks for a
// new delay with `requestDelay`, which never allocates: the audio thread
// takes the request at the start of its next `delayProcess`, clears the ring
// and runs the new delay from there.
#pragma once

#include <atomic>

#include "framework/kernel_array.h"

class CDelayLine {
public:
    static constexpr int kInitialCapacity = 1024;

    CDelayLine();
    virtual ~CDelayLine() = default;
    CDelayLine(const CDelayLine&) = delete;
    CDelayLine& operator=(const CDelayLine&) = delete;

    // Sets the delay at once and clears the ring, growing it when n exceeds
    // the capacity: 0, or 1 when n is negative or the ring cannot be grown
    // (the line then passes nothing but zeros until a delay fits).
    [[nodiscard]] int setDelay(int n);
    // Grows the ring to hold delays up to n without changing the delay.
    int reserve(int n);
    // The audio thread's next block runs delay n from a cleared ring: 0, or
    // 1 when n is negative or beyond the capacity (nothing changes then).
    int requestDelay(int n);
    // The history to zero.
    void clear();

    // out[i] = in[i - N]; in and out may be the same buffer.
    void delayProcess(const float* in, float* out, int len);

    int delay() const { return delay_; }
    int capacity() const { return capacity_; }

private:
    void takeRequest();

    int capacity_ = 0;
    int delay_ = 0;
    // The last N input samples, oldest first, and room to hold a block's
    // last N while the history is handed out (capacity + 1 samples each).
    vxKernelArray<float> history_;
    vxKernelArray<float> spare_;
    std::atomic<int> requested_{-1};
};
