#include "beamformer/runtime/weighted_sum.h"

namespace orvelan::beamformer {

namespace {
// Samples summed together: four SSE registers of accumulators.
constexpr int kStretch = 16;
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
    for (; i < frames; ++i) {
        float sum = inputs[0][i] * weights[0];
        for (int j = 1; j < count; ++j) sum += inputs[j][i] * weights[j];
        out[i] = sum;
    }
}

}  // namespace orvelan::beamformer
