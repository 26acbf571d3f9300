#include "beamformer/runtime/shadow_filter.h"

namespace {
constexpr int kNotConfigured = 101;
constexpr int kTooLong = 102;
constexpr int kNegativeAlignment = 103;

int bit(int bank) { return 1 << bank; }
}  // namespace

vxResult vxlbShadowFilter::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (in.channels() != 1 || out.channels() != 1 || !in.isTimeDomain() || !out.isTimeDomain() || !in.isReal() ||
        !out.isReal() || in.sampleRate() != out.sampleRate() || in.framesPerBuffer() != out.framesPerBuffer())
        return vxErrFormat;
    vxAudioClass::configure(in, out);
    const int frames = out.framesPerBuffer();
    if (!currentOut_.allocate(frames) || !nextOut_.allocate(frames) || !temporary_.allocate(frames) ||
        !fade_.configure(out.sampleRate(), kTimeConstantMs))
        return vxErrAllocation;
    return setMaxDelay(maxDelay_);
}

vxResult vxlbShadowFilter::setMaxDelay(float maxDelay) {
    if (isRunning()) return vxErrRunning;
    if (!(maxDelay >= 0.0f)) return vxErrBadArgument;
    maxDelay_ = maxDelay;
    current_ = next_ = -1;
    busy_.store(0, std::memory_order_relaxed);
    queued_.store(-1, std::memory_order_relaxed);
    int bytes = 0;
    if (dspsFIRGetStateSize_32f(2 * static_cast<int>(maxDelay) + 1, &bytes) != dspStsNoErr) return vxErrAllocation;
    for (Bank& bank : banks_) {
        bank.fir = nullptr;
        bank.taps = 0;
        if (!bank.stateBuffer.allocate(bytes) || bank.alignment.reserve(static_cast<int>(maxDelay)) != 0)
            return vxErrAllocation;
    }
    return vxOK;
}

int vxlbShadowFilter::build(int b, int length, const float* taps) {
    Bank& bank = banks_[b];
    const int delay = static_cast<int>(maxDelay_);
    const int alignment = length > 0 ? delay - (length - 1) / 2 : delay;
    if (alignment < 0) return kNegativeAlignment;
    bank.fir = nullptr;
    bank.taps = 0;
    if (length > 0) {
        if (taps == nullptr || dspsFIRInit_32f(&bank.fir, taps, length, nullptr, bank.stateBuffer.data()) != dspStsNoErr) {
            bank.fir = nullptr;
            return kTooLong;
        }
        bank.taps = length;
    }
    bank.alignment.setDelay(alignment);  // within the capacity reserved by setMaxDelay
    return 0;
}

int vxlbShadowFilter::freeBank() const {
    const int used = busy_.load(std::memory_order_acquire);
    const int waiting = queued_.load(std::memory_order_acquire);
    for (int b = 0; b < kBanks; ++b)
        if ((used & bit(b)) == 0 && b != waiting) return b;
    return -1;
}

int vxlbShadowFilter::loadFilter(const int* lengths, const float* const* taps) {
    if (!isConfigured() || banks_[0].stateBuffer.empty()) return kNotConfigured;
    const int length = lengths != nullptr ? lengths[0] : 0;
    if (length > 2 * static_cast<int>(maxDelay_) + 1) return kTooLong;
    const float* filterTaps = taps != nullptr ? taps[0] : nullptr;

    if (!isRunning()) {
        // Nothing runs: the slots are the control thread's. A third load
        // replaces the one waiting.
        const int waiting = queued_.load(std::memory_order_relaxed);
        const int b = current_ >= 0 && next_ >= 0 && waiting >= 0 ? waiting : freeBank();
        if (const int r = build(b, length, filterTaps)) return r;
        if (current_ < 0) {
            current_ = b;
        } else if (next_ < 0) {
            next_ = b;
        } else {
            queued_.store(b, std::memory_order_relaxed);
            return 0;
        }
        busy_.fetch_or(bit(b), std::memory_order_relaxed);
        return 0;
    }
    // Take back a filter still waiting (the audio thread can no longer take
    // it), else a bank the audio thread does not use.
    int b = queued_.exchange(-1, std::memory_order_acq_rel);
    if (b < 0) b = freeBank();
    if (const int r = build(b, length, filterTaps)) return r;
    queued_.store(b, std::memory_order_release);
    return 0;
}

void vxlbShadowFilter::takeQueued() {
    int b = queued_.load(std::memory_order_acquire);
    if (b < 0 || (current_ >= 0 && next_ >= 0)) return;
    // Mark the bank used before taking it, so a load that finds no filter
    // waiting cannot choose it.
    busy_.fetch_or(bit(b), std::memory_order_acq_rel);
    if (!queued_.compare_exchange_strong(b, -1, std::memory_order_acq_rel)) {
        busy_.fetch_and(~bit(b), std::memory_order_release);
        return;
    }
    if (current_ < 0) {
        current_ = b;
    } else {
        next_ = b;
        fade_.restart();
    }
}

void vxlbShadowFilter::runBank(int b, const float* in, float* out, int frames) {
    Bank& bank = banks_[b];
    if (bank.fir != nullptr)
        dspsFIR_32f(in, temporary_.data(), frames, bank.fir);
    else
        dspsCopy_32f(in, temporary_.data(), frames);
    bank.alignment.delayProcess(temporary_.data(), out, frames);
}

vxResult vxlbShadowFilter::process(float** in, float** out, int frames) {
    takeQueued();
    if (current_ < 0) {
        dspsZero_32f(out[0], frames);
        return vxOK;
    }
    runBank(current_, in[0], currentOut_.data(), frames);
    if (next_ < 0) {
        dspsCopy_32f(currentOut_.data(), out[0], frames);
        return vxOK;
    }
    runBank(next_, in[0], nextOut_.data(), frames);
    if (fade_.mix(currentOut_.data(), nextOut_.data(), out[0], frames, banks_[next_].taps)) {
        const int old = current_;
        current_ = next_;
        next_ = -1;
        busy_.fetch_and(~bit(old), std::memory_order_release);
    }
    return vxOK;
}

vxResult vxlbShadowFilter::start() {
    const int waiting = queued_.exchange(-1, std::memory_order_relaxed);
    if (waiting >= 0) {
        current_ = waiting;
        next_ = -1;
    } else if (next_ >= 0) {
        current_ = next_;
        next_ = -1;
    }
    busy_.store(current_ >= 0 ? bit(current_) : 0, std::memory_order_relaxed);
    fade_.restart();
    return vxAudioClass::start();
}

vxResult vxlbShadowFilter::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}

void vxlbShadowFilter::reset() {
    if (current_ < 0) return;
    Bank& bank = banks_[current_];
    if (bank.fir != nullptr) dspsFIRSetDlyLine_32f(bank.fir, nullptr);
    bank.alignment.clear();
}
