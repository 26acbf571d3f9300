// Biquad-cascade state with double taps, compiled once per processor level
// by iir64f_state.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

namespace {

// The SSE levels lay out the section tables and work areas their kernels
// read; the generic level keeps only the record, the taps and the delay line.
constexpr bool kHasSectionTables = kLevel >= 1;

constexpr std::size_t roundUp(std::size_t value, std::size_t multiple) {
    return (value + multiple - 1) / multiple * multiple;
}

bool sectionRefused(const Dsp64f* callerTaps) {
    const Dsp64f b0 = callerTaps[0], a0 = callerTaps[3];
    return a0 == 0.0 || b0 == 0.0;  // +0 or -0; a NaN passes
}

// The three tables of one section from its caller taps b0, b1, b2, a0, a1,
// a2. Every operation is rounded to double in the order written, so every
// level builds the same bits.
void buildSectionTables(const Dsp64f* callerTaps, Dsp64f* pair, Dsp64f* fbBlock, Dsp64f* sampleTaps) {
    const Dsp64f c = 1.0 / callerTaps[3];
    const Dsp64f b0 = callerTaps[0] * c, b1 = callerTaps[1] * c, b2 = callerTaps[2] * c;
    const Dsp64f minusC = 0.0 - c;
    // p and q: the normalised a1 and a2 with their signs turned, so the
    // recursion reads y[k] = w[k] + p*y[k-1] + q*y[k-2].
    const Dsp64f p = callerTaps[4] * minusC;
    const Dsp64f q = minusC * callerTaps[5];
    // The impulse response 1, p, h2, h3, h4 of the recursion and q times
    // p, h2, h3 (g2, g3, g4).
    const Dsp64f h2 = p * p + q;
    const Dsp64f h3 = (h2 + q) * p;
    const Dsp64f h4 = h2 * q + p * h3;
    const Dsp64f g2 = p * q;
    const Dsp64f g3 = q * q + p * g2;
    const Dsp64f g4 = q * g2 + g3 * p;

    const Dsp64f pairs[kIirPairTapsPerSection] = {b0, b0, b1, b1, b2, b2};
    const Dsp64f sample[kIirSampleTapsPerSection] = {b0, b0, b1, b2, p, q};
    // Rows: weights of y[k-1], y[k-2], w[k], w[k+1], w[k+2] in outputs k..k+3.
    const Dsp64f block[kIirFbBlockPerSection] = {p, h2, h3, h4,  q, g2, g3, g4,  1.0, p, h2, h3,
                                                 0.0, 1.0, p, h2,  0.0, 0.0, 1.0, p};
    std::copy(std::begin(pairs), std::end(pairs), pair);
    std::copy(std::begin(sample), std::end(sample), sampleTaps);
    std::copy(std::begin(block), std::end(block), fbBlock);
}

}  // namespace

std::size_t iirGetStateSizeBiquad64f(int numBq) {
    const auto n = static_cast<std::size_t>(numBq);
    const std::size_t taps = roundUp(sizeof(Dsp64f) * kIirTapsPerSection * n, 16);
    std::size_t size = kIirHeaderBytes + taps + sizeof(Dsp64f) * kIirDelaysPerSection * n;
    if constexpr (kHasSectionTables) {
        const std::size_t tablesPerSection = kIirPairTapsPerSection + kIirFbBlockPerSection + kIirSampleTapsPerSection;
        size += sizeof(Dsp64f) * (tablesPerSection * n + 2 * std::size_t{kIirChunkLength});
    }
    return size;
}

DspStatus iirInitBiquadWithBuffer64f(DspsIIRState64f_32f** ppState, const Dsp64f* pTaps, int numBq,
                                     const Dsp64f* pDlyLine, Dsp8u* pBlock, Dsp32u id) {
    const auto n = static_cast<std::size_t>(numBq);
    Dsp8u* base = pBlock + ((32 - addressOf(pBlock) % 32) % 32);
    auto* state = new (base) DspsIIRState64f_32f{};
    *ppState = state;

    state->id = id;
    state->pTaps = reinterpret_cast<Dsp64f*>(base + kIirHeaderBytes);
    state->pDlyLine = reinterpret_cast<Dsp64f*>(base + kIirHeaderBytes +
                                                roundUp(sizeof(Dsp64f) * kIirTapsPerSection * n, 16));
    state->dlyLineLen = kIirDelaysPerSection * numBq;
    state->numBq = numBq;
    state->isAllocated = 0;
    if (pDlyLine != nullptr) {
        DSP_VARIANT(dspsCopy_64f)(pDlyLine, state->pDlyLine, state->dlyLineLen);
    } else {
        DSP_VARIANT(dspsZero_64f)(state->pDlyLine, state->dlyLineLen);
    }
    if constexpr (kHasSectionTables) {
        Dsp64f* tables = state->pDlyLine + kIirDelaysPerSection * n;
        state->pTapsPair = tables;
        state->pFbBlock = state->pTapsPair + kIirPairTapsPerSection * n;
        state->pSampleTaps = state->pFbBlock + kIirFbBlockPerSection * n;
        state->pWork = state->pSampleTaps + kIirSampleTapsPerSection * n;
        state->pWork2 = state->pWork + kIirChunkLength;
    }
    return iirSetTapsBiquad64f(pTaps, state);
}

// Every section is checked before anything is written, so refused taps leave
// the state exactly as it was (taps and tables never disagree).
DspStatus iirSetTapsBiquad64f(const Dsp64f* pTaps, DspsIIRState64f_32f* pState) {
    const auto n = static_cast<std::size_t>(pState->numBq);
    for (std::size_t s = 0; s < n; ++s)
        if (sectionRefused(pTaps + kIirCallerTapsPerSection * s)) return dspStsDivByZeroErr;

    for (std::size_t s = 0; s < n; ++s) {
        const Dsp64f* in = pTaps + kIirCallerTapsPerSection * s;
        Dsp64f* out = pState->pTaps + kIirTapsPerSection * s;
        const Dsp64f c = 1.0 / in[3];  // one division, then five products
        out[0] = in[0] * c;
        out[1] = in[1] * c;
        out[2] = in[2] * c;
        out[3] = in[4] * c;
        out[4] = in[5] * c;
    }
    // Whichever level set the taps, a state that carries tables gets them
    // rebuilt, so its block path never reads stale coefficients.
    if (pState->pTapsPair != nullptr) {
        for (std::size_t s = 0; s < n; ++s)
            buildSectionTables(pTaps + kIirCallerTapsPerSection * s, pState->pTapsPair + kIirPairTapsPerSection * s,
                               pState->pFbBlock + kIirFbBlockPerSection * s,
                               pState->pSampleTaps + kIirSampleTapsPerSection * s);
    }
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsIIRInitAlloc64f_BiQuad_32f)(DspsIIRState64f_32f** ppState, const Dsp64f* pTaps,
                                                                 int numBq, const Dsp64f* pDlyLine) {
    if (ppState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    if (numBq < 1) return dspStsIIROrderErr;
    const std::size_t size = iirGetStateSizeBiquad64f(numBq);
    if (size > static_cast<std::size_t>(INT_MAX)) return dspStsMemAllocErr;
    Dsp8u* block = n0_dspsMalloc_8u(static_cast<int>(size));
    if (block == nullptr) return dspStsMemAllocErr;
    // Built through a local pointer: the caller's pointer receives the state
    // only once it is complete, never a released block.
    DspsIIRState64f_32f* state = nullptr;
    const DspStatus status = iirInitBiquadWithBuffer64f(&state, pTaps, numBq, pDlyLine, block, kIirIdBiquad64f);
    if (status < 0) {
        n0_dspsFree(block);
        return status;
    }
    state->isAllocated = 1;
    *ppState = state;
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsIIRSetTaps64f_32f)(const Dsp64f* pTaps, DspsIIRState64f_32f* pState) {
    if (pState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    // "II17" (arbitrary order) states are never built, so they have no taps
    // routine either: refused like any other record.
    if (pState->id != kIirIdBiquad64f) return dspStsContextMatchErr;
    return iirSetTapsBiquad64f(pTaps, pState);
}

DspStatus DSP_VARIANT(dspsIIRSetDlyLine64f_32f)(DspsIIRState64f_32f* pState, const Dsp64f* pDlyLine) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs64fState(pState)) return dspStsContextMatchErr;
    if (pDlyLine != nullptr) {
        DSP_VARIANT(dspsCopy_64f)(pDlyLine, pState->pDlyLine, pState->dlyLineLen);
    } else {
        DSP_VARIANT(dspsZero_64f)(pState->pDlyLine, pState->dlyLineLen);
    }
    return dspStsNoErr;
}

// Releasing has no processor-specific code: the slot list keeps n0's body
// for every processor. The identity word stays: the released memory is no
// state any more.
DspStatus DSP_VARIANT(dspsIIRFree64f_32f)(DspsIIRState64f_32f* pState) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (!iirIs64fState(pState)) return dspStsContextMatchErr;
    if (pState->isAllocated != 0) n0_dspsFree(pState);
    return dspStsNoErr;
}

#include "simd_level_end.inc"
