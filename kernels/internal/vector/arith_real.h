// Element-wise arithmetic on real float vectors: add, multiply, accumulate a
// product, subtract and divide. Sub and Div have variant tables but no entry
// point. Where two levels run the same code the table holds one body twice
// (n1 also fills the n2 slot, n3 the n4 slot) and only that body exists:
// reach a variant through its slot, e.g. dspsAdd_32f_I_table[k].
//
// Variant classes:
//   Add, Sub, Mul: bit-identical in all variants (one single-precision
//     operation per element).
//   AddProduct: identical across n1..n4, which round the product before the
//     addition; n0 adds the exact product and rounds once, so it may differ
//     in the last bit.
//   Div: n0 gives the exactly rounded quotient. n1..n4 agree bit for bit on
//     any one processor; they multiply by the reciprocal estimate r (relative
//     error |e| <= 1.5 * 2^-12 on every processor with SSE) and correct it by
//     1 + e + e^2. What is left of the estimate is e^3 (below 2^-34); the
//     roundings of b * r and of the series leave r * (1 + e + e^2) within
//     2.5 * 2^-24 of 1/b (the largest over every divisor mantissa and every
//     estimate within the bound), and a * r and the product add one rounding
//     each: within 4 ulp of the exact quotient for operands whose quotient
//     and reciprocal are normal (3 with the development machine's estimate).
#pragma once

#include "dsp_dispatch.h"

// dspsSub_32f: pDst[i] = pSrc2[i] - pSrc1[i]; dspsDiv_32f: pDst[i] =
// pSrc2[i] / pSrc1[i].
#define DSP_ARITH_REAL_SLOTS(ENTRY, INTERNAL)                                                            \
    ENTRY(DspStatus, dspsAdd_32f_I, (0, 1, 1, 3, 3), (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len),     \
          (pSrc, pSrcDst, len))                                                                          \
    ENTRY(DspStatus, dspsMul_32f_I, (0, 1, 1, 3, 3), (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len),     \
          (pSrc, pSrcDst, len))                                                                          \
    ENTRY(DspStatus, dspsMul_32f, (0, 1, 1, 3, 3),                                                       \
          (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len), (pSrc1, pSrc2, pDst, len))  \
    ENTRY(DspStatus, dspsAdd_32f, (0, 1, 2, 3, 3),                                                       \
          (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len), (pSrc1, pSrc2, pDst, len))  \
    ENTRY(DspStatus, dspsAddProduct_32f, (0, 1, 2, 3, 3),                                                \
          (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len), (pSrc1, pSrc2, pSrcDst, len)) \
    INTERNAL(DspStatus, dspsSub_32f, (0, 1, 2, 3, 3),                                                    \
             (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len))                          \
    INTERNAL(DspStatus, dspsDiv_32f, (0, 1, 2, 3, 4),                                                    \
             (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len))

DSP_DECLARE_FAMILY(DSP_ARITH_REAL_SLOTS)

// Passes of 8 elements (counted after the alignment peel) above which the
// out-of-place Add and Sub write with streaming stores, per level; n0 never
// streams.
constexpr int kArithStreamingPasses[5] = {0, 5461, 10922, 10922, 10922};
