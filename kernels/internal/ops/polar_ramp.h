// Polar-to-Cartesian conversion and the vector ramp. The SIMD variants (n1..n4)
// run one SSE2 kernel and agree bit for bit; the generic variant computes in
// double and may differ from them in the last bits.
#pragma once

#include "dsp.h"
#include "dsp_dispatch.h"

DSP_DECLARE_VARIANTS(DspStatus, dspsPolarToCart_32f,
                     (const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, int len));
DSP_DECLARE_VARIANTS(DspStatus, dspsVectorRamp_32f, (Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope));
