// Maximum, absolute value and thresholds in the five processor variants. The
// kernels are written once in max_abs_threshold.inl and compiled once per
// level.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "shared/alignment.h"
#include "vector/max_abs_threshold.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "max_abs_threshold.inl"
#define DSP_FAMILY_SLOTS DSP_MAX_ABS_THRESHOLD_SLOTS
#include "simd_levels_all.inc"
