// The decomposition's radial cascades, 16 lanes side by side, against the
// kernels' double-tap biquad filter run lane by lane: the generated radial
// sets (orders of 2 and 4 sections, gains up to 10^6), cascades that cannot
// be made, blocks of any length, and reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "beamformer/runtime/radial_cascades.h"
#include "beamformer/tables/beamformer_tables.h"
#include "support/channel_set.h"
#include "dsp.h"

namespace {

namespace tables = orvelan::beamformer::tables;
constexpr int kLanes = vxRadialCascades::kLanes;
constexpr int kFrames = 600;

struct Lanes {
    const double* sections[kLanes];
    int counts[kLanes];
};

// The generated mode-0 set on lanes 0..12 (order by lane % 4), then a
// cascade with b0 = 0, one with a0 = 0 and one of no sections.
Lanes mixedLanes() {
    static const double zeroB0[6] = {0, 1, 0, 1, 0.5, 0};
    static const double zeroA0[6] = {1, 1, 0, 0, 0.5, 0};
    Lanes l{};
    for (int k = 0; k < 13; ++k) {
        l.sections[k] = tables::kRadialSections[k % 4];
        l.counts[k] = tables::kRadialSectionCounts[k % 4];
    }
    l.sections[13] = zeroB0;
    l.counts[13] = 1;
    l.sections[14] = zeroA0;
    l.counts[14] = 1;
    l.sections[15] = tables::kRadialSections[3];
    l.counts[15] = 0;
    return l;
}

ChannelSet noise(int seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    ChannelSet x(kLanes, kFrames);
    x.fill([&](int, int) { return value(random); });
    return x;
}

// Runs the cascades over the channels in blocks of uneven length.
void runInBlocks(vxRadialCascades& cascades, ChannelSet& x) {
    for (int start = 0, block = 1; start < kFrames; start += block, block = block * 3 % 257 + 1) {
        const int n = std::min(block, kFrames - start);
        float* at[kLanes];
        for (int l = 0; l < kLanes; ++l) at[l] = x[l].data() + start;
        cascades.process(at, n);
    }
}

TEST(RadialCascades, EachLaneIsTheKernelsBiquadCascade) {
    dspStaticInit();
    const Lanes lanes = mixedLanes();
    vxRadialCascades cascades;
    ASSERT_TRUE(cascades.load(lanes.sections, lanes.counts));
    const ChannelSet input = noise(3);
    ChannelSet filtered = input;
    runInBlocks(cascades, filtered);
    for (int l = 0; l < kLanes; ++l) {
        std::vector<float> expected = input[l];
        DspsIIRState64f_32f* state = nullptr;
        if (dspsIIRInitAlloc64f_BiQuad_32f(&state, lanes.sections[l], lanes.counts[l], nullptr) == dspStsNoErr) {
            dspsIIR64f_32f_I(expected.data(), kFrames, state);
            dspsIIRFree64f_32f(state);
        }  // else: passed through
        float peak = 0;
        for (float v : expected) peak = std::max(peak, std::abs(v));
        for (int i = 0; i < kFrames; ++i)
            ASSERT_NEAR(filtered[l][i], expected[i], 1e-6f * peak) << "lane " << l << ", sample " << i;
    }
}

TEST(RadialCascades, ResetStartsEveryLaneAfresh) {
    const Lanes lanes = mixedLanes();
    vxRadialCascades cascades;
    ASSERT_TRUE(cascades.load(lanes.sections, lanes.counts));
    ChannelSet first = noise(5), again = noise(5), other = noise(6);
    runInBlocks(cascades, other);
    cascades.reset();
    runInBlocks(cascades, first);
    cascades.reset();
    runInBlocks(cascades, again);
    for (int l = 0; l < kLanes; ++l) EXPECT_EQ(first[l], again[l]) << "lane " << l;
}

}  // namespace
