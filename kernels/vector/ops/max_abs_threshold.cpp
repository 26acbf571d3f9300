// Maximum, absolute value and thresholds in the five processor variants. The
// kernels are written once in max_abs_threshold.inl and compiled once per
// level.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "ops/alignment.h"
#include "ops/max_abs_threshold.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "max_abs_threshold.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsMax_32f);
DSP_DEFINE_TABLE5(dspsAbs_32f);
DSP_DEFINE_TABLE5(dspsThreshold_LT_32f);
DSP_DEFINE_TABLE5(dspsThreshold_LT_32f_I);
DSP_DEFINE_TABLE5(dspsThreshold_GT_32f_I);
DSP_DEFINE_TABLE5(thresholdGeneric);
DSP_DEFINE_TABLE5(thresholdGenericInPlace);

DSP_DEFINE_ENTRY(DspStatus, dspsMax_32f, (const Dsp32f* pSrc, int len, Dsp32f* pMax), (pSrc, len, pMax))
DSP_DEFINE_ENTRY(DspStatus, dspsAbs_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len), (pSrc, pDst, len))
DSP_DEFINE_ENTRY(DspStatus, dspsThreshold_LT_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level),
                 (pSrc, pDst, len, level))
DSP_DEFINE_ENTRY(DspStatus, dspsThreshold_LT_32f_I, (Dsp32f* pSrcDst, int len, Dsp32f level), (pSrcDst, len, level))
DSP_DEFINE_ENTRY(DspStatus, dspsThreshold_GT_32f_I, (Dsp32f* pSrcDst, int len, Dsp32f level), (pSrcDst, len, level))
