// Polar-to-Cartesian conversion and the vector ramp. The SIMD variants (n1..n4)
// run one SSE2 kernel and agree bit for bit; the generic variant computes in
// double and may differ from them in the last bits.
#pragma once

#include "dsp.h"
#include "dsp_dispatch.h"

#define DSP_POLAR_RAMP_SLOTS(ENTRY, INTERNAL)                                                         \
    ENTRY(DspStatus, dspsPolarToCart_32f, (0, 1, 2, 3, 4),                                              \
          (const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, int len),                \
          (pMag, pPhase, pRe, pIm, len))                                                                \
    ENTRY(DspStatus, dspsVectorRamp_32f, (0, 1, 2, 3, 4), (Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope), \
          (pDst, len, offset, slope))

DSP_DECLARE_FAMILY(DSP_POLAR_RAMP_SLOTS)
