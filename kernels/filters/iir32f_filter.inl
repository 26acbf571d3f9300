// Filtering with single-precision taps, compiled once per processor level by
// iir32f_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

namespace {

// Generic arbitrary order: transposed direct form II in double, each delay
// value rounded to float when stored, the output once. Sample i is read
// before it is written, so pSrc may equal pDst.
void arbitraryPlain(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    const int order = pState->dlyLineLen;
    const Dsp32f* b = pState->pTaps;
    const Dsp32f* a = pState->pTaps + order;
    Dsp32f* d = pState->pDlyLine;  // d[order] is zero
    for (int i = 0; i < len; ++i) {
        const Dsp64f x = dspLoad<Dsp32f>(pSrc + i);
        const Dsp64f y = b[0] * x + d[0];
        for (int j = 0; j < order; ++j)
            d[j] = static_cast<Dsp32f>((b[j + 1] * x - a[j + 1] * y) + d[j + 1]);
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(y));
    }
}

#if DSP_LEVEL >= 1

// One block of at most kIir32fBlockLength samples. Longer than four samples
// per order: the numerator of the outputs from N on into the work area, the
// first N outputs from the delay line, the input part of the new delay line
// (before in-place outputs overwrite the inputs), the recursion, then the
// output part of the delay line.
void arbitraryBlock(const Dsp32f* x, Dsp32f* y, int L, DspsIIRState_32f* pState) {
    const int N = pState->dlyLineLen;
    if (L <= 4 * N) {
        for (int i = 0; i < L; ++i) iirOne32f(dspLoad<Dsp32f>(x + i), y + i, pState);
        return;
    }
    const Dsp32f* b = pState->pTaps;
    const Dsp32f* a = pState->pTaps + N;
    Dsp32f* d = pState->pDlyLine;
    iirBlockNumerator32f(x, pState->pWork, L - N, pState->pTapsQuad, N);
    for (int i = 0; i < N; ++i) iirOne32f(dspLoad<Dsp32f>(x + i), y + i, pState);
    for (int j = 0; j < N; ++j) {
        Dsp32f sum = 0.0f;
        for (int m = N; m > j; --m) sum = sum + b[m] * dspLoad<Dsp32f>(x + L + j - m);
        d[j] = sum;
    }
    iirBlockRecursion32f(pState->pWork, y, L - N, pState->pRecursionQuads, N);
    for (int j = 0; j < N; ++j)
        for (int m = N; m > j; --m) d[j] = d[j] - a[m] * dspLoad<Dsp32f>(y + L + j - m);
}

#endif

DspStatus filter(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    if (pState == nullptr || pSrc == nullptr || pDst == nullptr) return dspStsNullPtrErr;
    if (len < 1) return dspStsSizeErr;
    if (pState->id != kIirIdArbitrary32f) return dspStsContextMatchErr;
#if DSP_LEVEL >= 1
    // A state laid out by the generic level has no tables: it keeps to the
    // plain loop, whichever level runs it.
    if (pState->pTapsQuad != nullptr) {
        for (int done = 0; done < len; done += kIir32fBlockLength)
            arbitraryBlock(pSrc + done, pDst + done, std::min(len - done, kIir32fBlockLength), pState);
        return dspStsNoErr;
    }
#endif
    arbitraryPlain(pSrc, pDst, len, pState);
    return dspStsNoErr;
}

}  // namespace

extern "C" DspStatus DSP_VARIANT(dspsIIR_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState_32f* pState) {
    return filter(pSrc, pDst, len, pState);
}

extern "C" DspStatus DSP_VARIANT(dspsIIR_32f_I)(Dsp32f* pSrcDst, int len, DspsIIRState_32f* pState) {
    return filter(pSrcDst, pSrcDst, len, pState);
}

#include "simd_level_end.inc"
