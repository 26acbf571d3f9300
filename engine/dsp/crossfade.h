// The crossfade by which a filter bank hands over to a newly loaded one:
// once the new bank has run longer than its longest filter (its history is
// full), the old bank's output decays as exp(-t / T) while the new one's
// rises as the complement, so the two gains sum to 1 at every sample; after
// 5 T the old bank (still at exp(-5), 0.0067) is dropped.
//
// Audio thread only, apart from `configure`.
#pragma once

#include "framework/kernel_array.h"

class vxCrossfade {
public:
    // Fade of trunc(rate) x 5 T / 1000 samples. False when the curves cannot
    // be allocated (the fade is then empty and hands over at once).
    bool configure(float sampleRate, int timeConstantMs);
    // A new bank starts: nothing of it has run yet.
    void restart() {
        counter_ = 0;
        position_ = 0;
    }

    // One block: out is the current bank's output until the next bank has
    // run longer than its longest filter (nextTapMax), then the fade, then
    // the next bank's. True when the fade ended in this block: the next bank
    // is then the current one.
    bool mix(const float* current, const float* next, float* out, int frames, int nextTapMax);

    int length() const { return fadeOut_.size(); }
    bool fading() const { return position_ > 0; }

private:
    vxKernelArray<float> fadeOut_;
    vxKernelArray<float> fadeIn_;
    int counter_ = 0;   // samples the next bank has run
    int position_ = 0;  // samples of the fade done
};
