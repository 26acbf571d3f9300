// The control thread steers, switches patterns, variants, modes, the
// equaliser and beams while the audio thread runs the beamformer: every
// output stays finite and bounded, and nothing races.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "beamformer/runtime/beamformer_block.h"

namespace {

TEST(BeamformerBlockThreads, ControlChangesDuringProcessing) {
    constexpr int kFrames = 64, kBeams = 4;
    CRo32 block;
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(32, 44100.0f, kFrames),
                              vxAudioInterface::timeDomain(kBeams, 44100.0f, kFrames)),
              vxOK);
    ASSERT_EQ(block.start(), vxOK);

    std::atomic<bool> done{false};
    std::thread control([&] {
        for (int i = 0; i < 400; ++i) {
            const int beam = i % kBeams;
            std::int32_t value = i % 12;
            EXPECT_EQ(block.setChannelParameter(beam, CRo32::kPattern, &value, 1, vxTypeInt32), vxOK);
            // Variants the pattern lacks load empty filters.
            if (i % 5 == 0) {
                EXPECT_EQ(block.setPatternParameter(beam, i % 7 - 1), 0);
            }
            EXPECT_EQ(block.setPhi(beam, float(i * 13)), 0);
            EXPECT_EQ(block.setTheta(beam, float(i % 181)), 0);
            EXPECT_EQ(block.setBeamEnabled(beam, i % 9 != 0), 0);
            EXPECT_EQ(block.setEqStatus(i % 4 != 0), 0);
            if (i % 50 == 0) {
                EXPECT_EQ(block.setMbfMode(i / 50 % 5), 0);
            }
            std::this_thread::yield();
        }
        EXPECT_EQ(block.setMbfMode(1), 0);
        done = true;
    });

    std::mt19937 random(3);
    std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
    std::vector<std::vector<float>> capsules(32, std::vector<float>(kFrames));
    std::vector<std::vector<float>> outputs(kBeams, std::vector<float>(kFrames));
    std::vector<float*> in, out;
    for (auto& c : capsules) in.push_back(c.data());
    for (auto& o : outputs) out.push_back(o.data());
    bool finite = true;
    float largest = 0.0f;
    for (int n = 0; !done || n < 300; ++n) {
        for (auto& c : capsules)
            for (float& v : c) v = sample(random);
        ASSERT_EQ(block.process(in.data(), out.data(), kFrames), vxOK);
        for (auto& o : outputs)
            for (float v : o) {
                finite = finite && std::isfinite(v);
                largest = std::max(largest, std::abs(v));
            }
    }
    control.join();
    EXPECT_TRUE(finite);
    // Half-scale noise on every capsule: no beam may blow it up.
    EXPECT_LT(largest, 50.0f);
    block.stop();
}

}  // namespace
