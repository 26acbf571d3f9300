// Filtering with single-precision taps: dspsIIR_32f and dspsIIR_32f_I in
// five processor variants.
//
// n0 runs the transposed direct form II sample by sample in double. n1..n4
// cut the call into blocks of at most kIir32fBlockLength samples and run a
// block longer than four samples per order through the block kernels.
#include <algorithm>

#include "filters/iir32f.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "iir32f_filter.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsIIR_32f);
DSP_DEFINE_TABLE5(dspsIIR_32f_I);

DSP_DEFINE_ENTRY(DspStatus, dspsIIR_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState),
                 (pSrc, pDst, len, pState))
DSP_DEFINE_ENTRY(DspStatus, dspsIIR_32f_I, (Dsp32f * pSrcDst, int len, DspsIIRState_32f* pState),
                 (pSrcDst, len, pState))
