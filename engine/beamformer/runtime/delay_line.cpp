#include "beamformer/runtime/delay_line.h"

#include <algorithm>
#include <cstring>

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
    // Per sample the ring's next slot is read (the input N samples back)
    // and the input written where the read came from one step before; over
    // a stretch that does not reach the ring's end both are copies. A
    // stretch goes through a small buffer, so out may be in.
    float* ring = ring_.data();
    const int size = delay_ + 1;
    constexpr int kStretch = 64;
    float held[kStretch];
    for (int i = 0; i < len;) {
        const int run = std::min({len - i, size - 1 - position_, kStretch});
        if (run == 0) {
            // At the ring's last slot the read wraps to its first.
            const float x = in[i];
            out[i] = ring[0];
            ring[position_] = x;
            position_ = 0;
            ++i;
            continue;
        }
        std::memcpy(held, in + i, sizeof(float) * static_cast<std::size_t>(run));
        std::memcpy(out + i, ring + position_ + 1, sizeof(float) * static_cast<std::size_t>(run));
        std::memcpy(ring + position_, held, sizeof(float) * static_cast<std::size_t>(run));
        position_ += run;
        i += run;
    }
}
