// Float-to-integer conversion in the five processor variants. The kernels are
// written once in convert_to_int.inl and compiled once per level.
#include <emmintrin.h>
#include <pmmintrin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "shared/alignment.h"
#include "vector/convert_to_int.h"
#include "shared/mxcsr_scope.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

namespace {

// The 32s half-away kernel rounds its |v| + 0.5 toward zero.
constexpr Dsp32u kMxcsrRoundTowardZero = 0x6000u;

// Destination formats: bytes per element, range, and how the SIMD kernels
// keep a value inside it before the 32-bit conversion.
struct To8u {
    static constexpr std::size_t kBytes = 1;
    static constexpr Dsp32s kLow = 0, kHigh = 255;
    static constexpr bool kClampLow = false, kClampHigh = true;
    static constexpr bool kSaturatePositive32 = false, kZeroNanSources = true;
    static constexpr bool kAlignSource = true;
};

struct To16s {
    static constexpr std::size_t kBytes = 2;
    static constexpr Dsp32s kLow = -32768, kHigh = 32767;
    static constexpr bool kClampLow = false, kClampHigh = true;
    static constexpr bool kSaturatePositive32 = false, kZeroNanSources = true;
    static constexpr bool kAlignSource = false;
};

// Always rounds to nearest; a NaN stores the low bound in the SIMD variants.
struct To24s {
    static constexpr std::size_t kBytes = 3;
    static constexpr Dsp32s kLow = -8388608, kHigh = 8388607;
    static constexpr bool kClampLow = true, kClampHigh = true;
    static constexpr bool kSaturatePositive32 = false, kZeroNanSources = false;
    static constexpr bool kAlignSource = true;
};

struct To32s {
    static constexpr std::size_t kBytes = 4;
    static constexpr Dsp32s kLow = INT32_MIN, kHigh = INT32_MAX;
    static constexpr bool kClampLow = false, kClampHigh = false;
    static constexpr bool kSaturatePositive32 = true, kZeroNanSources = true;
    static constexpr bool kAlignSource = false;
};

}  // namespace

#define DSP_FAMILY_INL "convert_to_int.inl"
#define DSP_FAMILY_SLOTS DSP_CONVERT_TO_INT_SLOTS
#include "simd_levels_all.inc"
