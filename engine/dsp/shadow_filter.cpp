#include "dsp/shadow_filter.h"

namespace {
constexpr int kNotConfigured = 101;
constexpr int kTooLong = 102;
constexpr int kNegativeAlignment = 103;
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
    slots_.clear();
    int bytes = 0;
    if (dspsFIRGetStateSize_32f(2 * static_cast<int>(maxDelay) + 1, &bytes) != dspStsNoErr) return vxErrAllocation;
    for (Bank& bank : banks_) {
        bank.fir = nullptr;
        bank.taps = 0;
        ++bank.builds;
        if (!bank.stateBuffer.allocate(bytes) || !bank.coefficients.allocate(2 * static_cast<int>(maxDelay) + 1) ||
            bank.alignment.reserve(static_cast<int>(maxDelay)) != 0)
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
    ++bank.builds;
    if (length > 0) {
        if (taps == nullptr || dspsFIRInit_32f(&bank.fir, taps, length, nullptr, bank.stateBuffer.data()) != dspStsNoErr) {
            bank.fir = nullptr;
            return kTooLong;
        }
        bank.taps = length;
        dspsCopy_32f(taps, bank.coefficients.data(), length);
    }
    // Within the capacity setMaxDelay reserved, so it cannot fail.
    (void)bank.alignment.setDelay(alignment);
    return 0;
}

int vxlbShadowFilter::loadFilter(const int* lengths, const float* const* taps) {
    if (!isConfigured() || banks_[0].stateBuffer.empty()) return kNotConfigured;
    const int length = lengths != nullptr ? lengths[0] : 0;
    if (length > 2 * static_cast<int>(maxDelay_) + 1) return kTooLong;
    const bool running = isRunning();
    const int bank = slots_.bankForLoad(running);
    if (const int r = build(bank, length, taps != nullptr ? taps[0] : nullptr)) return r;
    slots_.publish(bank, running);
    return 0;
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
    if (slots_.takeWaiting()) fade_.restart();
    const int current = slots_.current(), next = slots_.next();
    if (current < 0) {
        dspsZero_32f(out[0], frames);
        return vxOK;
    }
    if (next < 0) {
        runBank(current, in[0], out[0], frames);
        return vxOK;
    }
    runBank(current, in[0], currentOut_.data(), frames);
    runBank(next, in[0], nextOut_.data(), frames);
    if (fade_.mix(currentOut_.data(), nextOut_.data(), out[0], frames, banks_[next].taps)) slots_.finishFade();
    return vxOK;
}

vxResult vxlbShadowFilter::start() {
    slots_.promoteAtStart();
    fade_.restart();
    return vxAudioClass::start();
}

vxResult vxlbShadowFilter::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}

void vxlbShadowFilter::reset() {
    if (slots_.current() < 0) return;
    Bank& bank = banks_[slots_.current()];
    if (bank.fir != nullptr) dspsFIRSetDlyLine_32f(bank.fir, nullptr);
    bank.alignment.clear();
}
