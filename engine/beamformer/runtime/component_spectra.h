// The spherical-harmonic components' recent past and its spectrum, kept once
// per block for every beam of the chain. A beam whose look has held still
// for a whole transform window forms each order sum from these spectra
// (the transform is linear, so the spectrum of a constant-weight sum is the
// weighted sum of the spectra) instead of transforming its own order sums:
// the components are transformed once per block, not every beam's four
// order sums. A beam whose look moves keeps its own order sums and rebuilds
// their past from the components' windows when its look comes to rest.
//
// The windows and the transform are those of the beams' vxOverlapSave
// (blocks of up to maxFrames samples, filters of up to maxTaps taps), and
// the spectra are in its split layout, so a beam configured alike reads
// them directly.
//
// Threads: `configure` on the control thread while stopped; the rest on the
// audio thread. Nothing allocates after `configure`.
#pragma once

#include "dsp/overlap_save.h"
#include "framework/kernel_array.h"

class vxComponentSpectra {
public:
    static constexpr int kMaxComponents = 16;

    // False when the memory cannot be had (nothing is then kept).
    bool configure(int components, int maxFrames, int maxTaps);
    void release();
    // N: the floats of a window and of a spectrum (0 until configured).
    int length() const { return convolution_.length(); }
    int components() const { return components_; }

    // Audio thread: the block's component samples join the windows; their
    // spectra are made when first asked for in the block, and only when
    // offered: transforming every component pays only when enough beams
    // use them (the beams then keep to their own order sums).
    void push(const float* const* components, int frames, bool offerSpectra);
    bool spectraOffered() const { return offered_; }
    const float* const* windows() const { return windowPointers_; }
    const float* const* spectra();
    // Zero history.
    void clear();

private:
    vxOverlapSave convolution_;
    int components_ = 0;
    bool analysed_ = false;
    bool offered_ = false;
    vxKernelArray<float> windows_[kMaxComponents];
    vxKernelArray<float> spectra_[kMaxComponents];
    const float* windowPointers_[kMaxComponents] = {};
    const float* spectrumPointers_[kMaxComponents] = {};
};
