// Real FFT entry points: forward to Perm and inverse from Perm, the generic
// bodies (the vector variants' are in fft_transforms_vector.inl).
//
// The entry checks the record and the pointers, then runs the body of the
// variant that built the record (the tables are laid out for it), whatever
// variant the library has selected since.
#include <cstdint>

#include "fft/fft_entry.h"
#include "shared/simd_memory.h"
#include "vector/arith_const.h"

namespace {

// What the generic forward and inverse entries share: the checks, the real
// codelets of orders 0..5 and the work buffer; `core` then runs the
// half-length transform and its split with (work, m, codelets, scale).
template <typename Core>
DspStatus runGeneric(FftDirection dir, const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec, Dsp8u* pBuffer,
                     Core core) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    const bool forward = dir == FftDirection::forward;
    const bool scale = (forward ? pSpec->scaleFwd : pSpec->scaleInv) == 1;
    const FftCodeletBlock& codelets = *fftCodeletTable[0][forward ? 0 : 1];
    if (pSpec->order <= 5) {
        fftRunCodelet(codelets, false, pSpec->order, scale, pSpec->scaleFactor, pSrc, pDst);
        return dspStsNoErr;
    }
    FftWorkBuffer work(pSpec, pBuffer);
    if (work.missing(pSpec)) return dspStsMemAllocErr;
    core(work.bytes(), pSpec->order - 1, codelets, scale);
    return dspStsNoErr;
}

}  // namespace

extern "C" DspStatus n0_dspsFFTFwd_RToPerm_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                               Dsp8u* pBuffer) {
    return runGeneric(FftDirection::forward, pSrc, pDst, pSpec, pBuffer,
                      [=](unsigned char* work, int m, const FftCodeletBlock& codelets, bool scale) {
                          const std::int64_t halfN = std::int64_t{1} << m;
                          if (m == 5) {
                              fftRunCodelet(codelets, true, m, scale, pSpec->scaleFactor, pSrc, pDst);
                          } else if (m <= 10) {
                              if (pSrc == pDst)
                                  dsp_n0::fftBitReverseInPlace(pDst, halfN, pSpec->bitRevTable);
                              else
                                  dsp_n0::fftBitReverseCopy(pSrc, pDst, halfN, pSpec->bitRevTable);
                              dsp_n0::fftRadixPasses(FftDirection::forward, pDst, halfN, pSpec->twiddleTable);
                              if (scale) n0_dspsMulC_32f_I(pSpec->scaleFactor, pDst, static_cast<int>(2 * halfN));
                          } else {
                              dsp_n0::fftRecursive(FftDirection::forward, pSpec, pSrc, pDst, m, work);
                          }
                          // Bins 0 and N/2 from Z[0], then the split of the other bins.
                          const double re = dspLoad<float>(pDst), im = dspLoad<float>(pDst + 1);
                          dspStore(pDst, static_cast<float>(re + im));
                          dspStore(pDst + 1, static_cast<float>(re - im));
                          dsp_n0::realFftRecombine(pDst, halfN, pSpec->splitFwdTable);
                      });
}

extern "C" DspStatus n0_dspsFFTInv_PermToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                               Dsp8u* pBuffer) {
    return runGeneric(FftDirection::inverse, pSrc, pDst, pSpec, pBuffer,
                      [=](unsigned char* work, int m, const FftCodeletBlock& codelets, bool scale) {
                          const std::int64_t halfN = std::int64_t{1} << m;
                          // Z[0] from the DC and Nyquist words (both read first), then the
                          // pre-split folds the other bins into Z[1..M-1].
                          const double dc = dspLoad<float>(pSrc), nyquist = dspLoad<float>(pSrc + 1);
                          dspStore(pDst + 1, static_cast<float>(dc - nyquist));
                          dspStore(pDst, static_cast<float>(dc + nyquist));
                          dsp_n0::realFftRecombineInverse(pSrc, pDst, halfN, pSpec->splitInvTable);
                          if (m == 5) {
                              fftRunCodelet(codelets, true, m, scale, pSpec->scaleFactor, pDst, pDst);
                          } else if (m <= 10) {
                              dsp_n0::fftBitReverseInPlace(pDst, halfN, pSpec->bitRevTable);
                              dsp_n0::fftRadixPasses(FftDirection::inverse, pDst, halfN, pSpec->twiddleTable);
                              if (scale) n0_dspsMulC_32f_I(pSpec->scaleFactor, pDst, static_cast<int>(2 * halfN));
                          } else {
                              dsp_n0::fftRecursive(FftDirection::inverse, pSpec, pDst, pDst, m, work);
                          }
                      });
}

// The tables (n1..n4 bodies in fft_transforms_vector.inl); the entry points
// dispatch by the record.
DSP_DEFINE_FAMILY(DSP_FFT_TRANSFORM_SLOTS)

// Dispatch by the record, not by the library's selection.
extern "C" DspStatus dspsFFTFwd_RToPerm_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                            Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    return dspsFFTFwd_RToPerm_32f_table[pSpec->variant](pSrc, pDst, pSpec, pBuffer);
}

extern "C" DspStatus dspsFFTInv_PermToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                            Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    return dspsFFTInv_PermToR_32f_table[pSpec->variant](pSrc, pDst, pSpec, pBuffer);
}
