#include "framework/audio_interface.h"

vxAudioInterface vxAudioInterface::timeDomain(int channels, float sampleRate, int framesPerBuffer) {
    vxAudioInterface format;
    format.setChannels(channels);
    format.setSampleRate(sampleRate, framesPerBuffer);
    return format;
}

bool vxAudioInterface::isCompatible(const vxAudioInterface& other) const {
    if (channels_ != other.channels_ || real_ != other.real_ || domain_ != other.domain_ ||
        sampleRate_ != other.sampleRate_)
        return false;
    if (domain_ == kFrequencyDomain)
        return fftSize_ == other.fftSize_ && freqParam2_ == other.freqParam2_ && freqParam1_ == other.freqParam1_;
    return framesPerBuffer_ == other.framesPerBuffer_;
}
