// The vector variants' inverse in-cache transform (see fft/fft_core.h),
// compiled once per SSE level: SSE4.1 and SSSE3 one routine, SSE3 and SSE2
// their own.
#include <immintrin.h>

#include <bit>
#include <cstdint>

#include "fft/fft_core.h"

// Found through the family folder fft/ on the include path.
#define DSP_FAMILY_INL "engines/fft_incache_inverse.inl"
#include "simd_levels_all.inc"
