// The weighted sum of float streams gives exactly what the vector kernels'
// chain (constant multiply, then constant multiply-accumulates) gives, for
// every stretch length and its remainder.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "beamformer/runtime/weighted_sum.h"
#include "channel_set.h"
#include "dsp.h"

namespace {

TEST(WeightedSum, EqualsTheKernelChainBitForBit) {
    dspStaticInit();
    std::mt19937 random(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int count : {1, 3, 32})
        for (int frames : {1, 15, 16, 17, 100, 256}) {
            ChannelSet inputs(count, frames);
            inputs.fill([&](int, int) { return value(random); });
            std::vector<float> weights(count);
            for (float& w : weights) w = value(random);
            std::vector<float> expected(frames), sum(frames);
            dspsMulC_32f(inputs[0].data(), weights[0], expected.data(), frames);
            for (int j = 1; j < count; ++j) dspsAddProductC_32f(inputs[j].data(), weights[j], expected.data(), frames);
            orvelan::beamformer::weightedSum(inputs.pointers(), weights.data(), count, sum.data(), frames);
            for (int i = 0; i < frames; ++i)
                ASSERT_EQ(sum[i], expected[i]) << count << " inputs, " << frames << " frames, sample " << i;
        }
}

}  // namespace
