// The crossfading FIR stage: alignment of filters of different lengths, the
// queue of loads, and a filter change under a running sine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "dsp/shadow_filter.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;

struct Stage {
    vxlbShadowFilter filter;
    explicit Stage(float maxDelay) {
        const vxAudioInterface mono = vxAudioInterface::timeDomain(1, kRate, kFrames);
        EXPECT_EQ(filter.configure(mono, mono), vxOK);
        EXPECT_EQ(filter.setMaxDelay(maxDelay), vxOK);
    }
    int load(const std::vector<float>& taps) {
        const int length = static_cast<int>(taps.size());
        const float* pointer = taps.data();
        return filter.loadFilter(&length, &pointer);
    }
    std::vector<float> run(const std::vector<float>& input) {
        std::vector<float> output(input.size());
        for (std::size_t start = 0; start + kFrames <= input.size(); start += kFrames) {
            float* in = const_cast<float*>(input.data() + start);
            float* out = output.data() + start;
            filter.process(&in, &out, kFrames);
        }
        return output;
    }
};

std::vector<float> impulse(int n) {
    std::vector<float> v(n, 0.0f);
    v[0] = 1.0f;
    return v;
}

std::vector<float> symmetricTaps(int length, float centre) {
    std::vector<float> taps(length, 0.0f);
    taps[(length - 1) / 2] = centre;
    return taps;
}

TEST(ShadowFilter, EveryFilterEndsAtTheStageDelay) {
    // L = 27: a 41-tap filter gets 7 samples of alignment, a 55-tap one none,
    // a 57-tap one is refused; an empty filter only delays.
    struct Case {
        int length;
        int result;
    };
    for (const Case& c : {Case{41, 0}, Case{55, 0}, Case{57, 102}, Case{0, 0}}) {
        Stage stage(27.0f);
        EXPECT_EQ(stage.load(c.length > 0 ? symmetricTaps(c.length, 1.0f) : std::vector<float>{}), c.result);
        if (c.result != 0) continue;
        ASSERT_EQ(stage.filter.start(), vxOK);
        const std::vector<float> out = stage.run(impulse(kFrames));
        const auto peak = std::max_element(out.begin(), out.end()) - out.begin();
        EXPECT_EQ(peak, 27) << c.length << " taps";
        EXPECT_FLOAT_EQ(out[27], 1.0f);
    }
    Stage narrow(5.0f);
    EXPECT_EQ(narrow.load(symmetricTaps(11, 1.0f)), 0);
    vxlbShadowFilter unconfigured;
    const int length = 1;
    const float tap = 1.0f, *taps = &tap;
    EXPECT_EQ(unconfigured.loadFilter(&length, &taps), 101);
}

TEST(ShadowFilter, SilentUntilAFilterIsLoaded) {
    Stage stage(27.0f);
    ASSERT_EQ(stage.filter.start(), vxOK);
    const std::vector<float> out = stage.run(std::vector<float>(kFrames, 1.0f));
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
}

TEST(ShadowFilter, AFilterChangeUnderASineIsSmoothAndSettles) {
    // Gain 1 -> 0.5 on a 1 kHz sine: the envelope falls monotonically, no
    // step exceeds the sine's own slope, and after the fade the new response
    // holds within 0.7 %.
    Stage stage(27.0f);
    ASSERT_EQ(stage.load(symmetricTaps(41, 1.0f)), 0);
    ASSERT_EQ(stage.filter.start(), vxOK);
    const double omega = 2.0 * std::numbers::pi * 1000.0 / kRate;
    const int blocks = 80;
    std::vector<float> sine(blocks * kFrames);
    for (std::size_t i = 0; i < sine.size(); ++i) sine[i] = float(std::sin(omega * double(i)));
    std::vector<float> out(sine.size());
    for (int b = 0; b < blocks; ++b) {
        if (b == 4) {
            ASSERT_EQ(stage.load(symmetricTaps(55, 0.5f)), 0);
        }
        float* in = sine.data() + b * kFrames;
        float* o = out.data() + b * kFrames;
        stage.filter.process(&in, &o, kFrames);
    }
    double largestStep = 0;
    for (std::size_t i = 1000; i < out.size(); ++i) largestStep = std::max(largestStep, double(std::abs(out[i] - out[i - 1])));
    EXPECT_LE(largestStep, 1.05 * omega);
    // Envelope: the peak of each period never rises.
    const int period = int(kRate / 1000.0f);
    double previousPeak = 2.0;
    for (std::size_t start = 1000; start + period < out.size(); start += period) {
        double peak = 0;
        for (int i = 0; i < period; ++i) peak = std::max(peak, double(std::abs(out[start + i])));
        EXPECT_LE(peak, previousPeak + 1e-3);
        previousPeak = peak;
    }
    // After 250 ms of fade the old bank is gone: the new gain holds.
    for (std::size_t i = out.size() - 2 * kFrames; i < out.size(); ++i) {
        EXPECT_NEAR(out[i], 0.5f * sine[i - 27], 0.007f * 0.5f);
    }
}

TEST(ShadowFilter, LoadsWhileRunningQueueBehindTheFade) {
    Stage stage(27.0f);
    ASSERT_EQ(stage.load(symmetricTaps(41, 1.0f)), 0);
    ASSERT_EQ(stage.filter.start(), vxOK);
    const std::vector<float> block(kFrames, 0.0f);
    stage.run(block);
    const int first = stage.filter.currentBank();
    ASSERT_EQ(stage.load(symmetricTaps(41, 0.5f)), 0);
    stage.run(block);
    const int second = stage.filter.nextBank();
    EXPECT_GE(second, 0);
    EXPECT_NE(second, first);
    // Two more loads while the fade runs: the later replaces the earlier,
    // waiting in the third bank.
    ASSERT_EQ(stage.load(symmetricTaps(41, 0.25f)), 0);
    ASSERT_EQ(stage.load(symmetricTaps(41, 0.125f)), 0);
    stage.run(block);
    EXPECT_TRUE(stage.filter.filterWaiting());
    EXPECT_EQ(stage.filter.nextBank(), second);
    // After the fade the waiting filter becomes next, then current: the
    // output ends at the last load's gain.
    std::vector<float> ones(120 * kFrames, 1.0f);
    const std::vector<float> out = stage.run(ones);
    EXPECT_FALSE(stage.filter.filterWaiting());
    EXPECT_NEAR(out.back(), 0.125f, 0.125f * 0.007f);
}

}  // namespace
