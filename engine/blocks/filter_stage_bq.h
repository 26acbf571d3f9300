// A per-channel cascade of biquad sections with double-precision taps, run
// on float samples (the output high-pass). Each channel has its own number
// of sections and its own taps; a channel without sections passes its input
// unchanged.
//
// Taps change while audio runs: `setTaps` (control thread) hands new taps to
// the channel and `process` (audio thread) loads them at the start of its
// next block for that channel, keeping the filter history, so the change
// falls on a block boundary and no sample is lost. The audio thread never
// waits for the hand-over: taps still being written are taken a block later.
//
// Identity taps (the high-pass switched off) copy the input once the
// history the previous taps left has passed through, which takes two
// samples: the output is the same, bit for bit, without the filtering.
#pragma once

#include <atomic>

#include "dsp.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class CFilterStageBq : public vxAudioClass {
public:
    // Coefficients per section, in the order b0, b1, b2, a0, a1, a2.
    static constexpr int kTapsPerSection = 6;

    CFilterStageBq() = default;

    // vxErrRunning while running; vxErrFormat unless input and output have
    // the same channels and sample rate and are both real and time domain;
    // vxErrAllocation. Every channel starts without sections.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // Filters every channel (loading handed-over taps first); channels
    // without sections are copied. vxOK, or vxErrKernelBase + status when a
    // channel could not be written.
    vxResult process(float** in, float** out, int frames) override;
    // Zeroes every channel's filter history.
    void reset() override;
    // Stops and resets.
    vxResult stop() override;

    // Gives channel c counts[c] identity sections with a zero history; a
    // count of 0 leaves the channel without a filter. vxErrRunning;
    // vxErrBadArgument unless n is the input's channel count and no count is
    // negative (nothing changes then); else 0, or the kernel status of the
    // first channel whose filter could not be made (that channel then has
    // no sections).
    [[nodiscard]] int setSections(const int* counts, int n);
    // Hands kTapsPerSection x sections taps to the channel, taken by its
    // next block. vxErrBadArgument for a channel outside the block, null
    // taps, or a section whose a0 or b0 is 0 (taps the filter would refuse);
    // vxErrNoSections for a channel without sections.
    [[nodiscard]] vxResult setTaps(int channel, const double* taps);

    int channels() const { return channels_.size(); }
    int sections(int channel) const { return channels_[channel].sections; }

private:
    // The hand-over of new taps to the audio thread, per channel.
    enum HandOver : int {
        kIdle,     // the filter runs the latest taps
        kWriting,  // the control thread is writing new taps
        kPending,  // new taps wait for the audio thread
        kLoading,  // the audio thread is loading them into the filter
    };

    // Samples after which identity sections hold a zero history whatever
    // they held before: each section's two delays shift out in two steps.
    static constexpr int kIdentityDrain = 2;

    struct Channel {
        std::atomic<int> handOver{kIdle};
        int sections = 0;
        Dsp64f* taps = nullptr;  // kTapsPerSection x sections, the latest handed over
        DspsIIRState64f_32f* filter = nullptr;
        // The audio thread's: the filter runs identity taps, and the samples
        // it has filtered since they were loaded or its history cleared
        // (counted up to kIdentityDrain).
        bool identity = true;
        int identitySamples = kIdentityDrain;

        Channel() = default;
        ~Channel() { clear(); }
        // No filter, no taps.
        void clear();
        // Loads pending taps into the filter; the audio thread's side.
        void takeHandedOverTaps();
        // Filters, or copies where identity taps would output their input.
        DspStatus run(const float* in, float* out, int frames);
    };

    vxKernelArray<Channel> channels_;
};
