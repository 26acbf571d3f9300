// A beam's crossover: low-pass(low) + high-pass(high), the sum of two
// crossfading FIR stages. A complementary pair, whose high-pass is a single
// tap s at some index c less the low-pass (h = s d_c - l), runs as one
// filter instead:
//
//   l * low + h * high = l * (low - high) + s high[n - c]
//
// which saves the high-pass FIR. That takes both stages steady (no bank
// fading in or waiting), the same length, and taps that are each other's
// negatives everywhere but at c.
//
// While the pair runs as one, the low-pass FIR holds the history of
// low - high and the high-pass FIR is not run; their sum passes through the
// low-pass stage's alignment delay (the high-pass stage's drains the
// samples it held). Both bands' recent samples are kept, so that the two
// FIRs get back exactly the histories they would have had the moment the
// stages run apart again (a load, another mode). The sum the alignment
// delays hold is split back too: the high-pass stage's share is its FIR's
// output over the last few samples, recomputed from the kept high band, and
// the low-pass stage keeps the rest. So a mode that runs one stage alone
// (the unfiltered low band) still gets the other's held samples.
//
// Threads: `configure` on the control thread while stopped; the rest on the
// audio thread, which alone changes the stages' current banks. Nothing
// allocates after `configure`.
#pragma once

#include "dsp/shadow_filter.h"
#include "framework/kernel_array.h"

class vxCrossoverPair {
public:
    // Blocks of up to `frames` samples, stages of maximum delay `maxDelay`:
    // false when the memory cannot be had.
    bool configure(int frames, float maxDelay);
    // Forgets both bands' history (the stages were cleared or stopped).
    void reset();

    // out = lowPass(low) + highPass(high), one block; `temporary` is a
    // scratch block.
    void process(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass, const float* low, const float* high,
                 float* out, float* temporary, int frames);
    // The caller runs the stages apart this block (another mode): their
    // FIRs get their own histories back first.
    void runApart(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass);

    // For tests: whether the last block ran as one filter.
    bool ranAsOne() const { return asOne_; }

private:
    // Whether the stages' current banks form a complementary pair; sets
    // centre_ and centreTap_. Cached per pair of bank builds.
    bool complementary(const vxlbShadowFilter::Bank& low, const vxlbShadowFilter::Bank& high);
    void runAsOne(vxlbShadowFilter::Bank& low, vxlbShadowFilter::Bank& high, const float* lowIn,
                  const float* highIn, float* out, float* temporary, int frames);
    // Loads a FIR's delay line from a band's kept history.
    void restoreHistory(vxlbShadowFilter::Bank& bank, const float* history);
    void keepHistory(float* history, const float* block, int frames);
    void separate(vxlbShadowFilter& lowPass, vxlbShadowFilter& highPass);
    // Gives each stage's alignment delay the share of the sum it would hold
    // had the stages run apart all along.
    void splitAlignments(vxlbShadowFilter::Bank& low, vxlbShadowFilter::Bank& high);

    int historyLength_ = 0;  // the longest FIR's taps
    // Each band's last historyLength_ samples, oldest first.
    vxKernelArray<float> lowHistory_, highHistory_;
    vxKernelArray<float> delayLine_;   // a FIR's delay line, most recent first
    vxKernelArray<float> difference_;  // low - high for one block
    vxKernelArray<float> alignmentScratch_;  // three alignment delays' worth
    // The samples before this block the histories hold as the stages saw
    // them; all historyLength_ of them before the pair may run as one.
    int keptSamples_ = 0;
    bool asOne_ = false;
    int lowBank_ = -1, highBank_ = -1;  // the banks the last block ran as one
    int highAlignmentLeft_ = 0;  // samples the high-pass alignment still holds

    // The complementarity of the banks last checked.
    int checkedLow_ = -1, checkedHigh_ = -1;
    unsigned checkedLowBuild_ = 0, checkedHighBuild_ = 0;
    bool isComplementary_ = false;
    float centre_ = 0.0f;  // s
    int centreTap_ = -1;   // c, or -1 when h = -l exactly
};
