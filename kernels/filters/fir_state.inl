// FIR state set-up, size, delay-line load and release, compiled once per
// processor level by fir_state.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

constexpr FirTapsLayout kTapsLayout = firTapsLayoutOfLevel(kLevel);

// ---- Real-FFT services of FFT mode ------------------------------------------
//
// FFT mode runs on this level's real FFT: the specification is built by the
// level's own builder, flag 2 (forward unscaled, inverse divided by
// 2^order), no hint. Any failure here leaves the state in
// direct mode, which filters the same samples, only slower.

constexpr int kFftFlag = dspFftDivInvByN;

// Specification, set-up memory and work-buffer bytes for an FFT of the order.
DspStatus fftQuerySizes(int order, FirFftSizes& sizes) {
    int spec = 0, init = 0, work = 0;
    const DspStatus status = dspsFFTGetSize_R_32f_table[kLevel](order, kFftFlag, 0, &spec, &init, &work);
    if (status != dspStsNoErr) return status;
    sizes.spec = spec;
    sizes.init = init;
    sizes.work = work;
    return dspStsNoErr;
}

// A specification in a block of its own, and the work-buffer bytes it needs.
// *ppSpec is null when none was made; when it is set and the status is not
// 0, the work-buffer query failed.
DspStatus fftCreateAllocated(int order, DspsFFTSpec_R_32f** ppSpec, std::int64_t& workBytes) {
    *ppSpec = nullptr;
    DspsFFTSpec_R_32f* spec = nullptr;
    if (const DspStatus status = dspsFFTInitAlloc_R_32f_table[kLevel](&spec, order, kFftFlag, 0);
        status != dspStsNoErr)
        return status;
    *ppSpec = spec;
    int work = 0;
    if (const DspStatus status = dspsFFTGetBufSize_R_32f(spec, &work); status != dspStsNoErr) return status;
    workBytes = work;
    return dspStsNoErr;
}

// A specification built inside the caller's memory (not released by anyone).
DspStatus fftCreateInBuffer(int order, Dsp8u* pSpecMem, Dsp8u* pInitMem, DspsFFTSpec_R_32f** ppSpec) {
    return dspsFFTInit_R_32f_table[kLevel](ppSpec, order, kFftFlag, 0, pSpecMem, pInitMem);
}

DspStatus fftForwardInPlace(Dsp32f* pData, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pWork) {
    return dspsFFTFwd_RToPerm_32f(pData, pData, pSpec, pWork);
}

void fftRelease(DspsFFTSpec_R_32f* pSpec) {
    if (pSpec != nullptr) dspsFFTFree_R_32f(pSpec);
}

// ---- Building the record -----------------------------------------------------

template <typename T>
T* areaAt(Dsp8u* base, std::int64_t offset) {
    return reinterpret_cast<T*>(base + offset);
}

// The taps in the layouts this level's direct kernels read.
void writeTaps(DspsFIRState_32f* s, const Dsp32f* pTaps) {
    const std::int64_t n = s->tapsLen;
    if constexpr (kTapsLayout == FirTapsLayout::kShiftedCopies) {
        const std::int64_t copyFloats = firShiftedCopyFloats(n);
        DSP_VARIANT(dspsZero_32f)(s->pTapsRev, static_cast<int>(4 * copyFloats));
        for (std::int64_t j = 0; j < 4; ++j)
            for (std::int64_t i = 0; i < n; ++i) s->pTapsRev[j * copyFloats + j + i] = pTaps[n - 1 - i];
    } else {
        for (std::int64_t i = 0; i < n; ++i) s->pTapsRev[i] = pTaps[n - 1 - i];
    }
    if constexpr (kTapsLayout != FirTapsLayout::kReversed)
        for (std::int64_t i = 0; i < n; ++i)
            for (int m = 0; m < 4; ++m) s->pTapsQuad[4 * i + m] = pTaps[i];
}

// The caller's line is most recent first; the state keeps it oldest first.
void firLoadDelayLine(DspsFIRState_32f* s, const Dsp32f* pDlyLine) {
    const int n = s->dlyLineLen;
    s->dlyLineIndex = 0;
    if (pDlyLine == nullptr) {
        DSP_VARIANT(dspsZero_32f)(s->pDlyLine, n);
        return;
    }
    for (int i = 0; i < n; ++i) s->pDlyLine[i] = pDlyLine[n - 1 - i];
}

// Writes a direct-mode single-rate record and its arrays at base (16-byte
// aligned, the areas' bytes available); FFT mode is switched on afterwards.
DspsFIRState_32f* buildDirectState(Dsp8u* base, const FirAreas& areas, const Dsp32f* pTaps, int tapsLen,
                                   const Dsp32f* pDlyLine, int isAllocated) {
    auto* s = new (base) DspsFIRState_32f{};
    s->id = kFirIdSingleRate;
    s->pTapsRev = areaAt<Dsp32f>(base, areas.tapsRev);
    s->pDlyLine = areaAt<Dsp32f>(base, areas.dlyLine);
    s->pTapsQuad = areas.tapsQuad < 0 ? nullptr : areaAt<Dsp32f>(base, areas.tapsQuad);
    s->tapsLen = tapsLen;
    s->dlyLineLen = tapsLen;
    s->dlyFillLen = firDlyFillLen(tapsLen);
    s->fftLen = -1;
    s->pFFTBlock = areaAt<Dsp32f>(base, areas.fftBlock);
    s->pScratch = areaAt<Dsp32f>(base, areas.scratch);
    s->isAllocated = isAllocated;
    s->builtByVariant = kLevel;
    writeTaps(s, pTaps);
    firLoadDelayLine(s, pDlyLine);
    return s;
}

// FFT mode on a built state whose specification exists: the spectrum of the
// taps in their own order, zero-padded to fftLen.
DspStatus enterFftMode(DspsFIRState_32f* s, Dsp8u* base, const FirAreas& areas, const FirFftSizes& fft,
                       DspsFFTSpec_R_32f* pSpec, const Dsp32f* pTaps) {
    s->pFFTSpec = pSpec;
    s->pTapsSpectrum = areaAt<Dsp32f>(base, areas.tapsSpectrum);
    s->pFFTWorkBuf = fft.work > 0 ? areaAt<Dsp8u>(base, areas.fftWork) : nullptr;
    const auto fftLen = static_cast<int>(fft.fftLen);
    DSP_VARIANT(dspsCopy_32f)(pTaps, s->pTapsSpectrum, s->tapsLen);
    if (fftLen > s->tapsLen) DSP_VARIANT(dspsZero_32f)(s->pTapsSpectrum + s->tapsLen, fftLen - s->tapsLen);
    const DspStatus status = fftForwardInPlace(s->pTapsSpectrum, pSpec, s->pFFTWorkBuf);
    if (status == dspStsNoErr) s->fftLen = fftLen;
    return status;
}

// ---- Sizes -------------------------------------------------------------------

constexpr std::int64_t kIntMax = 0x7FFFFFFF;

// FFT sizes of a state in a caller's buffer: those the FFT reports, or none
// (direct mode) below kFirFftMinTaps taps or when the query fails.
FirFftSizes fftSizesInBuffer(int tapsLen) {
    const int order = firFftOrderForTaps(tapsLen);
    FirFftSizes fft;
    if (order == 0 || fftQuerySizes(order, fft) != dspStsNoErr) return FirFftSizes{};
    fft.fftLen = std::int64_t{1} << order;
    return fft;
}

std::int64_t bufferBytes(int tapsLen, const FirFftSizes& fft) {
    return firSingleRateAreas(kTapsLayout, tapsLen, fft).end + kFirCallerSlackBytes;
}

// ---- Variant bodies ----------------------------------------------------------

DspStatus DSP_VARIANT(dspsFIRGetStateSize_32f)(int tapsLen, int* pBufferSize) {
    if (pBufferSize == nullptr) return dspStsNullPtrErr;
    if (tapsLen < 1) return dspStsFIRLenErr;
    const std::int64_t bytes = bufferBytes(tapsLen, fftSizesInBuffer(tapsLen));
    if (bytes > kIntMax) return dspStsMemAllocErr;
    *pBufferSize = static_cast<int>(bytes);
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsFIRInit_32f)(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen,
                                                  const Dsp32f* pDlyLine, Dsp8u* pBuffer) {
    if (ppState == nullptr || pTaps == nullptr || pBuffer == nullptr) return dspStsNullPtrErr;
    if (tapsLen < 1) return dspStsFIRLenErr;
    const FirFftSizes fft = fftSizesInBuffer(tapsLen);
    // No buffer the size query could have described holds a larger state.
    if (bufferBytes(tapsLen, fft) > kIntMax) return dspStsMemAllocErr;

    const FirAreas areas = firSingleRateAreas(kTapsLayout, tapsLen, fft);
    auto* base = reinterpret_cast<Dsp8u*>(firRoundUp16(static_cast<std::int64_t>(addressOf(pBuffer))));
    DspsFIRState_32f* s = buildDirectState(base, areas, pTaps, tapsLen, pDlyLine, 0);
    *ppState = s;
    if (fft.fftLen > 0) {
        DspsFFTSpec_R_32f* pSpec = nullptr;
        // Any FFT failure leaves the state in direct mode; the buffer keeps
        // the room reserved for the FFT areas.
        if (fftCreateInBuffer(firFftOrderForTaps(tapsLen), base + areas.fftSpec, base + areas.fftInit, &pSpec) ==
            dspStsNoErr)
            enterFftMode(s, base, areas, fft, pSpec, pTaps);
    }
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsFIRInitAlloc_32f)(DspsFIRState_32f** ppState, const Dsp32f* pTaps, int tapsLen,
                                                       const Dsp32f* pDlyLine) {
    if (ppState == nullptr || pTaps == nullptr) return dspStsNullPtrErr;
    if (tapsLen < 1) return dspStsFIRLenErr;
    // From here on *ppState holds the state on success and null on failure,
    // never a block that was released.
    *ppState = nullptr;
    // The direct-mode block is the smallest this state can have.
    if (firSingleRateAreas(kTapsLayout, tapsLen, FirFftSizes{}).end > kIntMax) return dspStsMemAllocErr;

    FirFftSizes fft;
    DspsFFTSpec_R_32f* pSpec = nullptr;
    if (const int order = firFftOrderForTaps(tapsLen); order > 0) {
        const DspStatus status = fftCreateAllocated(order, &pSpec, fft.work);
        if (status == dspStsNoErr) {
            fft.fftLen = std::int64_t{1} << order;
        } else if (pSpec != nullptr) {
            // The specification was made but its work-buffer query failed.
            fftRelease(pSpec);
            return status;
        }
    }
    const FirAreas areas = firSingleRateAreas(kTapsLayout, tapsLen, fft);
    Dsp8u* block = areas.end > kIntMax ? nullptr : n0_dspsMalloc_8u(static_cast<int>(areas.end));
    if (block == nullptr) {
        fftRelease(pSpec);
        return dspStsMemAllocErr;
    }
    DspsFIRState_32f* s = buildDirectState(block, areas, pTaps, tapsLen, pDlyLine, 1);
    if (pSpec != nullptr) {
        if (const DspStatus status = enterFftMode(s, block, areas, fft, pSpec, pTaps); status != dspStsNoErr) {
            fftRelease(pSpec);
            n0_dspsFree(block);
            return status;
        }
    }
    *ppState = s;
    return dspStsNoErr;
}

DspStatus DSP_VARIANT(dspsFIRSetDlyLine_32f)(DspsFIRState_32f* pState, const Dsp32f* pDlyLine) {
    if (pState == nullptr) return dspStsNullPtrErr;
    if (pState->id != kFirIdSingleRate && pState->id != kFirIdMultirate) return dspStsContextMatchErr;
    firLoadDelayLine(pState, pDlyLine);
    return dspStsNoErr;
}

// Written once for every level; the slot list keeps n0's body for every
// processor.
DspStatus DSP_VARIANT(dspsFIRFree_32f)(DspsFIRState_32f* pState) {
    if (pState == nullptr) return dspStsNullPtrErr;
    switch (pState->id) {
        case kFirIdSingleRate:
        case kFirIdMultirate:
        case kFirIdShortTap:
        case kFirIdShortTapDecimate: break;
        default: return dspStsContextMatchErr;
    }
    // A state in a caller's buffer belongs to the caller, its specification
    // included. The identity stays as it was.
    if (pState->isAllocated == 0) return dspStsNoErr;
    if (pState->pFFTSpec != nullptr) fftRelease(pState->pFFTSpec);
    n0_dspsFree(pState);
    return dspStsNoErr;
}

#include "simd_level_end.inc"
