// Filtering through a double-tap biquad cascade, compiled once per processor
// level by iir64f_filter.cpp.
#include "simd_level_begin.inc"
// Everything below lives in the level's namespace, dsp_n0 .. dsp_n4.

namespace {

// The plain transposed direct form II, sample by sample, every section in
// double and each output rounded once to float. It reads sample i before it
// writes it, so pSrc may equal pDst.
void filterPlain(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState64f_32f* pState) {
    const int sections = pState->numBq;
    for (int i = 0; i < len; ++i) {
        Dsp64f x = dspLoad<Dsp32f>(pSrc + i);
        for (int s = 0; s < sections; ++s) {
            const Dsp64f* t = pState->pTaps + kIirTapsPerSection * s;
            Dsp64f* d = pState->pDlyLine + kIirDelaysPerSection * s;
            const Dsp64f y = t[0] * x + d[0];
            d[0] = (t[1] * x + d[1]) - t[3] * y;
            d[1] = t[2] * x + (-t[4]) * y;
            x = y;
        }
        dspStore<Dsp32f>(pDst + i, static_cast<Dsp32f>(x));
    }
}

DspStatus filter(const Dsp32f* pSrc, Dsp32f* pDst, int len, DspsIIRState64f_32f* pState) {
    if (const DspStatus status = iirCheckFilterArgs(pSrc, pDst, len, pState); status != dspStsNoErr) return status;
#if DSP_LEVEL >= 1
    // A state laid out by the generic level has no tables: it keeps to the
    // plain loop, whichever level runs it.
    if (pState->pTapsPair != nullptr) {
        for (int done = 0; done < len; done += kIirChunkLength)
            iirBqChunk64f32f(pSrc + done, pDst + done, std::min(len - done, kIirChunkLength), pState);
        return dspStsNoErr;
    }
#endif
    filterPlain(pSrc, pDst, len, pState);
    return dspStsNoErr;
}

}  // namespace

DspStatus DSP_VARIANT(dspsIIR64f_32f)(const Dsp32f* pSrc, Dsp32f* pDst, int len,
                                                 DspsIIRState64f_32f* pState) {
    return filter(pSrc, pDst, len, pState);
}

DspStatus DSP_VARIANT(dspsIIR64f_32f_I)(Dsp32f* pSrcDst, int len, DspsIIRState64f_32f* pState) {
    return filter(pSrcDst, pSrcDst, len, pState);
}

#include "simd_level_end.inc"
