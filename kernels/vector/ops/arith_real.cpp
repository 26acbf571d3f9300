// Element-wise arithmetic on real float vectors in the five processor
// variants. The kernels are written once in arith_real.inl and compiled once
// per level.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "ops/alignment.h"
#include "ops/arith_real.h"
#include "ops/division_nan.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

namespace {

// dividend / ±0: an infinity of the dividend's sign, or the given NaN.
inline Dsp32f quotientByZero(Dsp32f dividend, std::uint32_t nanBits) {
    if (dividend > 0.0f) return std::numeric_limits<Dsp32f>::infinity();
    if (dividend < 0.0f) return -std::numeric_limits<Dsp32f>::infinity();
    return std::bit_cast<Dsp32f>(nanBits);
}

}  // namespace

#define DSP_FAMILY_INL "arith_real.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE(dspsAdd_32f_I, n0_dspsAdd_32f_I, n1_dspsAdd_32f_I, n1_dspsAdd_32f_I, n3_dspsAdd_32f_I,
                 n3_dspsAdd_32f_I);
DSP_DEFINE_TABLE(dspsMul_32f_I, n0_dspsMul_32f_I, n1_dspsMul_32f_I, n1_dspsMul_32f_I, n3_dspsMul_32f_I,
                 n3_dspsMul_32f_I);
DSP_DEFINE_TABLE(dspsMul_32f, n0_dspsMul_32f, n1_dspsMul_32f, n1_dspsMul_32f, n3_dspsMul_32f, n3_dspsMul_32f);
DSP_DEFINE_TABLE(dspsAdd_32f, n0_dspsAdd_32f, n1_dspsAdd_32f, n2_dspsAdd_32f, n3_dspsAdd_32f, n3_dspsAdd_32f);
DSP_DEFINE_TABLE(dspsAddProduct_32f, n0_dspsAddProduct_32f, n1_dspsAddProduct_32f, n2_dspsAddProduct_32f,
                 n3_dspsAddProduct_32f, n3_dspsAddProduct_32f);
DSP_DEFINE_TABLE(dspsSub_32f, n0_dspsSub_32f, n1_dspsSub_32f, n2_dspsSub_32f, n3_dspsSub_32f, n3_dspsSub_32f);
DSP_DEFINE_TABLE5(dspsDiv_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsAdd_32f_I, (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len), (pSrc, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsAdd_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len),
                 (pSrc1, pSrc2, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsMul_32f_I, (const Dsp32f* pSrc, Dsp32f* pSrcDst, int len), (pSrc, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsMul_32f, (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pDst, int len),
                 (pSrc1, pSrc2, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsAddProduct_32f,
                 (const Dsp32f* pSrc1, const Dsp32f* pSrc2, Dsp32f* pSrcDst, int len), (pSrc1, pSrc2, pSrcDst, len))
