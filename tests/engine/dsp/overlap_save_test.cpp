// The overlap-save accumulate over split spectra gives, bit for bit, what
// the plain form over Perm spectra gives: each signal the weighted sum of its
// spectra (first product, then each further one added), then per bank the
// complex products with its filters summed in order, bins 0 and N/2 real.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/overlap_save.h"
#include "dsp/weighted_sum.h"
#include "support/channel_set.h"

namespace {

// The replaced form: everything in Perm layout, one plain expression per term.
std::vector<float> plainAccumulate(const std::vector<const float*>& filters, const std::vector<std::vector<float>>& signals,
                                   int length) {
    std::vector<float> sum(length);
    bool started = false;
    for (std::size_t j = 0; j < signals.size(); ++j) {
        const float* f = filters[j];
        if (f == nullptr) continue;
        const float* s = signals[j].data();
        std::vector<float> p(length);
        p[0] = f[0] * s[0];
        p[1] = f[1] * s[1];
        for (int k = 2; k < length; k += 2) {
            p[k] = f[k] * s[k] - f[k + 1] * s[k + 1];
            p[k + 1] = f[k] * s[k + 1] + f[k + 1] * s[k];
        }
        for (int k = 0; k < length; ++k) sum[k] = started ? sum[k] + p[k] : p[k];
        started = true;
    }
    return sum;
}

TEST(OverlapSaveAccumulate, SplitSpectraGiveThePlainPermFormBitForBit) {
    dspStaticInit();
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    struct Case {
        int maxFrames, maxTaps;  // transform lengths 4 (all left over), 16, 32 and 512
        int sums;
        std::vector<int> signalCounts;  // spectra summed per signal
        std::vector<std::vector<bool>> filtered;  // per bank, per signal
    };
    const Case cases[] = {
        {3, 2, 1, {1, 3}, {{true, true}}},
        {10, 7, 2, {1, 3, 5, 7}, {{true, true, true, true}, {false, true, false, true}}},
        {20, 13, 1, {3, 5}, {{false, true}}},
        {256, 251, 2, {1, 3, 5, 7}, {{true, false, true, true}, {true, true, true, true}}},
        {256, 251, 1, {1}, {{true}}},
    };
    for (const Case& c : cases) {
        vxOverlapSave convolution;
        ASSERT_TRUE(convolution.configure(c.maxFrames, c.maxTaps));
        const int n = convolution.length();
        const int count = static_cast<int>(c.signalCounts.size());

        // Perm spectra, their split copies and the weights of every signal.
        std::vector<ChannelSet> perm, split;
        std::vector<std::vector<float>> weights;
        std::vector<std::vector<float>> plainSignals;
        std::vector<vxOverlapSave::WeightedSpectra> signals;
        for (int j = 0; j < count; ++j) {
            const int m = c.signalCounts[j];
            perm.emplace_back(m, n);
            perm.back().fill([&](int, int) { return value(random); });
            split.emplace_back(m, n);
            for (int i = 0; i < m; ++i) vxOverlapSave::splitPerm(perm[j][i].data(), split[j][i].data(), n);
            weights.emplace_back(m);
            for (float& w : weights[j]) w = value(random);
            plainSignals.emplace_back(n);
            orvelan::beamformer::weightedSum(perm[j].pointers(), weights[j].data(), m, plainSignals[j].data(), n);
        }
        for (int j = 0; j < count; ++j) signals.push_back({split[j].pointers(), weights[j].data(), c.signalCounts[j]});

        ChannelSet filterPerm(c.sums * count, n), filterSplit(c.sums * count, n);
        filterPerm.fill([&](int, int) { return value(random); });
        std::vector<const float*> filters(c.sums * count);
        std::vector<std::vector<const float*>> plainFilters(c.sums, std::vector<const float*>(count));
        for (int b = 0; b < c.sums; ++b)
            for (int j = 0; j < count; ++j) {
                const int at = b * count + j;
                vxOverlapSave::splitPerm(filterPerm[at].data(), filterSplit[at].data(), n);
                filters[at] = c.filtered[b][j] ? filterSplit[at].data() : nullptr;
                plainFilters[b][j] = c.filtered[b][j] ? filterPerm[at].data() : nullptr;
            }

        ChannelSet sums(c.sums, n);
        convolution.accumulate(filters.data(), c.sums, signals.data(), count, sums.pointers());
        for (int b = 0; b < c.sums; ++b) {
            const std::vector<float> expected = plainAccumulate(plainFilters[b], plainSignals, n);
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(sums[b][k], expected[k]) << "length " << n << ", bank " << b << ", float " << k;
        }
    }
}

TEST(OverlapSaveAccumulate, JobsInOnePassGiveWhatEachGivesAlone) {
    // Beams sharing the components' spectra with their own weights and
    // filters, one or two banks each, one beam on its own order spectrum.
    std::mt19937 random(13);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    vxOverlapSave convolution;
    ASSERT_TRUE(convolution.configure(256, 251));
    const int n = convolution.length();
    constexpr int kJobs = 5, kSignals = 2;
    ChannelSet components(4, n), filters(kJobs * 2 * kSignals, n);
    components.fill([&](int, int) { return value(random); });
    filters.fill([&](int, int) { return value(random); });
    std::vector<float> weights(kJobs * 4);
    for (float& w : weights) w = value(random);
    const float unit = 1.0f;
    std::vector<vxOverlapSave::WeightedSpectra> signals(kJobs * kSignals);
    std::vector<const float*> filterTable(kJobs * 2 * kSignals);
    std::vector<vxOverlapSave::Accumulation> jobs;
    ChannelSet together(kJobs * 2, n), alone(kJobs * 2, n);
    std::vector<float*> togetherSums, aloneSums;
    for (int j = 0; j < kJobs * 2; ++j) {
        togetherSums.push_back(together[j].data());
        aloneSums.push_back(alone[j].data());
    }
    for (int job = 0; job < kJobs; ++job) {
        const float* const* spectra = components.pointers();
        vxOverlapSave::WeightedSpectra* s = &signals[job * kSignals];
        s[0] = {spectra, &weights[job * 4], 1};
        s[1] = job == kJobs - 1 ? vxOverlapSave::WeightedSpectra{spectra + 3, &unit, 1}
                                : vxOverlapSave::WeightedSpectra{spectra + 1, &weights[job * 4 + 1], 3};
        const float** f = &filterTable[job * 2 * kSignals];
        for (int k = 0; k < 2 * kSignals; ++k) f[k] = filters[job * 2 * kSignals + k].data();
        if (job == 1) f[0] = nullptr;
        jobs.push_back({f, job % 2 == 0 ? 1 : 2, s, kSignals, &togetherSums[job * 2]});
    }
    convolution.accumulate(jobs.data(), kJobs);
    for (int job = 0; job < kJobs; ++job) {
        vxOverlapSave::Accumulation one = jobs[job];
        one.sum = &aloneSums[job * 2];
        convolution.accumulate(&one, 1);
        for (int b = 0; b < one.sums; ++b)
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(together[job * 2 + b][k], alone[job * 2 + b][k]) << "job " << job << ", bank " << b;
    }
}

}  // namespace
