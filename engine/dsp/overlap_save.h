// Block convolution by overlap-save through one real FFT, for stages that
// filter one signal with several FIRs or several signals with FIRs whose
// outputs are summed: each signal is transformed once per block, each filter
// once per load, and a sum of filtered signals is one multiply-accumulate per
// filter and a single inverse transform.
//
// Spectra that are multiplied are kept split: the real parts of bins
// 0 .. N/2 - 1, then their imaginary parts, with bin N/2's (real) value in
// the place of bin 0's imaginary part, so that the complex products need no
// shuffles. That is the transform's Perm layout (bin 0, bin N/2, then the
// (Re, Im) pairs) de-interleaved; sums go back to Perm for the inverse
// transform.
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

    // Control thread: the split spectrum (length() floats) of `count` taps
    // delayed by `delay` samples; delay + count must not exceed maxTaps(). A
    // count of 0 gives a silent filter.
    void filterSpectrum(const float* taps, int count, int delay, float* spectrum);

    // One signal of an accumulation: the weighted sum, in order, of `count`
    // (at least 1) split spectra, formed on the fly and never stored.
    struct WeightedSpectra {
        const float* const* spectra;
        const float* weights;
        int count;
    };

    // Audio thread. Slides the `frames` samples the caller wrote at
    // newSamples(window, frames) into the window's history and writes the
    // window's split spectrum.
    float* newSamples(float* window, int frames) const { return window + length_ - frames; }
    void slide(float* window, int frames) const;
    void analyse(const float* window, float* spectrum);
    // For each of `sums` banks b: sum[b] (Perm layout) = the sum over the
    // signals j < count of filters[b * count + j] x signal j, bin by bin, in
    // order of j, skipping null filters (each bank has at least one). Every
    // signal is formed once for all banks (at most two); each weighted sum and product is
    // rounded as the plain expression, term by term, rounds it. Filters and
    // spectra are 16-byte aligned (kernel memory is).
    void accumulate(const float* const* filters, int sums, const WeightedSpectra* signals, int count,
                    float* const* sum) const;
    // Several such accumulations (of this length) in one pass over the bins:
    // a stretch of bins of every job before the next stretch, so spectra the
    // jobs share (the components' for many beams) come from memory once and
    // from the cache for the rest. Each job's sums are as it alone gives them.
    struct Accumulation {
        const float* const* filters;  // sums x count, bank by bank
        int sums;
        const WeightedSpectra* signals;
        int count;
        float* const* sum;
    };
    void accumulate(const Accumulation* jobs, int jobCount) const;
    // The last `frames` samples of the convolution whose spectrum is sum
    // (overwritten) go to out.
    void synthesise(float* sum, float* out, int frames);
    // A spectrum of `length` floats from Perm layout to split.
    static void splitPerm(const float* perm, float* split, int length);

private:
    int length_ = 0;
    int maxTaps_ = 0;
    vxKernelArray<Dsp8u> specMemory_;
    DspsFFTSpec_R_32f* spec_ = nullptr;
    vxKernelArray<Dsp8u> audioWork_, loaderWork_;
    vxKernelArray<float> audioPerm_, loaderPerm_;  // a transform's Perm output before it is split
};
