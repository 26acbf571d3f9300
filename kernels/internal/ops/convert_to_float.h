// Integer-to-float conversion: unsigned 8-bit, signed 16-bit, packed signed
// 24-bit and signed 32-bit samples become floats of the same value (32-bit
// values beyond 2^24 round in the current rounding mode). No scaling.
#pragma once

#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_8u32f, (const Dsp8u* pSrc, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_16s32f, (const Dsp16s* pSrc, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_24s32f, (const Dsp8u* pSrc, Dsp32f* pDst, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_32s32f, (const Dsp32s* pSrc, Dsp32f* pDst, int len));
