// One SSE level of the real FFT's entry bodies (see fft_transforms_vector.cpp).
#include "simd_level_begin.inc"

#if DSP_LEVEL > 0

namespace {

// The half-length complex transform of the rungs above the codelets, with
// the record's scaling; src may equal dst.
void halfLengthTransform(bool inverse, const DspsFFTSpec_R_32f* spec, const float* src, float* dst, int m,
                         bool scale, const FftWorkBuffer& work) {
    const std::int64_t halfN = std::int64_t{1} << m;
    const FftCodeletBlock& codelets = *fftCodeletTable[kLevel][inverse ? 1 : 0];
    if (m <= 5) {
        fftRunCodelet(codelets, true, m, scale, spec->scaleFactor, src, dst);
        return;
    }
    if (m > fftVariantPlan(kLevel).lastDirectM) {
        // The recursive rung scales its leaves.
        if (inverse)
            fftRecursiveInverse(spec, src, dst, m, work.floats(), scale);
        else
            fftRecursiveForward(spec, src, dst, m, work.floats(), scale);
        return;
    }
    if (m == fftVariantPlan(kLevel).lastDirectM) {
        // The bit-reversal rung: the whole vector into bit-reversed order
        // (copied there when src is not dst), then the radix passes in place,
        // interleaved.
        if (src == dst)
            fftBitReverseInPlace(dst, halfN, spec->bitRevTable);
        else
            fftBitReverseCopy(src, dst, halfN, spec->bitRevTable);
        if (inverse)
            fftRadixPassesInverse(dst, halfN, spec->twiddleTable, work.floats(), 1);
        else
            fftRadixPasses(dst, halfN, spec->twiddleTable, work.floats(), 1);
    } else if (inverse) {
        fftInCacheInverse(src, dst, halfN, spec->twiddleTable, spec->bitRevTable, work.floats());
    } else {
        fftInCacheForward(src, dst, halfN, spec->twiddleTable, spec->bitRevTable, work.floats());
    }
    if (scale) DSP_VARIANT(dspsMulC_32f_I)(spec->scaleFactor, dst, static_cast<int>(2 * halfN));
}

}  // namespace

extern "C" DspStatus DSP_VARIANT(dspsFFTFwd_RToPerm_32f)(const Dsp32f* pSrc, Dsp32f* pDst,
                                                         const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    const bool scale = pSpec->scaleFwd == 1;
    if (pSpec->order <= 4) {
        fftRunCodelet(*fftCodeletTable[kLevel][0], false, pSpec->order, scale, pSpec->scaleFactor, pSrc, pDst);
        return dspStsNoErr;
    }
    FftWorkBuffer work(pSpec, pBuffer);
    if (work.missing(pSpec)) return dspStsMemAllocErr;
    const int m = pSpec->order - 1;
    halfLengthTransform(false, pSpec, pSrc, pDst, m, scale, work);
    // Bins 0 and N/2 from Z[0], then the split of the other bins.
    const float re = dspLoad<float>(pDst), im = dspLoad<float>(pDst + 1);
    dspStore(pDst, re + im);
    dspStore(pDst + 1, re - im);
    realFftRecombine(pDst, std::int64_t{1} << m, pSpec->splitFwdTable);
    return dspStsNoErr;
}

extern "C" DspStatus DSP_VARIANT(dspsFFTInv_PermToR_32f)(const Dsp32f* pSrc, Dsp32f* pDst,
                                                         const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    const bool scale = pSpec->scaleInv == 1;
    if (pSpec->order <= 4) {
        fftRunCodelet(*fftCodeletTable[kLevel][1], false, pSpec->order, scale, pSpec->scaleFactor, pSrc, pDst);
        return dspStsNoErr;
    }
    FftWorkBuffer work(pSpec, pBuffer);
    if (work.missing(pSpec)) return dspStsMemAllocErr;
    const int m = pSpec->order - 1;
    // Z[0] from the DC and Nyquist words (both read first), then the
    // pre-split folds the other bins into Z[1..M-1].
    const float dc = dspLoad<float>(pSrc), nyquist = dspLoad<float>(pSrc + 1);
    dspStore(pDst, dc + nyquist);
    dspStore(pDst + 1, dc - nyquist);
    realFftRecombineInverse(pSrc, pDst, std::int64_t{1} << m, pSpec->splitInvTable);
    halfLengthTransform(true, pSpec, pDst, pDst, m, scale, work);
    return dspStsNoErr;
}

#endif

#include "simd_level_end.inc"
