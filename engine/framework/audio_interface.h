// The stream format of a block's input or output, and the rule by which two
// formats are compatible (the same stream shape, so buffers can be exchanged).
#pragma once

class vxAudioInterface {
public:
    enum Domain : int { kTimeDomain = 0, kFrequencyDomain = 1 };

    vxAudioInterface() = default;
    vxAudioInterface(const vxAudioInterface&) = default;
    vxAudioInterface& operator=(const vxAudioInterface&) = default;
    virtual ~vxAudioInterface() = default;

    // A real time-domain format: the usual one of every block here.
    static vxAudioInterface timeDomain(int channels, float sampleRate, int framesPerBuffer);

    void setSampleRate(float rate, int framesPerBuffer) {
        sampleRate_ = rate;
        framesPerBuffer_ = framesPerBuffer;
    }
    void setDomain(int domain) { domain_ = domain; }
    void setChannels(int channels) { channels_ = channels; }
    void setReal(bool real) { real_ = real; }
    void setFftSize(int fftSize) { fftSize_ = fftSize; }
    // Frequency-domain descriptors: compared, never interpreted.
    void setFrequencyParameters(int first, int second) {
        freqParam1_ = first;
        freqParam2_ = second;
    }

    int domain() const { return domain_; }
    bool isTimeDomain() const { return domain_ == kTimeDomain; }
    int channels() const { return channels_; }
    bool isReal() const { return real_; }
    float sampleRate() const { return sampleRate_; }
    int framesPerBuffer() const { return framesPerBuffer_; }
    int fftSize() const { return fftSize_; }
    int freqParam1() const { return freqParam1_; }
    int freqParam2() const { return freqParam2_; }

    // Samples per channel and buffer: the frames per buffer in the time
    // domain, the bins of a real transform (fftSize / 2 + 1) otherwise.
    int frames() const { return isTimeDomain() ? framesPerBuffer_ : fftSize_ / 2 + 1; }
    // Floats per sample: 1 for real samples, 2 for complex ones.
    int floatsPerSample() const { return real_ ? 1 : 2; }

    // Same channel count, sample kind, domain and (exactly) sample rate; then
    // the same transform description in the frequency domain, or the same
    // frames per buffer in the time domain.
    bool isCompatible(const vxAudioInterface& other) const;

private:
    int domain_ = kTimeDomain;
    int channels_ = 0;
    bool real_ = true;
    float sampleRate_ = 0.0f;
    int framesPerBuffer_ = 0;
    int fftSize_ = 0;
    int freqParam1_ = 0;
    int freqParam2_ = 0;
};
