// Builders of the real-FFT tables. Each writes at a given address and
// returns the first 32-byte boundary after the space it reserves (the next
// table starts there). All twiddles are copied from a quarter-wave sine
// table, never recomputed, so every stored value is a sine-table entry or
// its negation.
#pragma once

#include <cstdint>

#include "fft/fft_plan.h"

struct DspsFFTSpec_R_32f;

// 257 values sin(2*pi*k/1024), k = 0..256 (the last exactly 1.0): the sine
// source of every order up to 10.
extern const float fftSineTable1024[257];

// S[k] = sin(2*pi*k/2^order), k = 0..2^order/4, read with a stride by the
// builders of smaller orders.
struct FftSineSource {
    const float* table;
    int order;
};

// fftSineTable1024 for orders up to 10.
FftSineSource fftConstantSine();

// The own sine table of order n (n >= 11): sines up to the eighth wave,
// cosines of the complement above, both in double, rounded once.
unsigned char* fftSineTable(int n, float* dst);

// Split twiddles of real order n. generic: pairs (A(k), B(k)) for k < N/4,
// A = 0.5*cos(2*pi*k/N), B = 0.5 - 0.5*sin(2*pi*k/N); vector layouts: groups
// of eight for bins 4g+1..4g+4 in lane order 2, 1, 4, 3 (A then B). The
// inverse tables hold cos and -sin in the same layouts.
unsigned char* fftSplitTwiddlesForward(FftLayout layout, int n, FftSineSource sine, float* dst);
unsigned char* fftSplitTwiddlesInverse(FftLayout layout, int n, FftSineSource sine, float* dst);

// Radix twiddles of a complex transform of order b. generic: W^k, W^2k,
// W^3k for k = 0..2^b/4 (six floats each); vector layouts: one 24-float
// record per four k for each radix-4 stage (and, sse with odd b, a trailing
// radix-2 section), 8*2^b bytes reserved.
unsigned char* fftRadixTwiddles(FftLayout layout, int b, FftSineSource sine, float* dst);

// Bit-reverse tables of a half-length order m. Index form (vector
// variants): 2*rev(i) for i < 2^(m-2), then 0. Pairs form (generic): the
// pairs (4i, 4rev(i)) with i < rev(i), a 0, the self-reversed 4i from the
// back, a closing 0. Tiled form (vector variants, large orders): the
// mirror-tile offsets 64*rev(k) for the 2^(m-12) tiles of 64 x 64, then the
// 12-bit pairs table of one tile.
unsigned char* fftBitReverseIndexTable(int m, std::int32_t* table);
unsigned char* fftBitReverseTable(int m, std::int32_t* table);
unsigned char* fftBitReverseTableTiled(int m, int t, std::int32_t* table);

// Walks a pairs-form table: pair(k, rev(k)) for each pair, then self(k) for
// 0 and each self-reversed k (k the group of values 2k, 2k+1, h+2k, h+2k+1,
// h half the length; an entry 4k is the float offset of value 2k).
template <typename Pair, typename Self>
void fftWalkBitReversePairs(const std::int32_t* table, Pair pair, Self self) {
    std::int64_t i = 0;
    for (; table[i] > 0; i += 2) pair(table[i] / 4, table[i + 1] / 4);
    self(0);
    for (++i; table[i] != 0; ++i) self(table[i] / 4);
}

// The tables of a recursive plan of half-length order m from dst on: the
// bit-reverse table at spec->bitRevTable, the leaf twiddles, per-level
// cross twiddles (and, generic, column twiddles and the join table); sets
// the plan's fields and bufSize.
unsigned char* fftRecursionTables(const FftVariantPlan& plan, DspsFFTSpec_R_32f* spec, int m, FftSineSource sine,
                                  unsigned char* dst);

// (cos(2*pi*e/L), -sin(2*pi*e/L)), L = 2^logL <= 2^sine.order, 0 <= e < L,
// by quarter-wave symmetry from the sine table. The vector layouts negate as
// 0 - x (a zero stays +0.0), the generic layout flips the sign.
struct FftTwiddle {
    float re;
    float im;
};
FftTwiddle fftTwiddle(FftLayout layout, FftSineSource sine, int logL, std::int64_t e);

// rev_b(i): the low b bits of i reversed.
std::uint32_t fftReverseBits(std::uint32_t i, int b);
