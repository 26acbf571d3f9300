// Polar-to-Cartesian conversion and the vector ramp in the five processor
// variants. The kernels are written once in polar_ramp.inl and compiled once
// per level.
#include <emmintrin.h>
#include <pmmintrin.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "shared/alignment.h"
#include "vector/convert_to_int.h"
#include "vector/polar_ramp.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

#define DSP_FAMILY_INL "polar_ramp.inl"
#define DSP_FAMILY_SLOTS DSP_POLAR_RAMP_SLOTS
#include "simd_levels_all.inc"
