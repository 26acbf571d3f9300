// Polar-to-Cartesian conversion and the vector ramp in the five processor
// variants. The kernels are written once in polar_ramp.inl and compiled once
// per level.
#include <emmintrin.h>
#include <pmmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "ops/alignment.h"
#include "ops/convert_to_int.h"
#include "ops/polar_ramp.h"
#include "ops/vector_checks.h"
#include "simd_memory.h"

#define DSP_FAMILY_INL "polar_ramp.inl"
#include "simd_levels_all.inc"

DSP_DEFINE_TABLE5(dspsPolarToCart_32f);
DSP_DEFINE_TABLE5(dspsVectorRamp_32f);

DSP_DEFINE_ENTRY(DspStatus, dspsPolarToCart_32f,
                 (const Dsp32f* pMag, const Dsp32f* pPhase, Dsp32f* pRe, Dsp32f* pIm, int len),
                 (pMag, pPhase, pRe, pIm, len))
DSP_DEFINE_ENTRY(DspStatus, dspsVectorRamp_32f, (Dsp32f* pDst, int len, Dsp32f offset, Dsp32f slope),
                 (pDst, len, offset, slope))
