// Filtering through a double-tap biquad cascade: dspsIIR64f_32f and
// dspsIIR64f_32f_I in five processor variants.
//
// n0 runs the plain transposed direct form II loop. n1..n4 cut the call
// into chunks of at most kIirChunkLength samples; a chunk longer than four
// samples per section runs section by section through the block kernels,
// four outputs of the recursion per step; a shorter one sample by sample.
#include <algorithm>

#include "filters/iir64f.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "iir64f_filter.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsIIR64f_32f);
DSP_DEFINE_TABLE5(dspsIIR64f_32f_I);

DSP_DEFINE_ENTRY(DspStatus, dspsIIR64f_32f,
                 (const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState64f_32f* pState),
                 (pSrc, pDst, len, pState))
DSP_DEFINE_ENTRY(DspStatus, dspsIIR64f_32f_I, (Dsp32f * pSrcDst, int len, DspsIIRState64f_32f* pState),
                 (pSrcDst, len, pState))
