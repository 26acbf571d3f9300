// Arithmetic with a constant: variant bodies and tables.
//
// Where the SSSE3 and SSE4.1 levels run the same code, only the n0..n3 bodies
// exist and the table's n4 slot holds the n3 body.
//
// Variant classes: AddC, MulC, SubCRev and DivC are bit-identical in all
// variants (DivC multiplies by the single-precision reciprocal of the
// constant in every variant: within 1.5 ulp of the quotient, not exactly
// rounded). AddProductC and MulC_32fc are identical across n1..n4, which
// round every product to float; n0 keeps the products exact and rounds once,
// so it may differ in the last bit.
#pragma once

#include "dsp.h"
#include "dsp_dispatch.h"

// dspsDivC_32f has no entry point (dspsDivC_32f_I of the same level reaches
// it); dspsMulC_32fc has neither an entry point nor a caller.
#define DSP_ARITH_CONST_SLOTS(ENTRY, INTERNAL)                                                           \
    ENTRY(DspStatus, dspsAddC_32f_I, (0, 1, 2, 3, 3), (Dsp32f val, Dsp32f* pSrcDst, int len),             \
          (val, pSrcDst, len))                                                                           \
    ENTRY(DspStatus, dspsMulC_32f_I, (0, 1, 2, 3, 4), (Dsp32f val, Dsp32f* pSrcDst, int len),             \
          (val, pSrcDst, len))                                                                           \
    ENTRY(DspStatus, dspsSubCRev_32f_I, (0, 1, 2, 3, 3), (Dsp32f val, Dsp32f* pSrcDst, int len),          \
          (val, pSrcDst, len))                                                                           \
    ENTRY(DspStatus, dspsDivC_32f_I, (0, 1, 2, 3, 4), (Dsp32f val, Dsp32f* pSrcDst, int len),             \
          (val, pSrcDst, len))                                                                           \
    ENTRY(DspStatus, dspsMulC_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len), \
          (pSrc, val, pDst, len))                                                                        \
    ENTRY(DspStatus, dspsSubCRev_32f, (0, 1, 2, 3, 3),                                                   \
          (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len), (pSrc, val, pDst, len))               \
    ENTRY(DspStatus, dspsAddProductC_32f, (0, 1, 2, 3, 3),                                               \
          (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len), (pSrc, val, pSrcDst, len))         \
    INTERNAL(DspStatus, dspsDivC_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len)) \
    INTERNAL(DspStatus, dspsMulC_32fc, (0, 1, 2, 3, 3),                                                  \
             (const Dsp32fc* pSrc, Dsp32fc val, Dsp32fc* pDst, int len))

DSP_DECLARE_FAMILY(DSP_ARITH_CONST_SLOTS)
