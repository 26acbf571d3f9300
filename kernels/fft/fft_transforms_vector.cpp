// Real FFT entry bodies of the vector variants: forward to Perm and inverse
// from Perm (the half-length transform by a codelet up to 32 points, above
// by the complex FFT of fft/fft_core.h),
// compiled once per SSE level.
#include <cstdint>

#include "fft/fft_core.h"
#include "fft/fft_entry.h"
#include "fft/fft_plan.h"
#include "vector/arith_const.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "fft_transforms_vector.inl"
#include "simd_levels_all.inc"
