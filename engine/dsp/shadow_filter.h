// A mono FIR stage whose filter can be exchanged while audio runs (the
// crossover low-pass, high-pass and equaliser of a beam). Each of its three
// banks holds a FIR followed by an alignment delay, so that every filter
// loaded into the stage has the same total delay, trunc(L) samples for a
// maximum delay L. A new filter is built in a spare bank, runs beside the
// current one until its history is full, and is crossfaded in.
//
// Threads: `configure`, `setMaxDelay` and `start` on the control thread
// while stopped. `loadFilter` on the control thread at any time: while the
// stage runs it builds the filter in a bank the audio thread does not use
// and publishes it; the audio thread takes it at the start of a block (as
// the next bank when none fades in, else after the running fade), so every
// bank change is the audio thread's. A later load replaces one still
// waiting. Nothing allocates after `setMaxDelay`.
#pragma once

#include "dsp/bank_slots.h"
#include "dsp/crossfade.h"
#include "dsp/delay_line.h"
#include "dsp.h"
#include "framework/audio_class.h"
#include "framework/kernel_array.h"

class vxlbShadowFilter : public vxAudioClass {
public:
    static constexpr int kBanks = vxBankSlots::kBanks;
    static constexpr int kTimeConstantMs = 50;

    vxlbShadowFilter() = default;
    ~vxlbShadowFilter() override = default;

    // vxErrRunning; vxErrFormat unless both formats are mono, real, time
    // domain, with equal rates and frames; vxErrAllocation.
    vxResult configure(const vxAudioInterface& in, const vxAudioInterface& out) override;
    // The current bank's output, crossfading to a newly loaded one; silence
    // before any filter is loaded. Always vxOK.
    vxResult process(float** in, float** out, int frames) override;
    // A waiting filter becomes current at once (no fade).
    vxResult start() override;
    vxResult stop() override;
    // Clears the current bank's FIR history and alignment delay.
    void reset() override;

    // vxErrRunning; vxErrBadArgument for L < 0; vxErrAllocation. Every bank
    // is emptied and sized for FIRs of up to 2 trunc(L) + 1 taps.
    [[nodiscard]] vxResult setMaxDelay(float maxDelay);
    // Loads one filter (lengths[0] taps from taps[0]; a length of 0 only
    // delays): 0; 101 when not configured; 102 when it is longer than
    // 2 trunc(L) + 1 taps; 103 when it would need a negative alignment.
    int loadFilter(const int* lengths, const float* const* taps);

    float maxDelay() const { return maxDelay_; }
    // The audio thread's view, for tests: banks of the current and the next
    // slot (-1 none) and whether a loaded filter waits.
    int currentBank() const { return slots_.current(); }
    int nextBank() const { return slots_.next(); }
    bool filterWaiting() const { return slots_.waiting(); }

private:
    // A crossover pair may run its two stages as one filter.
    friend class vxCrossoverPair;

    struct Bank {
        vxKernelArray<Dsp8u> stateBuffer;  // a FIR state of up to 2 trunc(L) + 1 taps
        DspsFIRState_32f* fir = nullptr;    // null: the bank only delays
        CDelayLine alignment;
        int taps = 0;
        vxKernelArray<float> coefficients;  // the taps the FIR was built with
        unsigned builds = 0;                // tells a rebuilt bank from the one before
    };

    // Builds the filter into bank b: 0, 102 or 103.
    int build(int b, int length, const float* taps);
    // Runs bank b on in into out.
    void runBank(int b, const float* in, float* out, int frames);

    float maxDelay_ = 0.0f;
    Bank banks_[kBanks];
    vxKernelArray<float> currentOut_, nextOut_, temporary_;
    vxCrossfade fade_;
    vxBankSlots slots_;
};
