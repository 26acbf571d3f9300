// Arithmetic on complex float vectors (Dsp32fc, real part first) and the
// product of two real-signal spectra in the Perm layout. The complex functions
// have only their variant tables; the Perm product also has an entry point,
// and the filter code calls the dspsMulPerm_32f_I body of its own level.
//
// Variant classes:
//   Add_32fc_I, Add_32fc: bit-identical in all variants.
//   Mul_32f32fc, Mul_32fc_I, Mul_32fc, MulPerm_32f_I: identical across n1..n4,
//     which round every product before the sum; n0 forms the products
//     exactly and the sum in double, rounded once, so it may differ in the
//     last bit (more where the two products cancel).
//   Div_32fc: n0 divides in double and rounds each part once. n1..n4 agree
//     bit for bit on any one processor and work in single precision: |a|^2
//     (within 2 * 2^-24) and both numerators (within 2 * 2^-24 * |a||b|)
//     rounded, 1/|a|^2 from the reciprocal estimate (|e| <= 1.5 * 2^-12) and
//     one Newton step, which with its roundings lands between -4.74 and
//     +2.5 * 2^-24 of the reciprocal for every estimate within the bound, and
//     the final product rounded: each part within 10 * 2^-24 * |b| / |a| of
//     the exact quotient, which is a few ulp where the numerator's products
//     do not cancel. |a|^2 below the single range counts as a zero divisor.
#pragma once

#include "dsp_dispatch.h"

// dspsAdd_32fc_I: pSrcDst += pSrc; dspsAdd_32fc: pDst = pSrc1 + pSrc2, both run
//   as the real additions of the same level on 2 * len floats.
// dspsMul_32f32fc: pDst[i] = pSrc1[i] * pSrc2[i], a real times a complex vector.
// dspsMul_32fc_I, dspsMul_32fc: complex products pSrcDst = pSrc * pSrcDst,
//   pDst = pSrc1 * pSrc2.
// dspsDiv_32fc: pDst[i] = pSrc2[i] / pSrc1[i]; dspStsDivByZero when a divisor
//   was zero.
// dspsMulPerm_32f_I: pSrcDst = pSrcDst * pSrc, both len floats in the Perm
//   layout: word 0 (and word 1 for an even len) real, then (re, im) pairs.
#define DSP_ARITH_COMPLEX_SLOTS(ENTRY, INTERNAL)                                                          \
    INTERNAL(DspStatus, dspsAdd_32fc_I, (0, 1, 2, 3, 4), (const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len)) \
    INTERNAL(DspStatus, dspsAdd_32fc, (0, 1, 2, 3, 4),                                                    \
             (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len))                        \
    INTERNAL(DspStatus, dspsMul_32f32fc, (0, 1, 2, 3, 4),                                                 \
             (const Dsp32f* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len))                         \
    INTERNAL(DspStatus, dspsMul_32fc_I, (0, 1, 2, 3, 4), (const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len)) \
    INTERNAL(DspStatus, dspsMul_32fc, (0, 1, 2, 3, 4),                                                    \
             (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len))                        \
    INTERNAL(DspStatus, dspsDiv_32fc, (0, 1, 2, 3, 4),                                                    \
             (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len))                        \
    ENTRY(DspStatus, dspsMulPerm_32f_I, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len),    \
          (pSrc, pSrcDst, len))

DSP_DECLARE_FAMILY(DSP_ARITH_COMPLEX_SLOTS)

// Complex products of nPairs (>= 1) interleaved (re, im) pairs, pSrcDst =
// pSrc * pSrcDst; no checks. One per SSE level, bit-identical to each other.
DSP_DECLARE_IN_SSE_LEVELS(void mulPermKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int nPairs);)
