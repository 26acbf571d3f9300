// FIR overlap-save convolution, compiled once per processor level by
// fir_fft.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

// Block W (fftLen floats) holds tapsLen - 1 samples of history followed by
// new input; after the forward transform, the product with the taps'
// spectrum and the inverse, W[tapsLen - 1 ..] are outputs (the circular
// convolution equals the linear one there). source is the transform's input:
// W itself, or a full window straight from the caller's input.
DspStatus convolveBlock(const DspsFIRState_32f* s, const Dsp32f* source) {
    Dsp32f* w = s->pFFTBlock;
    if (const DspStatus status = dspsFFTFwd_RToPerm_32f(source, w, s->pFFTSpec, s->pFFTWorkBuf);
        status != dspStsNoErr)
        return status;
    dspsMulPerm_32f_I_table[kLevel](s->pTapsSpectrum, w, s->fftLen);
    return dspsFFTInv_PermToR_32f(w, w, s->pFFTSpec, s->pFFTWorkBuf);
}

DspStatus firFftConvolve32f(DspsFIRState_32f* s, const Dsp32f* pSrc, Dsp32f* pDst, int len) {
    const int n = s->fftLen, m = s->tapsLen, step = n - m + 1;
    Dsp32f* w = s->pFFTBlock;
    Dsp32f* history = s->pDlyLine + s->dlyLineIndex;
    s->dlyLineIndex = 0;
    // The m - 1 samples before the first input (history[0] meets no output).
    if (m > 1) DSP_VARIANT(dspsCopy_32f)(history + 1, w, m - 1);

    if (len <= step) {
        DSP_VARIANT(dspsCopy_32f)(pSrc, w + m - 1, len);
        // The newest m samples of history and input become the history.
        DSP_VARIANT(dspsCopy_32f)(w + len - 1, s->pDlyLine, m);
        if (len < step) DSP_VARIANT(dspsZero_32f)(w + m - 1 + len, step - len);
        if (const DspStatus status = convolveBlock(s, w); status != dspStsNoErr) return status;
        DSP_VARIANT(dspsCopy_32f)(w + m - 1, pDst, len);
        return dspStsNoErr;
    }

    DSP_VARIANT(dspsCopy_32f)(pSrc, w + m - 1, step);
    if (const DspStatus status = convolveBlock(s, w); status != dspStsNoErr) return status;
    DSP_VARIANT(dspsCopy_32f)(w + m - 1, pDst, step);
    // The new history lies wholly in the input (len > step >= m); it is
    // taken now, as the later blocks read only the input.
    DSP_VARIANT(dspsCopy_32f)(pSrc + len - m, s->pDlyLine, m);

    // Block j's window: the m - 1 inputs before its first new sample, then
    // its new samples.
    const int rest = len - step;
    for (int j = 0; j < rest; j += step) {
        const Dsp32f* window = pSrc + step - m + 1 + j;
        const int remaining = rest - j;
        if (remaining >= n) {
            if (const DspStatus status = convolveBlock(s, window); status != dspStsNoErr) return status;
            DSP_VARIANT(dspsCopy_32f)(w + m - 1, pDst + step + j, step);
            continue;
        }
        const int copied = remaining + m - 1 < n ? remaining + m - 1 : n;
        DSP_VARIANT(dspsCopy_32f)(window, w, copied);
        if (copied < n) DSP_VARIANT(dspsZero_32f)(w + copied, n - copied);
        if (const DspStatus status = convolveBlock(s, w); status != dspStsNoErr) return status;
        DSP_VARIANT(dspsCopy_32f)(w + m - 1, pDst + step + j, remaining < step ? remaining : step);
    }
    return dspStsNoErr;
}

#include "simd_level_end.inc"
