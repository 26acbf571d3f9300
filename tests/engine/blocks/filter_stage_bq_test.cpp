// The biquad stage: the chain's high-pass taps measured through the block
// against their response, identity sections, tap hand-over at a block
// boundary with the history kept (against a double-precision model), and the
// set-up rules and codes.
#include <bit>
#include <cmath>
#include <cstdint>
#include <complex>
#include <numbers>
#include <vector>

#include <gtest/gtest.h>

#include "blocks/filter_stage_bq.h"
#include "blocks/highpass_taps.h"
#include "support/channel_set.h"

namespace {

constexpr float kRate = 44100.0f;
constexpr int kFrames = 256;

vxAudioInterface stageFormat(int channels, float rate = kRate) {
    return vxAudioInterface::timeDomain(channels, rate, kFrames);
}

// A stage of `channels` channels with three sections each.
void makeStage(CFilterStageBq& stage, int channels) {
    ASSERT_EQ(stage.configure(stageFormat(channels), stageFormat(channels)), vxOK);
    const std::vector<int> counts(channels, kHighpassSections);
    ASSERT_EQ(stage.setSections(counts.data(), channels), 0);
}

// |H| in dB of a cascade of biquads at frequency hz.
double responseDb(const double* taps, int sections, double hz, double rate) {
    const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * hz / rate);
    std::complex<double> h = 1.0;
    for (int s = 0; s < sections; ++s) {
        const double* t = taps + 6 * s;
        h *= (t[0] + t[1] * z1 + t[2] * z1 * z1) / (t[3] + t[4] * z1 + t[5] * z1 * z1);
    }
    return 20.0 * std::log10(std::abs(h));
}

// The cascade in double precision, transposed direct form II, one sample at
// a time: what the stage must compute, whatever its block boundaries.
class ModelCascade {
public:
    explicit ModelCascade(int sections) : history_(2 * sections, 0.0), sections_(sections) {}
    void setTaps(const double* taps) { taps_.assign(taps, taps + 6 * sections_); }
    float step(float input) {
        double x = input;
        for (int s = 0; s < sections_; ++s) {
            const double* t = &taps_[6 * s];
            double* d = &history_[2 * s];
            const double y = t[0] / t[3] * x + d[0];
            d[0] = t[1] / t[3] * x + d[1] - t[4] / t[3] * y;
            d[1] = t[2] / t[3] * x - t[5] / t[3] * y;
            x = y;
        }
        return static_cast<float>(x);
    }

private:
    std::vector<double> taps_;
    std::vector<double> history_;
    int sections_;
};

// Channel c carries a sine of frequency hz[c] at amplitude 0.5 for one
// second; the result is each channel's steady-state gain in dB (largest
// magnitude of the last half second).
std::vector<double> measuredGainsDb(CFilterStageBq& stage, const std::vector<double>& hz) {
    const int channels = static_cast<int>(hz.size());
    ChannelSet in(channels, kFrames), out(channels, kFrames);
    std::vector<float> largest(channels, 0.0f);
    const int blocks = static_cast<int>(kRate) / kFrames;
    for (int b = 0; b < blocks; ++b) {
        in.fill([&](int c, int i) {
            const double t = static_cast<double>(b * kFrames + i) / kRate;
            return static_cast<float>(0.5 * std::sin(2.0 * std::numbers::pi * hz[c] * t));
        });
        EXPECT_EQ(stage.process(in.pointers(), out.pointers(), kFrames), vxOK);
        if (b < blocks / 2) continue;
        for (int c = 0; c < channels; ++c)
            for (float y : out[c]) largest[c] = std::max(largest[c], std::fabs(y));
    }
    std::vector<double> gains;
    for (float peak : largest) gains.push_back(20.0 * std::log10(peak / 0.5));
    return gains;
}

TEST(FilterStageBq, TheHighPassChoicesCutAtTheirCornerAndPassAbove) {
    for (int choice = 1; choice < kHighpassChoices; ++choice) {
        const double corner = kHighpassCornersHz[choice];
        SCOPED_TRACE(testing::Message() << corner << " Hz");
        const std::vector<double> hz = {corner / 2, corner, 2 * corner, 1000, 5000, 15000};
        CFilterStageBq stage;
        makeStage(stage, static_cast<int>(hz.size()));
        for (int c = 0; c < static_cast<int>(hz.size()); ++c) ASSERT_EQ(stage.setTaps(c, kHighpassTaps[choice]), vxOK);
        const std::vector<double> gains = measuredGainsDb(stage, hz);
        for (std::size_t k = 0; k < hz.size(); ++k)
            EXPECT_NEAR(gains[k], responseDb(kHighpassTaps[choice], kHighpassSections, hz[k], kRate), 0.01)
                << hz[k] << " Hz";
        EXPECT_NEAR(gains[1], -3.0, 0.05) << "the corner";
        EXPECT_LT(gains[0], -35.0) << "an octave below";
        for (std::size_t k = 2; k < hz.size(); ++k) EXPECT_NEAR(gains[k], 0.0, 0.01) << hz[k] << " Hz passes";
    }
}

TEST(FilterStageBq, IdentitySectionsAndChannelsWithoutSectionsPassTheInputUnchanged) {
    CFilterStageBq stage;
    ASSERT_EQ(stage.configure(stageFormat(3), stageFormat(3)), vxOK);
    const int counts[] = {3, 0, 1};
    ASSERT_EQ(stage.setSections(counts, 3), 0);
    EXPECT_EQ(stage.sections(0), 3);
    EXPECT_EQ(stage.sections(1), 0);
    ChannelSet in(3, kFrames), out(3, kFrames, -9.0f);
    in.fill([](int c, int i) { return std::sin(0.37f * static_cast<float>(i + c)) * 0.9f; });
    for (int block = 0; block < 3; ++block) {
        ASSERT_EQ(stage.process(in.pointers(), out.pointers(), kFrames), vxOK);
        for (int c = 0; c < 3; ++c) EXPECT_EQ(out[c], in[c]) << "channel " << c;
    }
    ASSERT_EQ(stage.setTaps(0, kHighpassTaps[0]), vxOK);
    ASSERT_EQ(stage.process(in.pointers(), out.pointers(), kFrames), vxOK);
    EXPECT_EQ(out[0], in[0]);
}

// The stage copies where its sections are identities; the output must be
// what the filter itself gives, bit for bit: the same filter run alongside
// through a corner, off (the corner's history draining out), the corner
// again, off after a reset, with blocks as short as one sample and samples
// a copy could treat otherwise (signed zeros, tiny and huge values).
TEST(FilterStageBq, SwitchedOffItOutputsWhatTheIdentityFilterWould) {
    constexpr int kChannels = 2;
    CFilterStageBq stage;
    makeStage(stage, kChannels);
    std::vector<DspsIIRState64f_32f*> reference(kChannels, nullptr);
    for (auto*& filter : reference)
        ASSERT_EQ(dspsIIRInitAlloc64f_BiQuad_32f(&filter, kHighpassTaps[0], kHighpassSections, nullptr), dspStsNoErr);

    const float specials[] = {-0.0f, 0.0f, 1e-40f, -1e-40f, 3e38f, -3e38f, 1e-30f, -1.0f};
    int sample = 0;
    const auto signal = [&](int c, int i) {
        const int n = sample + i;
        return n % 11 == 5 ? specials[(n / 11 + c) % 8] : std::sin(0.173f * float(n) + float(c)) * 0.8f;
    };
    struct Step {
        int choice;  // -1: reset
        int frames;
    };
    const Step steps[] = {{1, 256}, {0, 1}, {-2, 1}, {-2, 5}, {-2, 256}, {3, 7}, {-2, 64}, {0, 256},
                          {-2, 256}, {2, 100}, {-1, 0}, {0, 3}, {-2, 256}, {1, 2}, {0, 256}};
    ChannelSet in(kChannels, kFrames), out(kChannels, kFrames), expected(kChannels, kFrames);
    for (const Step& step : steps) {
        if (step.choice == -1) {
            stage.reset();
            for (auto* filter : reference) dspsIIRSetDlyLine64f_32f(filter, nullptr);
            continue;
        }
        if (step.choice >= 0)
            for (int c = 0; c < kChannels; ++c) {
                ASSERT_EQ(stage.setTaps(c, kHighpassTaps[step.choice]), vxOK);
                dspsIIRSetTaps64f_32f(kHighpassTaps[step.choice], reference[c]);
            }
        in.fill(signal);
        ASSERT_EQ(stage.process(in.pointers(), out.pointers(), step.frames), vxOK);
        for (int c = 0; c < kChannels; ++c) {
            dspsIIR64f_32f(in[c].data(), expected[c].data(), step.frames, reference[c]);
            for (int i = 0; i < step.frames; ++i)
                ASSERT_EQ(std::bit_cast<std::uint32_t>(out[c][i]), std::bit_cast<std::uint32_t>(expected[c][i]))
                    << "channel " << c << " sample " << sample + i << ": " << out[c][i] << " for " << expected[c][i];
        }
        sample += step.frames;
    }
    for (auto* filter : reference) dspsIIRFree64f_32f(filter);
}

// Channel 0 switches 80 -> 320 Hz and channel 1 off -> 160 Hz after block 5,
// set between two blocks; channel 2 keeps 80 Hz. Each must match a model
// that switches at exactly that sample and keeps its history.
TEST(FilterStageBq, NewTapsTakeEffectAtTheNextBlockWithTheHistoryKept) {
    CFilterStageBq stage;
    makeStage(stage, 3);
    const int before[] = {1, 0, 1}, after[] = {3, 2, 1};
    std::vector<ModelCascade> models(3, ModelCascade(kHighpassSections));
    for (int c = 0; c < 3; ++c) {
        ASSERT_EQ(stage.setTaps(c, kHighpassTaps[before[c]]), vxOK);
        models[c].setTaps(kHighpassTaps[before[c]]);
    }
    ChannelSet in(3, kFrames), out(3, kFrames);
    for (int block = 0; block < 12; ++block) {
        if (block == 6)
            for (int c = 0; c < 3; ++c) {
                if (before[c] == after[c]) continue;
                ASSERT_EQ(stage.setTaps(c, kHighpassTaps[after[c]]), vxOK);
                models[c].setTaps(kHighpassTaps[after[c]]);
            }
        in.fill([&](int c, int i) {
            const double n = block * kFrames + i;
            return static_cast<float>(0.6 * std::sin(2 * std::numbers::pi * 60 * n / kRate) +
                                      0.3 * std::sin(2 * std::numbers::pi * (250 + 100 * c) * n / kRate));
        });
        ASSERT_EQ(stage.process(in.pointers(), out.pointers(), kFrames), vxOK);
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < kFrames; ++i)
                ASSERT_NEAR(out[c][i], models[c].step(in[c][i]), 1e-5)
                    << "channel " << c << " block " << block << " sample " << i;
    }
}

TEST(FilterStageBq, ResetAndStopClearTheHistoryButKeepTheTaps) {
    for (const bool byStop : {false, true}) {
        CFilterStageBq stage;
        makeStage(stage, 1);
        ASSERT_EQ(stage.setTaps(0, kHighpassTaps[2]), vxOK);
        ChannelSet in(1, kFrames, 0.5f), first(1, kFrames), again(1, kFrames);
        ASSERT_EQ(stage.process(in.pointers(), first.pointers(), kFrames), vxOK);
        ASSERT_EQ(stage.process(in.pointers(), again.pointers(), kFrames), vxOK);
        EXPECT_NE(again[0], first[0]) << "the history carries over";
        if (byStop) {
            ASSERT_EQ(stage.start(), vxOK);
            ASSERT_EQ(stage.stop(), vxOK);
        } else {
            stage.reset();
        }
        ASSERT_EQ(stage.process(in.pointers(), again.pointers(), kFrames), vxOK);
        EXPECT_EQ(again[0], first[0]) << (byStop ? "stop" : "reset");
    }
}

TEST(FilterStageBq, ConfigureRefusesFormatsItCannotFilter) {
    vxAudioInterface complex = stageFormat(2), frequency = stageFormat(2);
    complex.setReal(false);
    frequency.setDomain(vxAudioInterface::kFrequencyDomain);
    struct Case {
        vxAudioInterface in, out;
    };
    for (const Case& c : {Case{stageFormat(2), stageFormat(3)}, Case{stageFormat(2), stageFormat(2, 48000.0f)},
                          Case{complex, complex}, Case{stageFormat(2), complex}, Case{frequency, frequency},
                          Case{stageFormat(2), frequency}}) {
        CFilterStageBq stage;
        EXPECT_EQ(stage.configure(c.in, c.out), vxErrFormat);
        EXPECT_FALSE(stage.isConfigured());
    }
    CFilterStageBq stage;
    ASSERT_EQ(stage.configure(stageFormat(2), stageFormat(2)), vxOK);
    ASSERT_EQ(stage.start(), vxOK);
    EXPECT_EQ(stage.configure(stageFormat(4), stageFormat(4)), vxErrRunning);
    EXPECT_EQ(stage.channels(), 2);
}

TEST(FilterStageBq, SectionsAndTapsRefuseWhatTheyCannotTake) {
    CFilterStageBq stage;
    ASSERT_EQ(stage.configure(stageFormat(2), stageFormat(2)), vxOK);
    const int counts[] = {3, 3}, negative[] = {3, -1};
    EXPECT_EQ(stage.setSections(counts, 3), vxErrBadArgument);
    EXPECT_EQ(stage.setSections(nullptr, 2), vxErrBadArgument);
    EXPECT_EQ(stage.setSections(negative, 2), vxErrBadArgument);
    EXPECT_EQ(stage.sections(0), 0) << "nothing changed";
    EXPECT_EQ(stage.setTaps(0, kHighpassTaps[1]), vxErrNoSections);

    ASSERT_EQ(stage.setSections(counts, 2), 0);
    EXPECT_EQ(stage.setTaps(-1, kHighpassTaps[1]), vxErrBadArgument);
    EXPECT_EQ(stage.setTaps(2, kHighpassTaps[1]), vxErrBadArgument);
    EXPECT_EQ(stage.setTaps(0, nullptr), vxErrBadArgument);
    for (const int zeroTap : {6 + 0, 12 + 3}) {  // b0 of section 2, a0 of section 3
        double taps[18];
        std::copy(std::begin(kHighpassTaps[1]), std::end(kHighpassTaps[1]), taps);
        taps[zeroTap] = 0.0;
        EXPECT_EQ(stage.setTaps(0, taps), vxErrBadArgument) << "tap " << zeroTap;
    }

    ASSERT_EQ(stage.start(), vxOK);
    EXPECT_EQ(stage.setSections(counts, 2), vxErrRunning);
    EXPECT_EQ(stage.setTaps(1, kHighpassTaps[3]), vxOK) << "taps change while running";
}

}  // namespace
