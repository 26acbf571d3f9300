// The beamformer block CRo32 and its chain CRosphere: formats, parameters,
// setters and pattern queries, the chain's modes, delays and beam switching.
// (The beams' acoustic behaviour is tested on the simulated array in
// beamformer_end_to_end_test.cpp.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "beamformer/runtime/beamformer_block.h"

namespace {

constexpr float kRate = 44100.0f;

vxAudioInterface format(int channels, float rate = kRate, int frames = 64) {
    return vxAudioInterface::timeDomain(channels, rate, frames);
}

int get(CRo32& block, int channel, int id) {
    std::int32_t v = -99;
    EXPECT_EQ(block.getChannelParameter(channel, id, &v, 1, vxTypeInt32), vxOK);
    return v;
}

vxResult set(CRo32& block, int channel, int id, std::int32_t value) {
    return block.setChannelParameter(channel, id, &value, 1, vxTypeInt32);
}

// Noise on every capsule and room for the beams, block by block.
struct Signals {
    Signals(int beams, int frames, unsigned seed = 1) : frames(frames) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> sample(-0.5f, 0.5f);
        capsules.assign(32, std::vector<float>(frames));
        for (auto& c : capsules)
            for (float& v : c) v = sample(random);
        outputs.assign(beams, std::vector<float>(frames));
        for (auto& c : capsules) in.push_back(c.data());
        for (auto& o : outputs) out.push_back(o.data());
    }
    vxResult run(CRo32& block) { return block.process(in.data(), out.data(), frames); }
    int frames;
    std::vector<std::vector<float>> capsules, outputs;
    std::vector<float*> in, out;
};

TEST(BeamformerBlock, RefusesFormatsOutsideItsRange) {
    struct Case {
        const char* what;
        vxAudioInterface in, out;
        vxResult result;
    };
    vxAudioInterface complexIn = format(32);
    complexIn.setReal(false);
    vxAudioInterface frequencyOut = format(2);
    frequencyOut.setDomain(vxAudioInterface::kFrequencyDomain);
    const Case cases[] = {
        {"31 capsules", format(31), format(2), vxErrFormat},
        {"33 capsules", format(33), format(2), vxErrFormat},
        {"rate just below", format(32, 39689.0f), format(2, 39689.0f), vxErrFormat},
        {"rate just above", format(32, 48511.0f), format(2, 48511.0f), vxErrFormat},
        {"31 outputs", format(32), format(31), vxErrFormat},
        {"frames differ", format(32, kRate, 64), format(2, kRate, 128), vxErrFormat},
        {"complex input", complexIn, format(2), vxErrFormat},
        {"frequency-domain output", format(32), frequencyOut, vxErrFormat},
        // Each rate is checked against the window; the chain wants them equal.
        {"44100 in, 48000 out", format(32, 44100.0f), format(2, 48000.0f), vxErrFormat},
        {"lowest rate", format(32, 39690.0f), format(2, 39690.0f), vxOK},
        {"highest rate", format(32, 48510.0f), format(2, 48510.0f), vxOK},
        {"30 outputs", format(32), format(30), vxOK},
    };
    for (const Case& c : cases) {
        CRo32 block;
        EXPECT_EQ(block.configure(c.in, c.out), c.result) << c.what;
    }
}

TEST(BeamformerBlock, ConfigureSetsEveryBeamsDefaults) {
    CRo32 block;
    EXPECT_EQ(block.classId(), 10401);
    ASSERT_EQ(block.configure(format(32), format(18)), vxOK);
    for (int b = 0; b < 18; ++b) {
        EXPECT_EQ(get(block, b, CRo32::kTheta), 90);
        EXPECT_EQ(get(block, b, CRo32::kPhi), 0);
        EXPECT_EQ(get(block, b, CRo32::kPattern), 0);
        EXPECT_EQ(get(block, b, CRo32::kMbfMode), 1);
        EXPECT_EQ(get(block, b, CRo32::kEqStatus), 1);
        EXPECT_EQ(block.beamVariant(b), 0);
        EXPECT_TRUE(block.chain().beamEnabled(b));
    }
    const vxParameterTable& table = block.channelParameterTable();
    ASSERT_EQ(table.count, 5);
    const char* names[] = {"theta", "phi", "pattern", "mbfMode", "eqStatus"};
    for (int id = 0; id < 5; ++id) {
        EXPECT_STREQ(table.names[id], names[id]);
        EXPECT_EQ(table.counts[id], 1);
        EXPECT_EQ(table.types[id], vxTypeInt32);
    }
}

TEST(BeamformerBlock, ParameterCodes) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(4)), vxOK);
    std::int32_t v = 0;
    float f = 0.0f;
    EXPECT_EQ(block.setChannelParameter(0, 5, &v, 1, vxTypeInt32), vxErrNoChannelParameterId);
    EXPECT_EQ(block.getChannelParameter(0, 5, &v, 1, vxTypeInt32), vxErrNoChannelParameterId);
    EXPECT_EQ(block.setChannelParameter(4, CRo32::kTheta, &v, 1, vxTypeInt32), 11);
    EXPECT_EQ(block.setChannelParameter(-1, CRo32::kPattern, &v, 1, vxTypeInt32), 11);
    EXPECT_EQ(block.getChannelParameter(4, CRo32::kMbfMode, &v, 1, vxTypeInt32), 11);
    // Block-wide ids ignore the channel when set.
    EXPECT_EQ(set(block, 7, CRo32::kEqStatus, 0), vxOK);
    EXPECT_EQ(get(block, 0, CRo32::kEqStatus), 0);
    EXPECT_EQ(block.setChannelParameter(0, CRo32::kPhi, &f, 1, vxTypeFloat32), vxErrParameterMismatch);
    EXPECT_EQ(block.setChannelParameter(0, CRo32::kPhi, &v, 2, vxTypeInt32), vxErrParameterMismatch);

    // Pattern: above the last selects the last; negative changes nothing.
    EXPECT_EQ(set(block, 1, CRo32::kPattern, 99), vxOK);
    EXPECT_EQ(get(block, 1, CRo32::kPattern), 11);
    EXPECT_EQ(set(block, 1, CRo32::kPattern, -1), vxErrBadArgument);
    EXPECT_EQ(get(block, 1, CRo32::kPattern), 11);
    // The variant of value 0 is loaded ("card3": -12, -6, 0, 6, 12), else the only one.
    EXPECT_EQ(set(block, 1, CRo32::kPattern, 7), vxOK);
    EXPECT_EQ(block.beamVariant(1), 2);
    EXPECT_EQ(set(block, 1, CRo32::kPattern, 9), vxOK);
    EXPECT_EQ(block.beamVariant(1), 0);
}

TEST(BeamformerBlock, AnglesBecomeWholeDegreeTargets) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(2)), vxOK);
    struct Case {
        bool theta;
        float degrees;
        int target, readBack;
    };
    const Case cases[] = {
        {false, 725.9f, 5, 725}, {false, -10.0f, 350, -10}, {false, 359.99f, 359, 359},
        {true, 200.0f, 180, 200}, {true, 45.9f, 45, 45},    {true, -3.0f, 0, -3},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(c.theta ? block.setTheta(1, c.degrees) : block.setPhi(1, c.degrees), 0);
        const CMbf& mbf = block.chain().modalBeamformer(1);
        EXPECT_EQ(c.theta ? mbf.thetaTarget() : mbf.phiTarget(), c.target) << c.degrees;
        EXPECT_EQ(get(block, 1, c.theta ? CRo32::kTheta : CRo32::kPhi), c.readBack) << c.degrees;
    }
    EXPECT_EQ(block.setTheta(2, 10.0f), 101);
    EXPECT_EQ(block.setPhi(-1, 10.0f), 101);
    EXPECT_EQ(block.setBeamEnabled(2, true), 101);
    EXPECT_EQ(block.setPatternParameter(2, 0), 101);
    EXPECT_EQ(block.setPattern(2, 0), vxErrBadArgument);
    EXPECT_EQ(block.setPattern(0, 12), vxErrBadArgument);
    EXPECT_EQ(block.setPatternParameter(0, 0), vxErrBadArgument);  // no pattern to load
}

TEST(BeamformerBlock, MbfModes) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(2)), vxOK);
    EXPECT_EQ(set(block, 0, CRo32::kMbfMode, 5), 102);
    EXPECT_EQ(block.chain().mode(), 1);
    EXPECT_EQ(block.setMbfMode(-1), 102);
    EXPECT_EQ(get(block, 0, CRo32::kMbfMode), 1);
    for (int mode = 0; mode <= 4; ++mode) {
        EXPECT_EQ(set(block, 0, CRo32::kMbfMode, mode), vxOK);
        EXPECT_EQ(block.chain().mode(), mode);
    }
    // Leaving mode 3 switches the HF paths off until a variant is loaded.
    ASSERT_EQ(set(block, 0, CRo32::kPattern, 9), vxOK);
    EXPECT_EQ(block.chain().hfMode(0), 1);
    EXPECT_EQ(block.setMbfMode(3), 0);
    EXPECT_EQ(block.setMbfMode(1), 0);
    EXPECT_EQ(block.chain().hfMode(0), 0);
    EXPECT_EQ(block.chain().hfMode(1), 0);
    EXPECT_EQ(block.setPatternParameter(0, 0), 0);
    EXPECT_EQ(block.chain().hfMode(0), 1);
}

TEST(BeamformerBlock, PatternQueries) {
    CRo32 block;
    EXPECT_EQ(block.numPatterns(), 12);
    EXPECT_EQ(block.maxCurvePoints(), 73);
    int nameLength = 0, descriptionLength = 0, variants = 0, points = 0;
    EXPECT_EQ(block.patternInfo(7, &nameLength, &descriptionLength, &variants, &points), 0);
    EXPECT_EQ(nameLength, 16);
    EXPECT_EQ(descriptionLength, 16);
    EXPECT_EQ(variants, 5);
    EXPECT_EQ(points, 73);
    EXPECT_EQ(block.patternInfo(7, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(block.patternInfo(12, &nameLength, nullptr, nullptr, nullptr), vxErrBadArgument);

    char name[16], description[16];
    int values[5] = {};
    std::memset(name, 'x', 16);
    EXPECT_EQ(block.patternNames(7, name, description, values), 0);
    EXPECT_EQ(std::string(name, 16), std::string("card3\0\0\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_STREQ(description, "WNG");
    EXPECT_EQ(std::vector<int>(values, values + 5), (std::vector<int>{-12, -6, 0, 6, 12}));
    EXPECT_EQ(block.patternNames(-1, name, nullptr, nullptr), vxErrBadArgument);

    std::vector<float> curve(73, -1.0f);
    int width = -1;
    EXPECT_EQ(block.patternCurve(10, 0, curve.data(), &width), 0);
    EXPECT_EQ(width, 90);
    EXPECT_NEAR(curve[0], 1.0f, 1e-3f);
    EXPECT_NEAR(curve[18], 0.0f, 0.02f);
    std::vector<float> untouched(73, -1.0f);
    EXPECT_EQ(block.patternCurve(10, 1, untouched.data(), &width), 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(untouched[0], -1.0f);
    EXPECT_EQ(block.patternCurve(12, 0, curve.data(), &width), vxErrBadArgument);
}

TEST(BeamformerChain, EveryPatternLeavesOneLatencyAndNoNegativeDelay) {
    // The stages align every filter to their longest, so the final delay is
    // the same for every beam and never negative, whatever pattern it runs.
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(12)), vxOK);
    for (int b = 0; b < 12; ++b) ASSERT_EQ(set(block, b, CRo32::kPattern, b), vxOK);
    const CRosphere& chain = block.chain();
    for (int b = 0; b < 12; ++b) {
        EXPECT_GE(chain.outputDelay(b), 0);
        EXPECT_EQ(chain.outputDelay(b), chain.outputDelay(0));
        EXPECT_EQ(chain.hfDelay(b), 125);
    }
    // 125 modal + 27 crossover + 15 equaliser already exceed 160.
    EXPECT_EQ(chain.outputDelay(0), 0);
    EXPECT_EQ(chain.latency(), 167);
}

TEST(BeamformerChain, FilterCallsCheckTheBeam) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(3)), vxOK);
    const float tap = 1.0f;
    CRosphere& chain = block.chain();
    EXPECT_EQ(chain.setCrossoverLowPass(3, &tap, 1), 11);
    EXPECT_EQ(chain.setCrossoverHighPass(-1, &tap, 1), 11);
    EXPECT_EQ(chain.setEqFilter(3, &tap, 1), 11);
    EXPECT_EQ(chain.setHfMode(3, 1), 11);
    EXPECT_EQ(chain.setCrossoverLowPass(2, &tap, 1), 0);
    EXPECT_EQ(chain.setRadialMode(3), 105);
    EXPECT_EQ(chain.setRadialMode(2), 0);
    ASSERT_EQ(block.start(), vxOK);
    EXPECT_EQ(chain.setModalLatency(10.0f), vxErrRunning);
    EXPECT_EQ(chain.setNumComponents(16), vxErrRunning);
    EXPECT_EQ(block.configure(format(32), format(3)), vxErrRunning);
    EXPECT_EQ(chain.setCrossoverLowPass(2, &tap, 1), 0);  // loads go on while running
    block.stop();
}

TEST(BeamformerChain, ModeZeroCopiesComponentsAndSilencesTheRest) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32), format(18)), vxOK);
    ASSERT_EQ(block.setMbfMode(0), 0);
    ASSERT_EQ(block.start(), vxOK);
    Signals s(18, 64);
    for (auto& o : s.outputs) o.assign(64, 7.0f);
    ASSERT_EQ(s.run(block), vxOK);
    // Component 0 is the mean of the capsules (times the encoder's weight)
    // through its radial filter: not silent for noise.
    double energy = 0;
    for (float v : s.outputs[0]) energy += v * v;
    EXPECT_GT(energy, 0.0);
    for (int b : {16, 17})
        for (float v : s.outputs[b]) ASSERT_EQ(v, 0.0f) << "output " << b;
}

TEST(BeamformerChain, DisabledBeamDrainsToIdleAndComesBackOnAtItsNewLook) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32, kRate, 256), format(2, kRate, 256)), vxOK);
    ASSERT_EQ(set(block, 0, CRo32::kPattern, 4), vxOK);
    ASSERT_EQ(block.start(), vxOK);
    Signals s(2, 256);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(s.run(block), vxOK);
    ASSERT_EQ(block.setBeamEnabled(0, false), 0);
    ASSERT_EQ(s.run(block), vxOK);  // the beam fades out
    ASSERT_EQ(s.run(block), vxOK);  // the crossover, EQ and final delay drain
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(s.run(block), vxOK);
        for (float v : s.outputs[0]) ASSERT_EQ(v, 0.0f);
        EXPECT_TRUE(block.chain().beamIdle(0));
        EXPECT_FALSE(block.chain().beamIdle(1));
    }
    // Beam 1 still forms.
    double energy = 0;
    for (float v : s.outputs[1]) energy += v * v;
    EXPECT_GT(energy, 0.0);

    // Steered while off: nothing was heard of the old look, so there is
    // nothing to glide from (100 samples a degree); it starts on its targets.
    ASSERT_EQ(block.setPhi(0, 140.0f), 0);
    ASSERT_EQ(block.setTheta(0, 30.0f), 0);
    ASSERT_EQ(block.setBeamEnabled(0, true), 0);
    ASSERT_EQ(s.run(block), vxOK);
    EXPECT_FALSE(block.chain().beamIdle(0));
    const CMbf& mbf = block.chain().modalBeamformer(0);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(mbf.perSamplePhi()[i], 140) << i;
        ASSERT_EQ(mbf.perSampleTheta()[i], 30) << i;
    }
}

TEST(BeamformerChain, AnOffBeamIdlesOnlyOnceItsStagesRanDryAndHoldNoFade) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32, kRate, 256), format(2, kRate, 256)), vxOK);
    ASSERT_EQ(block.setPattern(0, 4), 0);
    ASSERT_EQ(block.setPatternParameter(0, 0), 0);
    ASSERT_EQ(block.start(), vxOK);
    Signals s(2, 256);
    for (int i = 0; i < 8; ++i) ASSERT_EQ(s.run(block), vxOK);
    // The high band alone runs no crossover, equaliser or final delay: what
    // they hold from before must wait for another mode to drain it.
    ASSERT_EQ(block.setMbfMode(CRosphere::kHighBandOnly), 0);
    ASSERT_EQ(block.setBeamEnabled(0, false), 0);
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(s.run(block), vxOK);
        EXPECT_FALSE(block.chain().beamIdle(0)) << "block " << i;
    }
    ASSERT_EQ(block.setMbfMode(CRosphere::kBothBands), 0);
    for (int i = 0; i < 4 && !block.chain().beamIdle(0); ++i) ASSERT_EQ(s.run(block), vxOK);
    ASSERT_TRUE(block.chain().beamIdle(0));

    // A pattern chosen while idle: its filters fade in on zeros before the
    // beam idles again, as they would running.
    ASSERT_EQ(block.setPattern(0, 5), 0);
    ASSERT_EQ(block.setPatternParameter(0, 1), 0);
    ASSERT_EQ(s.run(block), vxOK);
    EXPECT_FALSE(block.chain().beamIdle(0));
    bool again = false;
    for (int i = 0; i < 400 && !again; ++i) {
        ASSERT_EQ(s.run(block), vxOK);
        for (float v : s.outputs[0]) ASSERT_EQ(v, 0.0f);
        again = block.chain().beamIdle(0);
    }
    EXPECT_TRUE(again);
}

TEST(BeamformerChain, ReenabledBeamSoundsLikeOneNeverSwitchedOff) {
    // Two beams alike; one is switched off long enough to idle, then on
    // again. Once its filters have refilled, it matches the other exactly:
    // nothing stale survives in its stages.
    CRo32 block;
    ASSERT_EQ(block.configure(format(32, kRate, 256), format(2, kRate, 256)), vxOK);
    for (int b = 0; b < 2; ++b) {
        ASSERT_EQ(set(block, b, CRo32::kPattern, 4), vxOK);
        ASSERT_EQ(block.setPhi(b, 40.0f), 0);
    }
    ASSERT_EQ(block.start(), vxOK);
    for (int i = 0; i < 30; ++i) {
        if (i == 4 || i == 12) {
            ASSERT_EQ(block.setBeamEnabled(0, i == 12), 0);
        }
        Signals s(2, 256, unsigned(i + 1));
        ASSERT_EQ(s.run(block), vxOK);
        if (i < 16) continue;
        for (int k = 0; k < 256; ++k) ASSERT_NEAR(s.outputs[0][k], s.outputs[1][k], 1e-5f) << "block " << i;
    }
}

TEST(BeamformerChain, ReloadingTheSameFiltersWhileRunningLeavesTheOutputUnbroken) {
    // A pattern load must not clear a delay line the audio runs through: a
    // beam that reloads its own variant again and again sounds exactly like
    // one left alone (the crossfades mix two equal signals).
    auto run = [](bool reload) {
        CRo32 block;
        EXPECT_EQ(block.configure(format(32, kRate, 64), format(1, kRate, 64)), vxOK);
        EXPECT_EQ(set(block, 0, CRo32::kPattern, 1), vxOK);
        EXPECT_EQ(block.start(), vxOK);
        std::vector<float> out;
        for (int i = 0; i < 400; ++i) {
            Signals s(1, 64, unsigned(i + 1));
            if (reload && i % 37 == 5) {
                EXPECT_EQ(block.setPatternParameter(0, 2), 0);
            }
            EXPECT_EQ(s.run(block), vxOK);
            out.insert(out.end(), s.outputs[0].begin(), s.outputs[0].end());
        }
        return out;
    };
    const std::vector<float> steady = run(false), reloaded = run(true);
    float largest = 0, worst = 0;
    for (std::size_t i = 0; i < steady.size(); ++i) {
        largest = std::max(largest, std::abs(steady[i]));
        worst = std::max(worst, std::abs(steady[i] - reloaded[i]));
    }
    EXPECT_GT(largest, 0.01f);
    EXPECT_LE(worst, 1e-4f * largest);
}

TEST(BeamformerChain, ProcessRefusesMoreFramesThanConfigured) {
    CRo32 block;
    ASSERT_EQ(block.configure(format(32, kRate, 64), format(1, kRate, 64)), vxOK);
    Signals s(1, 128);
    s.outputs[0].assign(128, 3.0f);
    EXPECT_EQ(block.process(s.in.data(), s.out.data(), 128), vxErrFormat);
    EXPECT_EQ(s.outputs[0][0], 3.0f);
    EXPECT_EQ(block.process(s.in.data(), s.out.data(), 0), vxOK);
}

}  // namespace
