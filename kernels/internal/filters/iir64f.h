// Biquad cascades with double-precision taps on float samples ("II18"): the
// state record, the variant bodies, the set-up helpers and the SSE block
// kernels.
//
// Variant classes: the set-up (normalised taps, section tables) is
// bit-identical in all variants. Filtering: n0 runs the plain transposed
// direct form II loop; n1..n4 run one and the same chunked code and are
// bit-identical to one another, differing from n0 in the last bits of some
// outputs (other rounding of intermediate double sums).
#pragma once

#include <cstddef>
#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

constexpr Dsp32u kIirIdBiquad64f = 0x49493138;     // "II18": biquad cascade, double taps
constexpr Dsp32u kIirIdArbitrary64f = 0x49493137;  // "II17": arbitrary order, double taps (never built)

// One block holds the record and every area it points to. The SSE variants
// add the three section tables and two work areas; a state laid out by n0
// has those five pointers null (it carries no tables).
struct DspsIIRState64f_32f {
    Dsp32u id;
    Dsp64f* pTaps;        // 5 per section: b0, b1, b2, a1, a2, each times 1/a0
    Dsp64f* pDlyLine;     // 2 per section: d0, d1 of the transposed direct form II
    Dsp32s dlyLineLen;    // 2 * numBq
    Dsp64f* pTapsPair;    // SSE: 6 per section: b0, b0, b1, b1, b2, b2 (block numerator)
    Dsp64f* pFbBlock;     // SSE: 20 per section: the four-step feedback block
    Dsp32s numBq;         // sections, at least 1, fixed for the state's life
    Dsp64f* pSampleTaps;  // SSE: 6 per section: b0, b0, b1, b2, -a1, -a2 (one-sample path)
    Dsp64f* pWork;        // SSE: kIirChunkLength doubles (numerator parts)
    Dsp64f* pWork2;       // SSE: kIirChunkLength doubles (section inputs and outputs)
    Dsp32s isAllocated;   // 1: the library allocated the block, Free releases it
};

// The identities the delay-line and release functions accept.
inline bool iirIs64fState(const DspsIIRState64f_32f* pState) {
    return pState->id == kIirIdBiquad64f || pState->id == kIirIdArbitrary64f;
}

// Samples per chunk of the SSE filters: the capacity of each work area.
constexpr int kIirChunkLength = 1024;

// Doubles per section in each area.
constexpr int kIirTapsPerSection = 5;
constexpr int kIirCallerTapsPerSection = 6;
constexpr int kIirDelaysPerSection = 2;
constexpr int kIirPairTapsPerSection = 6;
constexpr int kIirFbBlockPerSection = 20;
constexpr int kIirSampleTapsPerSection = 6;

// The record's share of the block: its size rounded up to 16 so every area
// behind it starts on a 16-byte boundary.
constexpr std::size_t kIirHeaderBytes = (sizeof(DspsIIRState64f_32f) + 15) & ~std::size_t{15};

// Releasing has no processor-specific code: one body serves every variant.
#define DSP_IIR64F_STATE_SLOTS(ENTRY, INTERNAL)                                                           \
    ENTRY(DspStatus, dspsIIRInitAlloc64f_BiQuad_32f, (0, 1, 2, 3, 4),                                      \
          (DspsIIRState64f_32f * *ppState, const Dsp64f* pTaps, int numBq, const Dsp64f* pDlyLine),        \
          (ppState, pTaps, numBq, pDlyLine))                                                              \
    ENTRY(DspStatus, dspsIIRSetTaps64f_32f, (0, 1, 2, 3, 4), (const Dsp64f* pTaps, DspsIIRState64f_32f* pState), \
          (pTaps, pState))                                                                                \
    ENTRY(DspStatus, dspsIIRSetDlyLine64f_32f, (0, 1, 2, 3, 4),                                            \
          (DspsIIRState64f_32f * pState, const Dsp64f* pDlyLine), (pState, pDlyLine))                      \
    ENTRY(DspStatus, dspsIIRFree64f_32f, (0, 0, 0, 0, 0), (DspsIIRState64f_32f * pState), (pState))

#define DSP_IIR64F_FILTER_SLOTS(ENTRY, INTERNAL)                                                          \
    ENTRY(DspStatus, dspsIIR64f_32f, (0, 1, 2, 3, 4),                                                      \
          (const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState64f_32f* pState), (pSrc, pDst, len, pState)) \
    ENTRY(DspStatus, dspsIIR64f_32f_I, (0, 1, 2, 3, 4), (Dsp32f * pSrcDst, int len, DspsIIRState64f_32f* pState), \
          (pSrcDst, len, pState))

DSP_DECLARE_FAMILY(DSP_IIR64F_STATE_SLOTS)
DSP_DECLARE_FAMILY(DSP_IIR64F_FILTER_SLOTS)

// Set-up helpers of every level. The size is formed in 64 bits; sizes above
// INT_MAX cannot be allocated and are refused by the caller.
DSP_DECLARE_IN_LEVELS(std::size_t iirGetStateSizeBiquad64f(int numBq);
                      DspStatus iirInitBiquadWithBuffer64f(DspsIIRState64f_32f** ppState, const Dsp64f* pTaps,
                                                           int numBq, const Dsp64f* pDlyLine, Dsp8u* pBlock,
                                                           Dsp32u id);
                      DspStatus iirSetTapsBiquad64f(const Dsp64f* pTaps, DspsIIRState64f_32f* pState);)

// The checks every filtering body makes, in this order, before it writes
// anything: pointers, length, identity.
inline DspStatus iirCheckFilterArgs(const void* pSrc, const void* pDst, int len, const DspsIIRState64f_32f* pState) {
    if (pState == nullptr || pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    if (len < 1) return dspStsSizeErr;
    if (pState->id != kIirIdBiquad64f) return dspStsContextMatchErr;
    return dspStsNoErr;
}

// The SSE kernels (one code for n1..n4, see iir64f_kernels.inl), for the
// chunk routine and for tests. Preconditions: the state's tables, pWork and
// pWork2 (and so pW, pY and the double input) lie on 16-byte boundaries;
// float pointers may lie anywhere; m >= 1.
//   iirOneBiquad64f32f: one sample through every section.
//   iirFirPart32f/64f: out[k] = b0 in[k+2] + b1 in[k+1] + b2 in[k], k < m;
//     reads in[0 .. m+1] only.
//   iirAllPoleBlock64f: pY[0], pY[1] hold the two outputs before the block;
//     writes pY[k+2] = pW[k] + p pY[k+1] + q pY[k], k < m.
//   iirAllPoleBlock64f32f: the same outputs rounded into pDst[2 .. m+1];
//     of pY it leaves only the last two outputs, pY[m] and pY[m+1].
//   iirBqChunk64f32f: n (1..kIirChunkLength) samples through the cascade.
DSP_DECLARE_IN_SSE_LEVELS(
    void iirOneBiquad64f32f(Dsp32f x, Dsp32f* pOut, DspsIIRState64f_32f* pState);
    void iirFirPart32f(const Dsp32f* pSrc, Dsp64f* pDst, int m, const Dsp64f* pTapsPair);
    void iirFirPart64f(const Dsp64f* pSrc, Dsp64f* pDst, int m, const Dsp64f* pTapsPair);
    void iirAllPoleBlock64f(const Dsp64f* pW, Dsp64f* pY, int m, const Dsp64f* pFbBlock);
    void iirAllPoleBlock64f32f(const Dsp64f* pW, Dsp64f* pY, int m, const Dsp64f* pFbBlock, Dsp32f* pDst);
    void iirBqChunk64f32f(const Dsp32f* pSrc, Dsp32f* pDst, int n, DspsIIRState64f_32f* pState);)
