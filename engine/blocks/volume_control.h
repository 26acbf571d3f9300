// A per-channel gain with a master gain and per-channel mute: each input
// channel c leaves as in[c] x channel gain[c] x master gain, or silence when
// muted. Gains are linear factors.
//
// The control thread sets gains at any time; `process` (audio thread) reads
// the effective gains without a lock, so a change takes effect at the next
// block. The block never runs in the framework's sense: `start` and `stop`
// leave it stopped, so it may be reconfigured whenever its owner is.
#pragma once

#include <atomic>
#include <cstdint>

#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CVolumeControl : public vxAudioClass {
public:
    // Channel parameter ids.
    enum : int { kMasterVolume = 0, kChannelVolume = 1, kMute = 2 };

    CVolumeControl();

    // Sizes the gains for the input's channels: channel gains 1, unmuted.
    // vxOK, or vxErrAllocation.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // out[c] = in[c] x effective gain of c for every input channel; vxOK, or
    // vxErrKernelBase + status when a channel could not be written.
    vxResult process(float** in, float** out, int frames) override;
    vxResult stop() override { return vxOK; }
    vxResult start() override { return vxOK; }

    // Apply a value as the setter of the same name would (vxErrParameterMismatch
    // when count or type differ from the table, vxErrNoChannelParameterId for
    // other ids).
    [[nodiscard]] vxResult setChannelParameter(int channel, int id, const void* data, int count, int type) override;
    // Reads the master gain, the channel's gain or its mute flag;
    // vxErrBadArgument for a channel outside the block.
    vxResult getChannelParameter(int channel, int id, void* data, int count, int type) override;

    void setMasterVolume(float gain);
    // Channels outside 0..channels-1 change nothing.
    void setChannelVolume(int channel, float gain);
    // A negative channel sets every channel's mute; channels beyond the
    // block change nothing.
    void setChannelMute(int channel, bool mute);

    int channels() const { return channelGains_.size(); }
    float masterVolume() const { return masterGain_; }
    // Channel gain x master gain, or 0 when the channel is muted.
    float effectiveGain(int channel) const { return effectiveGains_[channel].load(std::memory_order_relaxed); }

private:
    void updateEffectiveGain(int channel);

    vxKernelArray<float> channelGains_;
    float masterGain_ = 1.0f;
    // Written by the control thread, read by the audio thread.
    vxKernelArray<std::atomic<float>> effectiveGains_;
    vxKernelArray<std::uint8_t> muted_;
};
