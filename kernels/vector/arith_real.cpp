// Element-wise arithmetic on real float vectors in the five processor
// variants. The kernels are written once in arith_real.inl and compiled once
// per level.
#include <immintrin.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "shared/alignment.h"
#include "vector/arith_real.h"
#include "shared/division_nan.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

namespace {

// dividend / ±0: an infinity of the dividend's sign, or the given NaN.
inline Dsp32f quotientByZero(Dsp32f dividend, std::uint32_t nanBits) {
    if (dividend > 0.0f) return std::numeric_limits<Dsp32f>::infinity();
    if (dividend < 0.0f) return -std::numeric_limits<Dsp32f>::infinity();
    return std::bit_cast<Dsp32f>(nanBits);
}

}  // namespace

#define DSP_FAMILY_INL "arith_real.inl"
#define DSP_FAMILY_SLOTS DSP_ARITH_REAL_SLOTS
#include "simd_levels_all.inc"
