// Stream formats: defaults, frames per domain, and the compatibility rule
// (what it compares in each domain and what it ignores).
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "framework/audio_interface.h"

namespace {

TEST(AudioInterface, StartsAsAnEmptyRealTimeDomainFormat) {
    const vxAudioInterface format;
    EXPECT_TRUE(format.isTimeDomain());
    EXPECT_EQ(format.channels(), 0);
    EXPECT_TRUE(format.isReal());
    EXPECT_EQ(format.sampleRate(), 0.0f);
    EXPECT_EQ(format.frames(), 0);
    EXPECT_EQ(format.fftSize(), 0);
    EXPECT_EQ(format.freqParam1(), 0);
    EXPECT_EQ(format.freqParam2(), 0);
}

TEST(AudioInterface, FramesAreFramesPerBufferInTimeAndBinsInFrequency) {
    vxAudioInterface format = vxAudioInterface::timeDomain(2, 48000.0f, 256);
    format.setFftSize(1024);
    EXPECT_EQ(format.frames(), 256);
    format.setDomain(vxAudioInterface::kFrequencyDomain);
    format.setFftSize(512);
    EXPECT_EQ(format.frames(), 257);
}

struct Change {
    std::string name;
    std::function<void(vxAudioInterface&)> apply;
    bool compatibleInTime;
    bool compatibleInFrequency;
};

class Compatibility : public testing::TestWithParam<Change> {};

// Each change applied to one of two equal formats, in either domain.
TEST_P(Compatibility, ComparesWhatTheDomainDefines) {
    const Change& change = GetParam();
    for (const bool frequency : {false, true}) {
        vxAudioInterface base = vxAudioInterface::timeDomain(32, 48000.0f, 256);
        base.setFftSize(512);
        base.setFrequencyParameters(3, 4);
        if (frequency) base.setDomain(vxAudioInterface::kFrequencyDomain);
        vxAudioInterface changed = base;
        change.apply(changed);
        const bool expected = frequency ? change.compatibleInFrequency : change.compatibleInTime;
        EXPECT_EQ(base.isCompatible(changed), expected) << (frequency ? "frequency domain" : "time domain");
        EXPECT_EQ(changed.isCompatible(base), expected) << (frequency ? "frequency domain" : "time domain");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Compatibility,
    testing::Values(Change{"nothing", [](vxAudioInterface&) {}, true, true},
                    Change{"channels", [](vxAudioInterface& f) { f.setChannels(31); }, false, false},
                    Change{"real", [](vxAudioInterface& f) { f.setReal(false); }, false, false},
                    Change{"domain", [](vxAudioInterface& f) { f.setDomain(f.isTimeDomain() ? 1 : 0); }, false,
                           false},
                    // The rate is compared exactly: one step of the float apart is a different rate.
                    Change{"rate",
                           [](vxAudioInterface& f) { f.setSampleRate(48000.004f, f.framesPerBuffer()); }, false,
                           false},
                    Change{"framesPerBuffer", [](vxAudioInterface& f) { f.setSampleRate(48000.0f, 128); }, false,
                           true},
                    Change{"fftSize", [](vxAudioInterface& f) { f.setFftSize(1024); }, true, false},
                    Change{"freqParam1", [](vxAudioInterface& f) { f.setFrequencyParameters(9, 4); }, true, false},
                    Change{"freqParam2", [](vxAudioInterface& f) { f.setFrequencyParameters(3, 9); }, true,
                           false}),
    [](const testing::TestParamInfo<Change>& info) { return info.param.name; });

TEST(AudioInterface, CopiesCarryEveryField) {
    vxAudioInterface format = vxAudioInterface::timeDomain(5, 44100.0f, 64);
    format.setDomain(vxAudioInterface::kFrequencyDomain);
    format.setReal(false);
    format.setFftSize(128);
    format.setFrequencyParameters(7, 8);
    vxAudioInterface copy;
    copy = format;
    EXPECT_TRUE(copy.isCompatible(format));
    EXPECT_EQ(copy.framesPerBuffer(), 64);
    EXPECT_EQ(copy.freqParam1(), 7);
    EXPECT_EQ(copy.freqParam2(), 8);
}

}  // namespace
