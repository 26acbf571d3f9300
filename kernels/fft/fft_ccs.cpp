// Real FFT entry points with the spectrum in the CCS layout: the Perm
// transforms of the record's variant, with the Nyquist bin moved between
// word 1 (Perm) and word N (CCS). Words 2..N-1 are the same in both layouts.
#include <cstdint>
#include <cstring>

#include "fft/fft_entry.h"
#include "shared/simd_memory.h"

extern "C" DspStatus n0_dspsFFTFwd_RToCCS_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                              Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    const DspStatus st = dspsFFTFwd_RToPerm_32f_table[pSpec->variant](pSrc, pDst, pSpec, pBuffer);
    if (st != dspStsNoErr) return st;
    const std::int64_t n = std::int64_t{1} << pSpec->order;
    if (n != 1) {
        dspStore(pDst + n + 1, 0.0f);
        dspStore(pDst + n, dspLoad<std::uint32_t>(pDst + 1));
    }
    dspStore(pDst + 1, 0.0f);
    return dspStsNoErr;
}

// The CCS spectrum is rewritten into the Perm layout in the destination and
// transformed there in place; the work buffer is secured first, so a failed
// allocation leaves the destination untouched.
extern "C" DspStatus n0_dspsFFTInv_CCSToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                              Dsp8u* pBuffer) {
    if (const DspStatus st = fftCheckArguments(pSrc, pDst, pSpec); st != dspStsNoErr) return st;
    FftWorkBuffer work(pSpec, pBuffer);
    if (work.missing(pSpec)) return dspStsMemAllocErr;
    const std::int64_t n = std::int64_t{1} << pSpec->order;
    if (n > 1) {
        const auto nyquist = dspLoad<std::uint32_t>(pSrc + n);
        if (pDst != pSrc) std::memmove(pDst + 2, pSrc + 2, static_cast<std::size_t>(n - 2) * sizeof(float));
        dspStore(pDst + 1, nyquist);
    }
    dspStore(pDst, dspLoad<std::uint32_t>(pSrc));
    return dspsFFTInv_PermToR_32f_table[pSpec->variant](pDst, pDst, pSpec, work.bytes());
}

DSP_DEFINE_FAMILY(DSP_FFT_CCS_SLOTS)

// Dispatch by the record, inside the bodies.
extern "C" DspStatus dspsFFTFwd_RToCCS_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                           Dsp8u* pBuffer) {
    return n0_dspsFFTFwd_RToCCS_32f(pSrc, pDst, pSpec, pBuffer);
}
extern "C" DspStatus dspsFFTInv_CCSToR_32f(const Dsp32f* pSrc, Dsp32f* pDst, const DspsFFTSpec_R_32f* pSpec,
                                           Dsp8u* pBuffer) {
    return n0_dspsFFTInv_CCSToR_32f(pSrc, pDst, pSpec, pBuffer);
}
