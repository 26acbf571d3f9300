// Integer-to-float conversion in the five processor variants. The kernels
// are written once in convert_to_float.inl and compiled once per level.
#include <emmintrin.h>
#include <pmmintrin.h>
#include <smmintrin.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "shared/alignment.h"
#include "vector/convert_to_float.h"
#include "shared/vector_checks.h"
#include "shared/simd_memory.h"

namespace {

template <std::size_t... kIndex>
constexpr std::array<Dsp32f, 256> makeByteValueTable(std::index_sequence<kIndex...>) {
    return {{static_cast<Dsp32f>(kIndex)...}};
}

// Entry i holds the float i: an 8-bit sample becomes a float by a table
// load instead of an integer-to-float conversion.
constexpr std::array<Dsp32f, 256> kU8ToFloatTable = makeByteValueTable(std::make_index_sequence<256>{});

}  // namespace

#define DSP_FAMILY_INL "convert_to_float.inl"
#define DSP_FAMILY_SLOTS DSP_CONVERT_TO_FLOAT_SLOTS
#include "simd_levels_all.inc"
