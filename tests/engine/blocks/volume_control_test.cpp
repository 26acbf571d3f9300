// The gain block: channel gains, master gain and mute as the output shows
// them, the setters' channel rules, and the channel parameters.
#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "blocks/volume_control.h"
#include "support/channel_set.h"

namespace {

constexpr int kChannels = 32;
constexpr int kFrames = 64;

class VolumeControl : public testing::Test {
protected:
    void SetUp() override {
        const vxAudioInterface format = vxAudioInterface::timeDomain(kChannels, 48000.0f, kFrames);
        ASSERT_EQ(block.configure(format, format), vxOK);
        in.fill([](int c, int i) { return static_cast<float>(c + 1) * (i % 2 == 0 ? 0.25f : -0.5f); });
    }
    // Runs one block and checks that channel c came out as in x gain.
    void expectGain(int c, float gain) {
        ASSERT_EQ(block.process(in.pointers(), out.pointers(), kFrames), vxOK);
        for (int i = 0; i < kFrames; ++i)
            ASSERT_EQ(out[c][i], in[c][i] * gain) << "channel " << c << " sample " << i;
    }
    void expectEveryGain(float gain) {
        for (int c = 0; c < kChannels; ++c) expectGain(c, gain);
    }

    CVolumeControl block;
    ChannelSet in{kChannels, kFrames};
    ChannelSet out{kChannels, kFrames, -9.0f};
};

TEST_F(VolumeControl, StartsAtUnityGainOnEveryChannel) {
    EXPECT_EQ(block.channels(), kChannels);
    EXPECT_EQ(block.masterVolume(), 1.0f);
    expectEveryGain(1.0f);
}

TEST_F(VolumeControl, OutputsChannelGainTimesMasterOrSilenceWhenMuted) {
    block.setChannelVolume(0, 0.8f);
    block.setChannelVolume(1, 0.3f);
    block.setChannelMute(1, true);
    block.setMasterVolume(0.5f);
    expectGain(0, 0.8f * 0.5f);
    EXPECT_EQ(out[1], std::vector<float>(kFrames, 0.0f));
    EXPECT_EQ(block.effectiveGain(1), 0.0f);
    expectGain(2, 0.5f);

    block.setChannelMute(1, false);
    expectGain(1, 0.3f * 0.5f);
    // A gain set while muted is what unmuting brings back.
    block.setChannelMute(1, true);
    block.setChannelVolume(1, 2.0f);
    block.setMasterVolume(0.25f);
    EXPECT_EQ(block.effectiveGain(1), 0.0f);
    block.setChannelMute(1, false);
    expectGain(1, 2.0f * 0.25f);
}

TEST_F(VolumeControl, SettersIgnoreChannelsOutsideTheBlockButMuteAllForNegative) {
    block.setChannelVolume(-1, 0.5f);
    block.setChannelVolume(kChannels, 0.5f);
    block.setChannelMute(40, true);
    block.setChannelMute(kChannels, true);
    expectEveryGain(1.0f);

    block.setChannelMute(-1, true);
    expectEveryGain(0.0f);
    block.setChannelMute(-5, false);
    expectEveryGain(1.0f);
}

TEST_F(VolumeControl, ChannelParametersApplyAndReadBackThroughTheTable) {
    const float master = 0.5f, gain = 0.75f;
    const std::uint8_t mute = 1;
    ASSERT_EQ(block.setChannelParameter(0, CVolumeControl::kMasterVolume, &master, 1, vxTypeFloat32), vxOK);
    ASSERT_EQ(block.setChannelParameter(3, CVolumeControl::kChannelVolume, &gain, 1, vxTypeFloat32), vxOK);
    ASSERT_EQ(block.setChannelParameter(4, CVolumeControl::kMute, &mute, 1, vxTypeFlag), vxOK);
    expectGain(3, 0.75f * 0.5f);
    expectGain(4, 0.0f);
    expectGain(5, 0.5f);

    float value = 0.0f;
    std::uint8_t flag = 0;
    ASSERT_EQ(block.getChannelParameter(7, CVolumeControl::kMasterVolume, &value, 1, vxTypeFloat32), vxOK);
    EXPECT_EQ(value, 0.5f);
    ASSERT_EQ(block.getChannelParameter(3, CVolumeControl::kChannelVolume, &value, 1, vxTypeFloat32), vxOK);
    EXPECT_EQ(value, 0.75f);
    ASSERT_EQ(block.getChannelParameter(4, CVolumeControl::kMute, &flag, 1, vxTypeFlag), vxOK);
    EXPECT_EQ(flag, 1);
    // Mute through the table takes the negative channel as "all" too.
    const std::uint8_t unmute = 0;
    ASSERT_EQ(block.setChannelParameter(-1, CVolumeControl::kMute, &unmute, 1, vxTypeFlag), vxOK);
    expectGain(4, 0.5f);
}

TEST_F(VolumeControl, ChannelParametersRefuseOtherTypesCountsIdsAndChannels) {
    const float value = 0.5f;
    const std::int32_t integer = 0;
    EXPECT_EQ(block.setChannelParameter(0, CVolumeControl::kMasterVolume, &integer, 1, vxTypeInt32),
              vxErrParameterMismatch);
    EXPECT_EQ(block.setChannelParameter(0, CVolumeControl::kChannelVolume, &value, 2, vxTypeFloat32),
              vxErrParameterMismatch);
    EXPECT_EQ(block.setChannelParameter(0, CVolumeControl::kMute, &value, 1, vxTypeFloat32), vxErrParameterMismatch);
    EXPECT_EQ(block.setChannelParameter(0, 3, &value, 1, vxTypeFloat32), vxErrNoChannelParameterId);
    EXPECT_EQ(block.setChannelParameter(0, -1, &value, 1, vxTypeFloat32), vxErrNoChannelParameterId);
    expectEveryGain(1.0f);  // nothing refused was applied

    float read = -1.0f;
    EXPECT_EQ(block.getChannelParameter(0, 3, &read, 1, vxTypeFloat32), vxErrNoChannelParameterId);
    EXPECT_EQ(block.getChannelParameter(0, CVolumeControl::kChannelVolume, &read, 1, vxTypeInt32),
              vxErrParameterMismatch);
    EXPECT_EQ(block.getChannelParameter(kChannels, CVolumeControl::kChannelVolume, &read, 1, vxTypeFloat32),
              vxErrBadArgument);
    EXPECT_EQ(block.getChannelParameter(-1, CVolumeControl::kMasterVolume, &read, 1, vxTypeFloat32),
              vxErrBadArgument);
    EXPECT_EQ(read, -1.0f);
}

TEST_F(VolumeControl, NeverRunsSoReconfiguringResetsChannelsButKeepsTheMaster) {
    block.setMasterVolume(0.5f);
    block.setChannelVolume(0, 0.1f);
    block.setChannelMute(2, true);
    EXPECT_EQ(block.start(), vxOK);
    EXPECT_FALSE(block.isRunning());
    const vxAudioInterface format = vxAudioInterface::timeDomain(kChannels, 48000.0f, kFrames);
    ASSERT_EQ(block.configure(format, format), vxOK);
    EXPECT_EQ(block.stop(), vxOK);
    expectEveryGain(0.5f);
}

TEST(VolumeControlChannels, FollowTheInputFormat) {
    CVolumeControl block;
    ChannelSet in(4, 8, 1.0f), out(4, 8, -9.0f);
    EXPECT_EQ(block.process(in.pointers(), out.pointers(), 8), vxOK) << "unconfigured: no channels";
    ASSERT_EQ(block.configure(vxAudioInterface::timeDomain(2, 48000.0f, 8), vxAudioInterface::timeDomain(4, 48000.0f, 8)),
              vxOK);
    EXPECT_EQ(block.channels(), 2);
    ASSERT_EQ(block.process(in.pointers(), out.pointers(), 8), vxOK);
    EXPECT_EQ(out[1], std::vector<float>(8, 1.0f));
    EXPECT_EQ(out[2], std::vector<float>(8, -9.0f)) << "only input channels are written";
    ASSERT_EQ(block.configure(vxAudioInterface(), vxAudioInterface()), vxOK);
    EXPECT_EQ(block.channels(), 0);
    EXPECT_EQ(block.process(nullptr, nullptr, 8), vxOK);
}

// A channel that cannot be written is reported even when later ones succeed.
TEST_F(VolumeControl, ReportsAFailedChannelWhicheverChannelItIs) {
    in.pointers()[0] = nullptr;
    EXPECT_EQ(block.process(in.pointers(), out.pointers(), kFrames), vxErrKernelBase + dspStsNullPtrErr);
    EXPECT_EQ(out[kChannels - 1], in[kChannels - 1]);
}

}  // namespace
