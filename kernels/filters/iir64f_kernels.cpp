// The SSE block kernels of the double-tap biquad cascade: one sample through
// the cascade, a section's numerator part over a block, and its recursion
// four outputs per step from look-ahead weights prepared with the taps.
#include <immintrin.h>

#include "filters/iir64f.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "iir64f_kernels.inl"
#include "simd_levels_all.inc"
