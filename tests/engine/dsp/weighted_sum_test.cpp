// The weighted sum of float streams gives exactly what the vector kernels'
// chain (constant multiply, then constant multiply-accumulates) gives, for
// every stretch length and its remainder.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/weighted_sum.h"
#include "support/channel_set.h"
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

TEST(WeightedSum, SumsSideBySideEqualSumsOneByOne) {
    // Groups of four and the ones left over, every stretch length and its
    // remainder.
    std::mt19937 random(9);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    for (int outCount : {1, 4, 6, 16})
        for (int frames : {1, 7, 8, 9, 100, 256}) {
            const int count = 32;
            ChannelSet inputs(count, frames);
            inputs.fill([&](int, int) { return value(random); });
            std::vector<std::vector<float>> weights(outCount, std::vector<float>(count));
            for (auto& row : weights)
                for (float& w : row) w = value(random);
            ChannelSet sums(outCount, frames);
            std::vector<const float*> rows;
            for (auto& row : weights) rows.push_back(row.data());
            orvelan::beamformer::weightedSums(inputs.pointers(), rows.data(), count, sums.pointers(), outCount, frames);
            std::vector<float> expected(frames);
            for (int o = 0; o < outCount; ++o) {
                orvelan::beamformer::weightedSum(inputs.pointers(), rows[o], count, expected.data(), frames);
                for (int i = 0; i < frames; ++i)
                    ASSERT_EQ(sums[o][i], expected[i]) << outCount << " sums, " << frames << " frames, sum " << o
                                                       << ", sample " << i;
            }
        }
}

}  // namespace
