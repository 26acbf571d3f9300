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
// Forward in-cache FFT of n = 2^m values (m >= 6), natural order in and out, src
// to dst (src may equal dst), unnormalised: a bit-reversing first pass of
// four-point DFTs (eight-point in SSE2 for odd m) into the 32-byte-aligned
// work area (8n bytes) in the quad-split layout, radix-4 stages with the
// record's twiddles, and for odd m in SSE3 and above a closing radix-2
// stage; the last stage writes dst. bitRev: the index form of order m.
//
// Inverse in-cache transform (fft_incache_inverse.cpp): the unnormalised
// inverse of n = 2^m values, n >= 8 (the entries pass 64 up to the level's
// in-cache limit), natural order in and out, src to dst (src may equal dst;
// no alignment needed): a first pass that reads src in bit-reversed order
// (bitRev: the index form of order m) into split blocks, radix-4 passes in
// place, a final pass into dst; the work area (8n bytes, 16-byte aligned) is
// dst itself when dst is 16-byte aligned and not src, else `work`. 8 values
// (every level) and 16 (SSE2) take paths of their own without work area.
// SSE4.1, SSSE3 and SSE3 give the same bits; SSE2 gives them too for even m.
//
// Radix passes (the last half-length order of the direct plan, after a bit
// reversal of the whole vector, and the recursive rung's leaves): n = 2^m
// values (m >= 5) in bit-reversed order transformed in place, forward or
// inverse, unnormalised, with the record's twiddles of order m; interleaved
// output when `interleaved` is 1, else quad-split. They work in the data
// when those are 16-byte aligned, else in buf (8n bytes, 16-byte aligned).
// The same operations as the in-cache transform, so the same bits.
//
// Recursive rung (half-length orders above the direct plan): the complex
// FFT of 2^m values from src to dst (src may equal dst; otherwise it is only
// read), natural order interleaved, each leaf multiplied by the record's
// factor when `scale`: the whole vector bit-reversed into dst (tile by tile
// from the variant's tiled threshold), then the record's split of the order
// into sub-transforms and cross stages (work: the record's bufSize).
//
// What the rungs are made of, for tests: the forward in-cache transform with
// its early stages blocked over blockLen values (0: unblocked; the rung uses
// 2048 in SSE4.1 and SSSE3, 1024 in SSE3, none in SSE2), which gives the
// same bits either way; the bit reversal of n values (n = 8 or a power of
// two from 16) through the index table, dst[rev(i)] = src[i], walking the
// source groups (scatter, up to 32768 values, 65536 in SSE3) or the
// destination groups (gather), the copy choosing between them by length,
// and in place; the recursive rung's reversal of
// the whole vector (tile by tile from the tiled threshold); the tile
// routines: rows x cols values (cols a multiple of 8) rowStride values apart
// gathered into a 16-byte-aligned block row after row, or scattered back
// (with `interleave` 1 every quad-split run of four values stored as (re, im)
// pairs), and the in-place bit reversal of len values from a pairs-form list
// (the tiled table's in-tile list); the forward cross
// passes on quad-split data in place: count groups of four (two) blocks of
// span values, each block holding a transform, bit-reversed by block, with
// the twiddles W^k, W^2k, W^3k (W^k) of each position k, 24 (8) floats per
// four positions, the same for every group.
DSP_DECLARE_IN_SSE_LEVELS(
    void realFftRecombine(float* data, std::int64_t n, const float* splitFwd);
    void realFftRecombineInverse(const float* src, float* dst, std::int64_t n, const float* splitInv);
    void fftInCacheForward(const float* src, float* dst, std::int64_t n, const float* twiddles,
                           const std::int32_t* bitRev, float* work);
    void fftInCacheInverse(const float* src, float* dst, std::int64_t n, const float* twiddles,
                           const std::int32_t* bitRev, float* work);
    void fftRecursiveForward(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                             bool scale);
    void fftRadixPasses(float* data, std::int64_t n, const float* twiddles, float* buf, int interleaved);
    void fftRadixPassesInverse(float* data, std::int64_t n, const float* twiddles, float* buf, int interleaved);
    void fftInCacheForwardBlocked(const float* src, float* dst, std::int64_t n, const float* twiddles,
                                  const std::int32_t* bitRev, float* work, std::int64_t blockLen);
    void fftBitReverseScatter(const float* src, float* dst, std::int64_t n, const std::int32_t* table);
    void fftBitReverseGather(const float* src, float* dst, std::int64_t n, const std::int32_t* table);
    void fftBitReverseCopy(const float* src, float* dst, std::int64_t n, const std::int32_t* table);
    void fftBitReverseInPlace(float* data, std::int64_t n, const std::int32_t* table);
    void fftRecursiveBitReverse(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work);
    void fftGatherTile(const float* base, float* block, std::int64_t rowStride, std::int64_t rows,
                       std::int64_t cols);
    void fftScatterTile(float* base, const float* block, std::int64_t rowStride, std::int64_t rows,
                        std::int64_t cols, int interleave);
    void fftTileBitReverse(float* data, std::int64_t len, const std::int32_t* list);
    void fftCrossRadix4(float* data, std::int64_t span, std::int64_t count, const float* twiddles);
    void fftCrossRadix2(float* data, std::int64_t span, std::int64_t count, const float* twiddles);
    void fftRecursiveInverse(const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m, float* work,
                             bool scale);)
