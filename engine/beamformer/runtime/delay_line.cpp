#include "beamformer/runtime/delay_line.h"

CDelayLine::CDelayLine() { reserve(kInitialCapacity); }

int CDelayLine::reserve(int n) {
    if (n < 0) return 1;
    if (n <= capacity_ && !ring_.empty()) return 0;
    if (!ring_.allocate(n + 1)) {
        capacity_ = 0;
        return 1;
    }
    capacity_ = n;
    position_ = 0;
    return 0;
}

int CDelayLine::setDelay(int n) {
    if (n < 0 || reserve(n) != 0) return 1;
    requested_.store(-1, std::memory_order_relaxed);
    delay_ = n;
    clear();
    return 0;
}

int CDelayLine::requestDelay(int n) {
    if (n < 0 || n > capacity_ || ring_.empty()) return 1;
    requested_.store(n, std::memory_order_release);
    return 0;
}

void CDelayLine::clear() {
    position_ = 0;
    if (!ring_.empty()) dspsZero_32f(ring_.data(), delay_ + 1);
}

void CDelayLine::takeRequest() {
    if (requested_.load(std::memory_order_relaxed) < 0) return;
    const int n = requested_.exchange(-1, std::memory_order_acquire);
    if (n < 0) return;
    delay_ = n;
    clear();
}

void CDelayLine::delayProcess(const float* in, float* out, int len) {
    takeRequest();
    if (ring_.empty()) {
        dspsZero_32f(out, len);
        return;
    }
    if (delay_ == 0) {
        // No delay: the input passes through (many beams' final delay is 0).
        if (in != out) dspsCopy_32f(in, out, len);
        return;
    }
    float* ring = ring_.data();
    const int size = delay_ + 1;
    // Write before read, so in-place use is safe.
    for (int i = 0; i < len; ++i) {
        ring[position_] = in[i];
        position_ = position_ + 1 == size ? 0 : position_ + 1;
        out[i] = ring[position_];
    }
}
