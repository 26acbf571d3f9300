// Square root of float vectors in place, in five processor variants. The
// kernels are in sqrt.inl, compiled once per level.
#include <immintrin.h>

#include <cmath>
#include <cstdint>

#include "shared/alignment.h"
#include "shared/mxcsr_scope.h"
#include "vector/sqrt.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

namespace {

constexpr std::uint32_t kNegativeQuietNan = 0xFFC00000u;  // the processor's default NaN

}  // namespace

#define DSP_FAMILY_INL "sqrt.inl"
#define DSP_FAMILY_SLOTS DSP_SQRT_SLOTS
#include "simd_levels_all.inc"
