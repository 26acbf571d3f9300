#include "blocks/max_value.h"

#include <algorithm>
#include <cmath>

#include <xmmintrin.h>

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

// One step of the envelope: the level moves toward the magnitude by the
// attack coefficient when rising and the release coefficient when falling.
inline float followStep(float level, float magnitude, float attack, float release) {
    const float difference = magnitude - level;
    return level + difference * (difference > 0.0f ? attack : release);
}

// The same step for four channels at once, operation for operation.
inline __m128 followStep(__m128 level, __m128 magnitude, __m128 attack, __m128 release) {
    const __m128 difference = _mm_sub_ps(magnitude, level);
    const __m128 rising = _mm_cmpgt_ps(difference, _mm_setzero_ps());
    const __m128 coefficient = _mm_or_ps(_mm_and_ps(rising, attack), _mm_andnot_ps(rising, release));
    return _mm_add_ps(level, _mm_mul_ps(difference, coefficient));
}

// The envelopes of one channel over one block.
void followEnvelope(const float* in, float* level, int frames, float attack, float release) {
    float l = *level;
    for (int i = 0; i < frames; ++i) l = followStep(l, std::fabs(in[i]), attack, release);
    *level = l;
}

// The envelopes of 4 x Quads channels over one block. The channels'
// recursions are independent, so running several side by side hides each
// one's latency; four samples of four channels are loaded as four vectors
// and turned so that each vector holds one sample of all four. Every
// channel sees exactly the operations it would see alone.
template <int Quads>
void followEnvelopes(float* const* in, float* levels, int frames, float attack, float release) {
    const __m128 a = _mm_set1_ps(attack), r = _mm_set1_ps(release);
    const __m128 sign = _mm_set1_ps(-0.0f);
    __m128 level[Quads];
    for (int q = 0; q < Quads; ++q) level[q] = _mm_loadu_ps(levels + 4 * q);
    const int whole = frames & ~3;
    for (int i = 0; i < whole; i += 4)
        for (int q = 0; q < Quads; ++q) {
            __m128 s0 = _mm_loadu_ps(in[4 * q] + i), s1 = _mm_loadu_ps(in[4 * q + 1] + i);
            __m128 s2 = _mm_loadu_ps(in[4 * q + 2] + i), s3 = _mm_loadu_ps(in[4 * q + 3] + i);
            _MM_TRANSPOSE4_PS(s0, s1, s2, s3);
            level[q] = followStep(level[q], _mm_andnot_ps(sign, s0), a, r);
            level[q] = followStep(level[q], _mm_andnot_ps(sign, s1), a, r);
            level[q] = followStep(level[q], _mm_andnot_ps(sign, s2), a, r);
            level[q] = followStep(level[q], _mm_andnot_ps(sign, s3), a, r);
        }
    for (int q = 0; q < Quads; ++q) _mm_storeu_ps(levels + 4 * q, level[q]);
    for (int c = 0; c < 4 * Quads; ++c) followEnvelope(in[c] + whole, levels + c, frames - whole, attack, release);
}

// Channels run in groups as wide as the block allows: sixteen recursions in
// flight fill the time each one waits on its last level, eight when fewer
// channels are left, one by one for the rest and where a channel is null.
constexpr int kEnvelopeGroups[] = {16, 8};

template <int N>
bool wholeGroup(float* const* in, int c, int channels) {
    return c + N <= channels && std::all_of(in + c, in + c + N, [](float* p) { return p != nullptr; });
}

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
    constexpr int kWide = kEnvelopeGroups[0], kNarrow = kEnvelopeGroups[1];
    for (int c = 0; c < channels;) {
        if (wholeGroup<kWide>(in, c, channels)) {
            followEnvelopes<kWide / 4>(in + c, &envelope_[c], frames, attackCoeff_, releaseCoeff_);
            c += kWide;
        } else if (wholeGroup<kNarrow>(in, c, channels)) {
            followEnvelopes<kNarrow / 4>(in + c, &envelope_[c], frames, attackCoeff_, releaseCoeff_);
            c += kNarrow;
        } else {
            if (in[c] != nullptr) followEnvelope(in[c], &envelope_[c], frames, attackCoeff_, releaseCoeff_);
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
