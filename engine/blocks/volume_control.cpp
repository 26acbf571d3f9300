#include "blocks/volume_control.h"

namespace {

constexpr vxParameterName kChannelNames[] = {"masterVolume", "channelVolume", "mute"};
constexpr int kChannelCounts[] = {1, 1, 1};
constexpr int kChannelTypes[] = {vxTypeFloat32, vxTypeFloat32, vxTypeFlag};

}  // namespace

CVolumeControl::CVolumeControl() {
    setChannelParameterTable(kChannelNames, kChannelCounts, kChannelTypes, 3);
}

vxResult CVolumeControl::configure(const vxAudioInterface& in, const vxAudioInterface& out) {
    vxAudioClass::configure(in, out);
    const int n = in.channels() > 0 ? in.channels() : 0;
    if (!channelGains_.allocate(n) || !effectiveGains_.allocate(n) || !muted_.allocate(n)) {
        channelGains_.release();
        effectiveGains_.release();
        muted_.release();
        return vxErrAllocation;
    }
    for (int c = 0; c < n; ++c) {
        channelGains_[c] = 1.0f;
        updateEffectiveGain(c);
    }
    return vxOK;
}

vxResult CVolumeControl::process(float** in, float** out, int frames) {
    if (channels() > 0 && (in == nullptr || out == nullptr)) return vxErrBadArgument;
    vxKernelStatus status;
    for (int c = 0; c < channels(); ++c) status.add(dspsMulC_32f(in[c], effectiveGain(c), out[c], frames));
    return status.result();
}

void CVolumeControl::updateEffectiveGain(int channel) {
    const float gain = muted_[channel] ? 0.0f : channelGains_[channel] * masterGain_;
    effectiveGains_[channel].store(gain, std::memory_order_relaxed);
}

void CVolumeControl::setMasterVolume(float gain) {
    masterGain_ = gain;
    for (int c = 0; c < channels(); ++c) updateEffectiveGain(c);
}

void CVolumeControl::setChannelVolume(int channel, float gain) {
    if (channel < 0 || channel >= channels()) return;
    channelGains_[channel] = gain;
    updateEffectiveGain(channel);
}

void CVolumeControl::setChannelMute(int channel, bool mute) {
    if (channel >= channels()) return;
    const int first = channel < 0 ? 0 : channel;
    const int last = channel < 0 ? channels() - 1 : channel;
    for (int c = first; c <= last; ++c) {
        muted_[c] = mute ? 1 : 0;
        updateEffectiveGain(c);
    }
}

vxResult CVolumeControl::setChannelParameter(int channel, int id, const void* data, int count, int type) {
    switch (id) {
        case kMasterVolume:
        case kChannelVolume: {
            float gain = 0.0f;
            const vxResult r = copyParameterValue(data, id, &gain, count, type, true);
            if (r != vxOK) return r;
            if (id == kMasterVolume)
                setMasterVolume(gain);
            else
                setChannelVolume(channel, gain);
            return vxOK;
        }
        case kMute: {
            std::uint8_t mute = 0;
            const vxResult r = copyParameterValue(data, id, &mute, count, type, true);
            if (r == vxOK) setChannelMute(channel, mute != 0);
            return r;
        }
        default:
            return vxErrNoChannelParameterId;
    }
}

vxResult CVolumeControl::getChannelParameter(int channel, int id, void* data, int count, int type) {
    if (!channelParameterTable().contains(id)) return vxErrNoChannelParameterId;
    if (channel < 0 || channel >= channels()) return vxErrBadArgument;
    switch (id) {
        case kMasterVolume:
            return copyParameterValue(&masterGain_, id, data, count, type, true);
        case kChannelVolume:
            return copyParameterValue(&channelGains_[channel], id, data, count, type, true);
        default:
            return copyParameterValue(&muted_[channel], id, data, count, type, true);
    }
}
