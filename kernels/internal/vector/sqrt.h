// Square root of float vectors in place: variant bodies.
//
// n0 and every element outside the SIMD block bodies get the exactly rounded
// root. The block bodies (16 elements in n2..n4, 8 in n1) use a reciprocal
// square-root estimate refined by one Newton step, within 5 ulp, unless the
// block holds a value that needs the exact instruction (n1 also sends every
// block with a value below 1.0 to it). The step turns the estimate's relative
// error e (|e| <= 1.5 * 2^-12 on every processor with SSE) into -1.5 e^2, up
// to 3.375 * 2^-24, and its own roundings add up to 1.75 * 2^-24: some
// estimates within that bound reach 5 ulp (the development machine's gives 3
// at most), so the bits of a block's root depend on the processor. n2, n3 and
// n4 agree bit for bit on any one processor.
#pragma once

#include "dsp_dispatch.h"

#define DSP_SQRT_SLOTS(ENTRY, INTERNAL) \
    ENTRY(DspStatus, dspsSqrt_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len), (pSrcDst, len))

DSP_DECLARE_FAMILY(DSP_SQRT_SLOTS)
