// Biquad cascades with double taps: creation, taps, delay line and release
// of the "II18" state in five processor variants.
//
// One allocation holds the record, the normalised taps and the delay line;
// the SSE variants add per-section tables (duplicated numerator taps, the
// one-sample coefficients and a four-step look-ahead block of the recursion)
// and two work areas, so filtering needs neither a division nor memory.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <iterator>
#include <new>

#include "dsp_memory.h"
#include "filters/iir64f.h"
#include "ops/alignment.h"
#include "ops/copy_move.h"
#include "ops/zero_fill.h"

#define DSP_FAMILY_INL "iir64f_state.inl"
#include "simd_levels_all.inc"

// The identity word stays: the released memory is no state any more.
extern "C" DspStatus n0_dspsIIRFree64f_32f(DspsIIRState64f_32f* pState) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs64fState(pState)) return dspStsContextMatchErr;
    if (pState->isAllocated != 0) n0_dspsFree(pState);
    return dspStsNoErr;
}

DSP_DEFINE_TABLE5(dspsIIRInitAlloc64f_BiQuad_32f);
DSP_DEFINE_TABLE5(dspsIIRSetTaps64f_32f);
DSP_DEFINE_TABLE5(dspsIIRSetDlyLine64f_32f);
DSP_DEFINE_TABLE_SINGLE(dspsIIRFree64f_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsIIRInitAlloc64f_BiQuad_32f,
                 (DspsIIRState64f_32f * *ppState, const Dsp64f* pTaps, int numBq, const Dsp64f* pDlyLine),
                 (ppState, pTaps, numBq, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRSetTaps64f_32f, (const Dsp64f* pTaps, DspsIIRState64f_32f* pState),
                 (pTaps, pState))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRSetDlyLine64f_32f, (DspsIIRState64f_32f * pState, const Dsp64f* pDlyLine),
                 (pState, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRFree64f_32f, (DspsIIRState64f_32f * pState), (pState))
