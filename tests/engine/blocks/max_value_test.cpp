// The level detector: its coefficients, the envelope a step and a burst
// produce (against a double-precision model of the same recursion), the
// peak hold and its reset on read, and the configuration rules.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "blocks/max_value.h"
#include "support/channel_set.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;

vxAudioInterface meterFormat(int channels, int frames = kFrames) {
    return vxAudioInterface::timeDomain(channels, kRate, frames);
}

TEST(MaxValue, CoefficientsFollowFromTheTimeConstantsAndTheRate) {
    CMaxValue meter;
    EXPECT_EQ(meter.attackCoefficient(), 1.0f) << "no rate yet";
    EXPECT_EQ(meter.releaseCoefficient(), 1.0f);
    EXPECT_FLOAT_EQ(meter.releaseTime(), 0.7383f);

    ASSERT_EQ(meter.configure(meterFormat(2), meterFormat(0)), vxOK);
    EXPECT_NEAR(meter.attackCoefficient(), 0.0072461, 1e-7);
    EXPECT_NEAR(meter.releaseCoefficient(), 3.0713e-5, 1e-9);
    const double period = 1.0 / kRate;
    EXPECT_FLOAT_EQ(meter.attackCoefficient(), static_cast<float>(period / (0.0031066746 + period)));
    EXPECT_FLOAT_EQ(meter.releaseCoefficient(), static_cast<float>(period / (0.7383 + period)));

    ASSERT_EQ(meter.configure(vxAudioInterface::timeDomain(2, 0.0f, kFrames), meterFormat(0)), vxOK);
    EXPECT_EQ(meter.attackCoefficient(), 1.0f);
}

class Meter : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(meter.configure(meterFormat(2), meterFormat(0)), vxOK); }

    // Feeds `blocks` blocks with channel 0 at `value` and channel 1 silent.
    void feed(float value, int blocks) {
        ChannelSet in(2, kFrames);
        for (float& s : in[0]) s = value;
        for (int b = 0; b < blocks; ++b) ASSERT_EQ(meter.process(in.pointers(), nullptr, kFrames), vxOK);
    }
    struct Reading {
        float peak[2];
        float level[2];
    };
    Reading read() {
        Reading r{};
        meter.readLevels(r.peak, r.level, 2);
        return r;
    }

    CMaxValue meter;
};

// The model: level += (x - level) * coefficient, applied per sample.
double approach(double level, double target, double coefficient, int samples) {
    return target + (level - target) * std::pow(1.0 - coefficient, samples);
}

TEST_F(Meter, AStepRisesAtTheAttackRateAndSilenceFallsAtTheReleaseRate) {
    const double attack = meter.attackCoefficient(), release = meter.releaseCoefficient();
    double expected = 0.0;
    // Full-scale step: after the first sample the level covers the attack
    // fraction of the step; then about 0.72 % of what remains per sample.
    for (int blocks = 1; blocks <= 4; ++blocks) {
        feed(1.0f, 1);
        expected = approach(expected, 1.0, attack, kFrames);
        const Reading r = read();
        EXPECT_NEAR(r.level[0], expected, 2e-5) << blocks << " blocks";
        EXPECT_EQ(r.peak[0], 1.0f);
        EXPECT_EQ(r.level[1], 0.0f);
        EXPECT_EQ(r.peak[1], 0.0f);
    }
    EXPECT_GT(expected, 0.99);

    // Silence: a fall of about 0.003 % of the level per sample, which makes
    // the release time the time constant of an exponential decay.
    const double start = expected;
    for (int seconds = 1; seconds <= 2; ++seconds) {
        feed(0.0f, 172);  // about one second
        expected = approach(expected, 0.0, release, 172 * kFrames);
        const Reading r = read();
        EXPECT_NEAR(r.level[0], expected, 1e-3 * expected) << seconds << " s";
        EXPECT_NEAR(r.level[0], start * std::exp(-seconds * 172 * kFrames / (0.7383 * kRate)), 1e-3 * expected);
        EXPECT_EQ(r.peak[0], 0.0f) << "the hold restarts at every read";
    }
}

TEST_F(Meter, ABurstIsHeldAsPeakButOnlyPartlyFollowedByTheLevel) {
    ChannelSet in(2, kFrames);
    in[0][100] = -0.8f;  // a one-sample burst, negative
    in[1][5] = 0.25f;
    in[1][6] = 0.5f;
    ASSERT_EQ(meter.process(in.pointers(), nullptr, kFrames), vxOK);
    const Reading r = read();
    EXPECT_EQ(r.peak[0], 0.8f);
    EXPECT_EQ(r.peak[1], 0.5f);
    const double attack = meter.attackCoefficient(), release = meter.releaseCoefficient();
    EXPECT_NEAR(r.level[0], 0.8 * attack * std::pow(1.0 - release, kFrames - 101), 1e-7);
    const double afterTwo = approach(0.25 * attack, 0.5, attack, 1);
    EXPECT_NEAR(r.level[1], afterTwo * std::pow(1.0 - release, kFrames - 7), 1e-7);
}

TEST_F(Meter, ASecondReadWithoutAudioGivesNoPeaksAndTheSameLevels) {
    feed(0.5f, 3);
    const Reading first = read();
    const Reading second = read();
    EXPECT_EQ(first.peak[0], 0.5f);
    EXPECT_EQ(second.peak[0], 0.0f);
    EXPECT_EQ(second.level[0], first.level[0]);
    EXPECT_GT(second.level[0], 0.0f);
}

TEST_F(Meter, ThePeakIsTheLargestMagnitudeSinceTheLastRead) {
    feed(0.3f, 1);
    feed(-0.9f, 1);
    feed(0.6f, 1);
    EXPECT_EQ(read().peak[0], 0.9f);
    feed(0.6f, 1);
    EXPECT_EQ(read().peak[0], 0.6f);
}

TEST_F(Meter, ResetAndStopClearLevelsAndPeaks) {
    for (const bool byStop : {false, true}) {
        feed(1.0f, 2);
        if (byStop) {
            ASSERT_EQ(meter.start(), vxOK);
            ASSERT_EQ(meter.stop(), vxOK);
            EXPECT_FALSE(meter.isRunning());
        } else {
            meter.reset();
        }
        const Reading r = read();
        EXPECT_EQ(r.peak[0], 0.0f);
        EXPECT_EQ(r.level[0], 0.0f);
    }
}

TEST_F(Meter, ReadsNoMoreChannelsThanItHas) {
    feed(0.5f, 1);
    std::vector<float> peaks(40, -1.0f), levels(40, -1.0f);
    meter.readLevels(peaks.data(), levels.data(), 40);
    EXPECT_EQ(peaks[0], 0.5f);
    EXPECT_EQ(peaks[2], -1.0f);
    EXPECT_EQ(levels[2], -1.0f);
    meter.readLevels(peaks.data(), levels.data(), -1);
}

TEST_F(Meter, RefusesMoreFramesThanConfiguredWithoutMeasuring) {
    ChannelSet in(2, kFrames + 1, 1.0f);
    EXPECT_EQ(meter.process(in.pointers(), nullptr, kFrames + 1), vxErrFormat);
    EXPECT_EQ(read().peak[0], 0.0f);
    // Fewer frames are fine.
    EXPECT_EQ(meter.process(in.pointers(), nullptr, 10), vxOK);
    EXPECT_EQ(read().peak[0], 1.0f);
}

// Channels run side by side in groups; each must follow exactly the
// envelope it follows on its own. 29 channels with one null make wide,
// narrow and single runs; block lengths that are not multiples of four
// leave samples over.
TEST(MaxValueConfiguration, ChannelsMeteredTogetherMatchEachMeteredAlone) {
    constexpr int kChannels = 29, kNull = 20;
    CMaxValue together;
    ASSERT_EQ(together.configure(meterFormat(kChannels), meterFormat(0)), vxOK);
    std::vector<CMaxValue> alone(kChannels);
    for (CMaxValue& m : alone) ASSERT_EQ(m.configure(meterFormat(1), meterFormat(0)), vxOK);

    ChannelSet in(kChannels, kFrames);
    std::vector<float*> pointers(in.pointers(), in.pointers() + kChannels);
    pointers[kNull] = nullptr;
    int sample = 0;
    for (const int frames : {256, 255, 3, 1, 6, 256}) {
        in.fill([&](int c, int i) {
            const int n = sample + i;
            return (n / (7 + c) % 2 ? 0.9f : 0.05f) * std::sin(0.3f * float(n) + float(c));
        });
        ASSERT_EQ(together.process(pointers.data(), nullptr, frames), vxOK);
        for (int c = 0; c < kChannels; ++c)
            if (c != kNull) {
                float* one = in[c].data();
                ASSERT_EQ(alone[c].process(&one, nullptr, frames), vxOK);
            }
        sample += frames;
        float peaks[kChannels], levels[kChannels];
        together.readLevels(peaks, levels, kChannels);
        for (int c = 0; c < kChannels; ++c) {
            float peak = 0.0f, level = 0.0f;
            alone[c].readLevels(&peak, &level, 1);
            EXPECT_EQ(levels[c], level) << "channel " << c << " after " << sample << " samples";
            EXPECT_EQ(peaks[c], peak) << "channel " << c;
        }
    }
}

TEST(MaxValueConfiguration, RefusesComplexInputAndReconfigurationWhileRunning) {
    CMaxValue meter;
    vxAudioInterface complex = meterFormat(2);
    complex.setReal(false);
    EXPECT_EQ(meter.configure(complex, meterFormat(0)), vxErrFormat);
    EXPECT_FALSE(meter.isConfigured());

    ASSERT_EQ(meter.configure(meterFormat(4, 64), meterFormat(0)), vxOK);
    ASSERT_EQ(meter.start(), vxOK);
    EXPECT_EQ(meter.configure(meterFormat(8, 64), meterFormat(0)), vxErrRunning);
    EXPECT_EQ(meter.inputFormat().channels(), 4);
}

TEST(MaxValueConfiguration, ReconfiguringStartsFromSilence) {
    CMaxValue meter;
    ASSERT_EQ(meter.configure(meterFormat(1, 64), meterFormat(0)), vxOK);
    ChannelSet in(1, 64, 1.0f);
    ASSERT_EQ(meter.process(in.pointers(), nullptr, 64), vxOK);
    ASSERT_EQ(meter.configure(meterFormat(3, 64), meterFormat(0)), vxOK);
    float peaks[3] = {-1, -1, -1}, levels[3] = {-1, -1, -1};
    meter.readLevels(peaks, levels, 3);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(peaks[c], 0.0f);
        EXPECT_EQ(levels[c], 0.0f);
    }
}

}  // namespace
