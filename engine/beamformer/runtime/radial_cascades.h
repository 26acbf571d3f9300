// The decomposition's radial filters: one cascade of biquad sections per
// component, with double-precision taps, delay line and arithmetic and each
// output rounded once to float (the transposed direct form II of the
// kernels' double-tap biquad filter: y = b0 x + d0, d0' = b1 x - a1 y + d1,
// d1' = b2 x - a2 y, taps divided by a0).
//
// The lanes run two at a time (one SSE register of doubles) through the
// whole block, the pair's sections one after another within each sample:
// a section's recursion waits only on its own last output, so the sections
// of one sample overlap with each other and with the next sample's, while
// the pair's delay lines stay in registers. A pair runs as many sections as
// its longer cascade has; a lane with fewer runs pass-through sections
// (b0 = 1, everything else 0), which change nothing.
//
// Threads: `load` on the control thread while stopped; `process` and
// `reset` on the audio thread. Nothing allocates in `process`.
#pragma once

#include "framework/kernel_array.h"

class vxRadialCascades {
public:
    static constexpr int kLanes = 16;

    // Lane l gets the cascade of counts[l] sections of 6 doubles (b0, b1,
    // b2, a0, a1, a2) at sections[l]; a lane whose cascade cannot be made (a
    // count below 1, a zero a0 or b0) passes its input through. Clears the
    // delay lines. False when the memory cannot be had (nothing is then
    // filtered).
    bool load(const double* const* sections, const int* counts);
    void release();
    bool empty() const { return sectionCount_ == 0; }

    // Filters the kLanes channels in place, frames samples each.
    void process(float* const* channels, int frames);
    void reset();

private:
    // One section of every lane: taps and delay line, lane by lane.
    struct Section {
        alignas(16) double b0[kLanes], b1[kLanes], b2[kLanes], a1[kLanes], a2[kLanes];
        alignas(16) double d0[kLanes], d1[kLanes];
    };

    static constexpr int kPairs = kLanes / 2;

    vxKernelArray<Section> sections_;
    int sectionCount_ = 0;
    int pairSections_[kPairs] = {};  // sections each pair of lanes runs
};
