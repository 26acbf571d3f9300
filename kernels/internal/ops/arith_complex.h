// Arithmetic on complex float vectors (Dsp32fc, real part first) and the
// product of two real-signal spectra in the Perm layout. None of these has an
// entry point: the complex functions have only their variant tables, and the
// FFT and filter code calls the dspsMulPerm_32f_I body of its own level.
#pragma once

#include "dsp_dispatch.h"

// pSrcDst += pSrc and pDst = pSrc1 + pSrc2, run as the real additions of the
// same level on 2 * len floats.
DSP_DECLARE_VARIANTS(DspStatus, dspsAdd_32fc_I, (const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsAdd_32fc, (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len));
// pDst[i] = pSrc1[i] * pSrc2[i], a real times a complex vector.
DSP_DECLARE_VARIANTS(DspStatus, dspsMul_32f32fc, (const Dsp32f* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len));
// Complex products: pSrcDst = pSrc * pSrcDst, pDst = pSrc1 * pSrc2.
DSP_DECLARE_VARIANTS(DspStatus, dspsMul_32fc_I, (const Dsp32fc* pSrc, Dsp32fc* pSrcDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsMul_32fc, (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len));
// pDst[i] = pSrc2[i] / pSrc1[i]; dspStsDivByZero when a divisor was zero.
DSP_DECLARE_VARIANTS(DspStatus, dspsDiv_32fc, (const Dsp32fc* pSrc1, const Dsp32fc* pSrc2, Dsp32fc* pDst, int len));
// pSrcDst = pSrcDst * pSrc, both len floats in the Perm layout: word 0 (and
// word 1 for an even len) real, then (re, im) pairs.
DSP_DECLARE_VARIANTS(DspStatus, dspsMulPerm_32f_I, (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len));

// Complex products of nPairs (>= 1) interleaved (re, im) pairs, pSrcDst =
// pSrc * pSrcDst; no checks. One per SSE level, bit-identical to each other.
#define ARITH_DECLARE_MUL_PERM_KERNEL(level_ns) \
    namespace level_ns {                        \
    void mulPermKernel(const Dsp32f* pSrc, Dsp32f* pSrcDst, int nPairs); \
    }
ARITH_DECLARE_MUL_PERM_KERNEL(dsp_n1)
ARITH_DECLARE_MUL_PERM_KERNEL(dsp_n2)
ARITH_DECLARE_MUL_PERM_KERNEL(dsp_n3)
ARITH_DECLARE_MUL_PERM_KERNEL(dsp_n4)
#undef ARITH_DECLARE_MUL_PERM_KERNEL
