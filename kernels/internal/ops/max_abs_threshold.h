// Maximum of a vector, element-wise absolute value and thresholds that clamp
// elements against a level from below (relation 0) or from above (relation
// 4). The SSE variants differ from n0 only where NaNs or tied +0/-0 meet.
#pragma once

#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsMax_32f, (const Dsp32f* pSrc, int len, Dsp32f* pMax));
DSP_DECLARE_VARIANTS(DspStatus, dspsAbs_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsThreshold_LT_32f, (const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level));
DSP_DECLARE_VARIANTS(DspStatus, dspsThreshold_LT_32f_I, (Dsp32f* pSrcDst, int len, Dsp32f level));
DSP_DECLARE_VARIANTS(DspStatus, dspsThreshold_GT_32f_I, (Dsp32f* pSrcDst, int len, Dsp32f level));

// The routines behind the public thresholds; relOp is kThresholdBelow or
// kThresholdAbove, anything else gives dspStsBadArgErr after the pointer and
// length checks.
constexpr int kThresholdBelow = 0;  // values below the level are raised to it
constexpr int kThresholdAbove = 4;  // values above the level are lowered to it
DSP_DECLARE_VARIANTS(DspStatus, thresholdGeneric, (const Dsp32f* pSrc, Dsp32f* pDst, int len, Dsp32f level, int relOp));
DSP_DECLARE_VARIANTS(DspStatus, thresholdGenericInPlace, (Dsp32f* pSrcDst, int len, Dsp32f level, int relOp));
