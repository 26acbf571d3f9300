// The vector variants' (n1..n4) engines of the real FFT.
#pragma once

#include <cstdint>

#include "dsp_dispatch.h"

struct DspsFFTSpec_R_32f;

// Forward split in single precision: slots 1..n-1 of Z (n complex values,
// n a multiple of 8) become the Perm bins 1..n-1, four bins and their four
// partners a step, with the grouped split table (lanes 2, 1, 4, 3); the
// middle bin becomes conj Z[n/2] exactly. Slot 0 is the caller's. The same
// operations in the same order in every level, so all four give the same
// bits.
//
// Inverse pre-split: Perm words 2..2n-1 of src into Z[1..n-1] of dst (src
// may equal dst), Z[k] = (X[k] + conj X[n-k]) + i*W*(X[k] - conj X[n-k])
// with W = exp(+i*pi*k/n) from the grouped inverse table; Z[n/2] = (2 Re,
// -2 Im) of bin n/2 exactly. Words 0 and 1 are the caller's.
//
// Complex FFT of n = 2^m values (m >= 6), natural order in and out, src
// to dst (src may equal dst), unnormalised: a bit-reversing first pass of
// four-point DFTs (eight-point in SSE2 for odd m) into the 32-byte-aligned
// work area (8n bytes) in the quad-split layout, radix-4 stages with the
// record's twiddles, and for odd m in SSE3 and above a closing radix-2
// stage; the last stage writes dst. bitRev: the index form of order m.
//
// Recursive rung (half-length orders above the direct plan): the complex
// FFT of 2^m values from src to dst (src may equal dst; otherwise it is only
// read), natural order interleaved, each leaf multiplied by the record's
// factor when `scale`: the whole vector bit-reversed into dst (tile by tile
// from the variant's tiled threshold), then the record's split of the order
// into sub-transforms and cross stages (work: the record's bufSize).
DSP_DECLARE_IN_SSE_LEVELS(
    void realFftRecombine(float* data, std::int64_t n, const float* splitFwd);
    void realFftRecombineInverse(const float* src, float* dst, std::int64_t n, const float* splitInv);
    void fftInCacheForward(const float* src, float* dst, std::int64_t n, const float* twiddles,
                           const std::int32_t* bitRev, float* work);
    void fftInCacheInverse(const float* src, float* dst, std::int64_t n, const float* twiddles,
                           const std::int32_t* bitRev, float* work);
    void fftRecursiveForward(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                             bool scale);
    void fftRecursiveInverse(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                             bool scale);)
