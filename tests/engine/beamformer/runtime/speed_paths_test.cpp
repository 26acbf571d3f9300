// The beamformer's speed paths together: shared component spectra,
// held-look cell means, the crossover pair run as one filter and idle
// beams each have a test of their own; here a random schedule of mode
// changes, looks, pattern fades and beams switched on and off runs through
// one block with them and one with them switched off, and the beams must
// agree sample for sample within float rounding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "beamformer/runtime/beamformer_block.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;
constexpr int kBeams = 8;  // enough formed beams for the shared spectra
constexpr int kBlocks = 600;

vxAudioInterface format(int channels) { return vxAudioInterface::timeDomain(channels, kRate, kFrames); }

// The same control call on both blocks, with the same answer.
template <typename Call>
void onBoth(CRo32& fast, CRo32& plain, Call call) {
    const int a = call(fast);
    const int b = call(plain);
    ASSERT_EQ(a, b);
}

TEST(BeamformerSpeedPaths, ARandomScheduleGivesTheBeamsOfTheGeneralPaths) {
    CRo32 fast, plain;
    plain.chain().setSpeedPathsForTests(false);
    ASSERT_EQ(fast.configure(format(32), format(kBeams)), vxOK);
    ASSERT_EQ(plain.configure(format(32), format(kBeams)), vxOK);
    ASSERT_EQ(fast.start(), vxOK);
    ASSERT_EQ(plain.start(), vxOK);

    std::mt19937 random(44);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::vector<std::vector<float>> capsules(32, std::vector<float>(kFrames));
    std::vector<float*> in;
    for (auto& c : capsules) in.push_back(c.data());
    std::vector<std::vector<float>> fastOut(kBeams, std::vector<float>(kFrames)), plainOut = fastOut;
    std::vector<float*> fastPointers, plainPointers;
    for (int b = 0; b < kBeams; ++b) {
        fastPointers.push_back(fastOut[b].data());
        plainPointers.push_back(plainOut[b].data());
    }

    int modeChanges = 0, fades = 0, switches = 0;
    double largestDifference = 0.0;
    for (int block = 0; block < kBlocks; ++block) {
        const int beam = int(random() % kBeams);
        const double roll = chance(random);
        if (roll < 0.25) {  // a new look, glided to over the next blocks
            const float theta = float(random() % 181), phi = float(random() % 360);
            onBoth(fast, plain, [&](CRo32& b) { return b.setTheta(beam, theta) | b.setPhi(beam, phi); });
        } else if (roll < 0.31) {  // a pattern and variant, crossfaded in
            const int pattern = int(random() % unsigned(fast.numPatterns()));
            const int variant = int(random() % 5);
            onBoth(fast, plain, [&](CRo32& b) { return b.setPattern(beam, pattern) | b.setPatternParameter(beam, variant); });
            ++fades;
        } else if (roll < 0.34) {
            const int mode = int(random() % CRosphere::kModeCount);
            onBoth(fast, plain, [&](CRo32& b) { return b.setMbfMode(mode); });
            ++modeChanges;
        } else if (roll < 0.40) {
            const bool on = !fast.chain().beamEnabled(beam);
            onBoth(fast, plain, [&](CRo32& b) { return b.setBeamEnabled(beam, on); });
            ++switches;
        }  // else every look holds: the held-look and idle paths get their turn

        for (auto& c : capsules)
            for (float& v : c) v = sample(random);
        ASSERT_EQ(fast.process(in.data(), fastPointers.data(), kFrames), vxOK);
        ASSERT_EQ(plain.process(in.data(), plainPointers.data(), kFrames), vxOK);
        for (int b = 0; b < kBeams; ++b) {
            float peak = 0.0f;
            for (float v : plainOut[b]) peak = std::max(peak, std::fabs(v));
            // Float rounding of sums that run in another order: relative to
            // the block's level, with a floor for near-silent blocks.
            const float bound = 1e-5f + 2e-5f * peak;
            for (int i = 0; i < kFrames; ++i) {
                const float difference = std::fabs(fastOut[b][i] - plainOut[b][i]);
                largestDifference = std::max(largestDifference, double(difference));
                ASSERT_LE(difference, bound) << "block " << block << ", beam " << b << ", sample " << i << " (mode "
                                             << fast.mbfMode() << ")";
            }
        }
    }
    EXPECT_GT(modeChanges, 5);
    EXPECT_GT(fades, 10);
    EXPECT_GT(switches, 10);
    RecordProperty("largestDifference", std::to_string(largestDifference));
}

}  // namespace
