// Element-wise arithmetic on real float vectors: add, multiply, accumulate a
// product, subtract and divide. Sub and Div have variant tables but no entry
// point. Where two levels run the same code the table holds one body twice
// (n1 also fills the n2 slot, n3 the n4 slot) and only that body exists:
// reach a variant through its slot, e.g. dspsAdd_32f_I_table[k].
#pragma once

#include "dsp_dispatch.h"

// Bodies n0, n1 and n3 (n1 = n2, n3 = n4) and the table.
#define ARITH_DECLARE_BODIES_0_1_3(ret, name, params) \
    extern "C" ret n0_##name params;                  \
    extern "C" ret n1_##name params;                  \
    extern "C" ret n3_##name params;                  \
    DSP_DECLARE_TABLE(ret, name, params)

// Bodies n0 to n3 (n3 = n4) and the table.
#define ARITH_DECLARE_BODIES_0_TO_3(ret, name, params) \
    extern "C" ret n2_##name params;                   \
    ARITH_DECLARE_BODIES_0_1_3(ret, name, params)

ARITH_DECLARE_BODIES_0_1_3(DspStatus, dspsAdd_32f_I, (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len));
ARITH_DECLARE_BODIES_0_1_3(DspStatus, dspsMul_32f_I, (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len));
ARITH_DECLARE_BODIES_0_1_3(DspStatus, dspsMul_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len));
ARITH_DECLARE_BODIES_0_TO_3(DspStatus, dspsAdd_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len));
ARITH_DECLARE_BODIES_0_TO_3(DspStatus, dspsAddProduct_32f,
                            (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len));
// pDst[i] = pSrc2[i] - pSrc1[i]; no entry point.
ARITH_DECLARE_BODIES_0_TO_3(DspStatus, dspsSub_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len));
// pDst[i] = pSrc2[i] / pSrc1[i]; no entry point; five bodies.
DSP_DECLARE_VARIANTS(DspStatus, dspsDiv_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len));

#undef ARITH_DECLARE_BODIES_0_TO_3
#undef ARITH_DECLARE_BODIES_0_1_3

// Passes of 8 elements (counted after the alignment peel) above which the
// out-of-place Add and Sub write with streaming stores, per level; n0 never
// streams.
constexpr int kArithStreamingPasses[5] = {0, 5461, 10922, 10922, 10922};
