// The vector variants' complex FFT of the in-cache and radix-pass rungs (see
// fft/fft_core.h), compiled once per SSE level.
#include <immintrin.h>

#include <cstdint>

#include "fft/fft_core.h"
#include "fft/fft_tables.h"

// Resolved from internal/, where simd_levels_all.inc lives.
#define DSP_FAMILY_INL "../fft/core/fft_incache.inl"
#include "simd_levels_all.inc"
