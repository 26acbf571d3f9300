// FIR state: dspsFIRInitAlloc_32f, dspsFIRInit_32f, dspsFIRGetStateSize_32f,
// dspsFIRSetDlyLine_32f and dspsFIRFree_32f.
//
// A single-rate state decides once whether it runs in direct form or, from
// 64 taps, by FFT overlap-save, and carves its record, tap layouts, delay
// buffer, FFT areas and a 4096-float scratch from one block: one the library
// allocates, or one the caller provides (rounded up to 16 bytes).
#include <cstdint>
#include <new>

#include "dsp_memory.h"
#include "filters/fir_state.h"
#include "ops/alignment.h"
#include "ops/copy_move.h"
#include "ops/zero_fill.h"

#define DSP_FAMILY_INL "fir_state.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsFIRInitAlloc_32f);
DSP_DEFINE_TABLE5(dspsFIRInit_32f);
DSP_DEFINE_TABLE5(dspsFIRGetStateSize_32f);
DSP_DEFINE_TABLE5(dspsFIRSetDlyLine_32f);
DSP_DEFINE_TABLE_SINGLE(dspsFIRFree_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsFIRInitAlloc_32f,
                 (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine),
                 (ppState, pTaps, tapsLen, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsFIRInit_32f,
                 (DspsFIRState_32f * *ppState, const Dsp32f* pTaps, int tapsLen, const Dsp32f* pDlyLine,
                  Dsp8u* pBuffer),
                 (ppState, pTaps, tapsLen, pDlyLine, pBuffer))
DSP_DEFINE_ENTRY(DspStatus, dspsFIRGetStateSize_32f, (int tapsLen, int* pBufferSize), (tapsLen, pBufferSize))
DSP_DEFINE_ENTRY(DspStatus, dspsFIRSetDlyLine_32f, (DspsFIRState_32f * pState, const Dsp32f* pDlyLine),
                 (pState, pDlyLine))
DSP_DEFINE_ENTRY(DspStatus, dspsFIRFree_32f, (DspsFIRState_32f * pState), (pState))
