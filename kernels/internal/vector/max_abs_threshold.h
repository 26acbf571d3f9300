// Maximum of a vector, element-wise absolute value and thresholds that clamp
// elements against a level from below (relation 0) or from above (relation
// 4).
//
// Variant class: n1..n4 are bit-identical to each other; n0 gives the same
// results except where NaNs or tied +0/-0 meet (which element wins a tie,
// how a NaN element or level is passed on).
#pragma once

#include "dsp_dispatch.h"

// thresholdGeneric, thresholdGenericInPlace: the routines behind the public
// thresholds; relOp is kThresholdBelow or kThresholdAbove, anything else gives
// dspStsBadArgErr after the pointer and length checks.
#define DSP_MAX_ABS_THRESHOLD_SLOTS(ENTRY, INTERNAL)                                                  \
    ENTRY(DspStatus, dspsMax_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, int len, Dsp32f* pMax),         \
          (pSrc, len, pMax))                                                                            \
    ENTRY(DspStatus, dspsAbs_32f, (0, 1, 2, 3, 4), (const Dsp32f* pSrc, Dsp32f* pDst, int len),         \
          (pSrc, pDst, len))                                                                            \
    ENTRY(DspStatus, dspsThreshold_LT_32f, (0, 1, 2, 3, 4),                                             \
          (const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level), (pSrc, pDst, len, level))          \
    ENTRY(DspStatus, dspsThreshold_LT_32f_I, (0, 1, 2, 3, 4), (Dsp32f* pSrcDst, int len, Dsp32f level), \
          (pSrcDst, len, level))                                                                        \
    ENTRY(DspStatus, dspsThreshold_GT_32f_I, (0, 1, 2, 3, 4), (Dsp32f* pSrcDst, int len, Dsp32f level), \
          (pSrcDst, len, level))                                                                        \
    INTERNAL(DspStatus, thresholdGeneric, (0, 1, 2, 3, 4),                                              \
             (const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level, int relOp))                      \
    INTERNAL(DspStatus, thresholdGenericInPlace, (0, 1, 2, 3, 4),                                       \
             (Dsp32f* pSrcDst, int len, Dsp32f level, int relOp))

DSP_DECLARE_FAMILY(DSP_MAX_ABS_THRESHOLD_SLOTS)

constexpr int kThresholdBelow = 0;  // values below the level are raised to it
constexpr int kThresholdAbove = 4;  // values above the level are lowered to it
