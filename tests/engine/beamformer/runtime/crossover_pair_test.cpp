// A crossover pair run as one filter gives what its two stages give apart:
// on entry, in blocks of any length, across loads that fade, around blocks
// in other modes, and with the single tap off the centre.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>
#include <random>
#include <vector>

#include "beamformer/runtime/crossover_pair.h"

namespace {

constexpr float kRate = 48000.0f;
constexpr int kMaxFrames = 256;
constexpr float kMaxDelay = 27.0f;  // a 41-tap pair gets 7 samples of alignment

struct Pair {
    std::vector<float> lowPass, highPass;
};

// A windowed-sinc low-pass and s d_c - low-pass, each tap rounded once to
// float as the generated tables round them.
Pair complementaryPair(int length, int centreTap, double centre = 1.0) {
    Pair pair;
    const double middle = (length - 1) / 2.0;
    for (int t = 0; t < length; ++t) {
        const double x = t - middle;
        const double sinc = x == 0.0 ? 0.1 : std::sin(0.1 * std::numbers::pi * x) / (std::numbers::pi * x);
        const double window = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * t / (length - 1));
        const double low = sinc * window;
        pair.lowPass.push_back(static_cast<float>(low));
        pair.highPass.push_back(static_cast<float>((t == centreTap ? centre : 0.0) - low));
    }
    return pair;
}

struct Stages {
    vxlbShadowFilter lowPass, highPass;
    Stages() {
        const vxAudioInterface mono = vxAudioInterface::timeDomain(1, kRate, kMaxFrames);
        for (vxlbShadowFilter* stage : {&lowPass, &highPass}) {
            EXPECT_EQ(stage->configure(mono, mono), vxOK);
            EXPECT_EQ(stage->setMaxDelay(kMaxDelay), vxOK);
        }
    }
    void load(const Pair& pair) {
        for (auto [stage, taps] : {std::pair{&lowPass, &pair.lowPass}, std::pair{&highPass, &pair.highPass}}) {
            const int length = static_cast<int>(taps->size());
            const float* pointer = taps->data();
            EXPECT_EQ(stage->loadFilter(&length, &pointer), 0);
        }
    }
    void start() {
        EXPECT_EQ(lowPass.start(), vxOK);
        EXPECT_EQ(highPass.start(), vxOK);
    }
};

// LowOnly filters the low band, LowUnfiltered passes it as it is; both add
// the high-pass stage's output for a silent high band.
enum class Mode { Both, LowOnly, LowUnfiltered, HighBandOnly };

// The same filters twice: once through the pair, once as two stages summed.
struct PairHarness {
    PairHarness() { EXPECT_TRUE(pair_.configure(kMaxFrames, kMaxDelay)); }

    void load(const Pair& pair) {
        tested_.load(pair);
        reference_.load(pair);
    }
    void start() {
        tested_.start();
        reference_.start();
    }

    // One block; the largest difference from the reference relative to its
    // peak so far is kept.
    void run(int frames, Mode mode = Mode::Both) {
        std::vector<float> low(frames), high(frames), zeros(frames, 0.0f);
        for (int i = 0; i < frames; ++i) {
            low[i] = noise_(random_);
            high[i] = noise_(random_);
        }
        std::vector<float> out(frames), expected(frames), temporary(frames), other(frames);
        float* lowIn = low.data();
        float* highIn = mode == Mode::Both ? high.data() : zeros.data();
        float* o = out.data();
        float* e = expected.data();
        float* t = temporary.data();
        if (mode == Mode::Both) {
            pair_.process(tested_.lowPass, tested_.highPass, low.data(), high.data(), o, t, frames);
        } else {
            pair_.runApart(tested_.lowPass, tested_.highPass);
            if (mode == Mode::LowOnly || mode == Mode::LowUnfiltered) {
                if (mode == Mode::LowOnly)
                    tested_.lowPass.process(&lowIn, &o, frames);
                else
                    out = low;
                tested_.highPass.process(&highIn, &t, frames);
                for (int i = 0; i < frames; ++i) o[i] += t[i];
            }
        }
        if (mode != Mode::HighBandOnly) {
            float* r = other.data();
            if (mode == Mode::LowUnfiltered)
                expected = low;
            else
                reference_.lowPass.process(&lowIn, &e, frames);
            reference_.highPass.process(&highIn, &r, frames);
            for (int i = 0; i < frames; ++i) e[i] += r[i];
            for (int i = 0; i < frames; ++i) {
                peak_ = std::max(peak_, std::fabs(expected[i]));
                worst_ = std::max(worst_, std::fabs(out[i] - expected[i]));
            }
        }
        ++blocks_;
    }
    float relativeError() const { return peak_ > 0.0f ? worst_ / peak_ : worst_; }

    vxCrossoverPair pair_;
    Stages tested_, reference_;
    std::mt19937 random_{7};
    std::uniform_real_distribution<float> noise_{-1.0f, 1.0f};
    float peak_ = 0.0f, worst_ = 0.0f;
    int blocks_ = 0;
};

class CrossoverPairTest : public ::testing::Test, public PairHarness {};

constexpr float kTolerance = 2e-6f;

TEST_F(CrossoverPairTest, RunsAsOneInBlocksOfAnyLengthAndMatchesTheTwoStages) {
    load(complementaryPair(41, 20));
    start();
    for (int frames : {256, 64, 3, 1, 100, 7, 256, 41, 40, 42})
        run(frames);
    EXPECT_TRUE(pair_.ranAsOne());
    EXPECT_LT(relativeError(), kTolerance);
}

TEST_F(CrossoverPairTest, LoadsFadeInApartAndThePairRunsAsOneAgain) {
    load(complementaryPair(41, 20));
    start();
    for (int b = 0; b < 4; ++b) run(256);
    ASSERT_TRUE(pair_.ranAsOne());
    // A longer pair, its two halves loaded one after the other as a pattern
    // change loads them: apart while either fades.
    const Pair longer = complementaryPair(55, 27);
    for (auto [stage, taps] : {std::pair{0, &longer.lowPass}, std::pair{1, &longer.highPass}}) {
        const int length = static_cast<int>(taps->size());
        const float* pointer = taps->data();
        for (Stages* s : {&tested_, &reference_})
            EXPECT_EQ((stage == 0 ? s->lowPass : s->highPass).loadFilter(&length, &pointer), 0);
        run(256);
        EXPECT_FALSE(pair_.ranAsOne());
    }
    // Fades of 50 ms time constant end within a second or so.
    bool again = false;
    for (int b = 0; b < 400 && !again; ++b) {
        run(b % 2 == 0 ? 256 : 37);
        again = pair_.ranAsOne();
    }
    EXPECT_TRUE(again);
    for (int b = 0; b < 8; ++b) run(128);
    EXPECT_LT(relativeError(), kTolerance);
}

TEST_F(CrossoverPairTest, OtherModesBetweenBlocksAsOneLeaveNoTrace) {
    load(complementaryPair(41, 20));
    start();
    const Mode script[] = {Mode::Both, Mode::Both, Mode::LowOnly, Mode::Both, Mode::Both, Mode::Both,
                           Mode::HighBandOnly, Mode::HighBandOnly, Mode::Both, Mode::Both, Mode::LowOnly,
                           Mode::LowOnly, Mode::Both, Mode::Both,
                           // The unfiltered low band still gets the high-pass
                           // stage's held samples; right after running as one
                           // starts, part of them are still those from apart.
                           Mode::LowUnfiltered, Mode::Both, Mode::Both, Mode::LowUnfiltered, Mode::LowUnfiltered,
                           Mode::Both, Mode::Both};
    const int frames[] = {128, 128, 5, 128, 128, 128, 128, 128, 128, 128, 5, 5, 128, 128, 3, 128, 3, 3, 128, 128, 128};
    static_assert(std::size(frames) == std::size(script));
    for (std::size_t b = 0; b < std::size(script); ++b) run(frames[b], script[b]);
    EXPECT_TRUE(pair_.ranAsOne());
    EXPECT_LT(relativeError(), kTolerance);
}

TEST(CrossoverPairTable, TheSingleTapMayLieAnywhereOrBeAbsent) {
    struct Case {
        int length, centreTap;
        double centre;
    };
    // An even length with the tap off the centre pins the tap's sample
    // offset; without the tap the high-pass is the low-pass negated.
    const Case cases[] = {{10, 3, 0.75}, {41, -1, 0.0}, {37, 0, 1.0}, {41, 40, -2.0}};
    for (const Case& c : cases) {
        PairHarness pair;
        pair.load(complementaryPair(c.length, c.centreTap, c.centre));
        pair.start();
        for (int b = 0; b < 6; ++b) pair.run(b % 2 == 0 ? 200 : 2);
        EXPECT_TRUE(pair.pair_.ranAsOne()) << c.length << " taps, tap " << c.centreTap;
        EXPECT_LT(pair.relativeError(), kTolerance) << c.length << " taps, tap " << c.centreTap;
    }
}

TEST_F(CrossoverPairTest, APairThatIsNotComplementaryRunsApart) {
    Pair pair = complementaryPair(41, 20);
    pair.highPass[3] = std::nextafter(pair.highPass[3], 1.0f);
    load(pair);
    start();
    for (int b = 0; b < 4; ++b) run(256);
    EXPECT_FALSE(pair_.ranAsOne());
    EXPECT_EQ(relativeError(), 0.0f);
}

}  // namespace
