// Which tables each processor variant builds for which order, the recursion
// step tables, and the byte sizes that follow from them.
#pragma once

#include <cstdint>

// The three table layouts: n0 (generic), n1 (SSE2: its radix twiddles take
// the odd factor first), n2..n4 (identical tables).
enum class FftLayout { generic, sse2, sse };

struct FftVariantPlan {
    FftLayout layout;
    int headerOnlyMaxOrder;  // orders up to this one have no tables
    int lastDirectM;         // half-length orders above this take the recursive plan
    int tiledFromM;          // first half-length order with the tiled bit-reverse table
    // Out of place, tiled orders up to this one reverse tile by tile from the
    // source; above it the source is copied first and reversed in place (0:
    // never tile by tile).
    int tiledGatherUpToM;
    // fftSplitOrders: radix-2 levels taken off at each recursion level,
    // indexed by the half-length order m (0..30).
    const std::int8_t* splitOrders;
    // fftGroupOrders: 2^groupOrders[m] elements per cross-stage column
    // group (vector variants only; null for n0).
    const std::int8_t* groupOrders;
};

// variant 0..4
const FftVariantPlan& fftVariantPlan(int variant);

// Sizes in 64 bits (a sum over tables can pass INT_MAX before the API's int
// is checked).
struct FftSpecSizes {
    std::int64_t spec;  // record memory, including the alignment slack
    std::int64_t init;  // init buffer (own sine table and scratch), 0 below order 11
    std::int64_t work;  // work buffer as dspsFFTGetBufSize_R_32f reports it, 0 for none
};

// order 0..27 (not checked).
FftSpecSizes fftSpecSizes(const FftVariantPlan& plan, int order);
