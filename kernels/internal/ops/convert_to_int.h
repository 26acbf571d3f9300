// Float-to-integer conversion with a power-of-two scale factor, rounding mode
// and saturation: unsigned 8-bit, signed 16-bit, packed signed 24-bit and
// signed 32-bit destinations.
#pragma once

#include <cstdint>

#include "dsp.h"
#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_32f8u_Sfs,
                     (const Dsp32f* pSrc, Dsp8u* pDst, int len, DspRoundMode rnd, int scaleFactor));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_32f16s_Sfs,
                     (const Dsp32f* pSrc, Dsp16s* pDst, int len, DspRoundMode rnd, int scaleFactor));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_32f24s_Sfs, (const Dsp32f* pSrc, Dsp8u* pDst, int len, int scaleFactor));
DSP_DECLARE_VARIANTS(DspStatus, dspsConvert_32f32s_Sfs,
                     (const Dsp32f* pSrc, Dsp32s* pDst, int len, DspRoundMode rnd, int scaleFactor));

// The generic variants' one rounding primitive: v truncated toward zero to a
// 32-bit integer. NaN and values outside the 32-bit range give INT32_MIN, the
// processor's integer-indefinite value, which the callers rely on.
constexpr Dsp32s dspFloatToIntTrunc(double v) {
    return (v > -2147483649.0 && v < 2147483648.0) ? static_cast<Dsp32s>(v) : INT32_MIN;
}
