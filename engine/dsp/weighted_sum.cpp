#include "dsp/weighted_sum.h"

#include <emmintrin.h>

namespace orvelan::beamformer {

namespace {
// Samples summed together: four SSE registers of accumulators.
constexpr int kStretch = 16;

// Samples from..frames-1 one at a time.
void sumSamples(const float* const* inputs, const float* weights, int count, float* out, int from, int frames) {
    for (int i = from; i < frames; ++i) {
        float sum = inputs[0][i] * weights[0];
        for (int j = 1; j < count; ++j) sum += inputs[j][i] * weights[j];
        out[i] = sum;
    }
}
}  // namespace

void weightedSum(const float* const* inputs, const float* weights, int count, float* out, int frames) {
    int i = 0;
    for (; i + kStretch <= frames; i += kStretch) {
        float sum[kStretch];
        const float* first = inputs[0] + i;
        for (int s = 0; s < kStretch; ++s) sum[s] = first[s] * weights[0];
        for (int j = 1; j < count; ++j) {
            const float* x = inputs[j] + i;
            const float w = weights[j];
            for (int s = 0; s < kStretch; ++s) sum[s] += x[s] * w;
        }
        for (int s = 0; s < kStretch; ++s) out[i + s] = sum[s];
    }
    sumSamples(inputs, weights, count, out, i, frames);
}

void weightedSums(const float* const* inputs, const float* const* weights, int count, float* const* outs,
                  int outCount, int frames) {
    // Four sums side by side over stretches of 8 samples: eight SSE
    // accumulators, each input stretch loaded once for the four.
    constexpr int kSide = 4;
    constexpr int kShort = 8;
    int o = 0;
    for (; o + kSide <= outCount; o += kSide) {
        const float* const* w = weights + o;
        float* const* y = outs + o;
        int i = 0;
        for (; i + kShort <= frames; i += kShort) {
            __m128 lo[kSide], hi[kSide];
            {
                const __m128 x0 = _mm_loadu_ps(inputs[0] + i), x1 = _mm_loadu_ps(inputs[0] + i + 4);
                for (int s = 0; s < kSide; ++s) {
                    const __m128 c = _mm_set1_ps(w[s][0]);
                    lo[s] = _mm_mul_ps(x0, c);
                    hi[s] = _mm_mul_ps(x1, c);
                }
            }
            for (int j = 1; j < count; ++j) {
                const __m128 x0 = _mm_loadu_ps(inputs[j] + i), x1 = _mm_loadu_ps(inputs[j] + i + 4);
                for (int s = 0; s < kSide; ++s) {
                    const __m128 c = _mm_set1_ps(w[s][j]);
                    lo[s] = _mm_add_ps(lo[s], _mm_mul_ps(x0, c));
                    hi[s] = _mm_add_ps(hi[s], _mm_mul_ps(x1, c));
                }
            }
            for (int s = 0; s < kSide; ++s) {
                _mm_storeu_ps(y[s] + i, lo[s]);
                _mm_storeu_ps(y[s] + i + 4, hi[s]);
            }
        }
        for (int s = 0; s < kSide; ++s) sumSamples(inputs, w[s], count, y[s], i, frames);
    }
    for (; o < outCount; ++o) weightedSum(inputs, weights[o], count, outs[o], frames);
}

}  // namespace orvelan::beamformer
