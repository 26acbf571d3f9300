// Natural logarithm and exponential of float vectors: variant bodies.
//
// Result classes (ulp bounds over every float input):
//   dspsLn_32f_I, dspsLn_32f: n0 is float(log(double(x))); n1..n4 run one
//     algorithm and agree bit for bit, within 4 ulp of n0.
//   dspsExp_32f_I: n1..n4 agree bit for bit on any one processor; their
//     groups of four are a rational approximation within 6 ulp of
//     float(exp(double(x))), their last len mod 4 elements exactly that. n0
//     uses a rational approximation with one division per four elements
//     (within 1 ulp) for len >= 4, and float(exp(double(x))) for len < 4 and
//     for the fewer than four computable elements nearest the start.
//   The SIMD exponential saturates from 87.1 on and gives +0.0 from -87.3365
//   down, n0 only beyond the float range.
// The logarithm uses no estimate instruction: its bound, measured over every
// float input, holds on any processor. The SIMD exponential's groups take
// 1/D of their rational approximation from the reciprocal estimate and one
// Newton step, so their bits depend on the processor. The architecture
// guarantees the estimate to 1.5 * 2^-12 relative; the step leaves at most
// 2.25 * 2^-24 of it plus its two roundings, which takes a D to one of at
// most seven floats. Every input tried with each of those gives 6 ulp at
// most, reached by estimates near the bound (the development machine's
// estimate gives 5).
#pragma once

#include "dsp_dispatch.h"

#define DSP_LN_EXP_SLOTS(ENTRY, INTERNAL)                                                             \
    ENTRY(DspStatus, dspsLn_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len), (pSrcDst, len))        \
    ENTRY(DspStatus, dspsLn_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f* pDst, int len),          \
          (pSrc, pDst, len))                                                                            \
    ENTRY(DspStatus, dspsExp_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len), (pSrcDst, len))

DSP_DECLARE_FAMILY(DSP_LN_EXP_SLOTS)
