// FIR filtering bodies, compiled once per processor level by fir_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// The checks both entries share, after their pointer checks: the count, then
// the state's kind.
inline DspStatus checkCountAndKind(int numIters, const DspsFIRState_32f* pState) {
    if (numIters < 1) return dspStsSizeErr;
    if (pState->id != kFirIdSingleRate) return dspStsContextMatchErr;
    return dspStsNoErr;
}

// A state's arrays have the layout of the variant that built it.
inline bool builtHere(const DspsFIRState_32f* pState) { return pState->builtByVariant == kLevel; }

// Runs go direct: FFT mode needs the real FFT, and no state enters it yet
// (fftLen stays -1, see fir_state.inl), while the direct path gives the same
// samples for every state.
DspStatus DSP_VARIANT(dspsFIR_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int numIters,
                                              DspsFIRState_32f* pState) {
    if (pState == nullptr || pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    if (const DspStatus status = checkCountAndKind(numIters, pState); status != dspStsNoErr) return status;
    if (!builtHere(pState)) return dspsFIR_32f_table[pState->builtByVariant](pSrc, pDst, numIters, pState);
    firDirectFilter32f(pState, pSrc, pDst, numIters);
    return dspStsNoErr;
}

// In place through the state's scratch, 4096 samples at a time, so the
// kernels never write over input they still read.
DspStatus DSP_VARIANT(dspsFIR_32f_I)(Dsp32f* pSrcDst, int numIters, DspsFIRState_32f* pState) {
    if (pState == nullptr || pSrcDst == nullptr) return dspStsNullPtrErr;
    if (const DspStatus status = checkCountAndKind(numIters, pState); status != dspStsNoErr) return status;
    if (!builtHere(pState)) return dspsFIR_32f_I_table[pState->builtByVariant](pSrcDst, numIters, pState);
    for (int remaining = numIters; remaining > 0;) {
        const int block = remaining < kFirScratchFloats ? remaining : static_cast<int>(kFirScratchFloats);
        remaining -= block;
        firDirectFilter32f(pState, pSrcDst, pState->pScratch, block);
        DSP_VARIANT(dspsCopy_32f)(pState->pScratch, pSrcDst, block);
        pSrcDst += block;
    }
    return dspStsNoErr;
}

#include "simd_level_end.inc"
