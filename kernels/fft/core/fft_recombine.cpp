// Forward real split and inverse pre-split of the vector variants (see
// fft/fft_core.h), compiled once per SSE level.
#include <immintrin.h>

#include <cstdint>

#include "fft/fft_core.h"
#include "shared/simd_memory.h"

// Resolved from internal/, where simd_levels_all.inc lives.
#define DSP_FAMILY_INL "../fft/core/fft_recombine.inl"
#include "simd_levels_all.inc"
