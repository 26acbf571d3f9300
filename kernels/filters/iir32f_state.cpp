// IIR filters with single-precision taps: size, creation (allocated or in a
// caller's buffer), taps, delay line and release in five processor variants.
//
// One block holds the record, the normalised taps and the delay line; the
// SSE variants add the numerator taps four times each, the look-ahead rows
// with which the recursion makes four outputs per step, and a work area.
#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <new>

#include "dsp_memory.h"
#include "filters/iir32f.h"
#include "ops/alignment.h"
#include "ops/copy_move.h"
#include "ops/zero_fill.h"

#define DSP_FAMILY_INL "iir32f_state.inl"
#include "simd_levels_all.inc"

extern "C" DspStatus n0_dspsIIRGetDlyLine_32f(const DspsIIRState_32f* pState, Dsp32f* pDlyLine) {
    if (pState == nullptr || pDlyLine == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    std::memcpy(pDlyLine, pState->pDlyLine, sizeof(Dsp32f) * static_cast<std::size_t>(pState->dlyLineLen));
    return dspStsNoErr;
}

// The identity word stays: the released memory is no state any more.
extern "C" DspStatus n0_dspsIIRFree_32f(DspsIIRState_32f* pState) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs32fState(pState)) return dspStsContextMatchErr;
    if (pState->isAllocated != 0) n0_dspsFree(pState);
    return dspStsNoErr;
}

DSP_DEFINE_TABLE5(dspsIIRInitAlloc_32f);
DSP_DEFINE_TABLE5(dspsIIRInit_32f);
DSP_DEFINE_TABLE5(dspsIIRGetStateSize_32f);
DSP_DEFINE_TABLE5(dspsIIRSetTaps_32f);
DSP_DEFINE_TABLE5(dspsIIRSetDlyLine_32f);
DSP_DEFINE_TABLE_SINGLE(dspsIIRGetDlyLine_32f);
DSP_DEFINE_TABLE_SINGLE(dspsIIRFree_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsIIRInitAlloc_32f,
                 (DspsIIRState_32f * *ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine),
                 (ppState, pTaps, order, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRInit_32f,
                 (DspsIIRState_32f * *ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine, Dsp8u* pBuf),
                 (ppState, pTaps, order, pDlyLine, pBuf))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRGetStateSize_32f, (int order, int* pBufferSize), (order, pBufferSize))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRSetTaps_32f, (const Dsp32f* pTaps, DspsIIRState_32f* pState), (pTaps, pState))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRSetDlyLine_32f, (DspsIIRState_32f * pState, const Dsp32f* pDlyLine),
                 (pState, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRGetDlyLine_32f, (const DspsIIRState_32f* pState, Dsp32f* pDlyLine),
                 (pState, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsIIRFree_32f, (DspsIIRState_32f * pState), (pState))
