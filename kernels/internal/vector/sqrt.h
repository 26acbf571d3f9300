// Square root of float vectors in place: variant bodies.
//
// n0 and every element outside the SIMD block bodies get the exactly rounded
// root. The block bodies (16 elements in n2..n4, 8 in n1) use a reciprocal
// square-root estimate refined by one Newton step, within 4 ulp (one step
// from the estimate's guaranteed 1.5·2^-12 leaves at most about 3.4·2^-24
// relative error; 3 ulp on the development machine), unless the
// block holds a value that needs the exact instruction (n1 also sends every
// block with a value below 1.0 to it). n2, n3 and n4 agree bit for bit.
#pragma once

#include "dsp_dispatch.h"

#define DSP_SQRT_SLOTS(ENTRY, INTERNAL) \
    ENTRY(DspStatus, dspsSqrt_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len), (pSrcDst, len))

DSP_DECLARE_FAMILY(DSP_SQRT_SLOTS)
