// FIR filtering bodies, compiled once per processor level by fir_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// The checks both entries share, after their pointer checks: the count, then
// the state's kind. States without a delay line are filtered out of place
// only.
inline DspStatus checkCountAndKind(int numIters, const DspsFIRState_32f* pState, bool inPlace) {
    if (numIters < 1) return dspStsSizeErr;
    switch (pState->id) {
        case kFirIdSingleRate:
        case kFirIdMultirate: return dspStsNoErr;
        case kFirIdShortTap:
        case kFirIdShortTapDecimate: return inPlace ? dspStsContextMatchErr : dspStsNoErr;
        default: return dspStsContextMatchErr;
    }
}

// A state's arrays have the layout of the variant that built it.
inline bool builtHere(const DspsFIRState_32f* pState) { return pState->builtByVariant == kLevel; }

constexpr std::int64_t kIntMax = 0x7FFFFFFF;

// In place, multirate. While the output is no longer than the input
// (upFactor <= downFactor), chunks of 4096 / upFactor iterations go through
// the scratch and are copied to the write position, which never passes the
// read position. Otherwise, and when a chunk would hold no whole iteration
// (upFactor above 4096), the input is copied to a temporary first.
DspStatus multirateInPlace(DspsFIRState_32f* s, Dsp32f* pSrcDst, int numIters) {
    const std::int64_t up = s->upFactor, down = s->downFactor;
    const std::int64_t chunk = kFirScratchFloats / up;
    if (up <= down && chunk > 0) {
        const Dsp32f* read = pSrcDst;
        Dsp32f* write = pSrcDst;
        for (std::int64_t remaining = numIters; remaining > 0;) {
            const std::int64_t n = remaining < chunk ? remaining : chunk;
            remaining -= n;
            if (const DspStatus status = firMultirateFilter32f(s, read, s->pScratch, n); status != dspStsNoErr)
                return status;
            DSP_VARIANT(dspsCopy_32f)(s->pScratch, write, static_cast<int>(n * up));
            read += n * down;
            write += n * up;
        }
        return dspStsNoErr;
    }
    const std::int64_t inputs = down * numIters;
    Dsp32f* copy = inputs > kIntMax ? nullptr : n0_dspsMalloc_32f(static_cast<int>(inputs));
    if (copy == nullptr) return dspStsMemAllocErr;
    DSP_VARIANT(dspsCopy_32f)(pSrcDst, copy, static_cast<int>(inputs));
    const DspStatus status = firMultirateFilter32f(s, copy, pSrcDst, numIters);
    n0_dspsFree(copy);
    return status;
}

// A run takes the FFT way only when it is long (more than 511 samples) and
// the state is in FFT mode.
constexpr int kFftMinRun = 512;

DspStatus DSP_VARIANT(dspsFIR_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int numIters, DspsFIRState_32f* pState) {
    if (pState == nullptr || pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    if (const DspStatus status = checkCountAndKind(numIters, pState, false); status != dspStsNoErr) return status;
    if (!builtHere(pState)) return dspsFIR_32f_table[pState->builtByVariant](pSrc, pDst, numIters, pState);
    switch (pState->id) {
        case kFirIdMultirate: return firMultirateFilter32f(pState, pSrc, pDst, numIters);
        case kFirIdShortTap:
        case kFirIdShortTapDecimate: firShortTapFilter32f(pState, pSrc, pDst, numIters); break;
        default:
            if (numIters >= kFftMinRun && pState->fftLen > 0) return firFftConvolve32f(pState, pSrc, pDst, numIters);
            firDirectFilter32f(pState, pSrc, pDst, numIters);
            break;
    }
    return dspStsNoErr;
}

// In place through the state's scratch, 4096 samples at a time, so the
// kernels never write over input they still read. A block goes the FFT way
// only when more than 511 samples follow it in the call: the last block, and
// every call of at most 4096 + 511 samples, runs direct.
DspStatus DSP_VARIANT(dspsFIR_32f_I)(Dsp32f* pSrcDst, int numIters, DspsFIRState_32f* pState) {
    if (pState == nullptr || pSrcDst == nullptr) return dspStsNullPtrErr;
    if (const DspStatus status = checkCountAndKind(numIters, pState, true); status != dspStsNoErr) return status;
    if (!builtHere(pState)) return dspsFIR_32f_I_table[pState->builtByVariant](pSrcDst, numIters, pState);
    if (pState->id == kFirIdMultirate) return multirateInPlace(pState, pSrcDst, numIters);
    for (int remaining = numIters; remaining > 0;) {
        const int block = remaining < kFirScratchFloats ? remaining : static_cast<int>(kFirScratchFloats);
        remaining -= block;
        if (remaining >= kFftMinRun && pState->fftLen > 0) {
            // A failed transform leaves this block unfiltered.
            if (const DspStatus status = firFftConvolve32f(pState, pSrcDst, pState->pScratch, block);
                status != dspStsNoErr)
                return status;
        } else {
            firDirectFilter32f(pState, pSrcDst, pState->pScratch, block);
        }
        DSP_VARIANT(dspsCopy_32f)(pState->pScratch, pSrcDst, block);
        pSrcDst += block;
    }
    return dspStsNoErr;
}

#include "simd_level_end.inc"
