// FIR filtering: dspsFIR_32f (out of place) and dspsFIR_32f_I (in place).
// Checks, in this order, with nothing written on a failure: the state and
// the other pointers (dspStsNullPtrErr), the count (dspStsSizeErr), the
// state's kind (dspStsContextMatchErr).
#include "filters/fir_state.h"
#include "ops/copy_move.h"

#define DSP_FAMILY_INL "fir_filter.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsFIR_32f);
DSP_DEFINE_TABLE5(dspsFIR_32f_I);

DSP_DEFINE_ENTRY(DspStatus, dspsFIR_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int numIters, DspsFIRState_32f* pState),
                 (pSrc, pDst, numIters, pState))
DSP_DEFINE_ENTRY(DspStatus, dspsFIR_32f_I, (Dsp32f * pSrcDst, int numIters, DspsFIRState_32f* pState),
                 (pSrcDst, numIters, pState))
