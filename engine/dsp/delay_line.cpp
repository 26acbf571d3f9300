#include "dsp/delay_line.h"

#include <cstring>

CDelayLine::CDelayLine() { reserve(kInitialCapacity); }

int CDelayLine::reserve(int n) {
    if (n < 0) return 1;
    if (n <= capacity_ && !history_.empty()) return 0;
    if (!history_.allocate(n + 1) || !spare_.allocate(n + 1)) {
        history_.release();
        spare_.release();
        capacity_ = 0;
        return 1;
    }
    capacity_ = n;
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
    if (n < 0 || n > capacity_ || history_.empty()) return 1;
    requested_.store(n, std::memory_order_release);
    return 0;
}

void CDelayLine::clear() {
    if (!history_.empty()) dspsZero_32f(history_.data(), delay_ + 1);
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
    if (history_.empty()) {
        dspsZero_32f(out, len);
        return;
    }
    const int n = delay_;
    if (n == 0) {
        // No delay: the input passes through (many beams' final delay is 0).
        if (in != out) dspsCopy_32f(in, out, len);
        return;
    }
    if (len <= 0) return;
    // Block by block rather than sample by sample: the output is the history
    // followed by the block's start, the new history the block's last N
    // samples. The input's part that is still needed is set aside before out
    // (which may be in) is written.
    auto bytes = [](int count) { return sizeof(float) * static_cast<std::size_t>(count); };
    float* history = history_.data();
    float* spare = spare_.data();
    if (len >= n) {
        std::memcpy(spare, in + len - n, bytes(n));
        std::memmove(out + n, in, bytes(len - n));
        std::memcpy(out, history, bytes(n));
        std::memcpy(history, spare, bytes(n));
    } else {
        std::memcpy(spare, in, bytes(len));
        std::memcpy(out, history, bytes(len));
        std::memmove(history, history + len, bytes(n - len));
        std::memcpy(history + n - len, spare, bytes(len));
    }
}
