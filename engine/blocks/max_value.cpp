#include "blocks/max_value.h"

#include <algorithm>
#include <cmath>

CMaxValue::CMaxValue() {
    updateCoefficients(inputFormat().sampleRate());
}

void CMaxValue::updateCoefficients(float sampleRate) {
    if (sampleRate == 0.0f) {
        releaseCoeff_ = attackCoeff_ = 1.0f;
        return;
    }
    const double period = 1.0 / sampleRate;
    releaseCoeff_ = static_cast<float>(period / (releaseTime_ + period));
    attackCoeff_ = static_cast<float>(period / (attackTime_ + period));
}

vxResult CMaxValue::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    if (isRunning()) return vxErrRunning;
    if (!in.isReal()) return vxErrFormat;
    vxAudioClass::configure(in, out);
    std::lock_guard lock(mutex_);
    const int channels = std::max(in.channels(), 0);
    const bool allocated = peaks_.allocate(channels) && levels_.allocate(channels) &&
                           pendingPeaks_.allocate(channels) && envelope_.allocate(channels) &&
                           magnitudes_.allocate(std::max(in.frames(), 0));
    if (!allocated) {
        for (vxKernelArray<float>* a : {&peaks_, &levels_, &pendingPeaks_, &envelope_, &magnitudes_}) a->release();
        return vxErrAllocation;
    }
    resetPending_.store(false, std::memory_order_relaxed);
    updateCoefficients(in.sampleRate());
    return vxOK;
}

namespace {

// The envelope of N channels over one block: per sample, the level moves
// toward the magnitude by the attack coefficient when rising and the release
// coefficient when falling. The channels' recursions are independent, so
// running several side by side hides each one's latency; every channel sees
// exactly the operations it would see alone.
template <int N>
void followEnvelopes(float* const* in, float* levels, int frames, float attack, float release) {
    float level[N];
    for (int c = 0; c < N; ++c) level[c] = levels[c];
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < N; ++c) {
            const float difference = std::fabs(in[c][i]) - level[c];
            level[c] += difference * (difference > 0.0f ? attack : release);
        }
    for (int c = 0; c < N; ++c) levels[c] = level[c];
}

constexpr int kEnvelopeGroup = 8;

}  // namespace

vxResult CMaxValue::process(float** in, float**, int frames) {
    if (frames > magnitudes_.size()) return vxErrFormat;
    const int channels = envelope_.size();
    if (resetPending_.exchange(false, std::memory_order_acquire)) {
        std::fill(pendingPeaks_.begin(), pendingPeaks_.end(), 0.0f);
        std::fill(envelope_.begin(), envelope_.end(), 0.0f);
    }
    if (frames <= 0 || in == nullptr) return vxOK;
    for (int c = 0; c < channels; ++c) {
        if (in[c] == nullptr) continue;
        dspsAbs_32f(in[c], magnitudes_.data(), frames);
        float largest = 0.0f;
        dspsMax_32f(magnitudes_.data(), frames, &largest);
        if (largest > pendingPeaks_[c]) pendingPeaks_[c] = largest;
    }
    for (int c = 0; c < channels;) {
        const bool wholeGroup = c + kEnvelopeGroup <= channels &&
                                std::all_of(in + c, in + c + kEnvelopeGroup, [](float* p) { return p != nullptr; });
        if (wholeGroup) {
            followEnvelopes<kEnvelopeGroup>(in + c, &envelope_[c], frames, attackCoeff_, releaseCoeff_);
            c += kEnvelopeGroup;
        } else {
            if (in[c] != nullptr) followEnvelopes<1>(in + c, &envelope_[c], frames, attackCoeff_, releaseCoeff_);
            ++c;
        }
    }

    std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return vxOK;  // published with the next block
    // A reset since this block began: what was measured predates it.
    if (resetPending_.load(std::memory_order_relaxed)) return vxOK;
    for (int c = 0; c < channels; ++c) {
        if (pendingPeaks_[c] > peaks_[c]) peaks_[c] = pendingPeaks_[c];
        pendingPeaks_[c] = 0.0f;
        levels_[c] = envelope_[c];
    }
    return vxOK;
}

void CMaxValue::reset() {
    std::lock_guard lock(mutex_);
    std::fill(peaks_.begin(), peaks_.end(), 0.0f);
    std::fill(levels_.begin(), levels_.end(), 0.0f);
    resetPending_.store(true, std::memory_order_release);
}

vxResult CMaxValue::stop() {
    const vxResult r = vxAudioClass::stop();
    reset();
    return r;
}

void CMaxValue::readLevels(float* peaks, float* levels, int n) {
    std::lock_guard lock(mutex_);
    const int count = std::clamp(n, 0, peaks_.size());
    for (int c = 0; c < count; ++c) {
        peaks[c] = peaks_[c];
        peaks_[c] = 0.0f;
        levels[c] = levels_[c];
    }
}
