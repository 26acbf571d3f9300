// The vector variants' complex FFT: the in-cache and radix-pass rungs and the
// recursive rung (see fft/fft_core.h), compiled once per SSE level.
#include <immintrin.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "fft/fft_core.h"
#include "fft/fft_plan.h"
#include "fft/fft_spec.h"
#include "fft/fft_tables.h"
#include "shared/simd_memory.h"
#include "vector/arith_const.h"

// Found through the family folder fft/ on the include path.
#define DSP_FAMILY_INL "engines/fft_incache.inl"
#include "simd_levels_all.inc"
