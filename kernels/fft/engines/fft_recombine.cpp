// Forward real split and inverse pre-split of the vector variants (see
// fft/fft_core.h), compiled once per SSE level.
#include <immintrin.h>

#include <cstdint>

#include "fft/fft_core.h"
#include "shared/simd_memory.h"

// Found through the family folder fft/ on the include path.
#define DSP_FAMILY_INL "engines/fft_recombine.inl"
#include "simd_levels_all.inc"
