// IIR filters with single-precision taps: the state record of the
// arbitrary-order filter ("II01") and of the two biquad-cascade kinds
// ("II02", "II29"), the variant bodies, the set-up helpers and the kernels.
//
// Variant classes: every variant filters in transposed direct form II (or,
// for "II29", direct form I) with its own rounding: n0 in double with the
// delay values rounded to float at each sample; n1..n4 in single precision,
// four outputs per step on long blocks. n1 and n2 run one code, so do n3
// and n4 (they differ in the look-ahead layout of the recursion); results of
// the two pairs and of n0 differ in the last bits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

constexpr Dsp32u kIirIdArbitrary32f = 0x49493031;   // "II01": order N, numerator b0..bN, denominator a0..aN
constexpr Dsp32u kIirIdBiquad32f = 0x49493032;      // "II02": biquad cascade, transposed direct form II
constexpr Dsp32u kIirIdBiquadBlock32f = 0x49493239;  // "II29": biquad cascade, direct form I

struct DspsIIRState_32f {
    Dsp32u id;
    Dsp32f* pTaps;            // II01: b0..bN, a1..aN / a0; II02, II29: b0, b1, b2, a1, a2 / a0 per section
    Dsp32f* pDlyLine;         // II01: N values and a zero; II02: 2 per section (+4 scratch); II29: 4 per section
    Dsp32s dlyLineLen;        // floats copied by Set/GetDlyLine; the order N of an II01 state
    Dsp32f* pTapsQuad;        // SSE: each numerator tap four times
    Dsp32f* pRecursionQuads;  // SSE: look-ahead rows of the recursion, four lanes each
    Dsp32s numBq;             // sections of II02/II29; 0 for II01
    Dsp32f* pBqStepTaps;      // SSE, II02: b0, b1, b2, 0, c1, c2, 0, 0 per section
    Dsp32f* pWork;            // SSE: 1024 floats of scratch; II29 (and II02 in n3/n4): block taps
    Dsp32f* pWork2;           // never used by the library's states: null
    Dsp32s isAllocated;       // 1: the library allocated the block, Free releases it
};

// The record's share of the block, rounded up to 16 so every area behind it
// starts on a 16-byte boundary.
constexpr std::size_t kIir32fHeaderBytes = (sizeof(DspsIIRState_32f) + 15) & ~std::size_t{15};
// Samples per block of the SSE filters: the capacity of the work area.
constexpr int kIir32fBlockLength = 1024;

inline bool iirIs32fState(const DspsIIRState_32f* pState) {
    return pState->id == kIirIdArbitrary32f || pState->id == kIirIdBiquad32f || pState->id == kIirIdBiquadBlock32f;
}

// Reading the delay line out and releasing have no processor-specific code:
// one body each serves every variant.
#define DSP_IIR32F_STATE_SLOTS(ENTRY, INTERNAL)                                                             \
    ENTRY(DspStatus, dspsIIRInitAlloc_32f, (0, 1, 2, 3, 4),                                                  \
          (DspsIIRState_32f * *ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine),             \
          (ppState, pTaps, order, pDlyLine))                                                                \
    ENTRY(DspStatus, dspsIIRInit_32f, (0, 1, 2, 3, 4),                                                       \
          (DspsIIRState_32f * *ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine, Dsp8u* pBuf), \
          (ppState, pTaps, order, pDlyLine, pBuf))                                                          \
    ENTRY(DspStatus, dspsIIRGetStateSize_32f, (0, 1, 2, 3, 4), (int order, int* pBufferSize), (order, pBufferSize)) \
    ENTRY(DspStatus, dspsIIRSetTaps_32f, (0, 1, 2, 3, 4), (const Dsp32f* pTaps, DspsIIRState_32f* pState),   \
          (pTaps, pState))                                                                                  \
    ENTRY(DspStatus, dspsIIRSetDlyLine_32f, (0, 1, 2, 3, 4), (DspsIIRState_32f * pState, const Dsp32f* pDlyLine), \
          (pState, pDlyLine))                                                                               \
    ENTRY(DspStatus, dspsIIRGetDlyLine_32f, (0, 0, 0, 0, 0), (const DspsIIRState_32f* pState, Dsp32f* pDlyLine), \
          (pState, pDlyLine))                                                                               \
    ENTRY(DspStatus, dspsIIRFree_32f, (0, 0, 0, 0, 0), (DspsIIRState_32f * pState), (pState))

#define DSP_IIR32F_FILTER_SLOTS(ENTRY, INTERNAL)                                                            \
    ENTRY(DspStatus, dspsIIR_32f, (0, 1, 2, 3, 4),                                                           \
          (const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState), (pSrc, pDst, len, pState))  \
    ENTRY(DspStatus, dspsIIR_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len, DspsIIRState_32f* pState),  \
          (pSrcDst, len, pState))

DSP_DECLARE_FAMILY(DSP_IIR32F_STATE_SLOTS)
DSP_DECLARE_FAMILY(DSP_IIR32F_FILTER_SLOTS)

// Set-up helpers of every level. Sizes are formed in 64 bits; sizes above
// INT_MAX are refused by the callers. The library's entry points create only
// "II01" states; iirInitBiquad32f and iirInitAllocBiquad32f build the two
// biquad-cascade kinds ("II02", "II29") from 6 taps per section (b0, b1, b2,
// a0, a1, a2) and a delay line of dlyLineLen floats (2 per section for
// "II02", 4 for "II29": x[n-2], x[n-1], y[n-2], y[n-1]), or null for zeros.
DSP_DECLARE_IN_LEVELS(
    std::size_t iirGetStateSize32f(int order);
    DspStatus iirInit32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int order, const Dsp32f* pDlyLine,
                         Dsp8u* pBuf, Dsp32u id);
    DspStatus iirSetTaps32f(const Dsp32f* pTaps, DspsIIRState_32f* pState);
    void iirSetDlyLine32f(DspsIIRState_32f* pState, const Dsp32f* pDlyLine);
    std::size_t iirGetStateSizeBiquad32f(int numBq);
    DspStatus iirInitBiquad32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int numBq, const Dsp32f* pDlyLine,
                               Dsp8u* pBuf, Dsp32u id);
    DspStatus iirInitAllocBiquad32f(DspsIIRState_32f** ppState, const Dsp32f* pTaps, int numBq,
                                    const Dsp32f* pDlyLine, Dsp32u id);
    DspStatus iirSetTapsBiquad32f(const Dsp32f* pTaps, DspsIIRState_32f* pState);
    DspStatus iirSetTapsBiquadBlock32f(const Dsp32f* pTaps, DspsIIRState_32f* pState);)

// The arbitrary-order SSE kernels (n1..n4), for the block loop and tests.
// The work area and the recursion rows lie on 16-byte boundaries; float
// sources and destinations may lie anywhere.
//   iirOne32f: one sample through the transposed direct form II.
//   iirBlockNumerator32f: pWork[i] = sum of b_k pSrc[i+N-k], i < len; reads
//     pSrc[0 .. len+N-1] only.
//   iirBlockRecursion32f: pDst[0 .. N-1] hold the outputs before the block;
//     writes pDst[N+i] = pWork[i] - a1 pDst[N+i-1] - ... - aN pDst[i].
//   iirOneBiquad32f: one sample through every section of an "II02" state.
//   iirBiquadSectionBlock32f: one direct-form-I section over len samples
//     from its 32 block taps and 4 delay floats; pSrc may equal pDst.
DSP_DECLARE_IN_SSE_LEVELS(
    void iirOneBiquad32f(Dsp32f x, Dsp32f* pDst, DspsIIRState_32f* pState);
    void iirBiquadSectionBlock32f(const Dsp32f* pSrc, Dsp32f* pDst, int len, const Dsp32f* pBlockTaps,
                                  Dsp32f* pDly);
    void iirOne32f(Dsp32f x, Dsp32f* pDst, DspsIIRState_32f* pState);
    void iirBlockNumerator32f(const Dsp32f* pSrc, Dsp32f* pWork, int len, const Dsp32f* pTapsQuad, int order);
    void iirBlockRecursion32f(const Dsp32f* pWork, Dsp32f* pDst, int len, const Dsp32f* pRecursionQuads, int order);)
