// Block convolution by overlap-save through one real FFT, for stages that
// filter one signal with several FIRs or several signals with FIRs whose
// outputs are summed: each signal is transformed once per block, each filter
// once per load, and a sum of filtered signals is one multiply-accumulate per
// filter and a single inverse transform.
//
// A window holds the last N samples of its signal (N, a power of two, at
// least the longest block plus the longest filter less one); the last
// `frames` samples of the circular convolution of a window with a filter are
// then the linear convolution's, with the signal's own past as history. A
// filter is stored as the spectrum of its taps after `delay` zeros, so a
// whole-sample alignment delay costs nothing.
//
// Threads: `configure` on the control thread while stopped; `filterSpectrum`
// on the control thread (its own work buffer; the FFT record is only read);
// the rest on the audio thread. Nothing allocates after `configure`.
#pragma once

#include "dsp.h"
#include "framework/kernel_array.h"

class vxOverlapSave {
public:
    // Blocks of up to maxFrames samples, filters (delay included) of up to
    // maxTaps taps. False when the memory cannot be had (nothing is set up).
    bool configure(int maxFrames, int maxTaps);
    void release();
    // N: the floats of a window and of a spectrum (0 until configured).
    int length() const { return length_; }
    int maxTaps() const { return maxTaps_; }

    // Control thread: spectrum (length() floats) of `count` taps delayed by
    // `delay` samples; delay + count must not exceed maxTaps(). A count of 0
    // gives a silent filter.
    void filterSpectrum(const float* taps, int count, int delay, float* spectrum);

    // Audio thread. Slides the `frames` samples the caller wrote at
    // newSamples(window, frames) into the window's history and writes the
    // window's spectrum.
    float* newSamples(float* window, int frames) const { return window + length_ - frames; }
    void slide(float* window, int frames) const;
    void analyse(const float* window, float* spectrum);
    // sum = the sum over j < count (at least 1) of filters[j] x signals[j],
    // bin by bin, in order of j.
    void accumulate(const float* const* filters, const float* const* signals, int count, float* sum) const;
    // The last `frames` samples of the convolution whose spectrum is sum
    // (overwritten) go to out.
    void synthesise(float* sum, float* out, int frames);

private:
    int length_ = 0;
    int maxTaps_ = 0;
    vxKernelArray<Dsp8u> specMemory_;
    DspsFFTSpec_R_32f* spec_ = nullptr;
    vxKernelArray<Dsp8u> audioWork_, loaderWork_;
};
