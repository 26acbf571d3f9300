// Arithmetic with a constant: add, multiply, reverse subtract, divide and
// multiply-accumulate of float vectors with one constant, in five processor
// variants. Zero and one constants fall back on the zero and copy bodies of
// the same level.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "ops/alignment.h"
#include "ops/arith_const.h"
#include "ops/copy_move.h"
#include "ops/vector_checks.h"
#include "ops/zero_fill.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "arith_const.inl"
#include "simd_levels_all.inc"

#define DSP_DEFINE_TABLE_N4_RUNS_N3(name) DSP_DEFINE_TABLE(name, n0_##name, n1_##name, n2_##name, n3_##name, n3_##name)

DSP_DEFINE_TABLE_N4_RUNS_N3(dspsAddC_32f_I);
DSP_DEFINE_TABLE5(dspsMulC_32f_I);
DSP_DEFINE_TABLE_N4_RUNS_N3(dspsSubCRev_32f_I);
DSP_DEFINE_TABLE5(dspsDivC_32f_I);
DSP_DEFINE_TABLE5(dspsMulC_32f);
DSP_DEFINE_TABLE_N4_RUNS_N3(dspsSubCRev_32f);
DSP_DEFINE_TABLE_N4_RUNS_N3(dspsAddProductC_32f);
DSP_DEFINE_TABLE5(dspsDivC_32f);
DSP_DEFINE_TABLE_N4_RUNS_N3(dspsMulC_32fc);

DSP_DEFINE_ENTRY(DspStatus, dspsAddC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len), (val, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsMulC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len), (val, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsSubCRev_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len), (val, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsDivC_32f_I, (Dsp32f val, Dsp32f* pSrcDst, int len), (val, pSrcDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsMulC_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len),
                 (pSrc, val, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsSubCRev_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pDst, int len),
                 (pSrc, val, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsAddProductC_32f, (const Dsp32f* pSrc, Dsp32f val, Dsp32f* pSrcDst, int len),
                 (pSrc, val, pSrcDst, len))
