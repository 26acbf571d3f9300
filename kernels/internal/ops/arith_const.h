// Arithmetic with a constant: variant bodies and tables.
//
// Where the SSSE3 and SSE4.1 levels run the same code, only the n0..n3 bodies
// exist and the table's n4 slot holds the n3 body.
#pragma once

#include "dsp.h"
#include "dsp_dispatch.h"

#define DSP_DECLARE_VARIANTS_N4_RUNS_N3(ret, name, params) \
    extern "C" ret n0_##name params;                      \
    extern "C" ret n1_##name params;                      \
    extern "C" ret n2_##name params;                      \
    extern "C" ret n3_##name params;                      \
    DSP_DECLARE_TABLE(ret, name, params)

DSP_DECLARE_VARIANTS_N4_RUNS_N3(DspStatus, dspsAddC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsMulC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len));
DSP_DECLARE_VARIANTS_N4_RUNS_N3(DspStatus, dspsSubCRev_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsDivC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsMulC_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS_N4_RUNS_N3(DspStatus, dspsSubCRev_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS_N4_RUNS_N3(DspStatus, dspsAddProductC_32f,
                                (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len));
// No entry point: reached from dspsDivC_32f_I of the same level.
DSP_DECLARE_VARIANTS(DspStatus, dspsDivC_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len));
// No entry point and no caller.
DSP_DECLARE_VARIANTS_N4_RUNS_N3(DspStatus, dspsMulC_32fc, (const Dsp32fc* pSrc, Dsp32fc val, Dsp32fc* pDst, int len));
