// Float-to-integer conversion with a power-of-two scale factor, rounding mode
// and saturation: unsigned 8-bit, signed 16-bit, packed signed 24-bit and
// signed 32-bit destinations.
//
// Variant classes: for finite inputs with scale factors -127..126 all five
// variants give identical results when rounding to nearest or toward zero,
// and in the 24-bit conversion; n1..n4 are identical to each other
// everywhere. n0 differs only in NaN results, in the 8u/16s half-away case
// of +-0.49999997 and in the NaN products of extreme scale factors.
#pragma once

#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

#define DSP_CONVERT_TO_INT_SLOTS(ENTRY, INTERNAL)                                                   \
    ENTRY(DspStatus, dspsConvert_32f8u_Sfs, (0, 1, 2, 3, 4),                                          \
          (const Dsp32f* pSrc, Dsp8u* pDst, int len, DspRoundMode rnd, int scaleFactor),              \
          (pSrc, pDst, len, rnd, scaleFactor))                                                        \
    ENTRY(DspStatus, dspsConvert_32f16s_Sfs, (0, 1, 2, 3, 4),                                         \
          (const Dsp32f* pSrc, Dsp16s* pDst, int len, DspRoundMode rnd, int scaleFactor),             \
          (pSrc, pDst, len, rnd, scaleFactor))                                                        \
    ENTRY(DspStatus, dspsConvert_32f24s_Sfs, (0, 1, 2, 3, 4),                                         \
          (const Dsp32f* pSrc, Dsp8u* pDst, int len, int scaleFactor), (pSrc, pDst, len, scaleFactor)) \
    ENTRY(DspStatus, dspsConvert_32f32s_Sfs, (0, 1, 2, 3, 4),                                         \
          (const Dsp32f* pSrc, Dsp32s* pDst, int len, DspRoundMode rnd, int scaleFactor),             \
          (pSrc, pDst, len, rnd, scaleFactor))

DSP_DECLARE_FAMILY(DSP_CONVERT_TO_INT_SLOTS)

// The generic variants' one rounding primitive: v truncated toward zero to a
// 32-bit integer. NaN and values outside the 32-bit range give INT32_MIN, the
// processor's integer-indefinite value, which the callers rely on.
constexpr Dsp32s dspFloatToIntTrunc(double v) {
    return (v > -2147483649.0 && v < 2147483648.0) ? static_cast<Dsp32s>(v) : INT32_MIN;
}
