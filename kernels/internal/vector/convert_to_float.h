// Integer-to-float conversion: unsigned 8-bit, signed 16-bit, packed signed
// 24-bit and signed 32-bit samples become floats of the same value (32-bit
// values beyond 2^24 round in the current rounding mode). No scaling.
//
// Variant class: bit-identical in all variants.
#pragma once

#include "dsp_dispatch.h"

#define DSP_CONVERT_TO_FLOAT_SLOTS(ENTRY, INTERNAL)                                                     \
    ENTRY(DspStatus, dspsConvert_8u32f, (0, 1, 2, 3, 4), (const Dsp8u* pSrc, Dsp32f* pDst, int len),     \
          (pSrc, pDst, len))                                                                             \
    ENTRY(DspStatus, dspsConvert_16s32f, (0, 1, 2, 3, 4), (const Dsp16s* pSrc, Dsp32f* pDst, int len),   \
          (pSrc, pDst, len))                                                                             \
    ENTRY(DspStatus, dspsConvert_24s32f, (0, 1, 2, 3, 4), (const Dsp8u* pSrc, Dsp32f* pDst, int len),    \
          (pSrc, pDst, len))                                                                             \
    ENTRY(DspStatus, dspsConvert_32s32f, (0, 1, 2, 3, 4), (const Dsp32s* pSrc, Dsp32f* pDst, int len),   \
          (pSrc, pDst, len))

DSP_DECLARE_FAMILY(DSP_CONVERT_TO_FLOAT_SLOTS)
